// One discovery cycle through the coordinator: the ONVIF and bridge locators it creates,
// their replies arriving as sig_locateFoundSite, and a second start during the cycle.

#include "recvlog.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateOnvif.h"
#include "tcSiteLocateZL.h"
#include "zltest.h"

#include <QtTest>

using namespace zltest;

static bool startResponder(tcSiteProcess& responder, const QString& port, const QString& reply)
{
    return responder.start(binPath(QStringLiteral("zl-udp-responder")),
                           {QStringLiteral("--port"), port, QStringLiteral("--group"), QStringLiteral("239.255.255.250"),
                            QStringLiteral("--reply"), QStringLiteral(ZL_TEST_DATA_DIR "/") + reply},
                           QStringLiteral("ready"));
}

template <typename Locator>
static int indexOf(const tcSiteLocate& coordinator)
{
    const QList<tcSpecificLocator*>& locators = coordinator.locators();
    for (int i = 0; i < locators.size(); ++i) {
        if (qobject_cast<Locator*>(locators.at(i)))
            return i;
    }
    return -1;
}

class tst_DiscoveryCycle : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    void createsOnvifBeforeBridge()
    {
        tcSiteLocate coordinator(nullptr, QSharedPointer<tcLocateParams>::create());
        const int onvif = indexOf<tcSiteLocateOnvif>(coordinator);
        const int bridge = indexOf<tcSiteLocateZL>(coordinator);
        QVERIFY(onvif >= 0);
        QVERIFY(bridge > onvif);
        QCOMPARE(coordinator.locators().at(onvif)->parent(), &coordinator);
        QCOMPARE(coordinator.locators().at(bridge)->parent(), &coordinator);
        QVERIFY(tcSiteLocate(nullptr, {}).locators().isEmpty());
    }

    // A second start 1 s into the cycle: the bridge keeps its single series, ONVIF begins
    // a new one. Both protocols' devices reach the coordinator's signal.
    void cycleWithSecondStart()
    {
        ZL_REQUIRE_SANDBOX();
        tcSiteProcess onvifResponder;
        QVERIFY(startResponder(onvifResponder, QStringLiteral("3702"), QStringLiteral("onvif/probematches-camera.xml")));
        tcRecvLog probes(onvifResponder);
        tcSiteProcess bridgeResponder;
        QVERIFY(startResponder(bridgeResponder, QStringLiteral("3704"), QStringLiteral("bridge/reply.json")));
        tcRecvLog requests(bridgeResponder);

        tcSiteLocate coordinator(nullptr, QSharedPointer<tcLocateParams>::create());
        QMap<qint32, int> foundByType;
        connect(&coordinator, &tcSiteLocate::sig_locateFoundSite, this,
                [&](const tpVideoDevice& apDvc) { ++foundByType[apDvc->type]; });

        coordinator.start();
        QTRY_COMPARE(probes.count(), 3); // 1000 ms in
        coordinator.start();
        const auto anyRunning = [&]() {
            for (const tcSpecificLocator* locator : coordinator.locators()) {
                if (locator->isRunning())
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!anyRunning(), 10000);

        QTRY_COMPARE(probes.count(), 3 + 6);
        QCOMPARE(requests.count(), 2);
        QCOMPARE(requests.datagrams().at(0).port, requests.datagrams().at(1).port);
        QCOMPARE(foundByType.value(ZLServer2), 2);
        // the answer to the Probe sent just before the restart may reach the closed socket
        QVERIFY2(foundByType.value(Norvo2Cam) >= 3 + 5, qPrintable(QString::number(foundByType.value(Norvo2Cam))));
    }
};

QTEST_GUILESS_MAIN(tst_DiscoveryCycle)
#include "tst_discoverycycle.moc"
