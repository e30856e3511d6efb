#include "logcapture.h"
#include "norvodatagram.h"
#include "recvlog.h"
#include "tcONSIPCodec.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateONSIP.h"
#include "zltest.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtTest>

using zltest::be16Bytes;
using zltest::be32Bytes;
using zltest::norvoReply;
using zltest::norvoTag;
using zltest::norvoTextTag;
using zltest::tcNorvoHeader;

static const QString kPrefix = QStringLiteral("Norvo 1.0 discovery: ");

class tst_SiteLocateONSIP : public QObject
{
    Q_OBJECT
    QSharedPointer<tcLocateParams> m_params = QSharedPointer<tcLocateParams>::create();

private slots:
    void initTestCase() { registerVideoDeviceMetaType(); }

    // Each reply as the locator reports it: "address|model|web port|second port", or
    // nothing; then the lines it logged.
    void reply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QStringList>("log");

        const QByteArray staticTag = norvoTag(4, QByteArray::fromHex("0a000004"));
        const QByteArray dhcpTag = norvoTag(16, QByteArray::fromHex("0a000010"));
        const QByteArray all = staticTag + norvoTag(9, QByteArray::fromHex("0a000009")) + dhcpTag;
        const QString noStatic = kPrefix + "Missing static IP address";

        QTest::newRow("static mode takes tag 4")
            << norvoReply("Cam", 1, all) << "10.0.0.4|Norvo 1.0|80|80" << QStringList{};
        QTest::newRow("DHCP mode takes tag 16")
            << norvoReply("Cam", 4, all) << "10.0.0.16|Norvo 1.0|80|80" << QStringList{};
        QTest::newRow("static mode without tag 4")
            << norvoReply("Cam", 1, dhcpTag) << "|Norvo 1.0|80|80" << QStringList{noStatic};
        QTest::newRow("web port from tag 3, second port from tag 28's low half")
            << norvoReply("Cam", 1, norvoTag(3, be16Bytes(8080) + be16Bytes(1)), 0x00020051)
            << "|Norvo 1.0|8080|81" << QStringList{noStatic};
        QTest::newRow("kg in lower case, G anywhere")
            << norvoReply("Rec", 3, norvoTextTag(39, "k16-xg")) << "" << QStringList{};
        QTest::newRow("G without a leading K is kept")
            << norvoReply("Cam", 3, norvoTextTag(39, "GK-1")) << "|GK-1|80|80" << QStringList{};
        QTest::newRow("missing port tag")
            << tcNorvoHeader().datagram(norvoTag(1, be32Bytes(1)) + norvoTextTag(2, "Cam")) << ""
            << QStringList{kPrefix + "Data missing: Mode=1, Port=0, Name=1"};
        QTest::newRow("request echo is silent") << tcONSIPPacket().buildRequest() << "" << QStringList{};
        tcNorvoHeader typeThree;
        typeThree.packetType = 3;
        QTest::newRow("packet type 3")
            << typeThree.datagram() << "" << QStringList{kPrefix + "Invalid UDP packet type: 3"};
        tcNorvoHeader badVersion;
        badVersion.version = 4;
        QTest::newRow("invalid datagram gives the reason, then the verdict")
            << badVersion.datagram() << "" << QStringList{"bad version: 4", kPrefix + "Invalid datagram"};
    }
    void reply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, reported);
        QFETCH(QStringList, log);

        zltest::tcLogCapture capture;
        const std::unique_ptr<tcVideoDevice> device = parseONSIPReply(datagram, m_params.data());
        QCOMPARE(capture.lines(), log);
        QCOMPARE(bool(device), !reported.isEmpty());
        if (!device)
            return;
        QCOMPARE(QStringList({device->ipAddress, device->model, QString::number(device->webPort),
                              QString::number(device->displayPort())})
                     .join('|'),
                 reported);
        QCOMPARE(device->type, qint32(Norvo1Cam));
        QCOMPARE(device->macAddress, QStringLiteral("00:0a:3d:1d:2e:3f"));
        QCOMPARE(device->siteName, QStringLiteral("Cam"));
    }

    // The request on the wire, as the site side receives it, and its local echo, which
    // the locator reads and ignores without a word.
    void requestOnTheWire()
    {
        ZL_REQUIRE_SANDBOX();
        zltest::tcSiteProcess responder;
        QVERIFY(responder.start(zltest::binPath("zl-udp-responder"), {"--port", "65534"}, "ready"));
        QUdpSocket localListener;
        QVERIFY(localListener.bind(QHostAddress::AnyIPv4, tcSiteLocateONSIP::kPort,
                                   QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));

        zltest::tcLogCapture capture;
        tcSiteLocateONSIP locator(nullptr, m_params);
        QSignalSpy found(&locator, &tcSpecificLocator::sig_found);
        locator.start(2, 300);
        QVERIFY(locator.isRunning());
        QVERIFY(locator.hasSentQuery());
        auto* socket = locator.findChild<QUdpSocket*>();
        QVERIFY(socket);
        QVERIFY(socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt() >=
                kDiscoveryReceiveBuffer);
        QTRY_VERIFY_WITH_TIMEOUT(!locator.isRunning(), 5000);

        const QString expected =
            QStringLiteral("recv %1:65534 %2")
                .arg(zltest::scanAddress(), QString::fromLatin1(tcONSIPPacket().buildRequest().toHex()));
        QTRY_COMPARE_WITH_TIMEOUT(zltest::recvLines(responder.output()), QStringList({expected, expected}),
                                  3000);
        int echoes = 0;
        while (localListener.hasPendingDatagrams()) {
            QCOMPARE(localListener.receiveDatagram().data(), tcONSIPPacket().buildRequest());
            ++echoes;
        }
        QCOMPARE(echoes, 2);
        QCOMPARE(found.count(), 0);
        QCOMPARE(capture.lines().filter(kPrefix), QStringList());
    }

    // Kept to chosen interfaces (--interface), the request goes to each one's own
    // broadcast address, so it leaves by that interface alone; an interface that cannot
    // be used leaves nothing to send on.
    void keptToChosenInterfaces()
    {
        ZL_REQUIRE_SANDBOX();
        zltest::tcSiteProcess responder;
        QVERIFY(responder.start(zltest::binPath("zl-udp-responder"), {"--port", "65534"}, "ready"));
        QString scanInterface;
        for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces())
            for (const QNetworkAddressEntry& entry : iface.addressEntries())
                if (entry.ip().toString() == zltest::scanAddress())
                    scanInterface = iface.name();
        QVERIFY(!scanInterface.isEmpty());

        const tcInterfaceSnapshot chosen = tcInterfaceSnapshot::take({scanInterface});
        QCOMPARE(chosen.broadcasts.size(), 1);
        tcSiteLocateONSIP locator(nullptr, m_params);
        locator.setInterfaces(chosen);
        locator.start(1, 300);
        QVERIFY(locator.hasSentQuery());
        QTRY_COMPARE_WITH_TIMEOUT(zltest::recvLines(responder.output()).size(), 1, 3000);

        tcSiteLocateONSIP unusable(nullptr, m_params);
        unusable.setInterfaces(tcInterfaceSnapshot::take({QStringLiteral("no-such-interface")}));
        unusable.start(1, 300);
        QVERIFY(!unusable.hasSentQuery());
        QTRY_VERIFY_WITH_TIMEOUT(!unusable.isRunning(), 3000);
        QCOMPARE(zltest::recvLines(responder.output()).size(), 1);
    }

    // Replies already waiting behind a discarded KG reply are read in the same pass, not
    // left for a later readiness notification that may never come.
    void repliesPendingBehindKGAreRead()
    {
        ZL_REQUIRE_SANDBOX();
        tcSiteLocateONSIP locator(nullptr, m_params);
        QSignalSpy found(&locator, &tcSpecificLocator::sig_found);
        locator.start(1, 60000);
        // Connected after the locator, so it runs once the locator's first pass is over.
        int foundAfterFirstPass = -1;
        auto* socket = locator.findChild<QUdpSocket*>();
        QVERIFY(socket);
        connect(socket, &QUdpSocket::readyRead, this, [&]() {
            if (foundAfterFirstPass < 0)
                foundAfterFirstPass = found.count();
        });
        QUdpSocket sender;
        const QHostAddress loopback(QHostAddress::LocalHost);
        const QByteArray recorder = norvoReply("Rec", 3, norvoTextTag(39, "KG-16"));
        const QByteArray camera = norvoReply("Cam", 3);
        QCOMPARE(sender.writeDatagram(recorder, loopback, 65534), qint64(recorder.size()));
        QCOMPARE(sender.writeDatagram(camera, loopback, 65534), qint64(camera.size()));
        QVERIFY(found.wait(3000));
        QCOMPARE(foundAfterFirstPass, 1);
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.at(0).at(0).value<tpVideoDevice>()->siteName, QStringLiteral("Cam"));
    }

    // The port is taken without sharing: the locator warns, runs its cycle and sends nothing.
    void bindFailure()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket blocker;
        QVERIFY(blocker.bind(QHostAddress::AnyIPv4, tcSiteLocateONSIP::kPort, QUdpSocket::DontShareAddress));
        tcSiteLocate coordinator(nullptr, {});
        zltest::tcLogCapture capture;
        tcSiteLocateONSIP locator(&coordinator, m_params);
        locator.start(2, 100);
        QVERIFY(locator.isRunning());
        QCOMPARE(capture.lines(QtWarningMsg), QStringList{kPrefix + "Unable to bind to 0.0.0.0:65534"});
        QVERIFY(!locator.findChild<QUdpSocket*>());
        QVERIFY(!locator.hasSentQuery());
        QTRY_VERIFY_WITH_TIMEOUT(!locator.isRunning(), 3000);
        QVERIFY(!blocker.hasPendingDatagrams());
    }
};

QTEST_GUILESS_MAIN(tst_SiteLocateONSIP)
#include "tst_sitelocateonsip.moc"
