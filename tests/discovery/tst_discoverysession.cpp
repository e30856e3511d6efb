// The discovery session as the window and the scan command hold it: which reports are
// merged into its list during a cycle, after the list is final, and in the next cycle.

#include "report.h"
#include "tcDiscoverySession.h"
#include "zltest.h"

#include <QtTest>

using zltest::report;

class tst_DiscoverySession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    // One report during the first cycle, one after its list is final, one in the second
    // cycle: the rows listed after each step.
    void mergesByCycle_data()
    {
        QTest::addColumn<bool>("keepList");
        QTest::addColumn<bool>("mergeLate");
        QTest::addColumn<QVector<int>>("rows");
        QTest::newRow("each cycle afresh, late reports dropped")
            << false << false << QVector<int>{1, 1, 0, 1};
        QTest::newRow("late reports merged, as the window lists them")
            << false << true << QVector<int>{1, 2, 0, 1};
        QTest::newRow("cycles kept in one list, as a multi-cycle run")
            << true << false << QVector<int>{1, 1, 1, 2};
    }
    void mergesByCycle()
    {
        ZL_REQUIRE_SANDBOX();
        QFETCH(bool, keepList);
        QFETCH(bool, mergeLate);
        QFETCH(QVector<int>, rows);
        tcDiscoverySession session;
        session.setKeepList(keepList);
        session.setMergeLateReports(mergeLate);
        QSignalSpy reported(&session, &tcDiscoverySession::sig_reported);
        QSignalSpy merged(&session, &tcDiscoverySession::sig_merged);
        QSignalSpy final(&session, &tcDiscoverySession::sig_final);
        QSignalSpy closed(&session, &tcDiscoverySession::sig_closed);

        QVERIFY(session.startCycle());
        QVERIFY(session.isRunning());
        session.slot_report(report(Onvif, "10.99.7.1", "0a:3d:91:00:00:01"));
        session.slot_report(tpVideoDevice()); // nothing to merge, nothing reported
        QCOMPARE(session.sites().count(), rows[0]);
        QCOMPARE(merged.size(), 1);
        QCOMPARE(merged[0], (QVariantList{0, true}));

        QTRY_COMPARE_WITH_TIMEOUT(final.size(), 1, 10000);
        session.slot_report(report(Onvif, "10.99.7.2", "0a:3d:91:00:00:02"));
        QCOMPARE(session.sites().count(), rows[1]);
        QCOMPARE(merged.size(), mergeLate ? 2 : 1);
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QVERIFY(!session.isRunning());

        QVERIFY(session.startCycle());
        QCOMPARE(session.sites().count(), rows[2]);
        session.slot_report(report(Onvif, "10.99.7.3", "0a:3d:91:00:00:03"));
        QCOMPARE(session.sites().count(), rows[3]);
        QCOMPARE(session.sites().address(rows[3] - 1), QStringLiteral("10.99.7.3"));
        QCOMPARE(reported.size(), 3);
        session.cancel();
        QVERIFY(!session.isRunning());
    }
};

QTEST_GUILESS_MAIN(tst_DiscoverySession)
#include "tst_discoverysession.moc"
