#include "report.h"
#include "tcScanRun.h"
#include "tcSiteLocate.h"
#include "tcSpecificLocator.h"
#include "zltest.h"

#include <QtTest>

using zltest::report;

namespace {

QStringList addresses(const tcSiteList& list, const QVector<int>& rows)
{
    QStringList result;
    for (int row : rows)
        result << list.texts(row)[tcSiteList::colAddress];
    return result;
}

} // namespace

class tst_ScanRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    // Reports of every cycle go into one list; a row of a later cycle matches the row
    // shown first, which after a cycle is the sorted order, not the order of arrival;
    // after the last cycle the list no longer changes.
    void cyclesMergeInShownOrder()
    {
        ZL_REQUIRE_SANDBOX();
        tcScanRun run(2);
        QSignalSpy finished(&run, &tcScanRun::sig_finished);
        tcSiteLocate* coordinator = run.coordinator();
        run.slot_start();
        QCOMPARE(run.cycle(), 1);
        emit coordinator->sig_locateFoundSite(report(Onvif, "10.0.0.20", "aa:00:00:00:00:20"));
        emit coordinator->sig_locateFoundSite(report(Onvif, "10.0.0.3", "aa:00:00:00:00:03"));
        QTRY_COMPARE_WITH_TIMEOUT(run.cycle(), 2, 10000);
        // Address of the first arrival, MAC of the first shown.
        emit coordinator->sig_locateFoundSite(
            report(Onvif, "10.0.0.20", "aa:00:00:00:00:03", [](tcVideoDevice& d) { d.siteName = "Late"; }));
        emit coordinator->sig_locateFoundSite(report(PQSeries, "10.0.0.7"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.takeFirst().at(0).toBool(), true);
        emit coordinator->sig_locateFoundSite(report(PQSeries, "10.0.0.8"));

        const tcSiteList& list = run.sites();
        const QVector<int> rows = listedRows(list, std::nullopt);
        QCOMPARE(addresses(list, rows), QStringList({"10.0.0.3", "10.0.0.7", "10.0.0.20"}));
        QCOMPARE(list.texts(rows[0])[tcSiteList::colSiteName], QStringLiteral("Late"));
        QCOMPARE(list.texts(rows[2])[tcSiteList::colSiteName], QString());
        for (tcSpecificLocator* locator : coordinator->locators())
            QVERIFY2(!locator->isRunning(), locator->metaObject()->className());
    }
};

QTEST_GUILESS_MAIN(tst_ScanRun)
#include "tst_scanrun.moc"
