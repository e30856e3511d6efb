#include "tcOnvifCodec.h"

#include <QtTest>

Q_DECLARE_METATYPE(tcProbeType)

// Every reported record as "type ip:port/path [mac] model | site", joined by "; ".
static QString summary(const tcDeviceRecords& records)
{
    QStringList lines;
    for (const auto& d : records)
        lines << QStringLiteral("%1 %2:%3/%4 [%5] %6 | %7")
                     .arg(protocolText(d->type), d->ipAddress, QString::number(d->webPort), d->servicePath,
                          d->macAddress, d->model, d->siteName);
    return lines.join(QStringLiteral("; "));
}

// A reply as cameras send it; "@" in the text stands for the ONVIF scope root.
static QByteArray reply(const QString& body, const QString& header = QString())
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
               "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
               "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
               "<s:Header><a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>"
               "%2</s:Header><s:Body>%1</s:Body></s:Envelope>")
        .arg(body, header)
        .replace(QLatin1Char('@'), QLatin1String("onvif://www.onvif.org/"))
        .toUtf8();
}
static QString match(const QString& types, const QString& scopes = QString(),
                     const QString& xaddrs = QStringLiteral("http://10.0.0.5/onvif/device_service"),
                     const QString& extra = QString())
{
    return QStringLiteral(
               "<d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:4f1b2c3d-1111-2222-3333-001122334455"
               "</a:Address></a:EndpointReference><d:Types>%1</d:Types><d:Scopes>%2</d:Scopes>"
               "<d:XAddrs>%3</d:XAddrs>%4<d:MetadataVersion>1</d:MetadataVersion></d:ProbeMatch>")
        .arg(types, scopes, xaddrs, extra);
}
static QByteArray matches(const QString& matchesXml)
{
    return reply(QStringLiteral("<d:ProbeMatches>%1</d:ProbeMatches>").arg(matchesXml));
}

static const QString kNvt = QStringLiteral("dn:NetworkVideoTransmitter");
static const QString kMakerEndpoint = QStringLiteral("<a:EndpointReference><a:Address>"
                                                     "urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3"
                                                     "</a:Address></a:EndpointReference>");

class tst_OnvifCodec : public QObject
{
    Q_OBJECT
private slots:
    void buildProbe_data()
    {
        QTest::addColumn<tcProbeType>("type");
        QTest::addColumn<QString>("typesElement");
        QTest::newRow("transmitter")
            << tcProbeType::NetworkVideoTransmitter
            << "xmlns:dp0=\"http://www.onvif.org/ver10/network/wsdl\">dp0:NetworkVideoTransmitter";
        QTest::newRow("device") << tcProbeType::Device
                                << "xmlns:dp0=\"http://www.onvif.org/ver10/device/wsdl\">dp0:Device";
    }
    void buildProbe()
    {
        QFETCH(tcProbeType, type);
        QFETCH(QString, typesElement);
        const QString expected = QStringLiteral(
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
            "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">"
            "<s:Header><a:Action s:mustUnderstand=\"1\">"
            "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
            "<a:MessageID>uuid:6b1e0d3a-94c2-4f7e-8a51-c0ffee123abc</a:MessageID>"
            "<a:ReplyTo><a:Address>"
            "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:Address></a:ReplyTo>"
            "<a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To></s:Header>"
            "<s:Body><d:Probe xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
            "<d:Types %1</d:Types></d:Probe></s:Body></s:Envelope>");
        const QUuid id(QStringLiteral("{6b1e0d3a-94c2-4f7e-8a51-c0ffee123abc}"));
        QCOMPARE(QString::fromUtf8(::buildProbe(type, id)), expected.arg(typesElement));
    }

    void parseProbeMatches_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected");
        const QString plain = QStringLiteral("Onvif 10.0.0.5:80/onvif/device_service [] Onvif | ");
        const QString maker =
            QStringLiteral("Norvo 2.0 10.0.0.5:80/onvif/device_service [0A:3D:91:A1:B2:C3] Norvo 2.0 | ");

        QTest::newRow("prefixed transmitter type") << matches(match(kNvt)) << plain;
        QTest::newRow("mixed-case prefix and type") << matches(match("DN:networkVIDEOtransmitter")) << plain;
        QTest::newRow("display then an unprefixed device type")
            << matches(match("dn:NetworkVideoDisplay Device")) << plain;
        QTest::newRow("display-only type dropped") << matches(match("dn:NetworkVideoDisplay")) << QString();
        QTest::newRow("type name only as a prefix dropped") << matches(match("Device:Other")) << QString();
        QTest::newRow("other prefixes and mixed-case element names")
            << QByteArrayLiteral(
                   "<ENV:envelope xmlns:ENV=\"http://www.w3.org/2003/05/soap-envelope\"><ENV:BODY>"
                   "<wsdd:probeMATCHES xmlns:wsdd=\"urn:x\"><wsdd:PROBEMATCH><wsdd:TYPES>Device"
                   "</wsdd:TYPES><wsdd:xaddrs>http://10.0.0.5/onvif/device_service</wsdd:xaddrs>"
                   "</wsdd:PROBEMATCH></wsdd:probeMATCHES></ENV:BODY></ENV:envelope>")
            << plain;
        QTest::newRow("undeclared prefixes")
            << QByteArrayLiteral("<Envelope><Body><x:ProbeMatches><x:ProbeMatch><x:Types>y:Device</x:Types>"
                                 "<x:XAddrs>http://10.0.0.5/onvif/device_service</x:XAddrs></x:ProbeMatch>"
                                 "</x:ProbeMatches></Body></Envelope>")
            << plain;

        QTest::newRow("name with unencoded blanks")
            << matches(match(kNvt, "@type/video_encoder @name/Front door\n  cam @hardware/IPC-200"))
            << "Onvif 10.0.0.5:80/onvif/device_service [] IPC-200 | Front door cam";
        QTest::newRow("percent-encoded hardware and name")
            << matches(match(kNvt, "@hardware/IPC%2D200%20Pro @name/Caf%C3%A9%20Yard"))
            << "Onvif 10.0.0.5:80/onvif/device_service [] IPC-200 Pro | Caf\u00e9 Yard";
        QTest::newRow("upper-case scope prefixes")
            << matches(match(kNvt, "ONVIF://WWW.ONVIF.ORG/HARDWARE/X1 ONVIF://WWW.ONVIF.ORG/NAME/Gate"))
            << "Onvif 10.0.0.5:80/onvif/device_service [] X1 | Gate";

        QTest::newRow("macaddr, 12 characters, maker")
            << matches(match(kNvt, "@macaddr/0a3d91a1b2c3")) << maker;
        QTest::newRow("macaddr, 17 characters with dashes")
            << matches(match(kNvt, "@macaddr/00-11-22-33-44-55"))
            << "Onvif 10.0.0.5:80/onvif/device_service [00:11:22:33:44:55] Onvif | ";
        QTest::newRow("Profile/MAC, 17 characters with colons, maker")
            << matches(match(kNvt, "@Profile/MAC/0a:3d:91:a1:b2:c3")) << maker;
        QTest::newRow("macaddr of another length ignored")
            << matches(match(kNvt, "@macaddr/0a3d91a1b2")) << plain;

        QTest::newRow("endpoint UUID ending in a maker MAC")
            << matches(QStringLiteral("<d:ProbeMatch>%1<d:Types>Device</d:Types><d:XAddrs>"
                                      "http://10.0.0.5/onvif/device_service</d:XAddrs></d:ProbeMatch>")
                           .arg(kMakerEndpoint))
            << maker;
        QTest::newRow("endpoint UUID after a MAC scope ignored")
            << matches(match(kNvt, "@macaddr/00-11-22-33-44-55")
                           .replace("</d:ProbeMatch>", kMakerEndpoint + "</d:ProbeMatch>"))
            << "Onvif 10.0.0.5:80/onvif/device_service [00:11:22:33:44:55] Onvif | ";
        QTest::newRow("MAC scope after a maker endpoint UUID replaces its MAC")
            << matches(
                   QStringLiteral("<d:ProbeMatch>%1<d:Types>Device</d:Types><d:Scopes>@macaddr/001122334455"
                                  "</d:Scopes></d:ProbeMatch>")
                       .arg(kMakerEndpoint))
            << "Norvo 2.0 :80/onvif/device_service [00:11:22:33:44:55] Norvo 2.0 | ";

        // The address becomes the authority of the URLs the dialogs send credentials to
        // ("&#64;" is the "@" the helper would otherwise turn into a scope root).
        QTest::newRow("IPv6 and user-info XAddrs skipped for the next")
            << matches(match(kNvt, "",
                             "http://[fe80::1]/x http://10.0.0.5&#64;other.host/x http://192.168.0.5:81/x"))
            << "Onvif 192.168.0.5:81/x [] Onvif | ";
        QTest::newRow("https, a bare http://, a query or a backslash keep the defaults")
            << matches(match(kNvt, "",
                             "https://10.1.2.3/x http:// http://10.0.0.5?x http://10.0.0.5\\other.host/x"))
            << "Onvif :80/onvif/device_service [] Onvif | ";
        QTest::newRow("host name, port and a deeper path")
            << matches(match(kNvt, "", "http://cam-7.site:81/onvif/v2/device_service"))
            << "Onvif cam-7.site:81/onvif/v2/device_service [] Onvif | ";
        QTest::newRow("port that is not a number")
            << matches(match(kNvt, "", "http://10.1.2.3:8o/x")) << "Onvif 10.1.2.3:0/x [] Onvif | ";

        QTest::newRow("Extension Norvo2.0 in any case")
            << matches(match(kNvt, "", "http://10.0.0.5/onvif/device_service",
                             "<d:Extension>NORVO2.0</d:Extension>"))
            << "Norvo 2.0 10.0.0.5:80/onvif/device_service [] Norvo 2.0 | ";

        QTest::newRow("two ProbeMatches, the MAC stays with the first")
            << matches(match(kNvt, "@macaddr/0a3d91a1b2c3") +
                       match("Device", "", "http://10.0.0.6/onvif/device_service"))
            << maker + "; Onvif 10.0.0.6:80/onvif/device_service [] Onvif | ";

        const QByteArray whole = matches(match(kNvt, "@name/Gate"));
        QTest::newRow("cut off after the XAddrs")
            << whole.left(whole.indexOf("</d:XAddrs>") + 11) << plain + "Gate";
        QTest::newRow("cut off inside the XAddrs text")
            << whole.left(whole.indexOf("10.0.0.5") + 5) << "Onvif :80/onvif/device_service [] Onvif | Gate";
        QTest::newRow("bad entity in the XAddrs of a second match")
            << matches(match(kNvt) + match(kNvt, "", "http://10.0.0.9/onvif/device_service &bogus;"))
            << plain + "; Onvif :80/onvif/device_service [] Onvif | ";

        QTest::newRow("Hello yields nothing")
            << reply(QStringLiteral("<d:Hello>%1</d:Hello>").arg(match(kNvt))) << QString();
        QTest::newRow("ProbeMatches in the Header yields nothing")
            << reply(QString(), QStringLiteral("<d:ProbeMatches>%1</d:ProbeMatches>").arg(match(kNvt)))
            << QString();
        // Entities declared in a DTD would let a few bytes stand for any number of matches.
        QTest::newRow("ProbeMatch elements from a declared entity yield nothing")
            << QByteArrayLiteral("<?xml version=\"1.0\"?><!DOCTYPE Envelope [<!ENTITY m "
                                 "\"<ProbeMatch><Types>Device</Types></ProbeMatch>\">]>"
                                 "<Envelope><Body><ProbeMatches>&m;&m;&m;</ProbeMatches></Body></Envelope>")
            << QString();

        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTest::newRow("maker camera reply as sent on the wire")
            << fixture.readAll()
            << "Norvo 2.0 10.99.0.2:8080/onvif/device_service [0A:3D:91:A1:B2:C3] ZC-2040 | Loading Dock";
    }
    void parseProbeMatches()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        QCOMPARE(summary(::parseProbeMatches(datagram, nullptr, QHostAddress())), expected);
    }

    // What the watch hears on the group: a Hello with the device it announces, a Bye
    // with the endpoint that leaves, and nothing from other messages.
    void parseAnnouncement_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("expected"); // "<kind> <endpoint> | <devices>"
        const QString hello = QStringLiteral("<d:Hello>%1<d:Types>%2</d:Types><d:Scopes>@name/Gate</d:Scopes>"
                                             "<d:XAddrs>http://10.0.0.8/onvif/device_service</d:XAddrs>"
                                             "<d:MetadataVersion>3</d:MetadataVersion></d:Hello>");
        QTest::newRow("Hello of a maker camera") << reply(hello.arg(kMakerEndpoint, kNvt))
                                                 << "Hello urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3 | "
                                                    "Norvo 2.0 10.0.0.8:80/onvif/device_service "
                                                    "[0A:3D:91:A1:B2:C3] Norvo 2.0 | Gate";
        QTest::newRow("Hello of a display: heard, no device")
            << reply(hello.arg(kMakerEndpoint, QStringLiteral("dn:NetworkVideoDisplay"))) << "Hello  | ";
        QTest::newRow("Bye") << reply(QStringLiteral("<d:Bye>%1</d:Bye>").arg(kMakerEndpoint))
                             << "Bye urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3 | ";
        QTest::newRow("Bye without an address")
            << reply(QStringLiteral("<d:Bye><a:EndpointReference/></d:Bye>")) << "None  | ";
        QTest::newRow("a ProbeMatches is no announcement") << matches(match(kNvt)) << "None  | ";
        QTest::newRow("another client's Probe")
            << ::buildProbe(tcProbeType::Device, QUuid::createUuid()) << "None  | ";
        QTest::newRow("a document type declaration")
            << QByteArray("<!DOCTYPE s [<!ENTITY x \"y\">]>") +
                   reply(QStringLiteral("<d:Bye>%1</d:Bye>").arg(kMakerEndpoint))
            << "None  | ";
    }
    void parseAnnouncement()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, expected);
        const tcAnnouncement a = ::parseAnnouncement(datagram, nullptr, QHostAddress());
        static const char* const kinds[] = {"None", "Hello", "Bye"};
        QCOMPARE(
            QStringLiteral("%1 %2 | %3").arg(QLatin1String(kinds[a.kind]), a.endpoint, summary(a.devices)),
            expected);
    }

    // A ProbeMatch keeps its endpoint reference, by which a Bye later names the device.
    void probeMatchKeepsEndpoint()
    {
        const tcDeviceRecords records = ::parseProbeMatches(matches(match(kNvt)), nullptr, QHostAddress());
        QCOMPARE(int(records.size()), 1);
        QCOMPARE(records.front()->endpoint, QStringLiteral("urn:uuid:4f1b2c3d-1111-2222-3333-001122334455"));
    }

    // ProbeMatches shaped like those of cameras in the field, read with the datagram's
    // source address.
    void realCameraReplies_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("expected");
        const auto probeMatch = [](const QString& inner) {
            return matches(QStringLiteral("<d:ProbeMatch><a:EndpointReference><a:Address>"
                                          "urn:uuid:1c8e2f00-77aa-11ee-8000-b4a3826c9e11</a:Address>"
                                          "</a:EndpointReference>%1<d:MetadataVersion>3</d:MetadataVersion>"
                                          "</d:ProbeMatch>")
                               .arg(inner));
        };
        const QString scopes =
            QStringLiteral("<d:Scopes>@type/video_encoder @Profile/Streaming @hardware/DS-2CD2043 "
                           "@name/Parking%20North @location/city/anywhere</d:Scopes>");
        const QString xaddrs = QStringLiteral("<d:XAddrs>http://10.0.0.5/onvif/device_service</d:XAddrs>");
        const QString listed =
            QStringLiteral("Onvif 10.0.0.5:80/onvif/device_service [] DS-2CD2043 | Parking North");

        QTest::newRow("no Types element, ONVIF scopes: listed")
            << probeMatch(scopes + xaddrs) << "10.0.0.5" << listed;
        QTest::newRow("only a vendor type, ONVIF scopes: listed")
            << probeMatch("<d:Types>hk:IPCamera</d:Types>" + scopes + xaddrs) << "10.0.0.5" << listed;
        QTest::newRow("empty Types element, ONVIF scopes: listed")
            << probeMatch("<d:Types/>" + scopes + xaddrs) << "10.0.0.5" << listed;
        QTest::newRow("display with a vendor type and ONVIF scopes: dropped")
            << probeMatch("<d:Types>dn:NetworkVideoDisplay hk:Decoder</d:Types>" + scopes + xaddrs)
            << "10.0.0.5" << QString();
        QTest::newRow("no Types, display type scope: dropped")
            << probeMatch("<d:Scopes>@type/Network_Video_Display @name/Wall</d:Scopes>" + xaddrs)
            << "10.0.0.5" << QString();
        QTest::newRow("printer: print type, no ONVIF scope: dropped")
            << probeMatch(
                   "<d:Types>wprt:PrintDeviceType</d:Types><d:Scopes>http://schemas.xmlsoap.org/ws/2005/"
                   "04/discovery/ldap ldap:///ou=floor1</d:Scopes><d:XAddrs>http://10.0.0.40:3911/"
                   "</d:XAddrs>")
            << "10.0.0.40" << QString();
        QTest::newRow("storage box: no Types, no Scopes: dropped")
            << probeMatch("<d:XAddrs>http://10.0.0.41:5357/b3f1</d:XAddrs>") << "10.0.0.41" << QString();
        QTest::newRow("ONVIF root only inside another scheme's URI: dropped")
            << probeMatch("<d:Scopes>http://vendor.example/onvif://www.onvif.org/</d:Scopes>" + xaddrs)
            << "10.0.0.5" << QString();

        const QString twoAddresses = QStringLiteral(
            "<d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://169.254.18.7/onvif/device_service "
            "http://10.0.0.5:8080/onvif/device_service http://192.168.7.5/onvif/device_service</d:XAddrs>");
        QTest::newRow("link-local first: the one equal to the sender")
            << probeMatch(twoAddresses) << "192.168.7.5"
            << "Onvif 192.168.7.5:80/onvif/device_service [] Onvif | ";
        QTest::newRow("link-local first, sender not listed: the first that is not link-local")
            << probeMatch(twoAddresses) << "10.0.0.99"
            << "Onvif 10.0.0.5:8080/onvif/device_service [] Onvif | ";
        QTest::newRow("link-local first, sender unknown: the first that is not link-local")
            << probeMatch(twoAddresses) << ""
            << "Onvif 10.0.0.5:8080/onvif/device_service [] Onvif | ";
        QTest::newRow("the sender is the link-local one: taken")
            << probeMatch(twoAddresses) << "169.254.18.7"
            << "Onvif 169.254.18.7:80/onvif/device_service [] Onvif | ";
        QTest::newRow("only link-local addresses: the first")
            << probeMatch("<d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://169.254.18.7/a "
                          "http://169.254.9.1/b</d:XAddrs>")
            << "10.0.0.5"
            << "Onvif 169.254.18.7:80/a [] Onvif | ";
        QTest::newRow("sender as an IPv4-mapped IPv6 address")
            << probeMatch(twoAddresses) << "::ffff:192.168.7.5"
            << "Onvif 192.168.7.5:80/onvif/device_service [] Onvif | ";

        QTest::newRow("MAC scope with colons")
            << probeMatch("<d:Types>tds:Device</d:Types><d:Scopes>@MAC/b4:a3:82:6c:9e:11</d:Scopes>" + xaddrs)
            << "10.0.0.5"
            << "Onvif 10.0.0.5:80/onvif/device_service [B4:A3:82:6C:9E:11] Onvif | ";
        QTest::newRow("MAC scope of the maker, 12 characters, no Types")
            << probeMatch("<d:Scopes>@type/video_encoder @mac/0A3D91A1B2C3</d:Scopes>" + xaddrs) << "10.0.0.5"
            << "Norvo 2.0 10.0.0.5:80/onvif/device_service [0A:3D:91:A1:B2:C3] Norvo 2.0 | ";
    }
    void realCameraReplies()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, sender);
        QFETCH(QString, expected);
        QCOMPARE(summary(::parseProbeMatches(datagram, nullptr, QHostAddress(sender))), expected);
    }

    // A reply cut at any byte, and read from memory that goes on past the cut, yields at
    // most its one record, each field of which is complete or left at its default.
    void everyTruncation()
    {
        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QByteArray whole = fixture.readAll();
        for (int length = 0; length <= whole.size(); ++length) {
            const tcDeviceRecords records = ::parseProbeMatches(
                QByteArray::fromRawData(whole.constData(), length), nullptr, QHostAddress());
            const QString found = QString::number(length) + QLatin1Char(' ') + summary(records);
            QVERIFY2(records.size() <= 1, qPrintable(found));
            for (const auto& d : records) {
                QVERIFY2((d->ipAddress.isEmpty() && d->webPort == 80) ||
                             (d->ipAddress == "10.99.0.2" && d->webPort == 8080),
                         qPrintable(found));
                QVERIFY2(QStringList({"", "0A:3D:91:A1:B2:C3"}).contains(d->macAddress), qPrintable(found));
                QVERIFY2(QStringList({"", "Loading Dock"}).contains(d->siteName), qPrintable(found));
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_OnvifCodec)
#include "tst_onvifcodec.moc"
