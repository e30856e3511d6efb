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
        QTest::newRow("range larger than a /16")
            << QStringList{"--range", "10.0.0.0/8"}
            << "--range: '10.0.0.0/8' is larger than a /16 (16777216 addresses); split it into /16 networks";
        QTest::newRow("ranges over the host limit together")
            << QStringList{"--range", "10.1.0.0/16", "--range=10.2.0.1"}
            << "--range: the ranges hold 65535 host addresses together; at most 65534 can be probed in one "
               "run";
        for (const char* rate : {"0", "100001", "fast"})
            QTest::addRow("rate '%s'", rate)
                << QStringList{QStringLiteral("--rate=") + rate}
                << QStringLiteral("--rate must be a whole number of hosts per second from 1 to 100000, not "
                                  "'%1'")
                       .arg(rate);
    }
    void ranges_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("ranges");
        QTest::addColumn<int>("rate");
        QTest::newRow("no range: nothing beyond the segment, default pace")
            << QStringList{} << QStringList{} << 1000;
        QTest::newRow("repeated ranges and a rate")
            << QStringList{"--range", "10.98.0.0/17", "--range=192.168.3.1-192.168.3.9", "--rate", "5000"}
            << QStringList{"10.98.0.1-10.98.127.254", "192.168.3.1-192.168.3.9"} << 5000;
        QTest::newRow("several ranges in one value")
            << QStringList{"--range", "10.1.0.0/30,10.1.0.9"} << QStringList{"10.1.0.1-10.1.0.2", "10.1.0.9"}
            << 1000;
    }
    void ranges()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, ranges);
        QFETCH(int, rate);
        const tcScanOptions options = parseScanArguments(QStringList{"zephyrlock-scan"} + args);
        QCOMPARE(options.error, QString());
        QStringList parsed;
        for (const tcAddressRange& range : options.ranges.ranges())
            parsed << range.toString();
        QCOMPARE(parsed, ranges);
        QCOMPARE(options.rate, rate);
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
