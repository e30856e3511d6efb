// zephyrlock-sim's discovery side on the wire: a mixed generated site answers each of
// the four queries sent from the scan side with one reply per device that speaks the
// protocol, each from the device's own address, where the protocol sends it.
#include "zltest.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtTest>

namespace {

const QByteArray kBridgeRequest("HZLB\0\0\x01\0", 8);
const QByteArray kPqQuery = QByteArray("MHED\x08\0\x01\0\x01", 9) + QByteArray(131, '\0');
const QByteArray kNorvoRequest = QByteArray("iCanIPinstaller\0\0\x03\0\0\x30\x01\0\0\0\x30", 26) +
                                 QByteArray(10, '\xff') + QByteArray(12, '\0');

QByteArray probe(const QString& messageId, const QString& type, const QString& typeNamespace)
{
    return QStringLiteral(
               "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
               "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><s:Header>"
               "<a:Action "
               "s:mustUnderstand=\"1\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
               "<a:MessageID>%1</a:MessageID></s:Header><s:Body>"
               "<d:Probe xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
               "<d:Types xmlns:dp0=\"%2\">dp0:%3</d:Types></d:Probe></s:Body></s:Envelope>")
        .arg(messageId, typeNamespace, type)
        .toUtf8();
}

QString relatesTo(const QByteArray& reply)
{
    QXmlStreamReader xml(reply);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("RelatesTo"))
            return xml.readElementText();
    return QString();
}

// Collects datagrams (sender address, bytes) arriving on a socket.
struct Collector
{
    QList<QPair<QString, QByteArray>> got;
    void attach(QUdpSocket* socket)
    {
        QObject::connect(socket, &QUdpSocket::readyRead, socket, [this, socket] {
            while (socket->hasPendingDatagrams()) {
                const QNetworkDatagram d = socket->receiveDatagram();
                got.append({d.senderAddress().toString(), d.data()});
            }
        });
    }
    QStringList senders(int minimumSize = 0) const
    {
        QStringList list;
        for (const auto& g : got)
            if (g.second.size() >= minimumSize)
                list << g.first;
        list.sort();
        return list;
    }
};

} // namespace

class tst_SimSite : public QObject
{
    Q_OBJECT

    zltest::tcSiteProcess m_sim;
    QMap<QString, QStringList> m_byProtocol; // protocol -> sorted device addresses

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_sim.start(zltest::binPath(QStringLiteral("zephyrlock-sim")),
                            {"--onvif",           "4",   "--norvo2",     "5",           "--norvo1",      "3",
                             "--pq-recorders",    "2",   "--pq-cameras", "2",           "--pq-decoders", "1",
                             "--pq-storage",      "1",   "--bridges",    "2",           "--seed",        "11",
                             "--onvif-max-delay", "200", "--no-http",    "--print-site"},
                            QStringLiteral("\"event\":\"ready\"")));
        for (const QByteArray& line : m_sim.output().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("event")).toString() != QLatin1String("state"))
                continue;
            for (const QJsonValue& p : o.value(QStringLiteral("protocols")).toArray())
                m_byProtocol[p.toString()] << o.value(QStringLiteral("device")).toString();
        }
        for (QStringList& list : m_byProtocol)
            list.sort();
        // norvo2 and pq-cameras answer both ONVIF and PQ.
        QCOMPARE(m_byProtocol.value(QStringLiteral("onvif")).size(), 4 + 5 + 2);
        QCOMPARE(m_byProtocol.value(QStringLiteral("pq")).size(), 5 + 2 + 2 + 1 + 1);
    }

    void cleanupTestCase() { m_sim.stop(); }

    void bridgeRepliesByUnicast()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress(zltest::scanAddress()), 0));
        Collector c;
        c.attach(&socket);
        QCOMPARE(socket.writeDatagram(kBridgeRequest, QHostAddress(QStringLiteral("239.255.255.250")), 3704),
                 qint64(8));
        QTRY_COMPARE(c.senders(), m_byProtocol.value(QStringLiteral("bridge")));
        for (const auto& g : c.got)
            QCOMPARE(QJsonDocument::fromJson(g.second).object().value(QStringLiteral("ipAddr")).toString(),
                     g.first);
    }

    void onvifAnswersCameraProbesOnly()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress(zltest::scanAddress()), 0));
        Collector c;
        c.attach(&socket);
        const QHostAddress group(QStringLiteral("239.255.255.250"));
        const QString display = QStringLiteral("uuid:00000000-0000-4000-8000-00000000d15b");
        const QString device = QStringLiteral("uuid:00000000-0000-4000-8000-0000000de71c");
        // A display probe first, then a camera probe: only the camera probe is answered.
        socket.writeDatagram(probe(display, "NetworkVideoDisplay", "http://www.onvif.org/ver10/network/wsdl"),
                             group, 3702);
        socket.writeDatagram(probe(device, "Device", "http://www.onvif.org/ver10/device/wsdl"), group, 3702);
        QTRY_COMPARE(c.senders(), m_byProtocol.value(QStringLiteral("onvif")));
        for (const auto& g : c.got)
            QCOMPARE(relatesTo(g.second), device);
    }

    void norvoRepliesByBroadcast()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress::AnyIPv4, 65534,
                            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        Collector c;
        c.attach(&socket);
        QCOMPARE(socket.writeDatagram(kNorvoRequest, QHostAddress::Broadcast, 65534), qint64(48));
        // Our own request comes back too; the replies are the 2s in byte 21.
        QTRY_COMPARE(c.senders(49), m_byProtocol.value(QStringLiteral("norvo")));
        for (const auto& g : c.got)
            if (g.second.size() > 48)
                QCOMPARE(quint8(g.second[21]), quint8(2));
    }

    void pqRepliesToTheReplyGroup()
    {
        ZL_REQUIRE_SANDBOX();
        QUdpSocket socket;
        QVERIFY(socket.bind(QHostAddress::AnyIPv4, 23456,
                            QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QVERIFY(socket.joinMulticastGroup(QHostAddress(QStringLiteral("234.55.55.56")),
                                          QNetworkInterface::interfaceFromName(QStringLiteral("zlscan0"))));
        Collector c;
        c.attach(&socket);
        QCOMPARE(socket.writeDatagram(kPqQuery, QHostAddress(QStringLiteral("234.55.55.55")), 23456),
                 qint64(140));
        QTRY_COMPARE(c.senders(240), m_byProtocol.value(QStringLiteral("pq")));
    }
};

QTEST_GUILESS_MAIN(tst_SimSite)
#include "tst_simsite.moc"
