// The ONVIF locator against a scripted responder on the site side: the Probes on the
// wire, their count, spacing and rotation, the replies reaching the coordinator's signal,
// and the sockets' life cycle.

#include "recvlog.h"
#include "tcOnvifCodec.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateOnvif.h"
#include "zltest.h"

#include <QUdpSocket>
#include <QtTest>

using namespace zltest;

static const QString kReply = QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml");

static bool startResponder(tcSiteProcess& responder, const QStringList& extra)
{
    return responder.start(binPath(QStringLiteral("zl-udp-responder")),
                           QStringList{QStringLiteral("--port"), QStringLiteral("3702"), QStringLiteral("--group"),
                                       QStringLiteral("239.255.255.250")} +
                               extra,
                           QStringLiteral("ready"));
}

// The Probe with its random MessageID replaced by the nil UUID; the ID goes to *messageId.
static QByteArray withNilMessageId(const QByteArray& probe, QString* messageId)
{
    static const QRegularExpression id(QStringLiteral("<a:MessageID>uuid:([0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-"
                                                      "[89ab][0-9a-f]{3}-[0-9a-f]{12})</a:MessageID>"));
    QString text = QString::fromUtf8(probe);
    const QRegularExpressionMatch found = id.match(text);
    *messageId = found.captured(1);
    return text.replace(found.capturedStart(1), found.capturedLength(1), QUuid().toString(QUuid::WithoutBraces))
        .toUtf8();
}

static QList<tcProbeType> rotation(const QString& letters)
{
    QList<tcProbeType> types;
    for (const QChar letter : letters)
        types << (letter == QLatin1Char('T')   ? tcProbeType::NetworkVideoTransmitter
                  : letter == QLatin1Char('D') ? tcProbeType::Device
                                               : tcProbeType::NetworkVideoDisplay);
    return types;
}

// Every datagram is a well-formed Probe of the expected type, with a fresh random MessageID.
static void verifyProbes(const QVector<tcReceivedDatagram>& datagrams, const QString& expectedRotation)
{
    const QList<tcProbeType> types = rotation(expectedRotation);
    QCOMPARE(datagrams.size(), types.size());
    QSet<QString> ids;
    for (int i = 0; i < datagrams.size(); ++i) {
        QString id;
        const QByteArray probe = withNilMessageId(datagrams.at(i).data, &id);
        QVERIFY2(!id.isEmpty(), datagrams.at(i).data.constData());
        QCOMPARE(probe, buildProbe(types.at(i), QUuid()));
        ids.insert(id);
        QCOMPARE(datagrams.at(i).sender, scanAddress());
    }
    QCOMPARE(ids.size(), datagrams.size());
}

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
        QTest::addColumn<QString>("expectedRotation");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("coordinator's (2, 1500): six Probes 500 ms apart") << 2 << 1500 << "TDVTDV" << 500;
        QTest::newRow("(1, 2000): still six Probes 500 ms apart") << 1 << 2000 << "TDVTDV" << 500;
        QTest::newRow("(8, 300): eight Probes 300 ms apart") << 8 << 300 << "DVTDVTDV" << 300;
    }
    void probeSeries()
    {
        QFETCH(int, repeats);
        QFETCH(int, intervalMs);
        QFETCH(QString, expectedRotation);
        QFETCH(int, gapMs);

        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {QStringLiteral("--reply"), kReply}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(repeats, intervalMs);
        QVERIFY(locator->isRunning());
        // one socket for the one interface of the scan side, with room for a burst
        const QList<QUdpSocket*> sockets = locator->findChildren<QUdpSocket*>();
        QCOMPARE(sockets.size(), 1);
        QCOMPARE(sockets.first()->localAddress().toString(), scanAddress());
        QVERIFY(sockets.first()->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);

        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        // the run ends one interval after the last Probe
        QTRY_COMPARE(log.count(), expectedRotation.size());
        const QVector<tcReceivedDatagram> probes = log.datagrams();
        verifyProbes(probes, expectedRotation);
        if (QTest::currentTestFailed())
            return;
        for (int i = 1; i < probes.size(); ++i) {
            const qint64 gap = probes.at(i).seenAtMs - probes.at(i - 1).seenAtMs;
            QVERIFY2(gap >= gapMs * 7 / 10 && gap <= gapMs + 400, qPrintable(QStringLiteral("gap %1 ms").arg(gap)));
            QCOMPARE(probes.at(i).port, probes.first().port);
        }

        // every Probe was answered while the socket was open
        QCOMPARE(found.count(), probes.size());
        const tpVideoDevice device = found.first().first().value<tpVideoDevice>();
        QVERIFY(device);
        QCOMPARE(device->type, qint32(Norvo2Cam));
        QCOMPARE(device->ipAddress, QStringLiteral("10.99.0.2"));
        QCOMPARE(device->webPort, quint16(8080));
        QCOMPARE(device->macAddress, QStringLiteral("0A:3D:91:A1:B2:C3"));
        QCOMPARE(device->siteName, QStringLiteral("Loading Dock"));
        QCOMPARE(device->userName, m_params->userName);

        QTRY_COMPARE(locator->findChildren<QUdpSocket*>().size(), 0);
    }

    // A start while running rebinds and counts afresh: the Probes sent so far, then a
    // whole new series from a new socket.
    void secondStartRebinds()
    {
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {QStringLiteral("--reply"), kReply}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);

        locator->start(2, 1500);
        const QPointer<QUdpSocket> first = locator->findChildren<QUdpSocket*>().value(0);
        QVERIFY(first);
        QTRY_COMPARE(log.count(), 2);
        locator->start(2, 1500);
        QVERIFY(locator->isRunning());
        QTRY_VERIFY(first.isNull());

        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), 8);
        verifyProbes(log.datagrams(), QStringLiteral("TD") + QStringLiteral("TDVTDV"));
        if (QTest::currentTestFailed())
            return;
        const QVector<tcReceivedDatagram> probes = log.datagrams();
        for (int i = 3; i < probes.size(); ++i)
            QCOMPARE(probes.at(i).port, probes.at(2).port);
    }

    // Replies that arrive after the run has ended are never read: the responder answers
    // each Probe 1200 ms late, so the last two answers come after the sockets closed.
    void lateRepliesNotRead()
    {
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, {QStringLiteral("--reply"), kReply, QStringLiteral("--delay"),
                                           QStringLiteral("1200")}));
        tcRecvLog log(responder);
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);
        int reportsWhileRunning = 0;
        int reportsAfterwards = 0;
        connect(&coordinator, &tcSiteLocate::sig_locateFoundSite, this,
                [&]() { ++(locator->isRunning() ? reportsWhileRunning : reportsAfterwards); });
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(2, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QTRY_COMPARE(log.count(), 6);
        QVERIFY(!found.wait(1500));
        QCOMPARE(reportsAfterwards, 0);
        QVERIFY2(reportsWhileRunning >= 1 && reportsWhileRunning < 6,
                 qPrintable(QString::number(reportsWhileRunning)));
    }

    // Hundreds of devices answering one Probe in the same instant all reach the list.
    void burstOfReplies()
    {
        const int devices = 300;
        QStringList replies;
        for (int i = 0; i < devices; ++i)
            replies << QStringLiteral("--reply") << kReply;
        tcSiteProcess responder;
        QVERIFY(startResponder(responder, replies));
        tcSiteLocate coordinator(nullptr, {});
        auto* locator = new tcSiteLocateOnvif(&coordinator, m_params);
        QSignalSpy found(&coordinator, &tcSiteLocate::sig_locateFoundSite);

        locator->start(2, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(!locator->isRunning(), 10000);
        QCOMPARE(found.count(), 6 * devices);
    }
};

QTEST_GUILESS_MAIN(tst_Onvif)
#include "tst_onvif.moc"
