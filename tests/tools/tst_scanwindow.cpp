// The scan command and the window against the same simulated site: the command's list
// must be the window's export, row for row, for every kind and for the kind it starts
// with, and its reply counts the found label's tooltip.

#include "MainWindow.h"
#include "simsite.h"
#include "tcScanFormat.h"
#include "zltest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

struct tcScanOutput
{
    QJsonArray rows;
    QString summary;
    QString replyCounts; // with --verbose
};

bool scan(const QStringList& args, tcScanOutput* apOutput)
{
    QProcess process;
    process.start(zltest::binPath("zephyrlock-scan"), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return false;
    apOutput->rows = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    const QString err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    apOutput->summary = err.section(QLatin1Char('\n'), 0, 0);
    apOutput->replyCounts = err.section(QLatin1Char('\n'), 1);
    return true;
}

// The window's export of all rows or of the rows shown, read back.
QJsonArray windowExport(MainWindow& window, bool allRows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.json"));
    QString error;
    if (!window.exportRows(path, allRows, tcScanFormat::Json, &error)) {
        qWarning("export failed: %s", qPrintable(error));
        return {};
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array() : QJsonArray();
}

} // namespace

class tst_ScanWindow : public QObject
{
    Q_OBJECT
private slots:
    void sameListAsTheWindow()
    {
        ZL_REQUIRE_SANDBOX();
        // Every kind of device; the second-generation and PQ cameras answer two protocols
        // each, so both lists come out of merges.
        zltest::tcSiteProcess sim;
        QVERIFY(sim.start(zltest::binPath("zephyrlock-sim"),
                          {"--no-http", "--seed", "11", "--onvif", "3", "--norvo2", "3", "--norvo1", "2",
                           "--pq-recorders", "2", "--pq-cameras", "2", "--pq-decoders", "1", "--pq-storage",
                           "1", "--bridges", "2"},
                          "\"event\":\"ready\""));

        tcScanOutput all, cameras;
        QVERIFY(scan({"--kind", "all", "--json", "--verbose"}, &all));
        QVERIFY(scan({"--json"}, &cameras));
        QCOMPARE(all.rows.size(), 16);

        MainWindow window;
        auto* progress = window.findChild<QLabel*>("lblProgress");
        QVERIFY(progress);
        QTRY_VERIFY_WITH_TIMEOUT(progress->text().startsWith("Sites found"), 10000);
        QVERIFY(window.deviceTree());
        QCOMPARE(all.rows, windowExport(window, true));
        QCOMPARE(cameras.rows, windowExport(window, false));
        QCOMPARE(cameras.summary, progress->text());
        QCOMPARE(all.summary, QStringLiteral("Sites found (16 / 16)"));
        // The found label's tooltip counts the replies as --verbose does.
        QTRY_VERIFY_WITH_TIMEOUT(!progress->toolTip().isEmpty(), 5000);
        QCOMPARE(progress->toolTip(), all.replyCounts);
        QVERIFY2(all.replyCounts.startsWith("Replies per interface and protocol:\nzlscan0: Norvo 1.0 "),
                 qPrintable(all.replyCounts));
    }

    // Two cameras on one address and one on a factory address outside the scan side's
    // subnet: the command flags them as the window marks them, and both agree row for row.
    void addressFlags()
    {
        ZL_REQUIRE_SANDBOX();
        zltest::tcSim sim;
        QVERIFY(sim.start(R"([
            {"kind": "onvif", "address": "10.99.1.10", "name": "Lobby", "mac": "0a:3d:91:10:00:10"},
            {"kind": "norvo1", "address": "10.99.1.20", "name": "Bay", "mac": "0a:3d:91:10:00:20"},
            {"kind": "norvo1", "address": "10.99.1.20", "name": "Yard", "mac": "0a:3d:91:10:00:21",
             "http": false},
            {"kind": "norvo1", "address": "192.168.0.108", "name": "Spare", "mac": "0a:3d:91:10:01:08"}])",
                          {"--no-http"}));
        tcScanOutput scanned;
        QVERIFY(scan({"--kind", "all", "--json"}, &scanned));
        QStringList flags;
        for (const QJsonValue& row : scanned.rows)
            flags << QStringLiteral("%1 %2 %3")
                         .arg(row["site_name"].toString())
                         .arg(row["address_conflict"].toBool())
                         .arg(row["other_subnet"].toBool());
        flags.sort();
        QCOMPARE(flags, (QStringList{"Bay 1 0", "Lobby 0 0", "Spare 0 1", "Yard 1 0"}));

        MainWindow window;
        auto* progress = window.findChild<QLabel*>("lblProgress");
        QTRY_VERIFY_WITH_TIMEOUT(progress->text().startsWith("Sites found"), 10000);
        // Rows on one address keep the order their replies came in, which two runs need
        // not share: compare them by name.
        const auto byName = [](const QJsonArray& rows) {
            QMap<QString, QJsonValue> named;
            for (const QJsonValue& row : rows)
                named.insert(row["site_name"].toString(), row);
            return named;
        };
        QCOMPARE(byName(scanned.rows), byName(windowExport(window, true)));
    }
};

QTEST_MAIN(tst_ScanWindow)
#include "tst_scanwindow.moc"
