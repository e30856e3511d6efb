#include "tcScanOptions.h"

#include <QtTest>

namespace {

// The kind as the command line names it, or "all".
QString kindName(const std::optional<tcKindFilter>& kind)
{
    if (!kind)
        return QStringLiteral("all");
    QStringList set;
    if (kind->bridges)
        set << "bridges";
    if (kind->recorders)
        set << "recorders";
    if (kind->cameras)
        set << "cameras";
    if (kind->speakers)
        set << "speakers";
    if (kind->other)
        set << "other";
    return set.join('+');
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

        const auto run = tcScanOptions::Run;
        const auto table = tcScanFormat::Table;
        QTest::newRow("no options: cameras, table, one cycle")
            << QStringList{} << run << "cameras" << table << 1;
        QTest::newRow("json") << QStringList{"--json"} << run << "cameras" << tcScanFormat::Json << 1;
        QTest::newRow("csv") << QStringList{"--csv"} << run << "cameras" << tcScanFormat::Csv << 1;
        QTest::newRow("kind in capitals")
            << QStringList{"--kind", "Recorders"} << run << "recorders" << table << 1;
        QTest::newRow("kind joined by =") << QStringList{"--kind=other"} << run << "other" << table << 1;
        QTest::newRow("the last kind counts")
            << QStringList{"--kind", "other", "--kind", "bridges"} << run << "bridges" << table << 1;
        QTest::newRow("three cycles, all kinds")
            << QStringList{"--cycles=3", "--kind", "all"} << run << "all" << table << 3;
        QTest::newRow("help") << QStringList{"--help"} << tcScanOptions::ShowHelp << "cameras" << table << 1;
        QTest::newRow("help wins over bad values") << QStringList{"--kind", "nothing", "--help"}
                                                   << tcScanOptions::ShowHelp << "cameras" << table << 1;
        QTest::newRow("version") << QStringList{"--version"} << tcScanOptions::ShowVersion << "cameras"
                                 << table << 1;
    }
    void accepted()
    {
        QFETCH(QStringList, args);
        QFETCH(tcScanOptions::Action, action);
        QFETCH(QString, kind);
        QFETCH(tcScanFormat, format);
        QFETCH(int, cycles);
        const tcScanOptions options = parseScanArguments(QStringList{"zephyrlock-scan"} + args);
        QCOMPARE(options.error, QString());
        QCOMPARE(options.action, action);
        if (action != tcScanOptions::Run)
            return;
        QCOMPARE(kindName(options.kind), kind);
        QCOMPARE(options.format, format);
        QCOMPARE(options.cycles, cycles);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");

        QTest::newRow("unknown option") << QStringList{"--verbose"} << "Unknown option 'verbose'.";
        QTest::newRow("single-dash word") << QStringList{"-kind", "all"} << "Unknown options: k, i, n, d.";
        QTest::newRow("kind without value") << QStringList{"--kind"} << "Missing value after '--kind'.";
        QTest::newRow("value on a flag") << QStringList{"--json=yes"} << "Unexpected value after '--json'.";
        QTest::newRow("unknown kind") << QStringList{"--kind", "printers"}
            << "--kind must be bridges, recorders, cameras, speakers, other or all, not 'printers'";
        QTest::newRow("empty kind") << QStringList{"--kind="}
            << "--kind must be bridges, recorders, cameras, speakers, other or all, not ''";
        for (const char* count : {"0", "two", "99999999999", ""})
            QTest::addRow("cycles '%s'", count) << QStringList{QStringLiteral("--cycles=") + count}
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
