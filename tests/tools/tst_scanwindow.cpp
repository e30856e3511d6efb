// The scan command and the window against the same simulated site: the command's list
// must be the window's list, row for row, for every kind and for the kind it starts
// with, and its reply counts the found label's tooltip.

#include "MainWindow.h"
#include "tcScanFormat.h"
#include "tcSiteLocateItem.h"
#include "zltest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
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

// A window row in the command's JSON form: its ten texts and its record's type, web
// address and eligibility for the update dialogs.
QJsonObject windowRow(const QTreeWidgetItem* item)
{
    QJsonObject row;
    for (int column = 0; column < tcSiteList::columnCount; ++column)
        row.insert(QLatin1String(kScanFields[column]), item->text(column));
    const auto device = item->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>();
    row.insert("device_type", item->data(0, tcSiteLocateItem::TypeRole).toInt());
    row.insert("web_address", device ? device->webAddress() : QString());
    row.insert("update_eligible", device && device->pqCamera);
    return row;
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
        QTreeWidget* tree = window.deviceTree();
        QVERIFY(tree);
        QJsonArray windowAll, windowShown;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QJsonObject row = windowRow(tree->topLevelItem(i));
            windowAll.append(row);
            if (!tree->topLevelItem(i)->isHidden())
                windowShown.append(row);
        }
        QCOMPARE(all.rows, windowAll);
        QCOMPARE(cameras.rows, windowShown);
        QCOMPARE(cameras.summary, progress->text());
        QCOMPARE(all.summary, QStringLiteral("Sites found (16 / 16)"));
        // The found label's tooltip counts the replies as --verbose does.
        QTRY_VERIFY_WITH_TIMEOUT(!progress->toolTip().isEmpty(), 5000);
        QCOMPARE(progress->toolTip(), all.replyCounts);
        QVERIFY2(all.replyCounts.startsWith("Replies per interface and protocol:\nzlscan0: Norvo 1.0 "),
                 qPrintable(all.replyCounts));
    }
};

QTEST_MAIN(tst_ScanWindow)
#include "tst_scanwindow.moc"
