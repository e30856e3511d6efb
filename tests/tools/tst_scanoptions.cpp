#include "tcScanOptions.h"

#include <QtTest>

namespace {

// The kind as its five flags (bridges, recorders, cameras, speakers, other), or "all".
QString kindMask(const std::optional<tcKindFilter>& kind)
{
    if (!kind)
        return QStringLiteral("all");
    QString mask;
    for (bool flag : {kind->bridges, kind->recorders, kind->cameras, kind->speakers, kind->other})
        mask += flag ? '1' : '0';
    return mask;
}

} // namespace

Q_DECLARE_METATYPE(tcScanOptions::Action)
Q_DECLARE_METATYPE(tcScanFormat)

class tst_ScanOptions : public QObject
{
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<tcScanOptions::Action>("action");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<tcScanFormat>("format");
        QTest::addColumn<int>("cycles");
        QTest::addColumn<QStringList>("interfaces");
        QTest::addColumn<bool>("verbose");

        const auto run = tcScanOptions::Run;
        const auto table = tcScanFormat::Table;
        const QStringList every;
        QTest::newRow("no options: cameras, table, one cycle, every interface, quiet")
            << QStringList{} << run << "00100" << table << 1 << every << false;
        QTest::newRow("kind in capitals")
            << QStringList{"--kind", "Recorders"} << run << "01000" << table << 1 << every << false;
        QTest::newRow("three cycles, all kinds, csv")
            << QStringList{"--cycles=3", "--kind", "all", "--csv"} << run << "all" << tcScanFormat::Csv << 3
            << every << false;
        QTest::newRow("two interfaces in the order given, verbose")
            << QStringList{"--interface", "eth1", "--verbose", "--interface=Ethernet 2"} << run << "00100"
            << table << 1 << QStringList{"eth1", "Ethernet 2"} << true;
        QTest::newRow("interface list, within the chosen ones")
            << QStringList{"--interfaces", "--interface", "eth1", "--json"} << tcScanOptions::ListInterfaces
            << "" << table << 1 << QStringList{"eth1"} << false;
        QTest::newRow("help wins over bad values")
            << QStringList{"--kind", "nothing", "--help"} << tcScanOptions::ShowHelp << "" << table << 1
            << every << false;
    }
    void accepted()
    {
        QFETCH(QStringList, args);
        QFETCH(tcScanOptions::Action, action);
        QFETCH(QString, kind);
        QFETCH(tcScanFormat, format);
        QFETCH(int, cycles);
        QFETCH(QStringList, interfaces);
        QFETCH(bool, verbose);
        const tcScanOptions options = parseScanArguments(QStringList{"zephyrlock-scan"} + args);
        QCOMPARE(options.error, QString());
        QCOMPARE(options.action, action);
        if (action == tcScanOptions::ShowHelp)
            return;
        QCOMPARE(options.interfaces, interfaces);
        QCOMPARE(options.verbose, verbose);
        if (action != tcScanOptions::Run)
            return;
        QCOMPARE(kindMask(options.kind), kind);
        QCOMPARE(options.format, format);
        QCOMPARE(options.cycles, cycles);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");

        QTest::newRow("unknown option") << QStringList{"--quiet"} << "Unknown option 'quiet'.";
        QTest::newRow("interface without a name")
            << QStringList{"--interface="} << "--interface needs the name of an interface";
        QTest::newRow("unknown kind")
            << QStringList{"--kind", "printers"}
            << "--kind must be bridges, recorders, cameras, speakers, other or all, not 'printers'";
        for (const char* count : {"0", "99999999999"})
            QTest::addRow("cycles '%s'", count)
                << QStringList{QStringLiteral("--cycles=") + count}
                << QStringLiteral("--cycles must be a whole number of at least 1, not '%1'").arg(count);
        QTest::newRow("json and csv")
            << QStringList{"--json", "--csv"} << "--json and --csv exclude each other";
        QTest::newRow("positional argument") << QStringList{"cameras"} << "unexpected argument 'cameras'";
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const tcScanOptions options = parseScanArguments(QStringList{"zephyrlock-scan"} + args);
        QCOMPARE(options.action, tcScanOptions::Fail);
        QCOMPARE(options.error, error);
    }
};

QTEST_GUILESS_MAIN(tst_ScanOptions)
#include "tst_scanoptions.moc"
