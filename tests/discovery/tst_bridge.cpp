// The bridge locator against a scripted responder on the site side: replies after the run
// are never read (the requests on the wire are checked in tst_discoverycycle).

#include "recvlog.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateZL.h"

#include <QUdpSocket>
#include <QtTest>

using namespace zltest;

static const QString kGroup = QStringLiteral("239.255.255.250");
static const QString kReply = QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json");

class tst_Bridge : public QObject
{
    Q_OBJECT
    QSharedPointer<tcLocateParams> m_params = QSharedPointer<tcLocateParams>::create();

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        registerVideoDeviceMetaType();
    }

    // The answer to the second request comes 2000 ms after it, when the run has ended
    // (3000 ms after start): it is never read.
    void lateReplyNotRead()
    {
        tcSiteProcess responder;
        QVERIFY(startUdpResponder(
            responder, 3704, kGroup,
            {QStringLiteral("--reply"), kReply, QStringLiteral("--delay"), QStringLiteral("2000")}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateZL(&coordinator, m_params);
        QSignalSpy found(locator, &tcSpecificLocator::sig_found);

        locator->start(2, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QCOMPARE(log.count(), 2);
        QVERIFY(!found.wait(1500));
        QCOMPARE(found.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Bridge)
#include "tst_bridge.moc"
