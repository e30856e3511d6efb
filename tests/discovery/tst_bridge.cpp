// The bridge locator against a scripted responder on the site side: the requests on the
// wire, the replies reaching the coordinator's signal, and the one-cycle life cycle.

#include "recvlog.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateZL.h"
#include "zltest.h"

#include <QUdpSocket>
#include <QtTest>

using namespace zltest;

static const QString kReply = QStringLiteral(ZL_TEST_DATA_DIR "/bridge/reply.json");
static const QByteArray kRequestHex = QByteArrayLiteral("485a4c4200000100");

static bool startResponder(tcSiteProcess& responder, const QStringList& extra)
{
    return responder.start(binPath(QStringLiteral("zl-udp-responder")),
                           QStringList{QStringLiteral("--port"), QStringLiteral("3704"), QStringLiteral("--group"),
                                       QStringLiteral("239.255.255.250"), QStringLiteral("--reply"), kReply} +
                               extra,
                           QStringLiteral("ready"));
}

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

    void requestSeries_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("coordinator's (2, 1500)") << 2 << 1500;
        QTest::newRow("(3, 400)") << 3 << 400;
    }
    void requestSeries()
    {
        QFETCH(int, repeats);
        QFETCH(int, intervalMs);
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateZL(&coordinator, m_params);
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(repeats, intervalMs);
        QVERIFY(locator->isRunning());
        const QList<QUdpSocket*> sockets = locator->findChildren<QUdpSocket*>();
        QCOMPARE(sockets.size(), 1);
        QVERIFY(sockets.first()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);

        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), repeats);
        const QVector<tcReceivedDatagram> requests = log.datagrams();
        for (int i = 0; i < requests.size(); ++i) {
            QCOMPARE(requests.at(i).data.toHex(), kRequestHex);
            QCOMPARE(requests.at(i).sender, scanAddress());
            QCOMPARE(requests.at(i).port, requests.first().port);
            if (i > 0) {
                const qint64 gap = requests.at(i).seenAtMs - requests.at(i - 1).seenAtMs;
                QVERIFY2(gap >= intervalMs * 7 / 10 && gap <= intervalMs + 400,
                         qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
            }
        }

        QCOMPARE(found.count(), repeats);
        const tpVideoDevice device = found.first().first().value<tpVideoDevice>();
        QVERIFY(device);
        QCOMPARE(device->type, qint32(ZLServer2));
        QCOMPARE(device->ipAddress, QStringLiteral("10.99.0.2"));
        QCOMPARE(device->webPort, quint16(8443));
        QCOMPARE(device->macAddress, QStringLiteral("0A:3D:91:C4:D5:E6"));
        QCOMPARE(device->cloudId, QStringLiteral("ZLB-7Q4M-22XK"));
        QCOMPARE(device->password, m_params->password);

        QTRY_COMPARE(locator->findChildren<QUdpSocket*>().size(), 0);
    }

    // One discovery cycle sends one series: further starts while running change nothing.
    void ignoresStartWhileRunning()
    {
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateZL(&coordinator, m_params);

        locator->start(2, 1500);
        const QPointer<QUdpSocket> socket = locator->findChildren<QUdpSocket*>().value(0);
        QVERIFY(socket);
        QTRY_COMPARE(log.count(), 1);
        locator->start(2, 1500);
        locator->start(5, 100);
        QCOMPARE(locator->findChildren<QUdpSocket*>(), QList<QUdpSocket*>{socket.data()});

        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), 2);
        QVERIFY(!locator->isRunning());
        QCOMPARE(log.datagrams().at(1).port, log.datagrams().at(0).port);
        QTRY_VERIFY(socket.isNull());
    }

    // The answer to the second request comes 2000 ms after it, when the run has ended
    // (3000 ms after start): it is never read.
    void lateReplyNotRead()
    {
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {QStringLiteral("--delay"), QStringLiteral("2000")}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateZL(&coordinator, m_params);
        int reportsAfterwards = 0;
        connect(&coordinator, &tcSiteLocate::sig_locateFoundSite, this, [&]() {
            if (!locator->isRunning())
                ++reportsAfterwards;
        });
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(2, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QCOMPARE(log.count(), 2);
        QVERIFY(!found.wait(1500));
        QCOMPARE(found.count(), 1);
        QCOMPARE(reportsAfterwards, 0);
    }
};

QTEST_GUILESS_MAIN(tst_Bridge)
#include "tst_bridge.moc"
