// The simulated devices' discovery replies, read back here by offset from the
// protocols' byte tables (not with the scanner's parsers), and the site file's key check.
#include "tcSimDiscovery.h"

#include <QtEndian>
#include <QtTest>

namespace {

tcSimDevice device(tcSimKind kind, const QString& address)
{
    tcSimDevice d;
    d.kind = kind;
    d.protocols = defaultProtocols(kind);
    d.address = QHostAddress(address);
    d.mac = {0x0a, 0x3d, 0x91, 0xa1, 0xb2, 0xc3};
    d.name = QStringLiteral("Front Door");
    d.model = QStringLiteral("N2-B4MP");
    d.firmware = QStringLiteral("1.2.3 917");
    d.cloudId = QStringLiteral("ZL00001234");
    setDefaultNetwork(d, QHostAddress(QStringLiteral("10.99.0.1")));
    return d;
}

QString dotted(const QByteArray& bytes, int offset)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(quint8(bytes[offset]))
        .arg(quint8(bytes[offset + 1]))
        .arg(quint8(bytes[offset + 2]))
        .arg(quint8(bytes[offset + 3]));
}

QString text(const QByteArray& bytes, int offset, int size)
{
    const QByteArray field = bytes.mid(offset, size);
    const int zero = field.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? field : field.left(zero));
}

// The Norvo 1.0 tags after the 48-byte header, walked as the byte table lays them out.
QMap<int, QByteArray> norvoTags(const QByteArray& datagram)
{
    QMap<int, QByteArray> tags;
    int at = 48;
    const int total = qFromBigEndian<quint16>(datagram.constData() + 24);
    while (at + 4 <= total) {
        const int tag = qFromBigEndian<quint16>(datagram.constData() + at);
        const int length = qFromBigEndian<quint16>(datagram.constData() + at + 2);
        tags.insert(tag, datagram.mid(at + 4, length));
        at += 4 + length;
    }
    return tags;
}

// Text of every element of a ProbeMatches reply by local name (the last one wins).
QMap<QString, QString> elementTexts(const QByteArray& xml)
{
    QMap<QString, QString> texts;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QString name = reader.name().toString();
            if (name != QLatin1String("Envelope") && name != QLatin1String("Header") &&
                name != QLatin1String("Body") && name != QLatin1String("ProbeMatches") &&
                name != QLatin1String("ProbeMatch") && name != QLatin1String("EndpointReference") &&
                name != QLatin1String("AppSequence"))
                texts.insert(name, reader.readElementText());
        }
    }
    return reader.hasError() ? QMap<QString, QString>() : texts;
}

} // namespace

class tst_SimDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void norvoReply_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("addressTag");
        QTest::addColumn<quint32>("ipMode");
        QTest::addColumn<QString>("readName");
        QTest::newRow("static camera") << "staticIp" << "Front Door" << 4 << 1u << "Front Door";
        QTest::newRow("DHCP camera reports its address in tag 16") << "dhcp" << "Yard" << 16 << 4u << "Yard";
        QTest::newRow("long name cut to fit the 80-byte field with its zero")
            << "staticIp" << QString(100, QLatin1Char('n')) << 4 << 1u << QString(79, QLatin1Char('n'));
    }
    void norvoReply()
    {
        QFETCH(QString, mode);
        QFETCH(QString, name);
        QFETCH(int, addressTag);
        QFETCH(quint32, ipMode);
        QFETCH(QString, readName);
        tcSimDevice d = device(tcSimKind::Norvo1, QStringLiteral("10.99.1.6"));
        d.network[QStringLiteral("ipSettingMode")] = mode;
        d.name = name;
        d.port = 8081;
        d.model = QStringLiteral("KG-720");
        const QByteArray r = tcSimNorvo::reply(d);

        QCOMPARE(r.left(16), QByteArray("iCanIPinstaller\0", 16));
        QCOMPARE(qFromBigEndian<quint16>(r.constData() + 16), quint16(3));
        QCOMPARE(quint8(r[20]), quint8(48));
        QCOMPARE(quint8(r[21]), quint8(2));
        QCOMPARE(int(qFromBigEndian<quint16>(r.constData() + 24)), r.size());
        QCOMPARE(r.mid(26, 6).toHex(), QByteArray("0a3d91a1b2c3"));
        QCOMPARE(dotted(r, 32), QStringLiteral("10.99.1.6"));
        QCOMPARE(r.mid(36, 12), QByteArray(12, '\0'));

        const QMap<int, QByteArray> tags = norvoTags(r);
        QCOMPARE(qFromBigEndian<quint32>(tags.value(1).constData()), ipMode);
        QCOMPARE(text(tags.value(2), 0, 80), readName);
        QVERIFY(tags.value(2).size() <= 80);
        QCOMPARE(qFromBigEndian<quint16>(tags.value(3).constData()), quint16(8081));
        QCOMPARE(dotted(tags.value(addressTag), 0), QStringLiteral("10.99.1.6"));
        QVERIFY(!tags.contains(addressTag == 4 ? 16 : 4));
        QCOMPARE(qFromBigEndian<quint32>(tags.value(28).constData()), 8081u);
        QCOMPARE(text(tags.value(39), 0, 80), QStringLiteral("KG-720"));
    }

    void pqReply_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("kindByte");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("altAddress");
        QTest::addColumn<QString>("name");
        QTest::newRow("recorder, static")
            << int(tcSimKind::PqRecorder) << 1 << "staticIp" << "" << "NVR Office";
        QTest::newRow("camera, DHCP, link-local second address")
            << int(tcSimKind::Norvo2) << 2 << "dhcp" << "169.254.10.20" << "Front Door";
        QTest::newRow("decoder with a name filling all 20 bytes")
            << int(tcSimKind::PqDecoder) << 5 << "staticIp" << "" << "ABCDEFGHIJKLMNOPQRST";
    }
    void pqReply()
    {
        QFETCH(int, kind);
        QFETCH(int, kindByte);
        QFETCH(QString, mode);
        QFETCH(QString, altAddress);
        QFETCH(QString, name);
        tcSimDevice d = device(tcSimKind(kind), QStringLiteral("10.99.1.8"));
        d.network[QStringLiteral("ipSettingMode")] = mode;
        d.network[QStringLiteral("dhcpIpMask")] = QStringLiteral("255.255.255.0");
        d.network[QStringLiteral("dhcpIpRoute")] = QStringLiteral("10.99.1.254");
        d.altAddress = QHostAddress(altAddress);
        d.name = name;
        d.port = 81;
        d.model = QStringLiteral("PQ-NVR16-4K-PLUS"); // sixteen bytes: the whole field
        const QByteArray r = tcSimPq::reply(d);
        const bool dhcp = mode == QLatin1String("dhcp");

        QVERIFY(r.size() >= 240);
        QVERIFY(r.startsWith("MHED"));
        QCOMPARE(text(r, 12, 20), name);
        QCOMPARE(r.mid(32, 6).toHex(), QByteArray("0a3d91a1b2c3"));
        QCOMPARE(dotted(r, 40), QStringLiteral("10.99.1.8"));
        QCOMPARE(dotted(r, 44), dhcp ? QStringLiteral("255.255.255.0") : QStringLiteral("255.255.0.0"));
        QCOMPARE(dotted(r, 48), dhcp ? QStringLiteral("10.99.1.254") : QStringLiteral("10.99.0.1"));
        // Firmware 1.2.3 917: part A at 55, B at 54, C at 53, the build at 56.
        QCOMPARE(quint8(r[55]), quint8(1));
        QCOMPARE(quint8(r[54]), quint8(2));
        QCOMPARE(quint8(r[53]), quint8(3));
        QCOMPARE(qFromLittleEndian<quint32>(r.constData() + 56), 917u);
        QCOMPARE(r.mid(60, 2), QByteArray("\x51\x00", 2));
        QCOMPARE(int(quint8(r[64])), kindByte);
        QCOMPARE(dotted(r, 128), altAddress.isEmpty() ? QStringLiteral("0.0.0.0") : altAddress);
        QCOMPARE(quint8(r[138]), quint8(dhcp ? 1 : 0));
        QCOMPARE(text(r, 140, 12), QStringLiteral("ZL00001234"));
        QCOMPARE(text(r, 196, 16), d.model);
    }

    void bridge()
    {
        tcSimDevice d = device(tcSimKind::Bridge, QStringLiteral("10.99.1.12"));
        d.port = 8443;
        const QJsonObject o = QJsonDocument::fromJson(tcSimBridge::reply(d)).object();
        QCOMPARE(o.value(QStringLiteral("cloudId")).toString(), QStringLiteral("ZL00001234"));
        QCOMPARE(o.value(QStringLiteral("macAddr")).toString(), QStringLiteral("0a3d91a1b2c3"));
        QCOMPARE(o.value(QStringLiteral("ipAddr")).toString(), QStringLiteral("10.99.1.12"));
        QVERIFY(o.value(QStringLiteral("webPort")).isDouble());
        QCOMPARE(o.value(QStringLiteral("webPort")).toInt(), 8443);
        QCOMPARE(o.value(QStringLiteral("siteName")).toString(), d.name);
        QCOMPARE(o.value(QStringLiteral("model")).toString(), d.model);
        QCOMPARE(o.value(QStringLiteral("firmware")).toString(), d.firmware);
    }

    void onvifProbeMatches_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("xaddr"); // the first http:// address without a bracket
        QTest::addColumn<QString>("macScope");
        QTest::newRow("second-generation camera")
            << int(tcSimKind::Norvo2) << 80 << "http://10.99.1.2/onvif/device_service"
            << "0a3d91a1b2c3";
        QTest::newRow("third-party camera with an IPv6 address first and port 8080")
            << int(tcSimKind::Onvif) << 8080 << "http://10.99.1.2:8080/onvif/device_service"
            << "0a-3d-91-a1-b2-c3";
    }
    void onvifProbeMatches()
    {
        QFETCH(int, kind);
        QFETCH(int, port);
        QFETCH(QString, xaddr);
        QFETCH(QString, macScope);
        tcSimDevice d = device(tcSimKind(kind), QStringLiteral("10.99.1.2"));
        d.port = quint16(port);
        d.name = QStringLiteral("Front Door & Gate");
        const QMap<QString, QString> t = elementTexts(
            tcSimOnvif::probeMatches(d, QStringLiteral("uuid:probe-1"), QStringLiteral("uuid:reply-1")));
        QVERIFY(!t.isEmpty());
        QCOMPARE(t.value(QStringLiteral("RelatesTo")), QStringLiteral("uuid:probe-1"));
        QCOMPARE(t.value(QStringLiteral("MessageID")), QStringLiteral("uuid:reply-1"));
        QCOMPARE(t.value(QStringLiteral("Action")),
                 QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches"));
        QVERIFY(t.value(QStringLiteral("Types"))
                    .split(QLatin1Char(' '))
                    .contains(QStringLiteral("dn:NetworkVideoTransmitter")));
        QVERIFY(t.value(QStringLiteral("Address")).endsWith(QStringLiteral("-0a3d91a1b2c3")));

        QString first;
        for (const QString& piece :
             t.value(QStringLiteral("XAddrs")).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (first.isEmpty() && !piece.contains(QLatin1Char('[')) &&
                piece.startsWith(QLatin1String("http://")))
                first = piece;
        QCOMPARE(first, xaddr);

        QString name, hardware, mac;
        for (const QString& scope :
             t.value(QStringLiteral("Scopes")).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString decoded = QUrl::fromPercentEncoding(scope.toUtf8());
            if (decoded.startsWith(QLatin1String("onvif://www.onvif.org/name/")))
                name = decoded.mid(27);
            else if (decoded.startsWith(QLatin1String("onvif://www.onvif.org/hardware/")))
                hardware = decoded.mid(31);
            else if (decoded.startsWith(QLatin1String("onvif://www.onvif.org/macaddr/")))
                mac = decoded.mid(30);
        }
        QCOMPARE(name, d.name);
        QCOMPARE(hardware, d.model);
        QCOMPARE(mac, macScope);
    }

    void siteFile_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::newRow("minimal device")
            << QByteArray(R"({"devices":[{"kind":"onvif","address":"10.99.2.20"}]})") << "";
        QTest::newRow("misspelt key")
            << QByteArray(R"({"devices":[{"kind":"onvif","address":"10.99.2.20","algoritm":"MD5"}]})")
            << "device 0: unknown key \"algoritm\"";
    }
    void siteFile()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        tcSimDevices devices;
        QString why;
        QCOMPARE(loadSiteJson(json, devices, &why), error.isEmpty());
        QCOMPARE(why.left(error.size()), error);
    }

};

QTEST_GUILESS_MAIN(tst_SimDiscovery)
#include "tst_simdiscovery.moc"
