#include "report.h"
#include "tcScanOptions.h"
#include "tcScanRun.h"
#include "tcSiteLocate.h"
#include "tcSpecificLocator.h"
#include "zltest.h"

#include <QtTest>

#include <functional>

using zltest::report;

namespace {

std::optional<tcKindFilter> kindOption(const QString& name)
{
    return parseScanArguments({"zephyrlock-scan", "--kind", name}).kind;
}

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

    void kinds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("recorders, one merged into a recorder")
            << "recorders" << QStringList{"10.0.0.20", "10.0.0.40"};
        QTest::newRow("all, a kind no button shows among them")
            << "all" << QStringList{"",          "10.0.0.2",  "10.0.0.4",  "10.0.0.9",  "10.0.0.12",
                                    "10.0.0.20", "10.0.0.30", "10.0.0.40", "10.0.0.50", "10.0.0.100"};
    }
    void kinds()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, listed);
        tcSiteList list;
        for (const tpVideoDevice& device :
             {report(Onvif, "10.0.0.30"), report(Norvo1Cam, "10.0.0.4"),
              report(Onvif, "10.0.0.12", {}, [](tcVideoDevice& d) { d.model = "SPIP-100"; }),
              report(PQSeries, "10.0.0.20"), report(ZLServer2, "10.0.0.2"), report(OstraServer, "10.0.0.50"),
              report(KDSeries, "10.0.0.9"), report(Onvif, "", "00:11:22:33:44:55"),
              report(Onvif, "10.0.0.40"), report(Onvif, "10.0.0.100"), report(PQSeries, "10.0.0.40")})
            list.merge(device);
        QCOMPARE(list.count(), 10);
        QCOMPARE(addresses(list, listedRows(list, kindOption(kind))), listed);
    }

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
