// One discovery cycle through the coordinator: the ONVIF and bridge locators it creates,
// their queries on the wire and replies arriving as sig_locateFoundSite, and a second
// start during the cycle.

#include "recvlog.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateOnvif.h"
#include "tcSiteLocateZL.h"
#include "tcZLCodec.h"

#include <QUdpSocket>
#include <QtTest>

using namespace zltest;

class tst_DiscoveryCycle : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    // A second start 1 s into the cycle: the bridge keeps its socket and its series of two
    // requests 1500 ms apart, ONVIF rebinds and sends a whole new series.
    void cycleWithSecondStart()
    {
        ZL_REQUIRE_SANDBOX();
        const QString group = QStringLiteral("239.255.255.250");
        tcSiteProcess onvifResponder, bridgeResponder;
        QVERIFY(startUdpResponder(
            onvifResponder, 3702, group,
            {QStringLiteral("--reply"), QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml")}));
        QVERIFY(startUdpResponder(
            bridgeResponder, 3704, group,
            {QStringLiteral("--reply"), QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json")}));
        tcRecvLog probes(onvifResponder), requests(bridgeResponder);
        tcSiteLocate coordinator(nullptr, QSharedPointer<tcLocateParams>::create());
        QMap<qint32, int> foundByType;
        connect(&coordinator, &tcSiteLocate::sig_locateFoundSite, this,
                [&](const tpVideoDevice& apDvc) { ++foundByType[apDvc->type]; });
        auto* onvif = coordinator.findChild<tcSiteLocateOnvif*>();
        auto* bridge = coordinator.findChild<tcSiteLocateZL*>();

        coordinator.start();
        QVERIFY(bridge->hasSentQuery());
        const QPointer<QUdpSocket> onvifSocket = onvif->findChildren<QUdpSocket*>().value(0);
        const QList<QUdpSocket*> bridgeSockets = bridge->findChildren<QUdpSocket*>();
        QCOMPARE(bridgeSockets.size(), 1);
        const QPointer<QUdpSocket> bridgeSocket = bridgeSockets.first();
        QVERIFY(onvifSocket);
        QVERIFY(bridgeSocket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);
        QTRY_COMPARE(probes.count(), 3); // 1000 ms in
        coordinator.start();
        QTRY_VERIFY(onvifSocket.isNull());
        QVERIFY(bridgeSocket);
        QTRY_VERIFY_WITH_TIMEOUT(!onvif->isRunning() && !bridge->isRunning(), 10000);
        QTRY_VERIFY(bridgeSocket.isNull());

        QTRY_COMPARE(probes.count(), 3 + 6);
        QCOMPARE(requests.count(), 2);
        for (const tcReceivedDatagram& request : requests.datagrams()) {
            QCOMPARE(request.data, buildZLRequest());
            QCOMPARE(request.sender, scanAddress());
            QCOMPARE(request.port, requests.datagrams().first().port);
        }
        const qint64 gap = requests.datagrams().at(1).seenAtMs - requests.datagrams().at(0).seenAtMs;
        QVERIFY2(gap >= 1500 * 7 / 10 && gap <= 1500 + 400, qPrintable(QString::number(gap)));
        QCOMPARE(foundByType.value(ZLServer2), 2);
        // the answer to the Probe sent just before the restart may reach the closed socket
        QVERIFY2(foundByType.value(Norvo2Cam) >= 3 + 5,
                 qPrintable(QString::number(foundByType.value(Norvo2Cam))));
    }
};

QTEST_GUILESS_MAIN(tst_DiscoveryCycle)
#include "tst_discoverycycle.moc"
