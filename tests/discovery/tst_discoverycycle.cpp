// One discovery cycle through the coordinator: the ONVIF and bridge locators it creates,
// their queries on the wire and replies arriving as sig_locateFoundSite, and a second
// start during the cycle.

#include "recvlog.h"
#include "tcDiscoveryCycle.h"
#include "tcRangeProbe.h"
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

    // With ranges, the ONVIF and bridge locators also query each host by unicast, from a
    // socket of their own; they stay open, and the cycle's list stays open, until the
    // last host has had a second to answer, well after the 3-second series. The other
    // protocols cannot cross a router and do not sweep.
    void sweepOutlastsTheSeries()
    {
        ZL_REQUIRE_SANDBOX();
        tcSiteProcess bridgeResponder;
        QVERIFY(startUdpResponder(
            bridgeResponder, 3704, QStringLiteral("239.255.255.250"),
            {QStringLiteral("--reply"), QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json")}));
        tcRecvLog requests(bridgeResponder);
        tcSiteLocate coordinator(nullptr, QSharedPointer<tcLocateParams>::create());
        tcDiscoveryCycle cycle(&coordinator);
        // 80 hosts at 20 a second: the sweep's last query goes out about 4 s in.
        const auto ranges = tcAddressRanges::parse({siteAddress() + QStringLiteral("-10.99.0.81")}, nullptr);
        QVERIFY(ranges);
        coordinator.setRanges(*ranges, 20);
        int bridges = 0;
        connect(&coordinator, &tcSiteLocate::sig_locateFoundSite, this,
                [&](const tpVideoDevice& apDvc) { bridges += apDvc->type == ZLServer2 ? 1 : 0; });
        QSignalSpy final(&cycle, &tcDiscoveryCycle::sig_final);
        QElapsedTimer clock;
        clock.start();
        cycle.start();
        QVERIFY(final.wait(15000));
        QVERIFY2(clock.elapsed() >= 79 * 1000 / 20 + tcRangeProbe::kReplyWaitMs,
                 qPrintable(QString::number(clock.elapsed())));
        for (const tcSpecificLocator* locator : coordinator.locators()) {
            QCOMPARE(locator->sweep() != nullptr, locator->reachesOtherSubnets());
            if (locator->sweep())
                QCOMPARE(locator->sweep()->sentHosts(), 80u);
        }
        QTRY_VERIFY(std::none_of(coordinator.locators().cbegin(), coordinator.locators().cend(),
                                 [](const tcSpecificLocator* locator) { return locator->isRunning(); }));

        // Two multicast requests from the interface socket, one unicast from the sweep's.
        QMap<quint16, int> byPort;
        for (const tcReceivedDatagram& request : requests.datagrams()) {
            QCOMPARE(request.data, buildZLRequest());
            ++byPort[request.port];
        }
        QList<int> counts = byPort.values();
        std::sort(counts.begin(), counts.end());
        QCOMPARE(counts, (QList<int>{1, 2}));
        QCOMPARE(bridges, 3);
    }
};

QTEST_GUILESS_MAIN(tst_DiscoveryCycle)
#include "tst_discoverycycle.moc"
