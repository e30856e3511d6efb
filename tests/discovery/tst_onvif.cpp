// The ONVIF locator against a scripted responder on the site side: the Probes on the
// wire with their count, spacing and rotation, the replies reaching the coordinator's
// signal, the sockets' release, and a burst of replies.

#include "recvlog.h"
#include "tcOnvifCodec.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateOnvif.h"

#include <QUdpSocket>
#include <QtTest>

using namespace zltest;

static const QString kGroup = QStringLiteral("239.255.255.250");
static const QString kReply = QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml");

class tst_Onvif : public QObject
{
    Q_OBJECT
    QSharedPointer<tcLocateParams> m_params = QSharedPointer<tcLocateParams>::create();

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        registerVideoDeviceMetaType();
    }

    void probeSeries_data()
    {
        QTest::addColumn<int>("repeats");
        QTest::addColumn<int>("intervalMs");
        QTest::newRow("coordinator's (2, 1500): six Probes 500 ms apart") << 2 << 1500;
        QTest::newRow("(1, 2000): still six Probes 500 ms apart") << 1 << 2000;
    }
    void probeSeries()
    {
        QFETCH(int, repeats);
        QFETCH(int, intervalMs);
        const QString rotation = QStringLiteral("TDVTDV"); // Transmitter, Device, display (V)
        const int gapMs = 500;
        tcSiteProcess responder;
        QVERIFY(startUdpResponder(responder, 3702, kGroup, {QStringLiteral("--reply"), kReply}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);
        QSignalSpy found(locator, &tcSpecificLocator::sig_found);

        locator->start(repeats, intervalMs);
        QVERIFY(locator->isRunning());
        QVERIFY(locator->hasSentQuery());
        // one socket for the scan side's one interface, with room for a burst of replies
        const QList<QUdpSocket*> sockets = locator->findChildren<QUdpSocket*>();
        QCOMPARE(sockets.size(), 1);
        QCOMPARE(sockets.first()->localAddress().toString(), scanAddress());
        QVERIFY(sockets.first()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), rotation.size());
        QTRY_COMPARE(locator->findChildren<QUdpSocket*>().size(), 0);

        static const QRegularExpression messageId(QStringLiteral(
            "uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}(?=</a:MessageID>)"));
        const QString nilId = QStringLiteral("uuid:") + QUuid().toString(QUuid::WithoutBraces);
        QSet<QString> ids;
        const QVector<tcReceivedDatagram> probes = log.datagrams();
        for (int i = 0; i < probes.size(); ++i) {
            const tcProbeType type = rotation.at(i) == QLatin1Char('T') ? tcProbeType::NetworkVideoTransmitter
                                     : rotation.at(i) == QLatin1Char('D') ? tcProbeType::Device
                                                                          : tcProbeType::NetworkVideoDisplay;
            QString probe = QString::fromUtf8(probes.at(i).data);
            ids.insert(messageId.match(probe).captured());
            QCOMPARE(probe.replace(messageId, nilId), QString::fromUtf8(buildProbe(type, QUuid())));
            QCOMPARE(probes.at(i).sender, scanAddress());
            QCOMPARE(probes.at(i).port, probes.first().port);
            const qint64 gap = i ? probes.at(i).seenAtMs - probes.at(i - 1).seenAtMs : gapMs;
            QVERIFY2(gap >= gapMs * 7 / 10 && gap <= gapMs + 400,
                     qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
        }
        ids.remove(QString());
        QCOMPARE(ids.size(), probes.size()); // a fresh MessageID for every Probe

        QCOMPARE(found.count(), probes.size());
    }

    // Hundreds of devices answering one Probe in the same instant all reach the list.
    void burstOfReplies()
    {
        const int devices = 300;
        QStringList replies;
        for (int i = 0; i < devices; ++i)
            replies << QStringLiteral("--reply") << kReply;
        tcSiteProcess responder;
        QVERIFY(startUdpResponder(responder, 3702, kGroup, replies));
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);
        QSignalSpy found(locator, &tcSpecificLocator::sig_found);

        locator->start(2, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QCOMPARE(found.count(), 6 * devices);
    }
};

QTEST_GUILESS_MAIN(tst_Onvif)
#include "tst_onvif.moc"
