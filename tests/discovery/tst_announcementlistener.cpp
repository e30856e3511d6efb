// The Hello/Bye listener on the scan side: announcements sent to the group and to the
// workstation itself are heard and read; its port is shared with other listeners.
#include "tcAnnouncementListener.h"
#include "zltest.h"

#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtTest>

namespace {

QByteArray envelope(const QString& body)
{
    return QStringLiteral("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                          "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
                          "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Body>%1</s:Body>"
                          "</s:Envelope>")
        .arg(body)
        .toUtf8();
}
const QString kEndpoint = QStringLiteral("<a:EndpointReference><a:Address>urn:uuid:2419d68a-2dd2-21b2-a205-"
                                         "0a3d91a1b2c3</a:Address></a:EndpointReference>");
const QByteArray kHello =
    envelope(QStringLiteral(
                 "<d:Hello>%1<d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://10.99.7.50/onvif/"
                 "device_service</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion></d:Hello>")
                 .arg(kEndpoint));
const QByteArray kBye = envelope(QStringLiteral("<d:Bye>%1</d:Bye>").arg(kEndpoint));

} // namespace

class tst_AnnouncementListener : public QObject
{
    Q_OBJECT
private slots:
    void helloAndBye_data()
    {
        QTest::addColumn<bool>("toGroup");
        QTest::newRow("to the group") << true;
        QTest::newRow("to the workstation") << false;
    }
    void helloAndBye()
    {
        QFETCH(bool, toGroup);
        ZL_REQUIRE_SANDBOX();
        // Another listener already on the port, as the system's own may be.
        QUdpSocket other;
        QVERIFY(other.bind(QHostAddress::AnyIPv4, tcAnnouncementListener::kPort,
                           QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        tcAnnouncementListener listener(QSharedPointer<tcLocateParams>::create());
        QSignalSpy hello(&listener, &tcAnnouncementListener::sig_hello);
        QSignalSpy bye(&listener, &tcAnnouncementListener::sig_bye);
        QVERIFY(listener.start(tcInterfaceSnapshot::take({})));

        QUdpSocket sender;
        const QHostAddress target =
            toGroup ? QHostAddress(QStringLiteral("239.255.255.250")) : QHostAddress(zltest::scanAddress());
        QVERIFY(sender.bind(QHostAddress(zltest::scanAddress()), 0));
        QCOMPARE(sender.writeDatagram(kHello, target, tcAnnouncementListener::kPort), qint64(kHello.size()));
        QTRY_COMPARE(hello.count(), 1);
        const auto device = hello.at(0).at(0).value<tpVideoDevice>();
        QCOMPARE(device->ipAddress, QStringLiteral("10.99.7.50"));
        QCOMPARE(device->macAddress, QStringLiteral("0A:3D:91:A1:B2:C3"));
        QCOMPARE(sender.writeDatagram(kBye, target, tcAnnouncementListener::kPort), qint64(kBye.size()));
        QTRY_COMPARE(bye.count(), 1);
        QCOMPARE(bye.at(0).at(0).toString(), QStringLiteral("urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3"));

        // Stopped, it hears nothing more.
        listener.stop();
        sender.writeDatagram(kHello, target, tcAnnouncementListener::kPort);
        QTest::qWait(300);
        QCOMPARE(hello.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_AnnouncementListener)
#include "tst_announcementlistener.moc"
