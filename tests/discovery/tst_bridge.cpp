// The bridge locator against a scripted responder on the site side: the requests on the
// wire, the replies reaching the coordinator's signal, and replies after the run unread.

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

    void requestSeries_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("coordinator's (2, 1500)") << 2 << 1500;
    }
    void requestSeries()
    {
        QFETCH(int, repeats);
        QFETCH(int, intervalMs);
        tcSiteProcess responder;
        QVERIFY(startUdpResponder(responder, 3704, kGroup, {QStringLiteral("--reply"), kReply}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateZL(&coordinator, m_params);
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(repeats, intervalMs);
        QVERIFY(locator->hasSentQuery());
        const QList<QUdpSocket*> sockets = locator->findChildren<QUdpSocket*>();
        QCOMPARE(sockets.size(), 1);
        QVERIFY(sockets.first()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), repeats);
        QTRY_COMPARE(locator->findChildren<QUdpSocket*>().size(), 0);

        const QVector<tcReceivedDatagram> requests = log.datagrams();
        for (int i = 0; i < requests.size(); ++i) {
            QCOMPARE(requests.at(i).data.toHex(), QByteArrayLiteral("485a4c4200000100"));
            QCOMPARE(requests.at(i).sender, scanAddress());
            QCOMPARE(requests.at(i).port, requests.first().port);
            const qint64 gap = i ? requests.at(i).seenAtMs - requests.at(i - 1).seenAtMs : intervalMs;
            QVERIFY2(gap >= intervalMs * 7 / 10 && gap <= intervalMs + 400, qPrintable(QString::number(gap)));
        }
        QCOMPARE(found.count(), repeats);
        const tpVideoDevice device = found.first().first().value<tpVideoDevice>();
        QVERIFY(device);
        QCOMPARE(device->type, qint32(ZLServer2));
        QCOMPARE(device->ipAddress, QStringLiteral("10.99.0.2"));
        QCOMPARE(device->webPort, quint16(8443));
        QCOMPARE(device->macAddress, QStringLiteral("0A:3D:91:C4:D5:E6"));
        QCOMPARE(device->password, m_params->password);
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
