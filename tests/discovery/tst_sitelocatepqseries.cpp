#include "logcapture.h"
#include "recvlog.h"
#include "tcPQSeriesCodec.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateONSIP.h"
#include "tcSiteLocatePQSeries.h"
#include "zltest.h"

#include <QUdpSocket>
#include <QtTest>

namespace {

const QString kPrefix = QStringLiteral("PQ discovery: ");

// A 240-byte reply: a recorder named "NVR" with cloud id "QR0001" and model "PQ-8",
// every other field zero.
QByteArray pqReply()
{
    QByteArray reply(240, '\0');
    reply.replace(0, 4, "MHED");
    reply.replace(12, 3, "NVR");
    reply.replace(140, 6, "QR0001");
    reply.replace(196, 4, "PQ-8");
    reply[64] = 1;
    return reply;
}

QByteArray patched(QByteArray bytes, int offset, const QByteArray& with)
{
    bytes.replace(offset, with.size(), with);
    return bytes;
}

// Binding the port without sharing succeeds only when no socket holds it.
bool portIsFree()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, tcSiteLocatePQSeries::kPort, QUdpSocket::DontShareAddress);
}

} // namespace

class tst_SiteLocatePQSeries : public QObject
{
    Q_OBJECT
    QSharedPointer<tcLocateParams> m_params = QSharedPointer<tcLocateParams>::create();

private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    void query()
    {
        QCOMPARE(buildPQSeriesQuery(),
                 QByteArray("MHED\x08", 5) + QByteArray::fromHex("00010001") + QByteArray(131, '\0'));
    }

    void notAReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("239 bytes") << pqReply().left(239);
        QTest::newRow("fourth byte not D") << patched(pqReply(), 3, "X");
    }
    void notAReply()
    {
        QFETCH(QByteArray, datagram);
        zltest::tcLogCapture capture;
        QVERIFY(!parsePQSeriesReply(datagram, m_params.data()));
        QCOMPARE(capture.lines(), QStringList());
    }

    // The kind byte and the MAC: "type|pq camera|cloud id|MAC".
    void kinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("mac");
        QTest::addColumn<QString>("expected");

        const QByteArray maker = QByteArray::fromHex("0A3D91001122");
        const QByteArray foreign = QByteArray::fromHex("001122334455");
        QTest::newRow("camera with the maker's MAC")
            << 2 << maker << QString("%1|1|QR0001|0a:3d:91:00:11:22").arg(Norvo2Cam);
        QTest::newRow("camera with a foreign MAC")
            << 2 << foreign << QString("%1|1|QR0001|00:11:22:33:44:55").arg(Onvif);
        QTest::newRow("decoder") << 5 << maker << QString("%1|0|DECODER|0a:3d:91:00:11:22").arg(OstraDecoder);
        QTest::newRow("storage server")
            << 6 << foreign << QString("%1|0|STORAGE|00:11:22:33:44:55").arg(OstraServer);
        QTest::newRow("kind 1 is a recorder")
            << 1 << maker << QString("%1|0|QR0001|0a:3d:91:00:11:22").arg(PQSeries);
    }
    void kinds()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, mac);
        QFETCH(QString, expected);
        const QByteArray reply = patched(patched(pqReply(), 64, QByteArray(1, char(kind))), 32, mac);
        const std::unique_ptr<tcVideoDevice> device = parsePQSeriesReply(reply, m_params.data());
        QVERIFY(device);
        QCOMPARE(QString("%1|%2|%3|%4")
                     .arg(device->type)
                     .arg(int(device->pqCamera))
                     .arg(device->cloudId, device->macAddress),
                 expected);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(device->rawMac.data()), 6), mac);
    }

    // Each field at its offset: firmware A.B.C from bytes 55, 54, 53 and a little-endian
    // build in four bytes, a little-endian web port, an address above 127, a second
    // address of 0.0.0.0 left empty, the model cut at 16 bytes and the name at 20 (the MAC
    // after it ignored), any address mode but 0 read as DHCP.
    void fields()
    {
        QByteArray reply = pqReply();
        reply.replace(53, 7, QByteArray::fromHex("03020195030080"));
        reply.replace(60, 2, QByteArray::fromHex("0001"));
        reply.replace(40, 4, QByteArray::fromHex("c0a801c8"));
        reply.replace(196, 17, "ABCDEFGHIJKLMNOPQ");
        reply.replace(12, 21, "Warehouse-North-GateA");
        reply[138] = 7;
        const std::unique_ptr<tcVideoDevice> device = parsePQSeriesReply(reply, m_params.data());
        QVERIFY(device);
        QCOMPARE(
            QStringList({device->firmware, QString::number(device->webPort), device->ipAddress,
                         device->altAddress, device->model, device->siteName,
                         QString::number(device->addressMode)})
                .join('|'),
            QStringLiteral("1.2.3 2147484565|256|192.168.1.200||ABCDEFGHIJKLMNOP|Warehouse-North-Gate|1"));
    }

    // The query on the wire, as the site side receives it; a second start during the
    // cycle sends nothing more.
    void queryOnTheWire()
    {
        ZL_REQUIRE_SANDBOX();
        zltest::tcSiteProcess responder;
        QVERIFY(responder.start(zltest::binPath("zl-udp-responder"),
                                {"--port", "23456", "--group", "234.55.55.55"}, "ready"));
        tcSiteLocate coordinator(nullptr, {});
        zltest::tcLogCapture capture;
        tcSiteLocatePQSeries locator(&coordinator, m_params);
        locator.start(2, 400);
        QVERIFY(locator.isRunning());
        QVERIFY(locator.hasSentQuery());
        auto* socket = locator.findChild<QUdpSocket*>();
        QVERIFY(socket);
        QVERIFY(socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);
        QTRY_COMPARE_WITH_TIMEOUT(zltest::recvLines(responder.output()).size(), 1, 3000);
        locator.start(2, 400);
        QTRY_VERIFY_WITH_TIMEOUT(!locator.isRunning(), 5000);
        QVERIFY(portIsFree());

        const QString expected =
            QStringLiteral("recv %1:23456 %2")
                .arg(zltest::scanAddress(), QString::fromLatin1(buildPQSeriesQuery().toHex()));
        QCOMPARE(zltest::recvLines(responder.output()), QStringList({expected, expected}));
        QCOMPARE(capture.lines().filter(kPrefix), QStringList());
    }

    // The coordinator's stop frees the PQ port at once and leaves the other locators running.
    void coordinatorStopReleasesOnlyPQ()
    {
        ZL_REQUIRE_SANDBOX();
        tcSiteLocate coordinator(nullptr, m_params);
        auto* norvo = coordinator.findChild<tcSiteLocateONSIP*>();
        auto* pq = coordinator.findChild<tcSiteLocatePQSeries*>();
        QVERIFY(norvo && pq);
        QVERIFY(coordinator.locators().indexOf(norvo) < coordinator.locators().indexOf(pq));

        coordinator.start(2, 60000);
        QVERIFY(pq->isRunning());
        QVERIFY(!portIsFree());
        coordinator.stop();
        QVERIFY(portIsFree());
        QVERIFY(!pq->isRunning());
        for (tcSpecificLocator* locator : coordinator.locators()) {
            if (locator != pq)
                QVERIFY2(locator->isRunning(), locator->metaObject()->className());
        }
        // A later start opens a fresh socket.
        pq->start(1, 60000);
        QVERIFY(pq->isRunning());
        QVERIFY(!portIsFree());
    }

    void bindFailure()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket blocker;
        QVERIFY(
            blocker.bind(QHostAddress::AnyIPv4, tcSiteLocatePQSeries::kPort, QUdpSocket::DontShareAddress));
        tcSiteLocate coordinator(nullptr, {});
        zltest::tcLogCapture capture;
        tcSiteLocatePQSeries locator(&coordinator, m_params);
        locator.start(2, 100);
        QVERIFY(!locator.isRunning());
        QVERIFY(!locator.hasSentQuery());
        QVERIFY(!locator.findChild<QUdpSocket*>());
        const QStringList warnings = capture.lines(QtWarningMsg);
        QCOMPARE(warnings.size(), 1);
        const QString expected = QStringLiteral("Unable to bind to address: 0.0.0.0:23456 / %1:")
                                     .arg(int(QAbstractSocket::AddressInUseError));
        QVERIFY2(warnings.first().startsWith(kPrefix + expected), qPrintable(warnings.first()));
    }
};

QTEST_GUILESS_MAIN(tst_SiteLocatePQSeries)
#include "tst_sitelocatepqseries.moc"
