#include "tcOnvifCodec.h"

#include <QtTest>

Q_DECLARE_METATYPE(tcProbeType)

// One reported record as a line, so a failing row shows every field at once.
static QString summary(qint32 type, const QString& ip, int port, const QString& path, const QString& mac,
                       const QString& model, const QString& site)
{
    return QStringLiteral("type=%1 ip=%2 port=%3 path=%4 mac=%5 model=%6 site=%7")
        .arg(protocolText(type), ip, QString::number(port), path, mac, model, site);
}

static QStringList summaries(const tcDeviceRecords& records)
{
    QStringList lines;
    for (const auto& device : records) {
        lines << summary(device->type, device->ipAddress, device->webPort, device->servicePath,
                         device->macAddress, device->model, device->siteName) +
                     (device->valid ? QString() : QStringLiteral(" NOT VALID"));
    }
    return lines;
}

// Building blocks of a ProbeMatches reply, in the prefixes most cameras use.
static QString types(const QString& text) { return QStringLiteral("<d:Types>%1</d:Types>").arg(text); }
static QString scopes(const QString& text) { return QStringLiteral("<d:Scopes>%1</d:Scopes>").arg(text); }
static QString xaddrs(const QString& text) { return QStringLiteral("<d:XAddrs>%1</d:XAddrs>").arg(text); }
static QString endpoint(const QString& address)
{
    return QStringLiteral("<a:EndpointReference><a:Address>%1</a:Address></a:EndpointReference>").arg(address);
}
static QString extension(const QString& text) { return QStringLiteral("<d:Extension>%1</d:Extension>").arg(text); }
static QString match(const QStringList& children)
{
    return QStringLiteral("<d:ProbeMatch>%1<d:MetadataVersion>1</d:MetadataVersion></d:ProbeMatch>")
        .arg(children.join(QString()));
}
static QByteArray envelope(const QString& body, const QString& header = QString())
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
                          " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
                          " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
                          " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""
                          " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">"
                          "<s:Header><a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action>"
                          "%2</s:Header><s:Body>%1</s:Body></s:Envelope>")
        .arg(body, header)
        .toUtf8();
}
static QByteArray probeMatches(const QStringList& matches)
{
    return envelope(QStringLiteral("<d:ProbeMatches>%1</d:ProbeMatches>").arg(matches.join(QString())));
}

static const QString kUuid = QStringLiteral("urn:uuid:4f1b2c3d-1111-2222-3333-001122334455");
static const QString kNvt = QStringLiteral("dn:NetworkVideoTransmitter");
static const QString kAddr = QStringLiteral("http://10.0.0.5/onvif/device_service");
static const QString kPath = QStringLiteral("onvif/device_service");
static const QString kScopeRoot = QStringLiteral("onvif://www.onvif.org/");

// A camera reply with one knob changed per row.
static QByteArray camera(const QString& typeText = kNvt, const QString& scopeText = QString(),
                         const QString& addrText = kAddr, const QString& extra = QString())
{
    return probeMatches({match({endpoint(kUuid), types(typeText), scopes(scopeText), xaddrs(addrText), extra})});
}

class tst_OnvifCodec : public QObject
{
    Q_OBJECT
private slots:
    void buildProbe_data()
    {
        QTest::addColumn<tcProbeType>("type");
        QTest::addColumn<QString>("namespaceUri");
        QTest::addColumn<QString>("typeName");
        const QString network = QStringLiteral("http://www.onvif.org/ver10/network/wsdl");
        QTest::newRow("transmitter") << tcProbeType::NetworkVideoTransmitter << network
                                     << QStringLiteral("NetworkVideoTransmitter");
        QTest::newRow("device") << tcProbeType::Device << QStringLiteral("http://www.onvif.org/ver10/device/wsdl")
                                << QStringLiteral("Device");
        QTest::newRow("display") << tcProbeType::NetworkVideoDisplay << network << QStringLiteral("NetworkVideoDisplay");
    }
    void buildProbe()
    {
        QFETCH(tcProbeType, type);
        QFETCH(QString, namespaceUri);
        QFETCH(QString, typeName);
        const QUuid id(QStringLiteral("{6b1e0d3a-94c2-4f7e-8a51-c0ffee123abc}"));
        // The template filled by hand, placeholder by placeholder.
        const QString expected =
            QStringLiteral("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                           "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><s:Header>"
                           "<a:Action s:mustUnderstand=\"1\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
                           "<a:MessageID>uuid:6b1e0d3a-94c2-4f7e-8a51-c0ffee123abc</a:MessageID>"
                           "<a:ReplyTo><a:Address>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
                           "</a:Address></a:ReplyTo>"
                           "<a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
                           "</s:Header><s:Body><d:Probe xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
                           "<d:Types xmlns:dp0=\"") +
            namespaceUri + QStringLiteral("\">dp0:") + typeName +
            QStringLiteral("</d:Types></d:Probe></s:Body></s:Envelope>");
        QCOMPARE(QString::fromUtf8(::buildProbe(type, id)), expected);
    }

    void probeRotation()
    {
        // remaining after each lowering in a run of 8: 7 down to 0
        QList<tcProbeType> sent;
        for (int count = 7; count >= 0; --count)
            sent << probeTypeForCount(count);
        const tcProbeType t = tcProbeType::NetworkVideoTransmitter, d = tcProbeType::Device,
                          v = tcProbeType::NetworkVideoDisplay;
        QCOMPARE(sent, (QList<tcProbeType>{d, v, t, d, v, t, d, v}));
    }

    void parseProbeMatches_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QStringList>("expected");

        const QString gate = summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(), QStringLiteral("Onvif"),
                                     QString());
        const QString macNorvo = QStringLiteral("0A:3D:91:A1:B2:C3");

        QTest::newRow("prefixed transmitter type") << camera() << QStringList{gate};
        QTest::newRow("mixed-case prefix and type") << camera(QStringLiteral("DN:networkVIDEOtransmitter"))
                                                    << QStringList{gate};
        QTest::newRow("device type alone, unprefixed") << camera(QStringLiteral("Device")) << QStringList{gate};
        QTest::newRow("display listed before a device type")
            << camera(QStringLiteral("dn:NetworkVideoDisplay tds:Device")) << QStringList{gate};
        QTest::newRow("types across lines and tabs")
            << camera(QStringLiteral("\n\t dn:NetworkVideoTransmitter\n")) << QStringList{gate};
        QTest::newRow("display-only type dropped") << camera(QStringLiteral("dn:NetworkVideoDisplay")) << QStringList{};
        QTest::newRow("type only as a prefix dropped") << camera(QStringLiteral("Device:Other")) << QStringList{};
        QTest::newRow("no Types element dropped")
            << probeMatches({match({endpoint(kUuid), xaddrs(kAddr)})}) << QStringList{};

        QTest::newRow("other prefixes and mixed-case element names")
            << QByteArrayLiteral("<ENV:envelope xmlns:ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
                                 "xmlns:wsdd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
                                 "<ENV:BODY><wsdd:probeMATCHES><wsdd:PROBEMATCH><wsdd:TYPES>NetworkVideoTransmitter"
                                 "</wsdd:TYPES><wsdd:xaddrs>http://10.0.0.5/onvif/device_service</wsdd:xaddrs>"
                                 "</wsdd:PROBEMATCH></wsdd:probeMATCHES></ENV:BODY></ENV:envelope>")
            << QStringList{gate};
        QTest::newRow("undeclared prefixes and default namespace")
            << QByteArrayLiteral("<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\"><Body>"
                                 "<x:ProbeMatches><x:ProbeMatch><x:Types>y:Device</x:Types>"
                                 "<x:XAddrs>http://10.0.0.5/onvif/device_service</x:XAddrs>"
                                 "</x:ProbeMatch></x:ProbeMatches></Body></Envelope>")
            << QStringList{gate};

        QTest::newRow("name with unencoded blanks")
            << camera(kNvt, kScopeRoot + QStringLiteral("type/video_encoder ") + kScopeRoot +
                                QStringLiteral("name/Front door   cam ") + kScopeRoot + QStringLiteral("hardware/IPC-200"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(), QStringLiteral("IPC-200"),
                                   QStringLiteral("Front door cam"))};
        QTest::newRow("percent-encoded name and hardware")
            << camera(kNvt, kScopeRoot + QStringLiteral("hardware/IPC%2D200%20Pro ") + kScopeRoot +
                                QStringLiteral("name/Caf%C3%A9%20Yard"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(),
                                   QStringLiteral("IPC-200 Pro"), QStringLiteral("Caf\u00e9 Yard"))};
        QTest::newRow("another scope ends a value with blanks")
            << camera(kNvt, kScopeRoot + QStringLiteral("hardware/IPC 200 ") + kScopeRoot +
                                QStringLiteral("location/Hall stray words"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(), QStringLiteral("IPC 200"),
                                   QString())};
        QTest::newRow("upper-case scope prefixes")
            << camera(kNvt, QStringLiteral("ONVIF://WWW.ONVIF.ORG/HARDWARE/X1 ONVIF://WWW.ONVIF.ORG/NAME/Gate"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(), QStringLiteral("X1"),
                                   QStringLiteral("Gate"))};

        QTest::newRow("macaddr scope, 12 characters, maker prefix")
            << camera(kNvt, kScopeRoot + QStringLiteral("macaddr/0a3d91a1b2c3"))
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, macNorvo,
                                   QStringLiteral("Norvo 2.0"), QString())};
        QTest::newRow("macaddr scope, 17 characters with dashes")
            << camera(kNvt, kScopeRoot + QStringLiteral("macaddr/00-11-22-33-44-55"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QStringLiteral("00:11:22:33:44:55"),
                                   QStringLiteral("Onvif"), QString())};
        QTest::newRow("Profile/MAC scope, 17 characters with colons, maker prefix")
            << camera(kNvt, kScopeRoot + QStringLiteral("Profile/MAC/0a:3d:91:a1:b2:c3"))
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, macNorvo,
                                   QStringLiteral("Norvo 2.0"), QString())};
        QTest::newRow("Profile/MAC scope, 12 characters, other maker")
            << camera(kNvt, kScopeRoot + QStringLiteral("profile/mac/a0b1c2d3e4f5"))
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QStringLiteral("A0:B1:C2:D3:E4:F5"),
                                   QStringLiteral("Onvif"), QString())};
        QTest::newRow("macaddr scope of another length ignored")
            << camera(kNvt, kScopeRoot + QStringLiteral("macaddr/0a3d91a1b2"))
            << QStringList{gate};

        QTest::newRow("endpoint UUID ending in a maker MAC")
            << probeMatches({match({endpoint(QStringLiteral("urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3")),
                                    types(kNvt), xaddrs(kAddr)})})
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, macNorvo,
                                   QStringLiteral("Norvo 2.0"), QString())};
        QTest::newRow("endpoint UUID after a MAC scope ignored")
            << probeMatches({match({types(kNvt), scopes(kScopeRoot + QStringLiteral("macaddr/00-11-22-33-44-55")),
                                    endpoint(QStringLiteral("urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3")),
                                    xaddrs(kAddr)})})
            << QStringList{summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QStringLiteral("00:11:22:33:44:55"),
                                   QStringLiteral("Onvif"), QString())};
        QTest::newRow("MAC scope after a maker endpoint UUID replaces the MAC")
            << probeMatches({match({endpoint(QStringLiteral("urn:uuid:2419d68a-2dd2-21b2-a205-0a3d91a1b2c3")),
                                    types(kNvt), scopes(kScopeRoot + QStringLiteral("macaddr/00-11-22-33-44-55")),
                                    xaddrs(kAddr)})})
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, QStringLiteral("00:11:22:33:44:55"),
                                   QStringLiteral("Norvo 2.0"), QString())};

        QTest::newRow("bracketed IPv6 address first in XAddrs")
            << camera(kNvt, QString(),
                      QStringLiteral("http://[fe80::1]/onvif/device_service http://192.168.0.5/onvif/device_service"))
            << QStringList{summary(Onvif, QStringLiteral("192.168.0.5"), 80, kPath, QString(), QStringLiteral("Onvif"),
                                   QString())};
        QTest::newRow("port and a deeper path")
            << camera(kNvt, QString(), QStringLiteral("http://10.1.2.3:81/onvif/v2/device_service"))
            << QStringList{summary(Onvif, QStringLiteral("10.1.2.3"), 81, QStringLiteral("onvif/v2/device_service"),
                                   QString(), QStringLiteral("Onvif"), QString())};
        QTest::newRow("port that is not a number")
            << camera(kNvt, QString(), QStringLiteral("http://10.1.2.3:8o/onvif/device_service"))
            << QStringList{summary(Onvif, QStringLiteral("10.1.2.3"), 0, kPath, QString(), QStringLiteral("Onvif"),
                                   QString())};
        QTest::newRow("address without a path")
            << camera(kNvt, QString(), QStringLiteral("http://10.1.2.3"))
            << QStringList{summary(Onvif, QStringLiteral("10.1.2.3"), 80, QString(), QString(), QStringLiteral("Onvif"),
                                   QString())};
        QTest::newRow("only https and bare http:// keep the defaults")
            << camera(kNvt, QString(), QStringLiteral("https://10.1.2.3/onvif/device_service http://"))
            << QStringList{summary(Onvif, QString(), 80, kPath, QString(), QStringLiteral("Onvif"), QString())};

        QTest::newRow("Extension Norvo2.0 in any case")
            << camera(kNvt, QString(), kAddr, extension(QStringLiteral("NORVO2.0")))
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, QString(),
                                   QStringLiteral("Norvo 2.0"), QString())};
        QTest::newRow("other Extension text") << camera(kNvt, QString(), kAddr, extension(QStringLiteral("Norvo2.1")))
                                              << QStringList{gate};

        QTest::newRow("two ProbeMatches, the MAC stays with the first")
            << probeMatches({match({types(kNvt), scopes(kScopeRoot + QStringLiteral("macaddr/0a3d91a1b2c3")),
                                    xaddrs(kAddr)}),
                             match({types(QStringLiteral("tds:Device")), scopes(QString()),
                                    xaddrs(QStringLiteral("http://10.0.0.6/onvif/device_service"))})})
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.0.0.5"), 80, kPath, macNorvo,
                                   QStringLiteral("Norvo 2.0"), QString()),
                           summary(Onvif, QStringLiteral("10.0.0.6"), 80, kPath, QString(), QStringLiteral("Onvif"),
                                   QString())};
        QTest::newRow("display match between two cameras")
            << probeMatches({match({types(kNvt), xaddrs(kAddr)}),
                             match({types(QStringLiteral("dn:NetworkVideoDisplay")),
                                    xaddrs(QStringLiteral("http://10.0.0.7/"))}),
                             match({types(kNvt), xaddrs(QStringLiteral("http://10.0.0.6/onvif/device_service"))})})
            << QStringList{gate, summary(Onvif, QStringLiteral("10.0.0.6"), 80, kPath, QString(),
                                         QStringLiteral("Onvif"), QString())};

        const QByteArray whole = camera(kNvt, kScopeRoot + QStringLiteral("name/Gate"));
        const QString gateNamed = summary(Onvif, QStringLiteral("10.0.0.5"), 80, kPath, QString(),
                                          QStringLiteral("Onvif"), QStringLiteral("Gate"));
        QTest::newRow("cut off after the XAddrs of a ProbeMatch")
            << whole.left(whole.indexOf("</d:XAddrs>") + 11) << QStringList{gateNamed};
        QTest::newRow("cut off inside the XAddrs text")
            << whole.left(whole.indexOf("10.0.0.5") + 5)
            << QStringList{summary(Onvif, QString(), 80, kPath, QString(), QStringLiteral("Onvif"),
                                   QStringLiteral("Gate"))};
        QTest::newRow("cut off before the Types") << whole.left(whole.indexOf("<d:Types>")) << QStringList{};
        QTest::newRow("mismatched end tag after the Types")
            << probeMatches({match({types(kNvt), QStringLiteral("<d:Scopes>x</d:Scoops>"), xaddrs(kAddr)}),
                             match({types(kNvt), xaddrs(kAddr)})})
            << QStringList{summary(Onvif, QString(), 80, kPath, QString(), QStringLiteral("Onvif"), QString())};
        QTest::newRow("second ProbeMatch broken in its XAddrs, half-read address not taken")
            << probeMatches({match({types(kNvt), xaddrs(kAddr)}),
                             QStringLiteral("<d:ProbeMatch><d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://10.0.0.9/onvif/device_service &bogus;")})
            << QStringList{gate, summary(Onvif, QString(), 80, kPath, QString(), QStringLiteral("Onvif"), QString())};

        QTest::newRow("Hello yields nothing")
            << envelope(QStringLiteral("<d:Hello>%1%2%3<d:MetadataVersion>1</d:MetadataVersion></d:Hello>")
                            .arg(endpoint(kUuid), types(kNvt), xaddrs(kAddr)))
            << QStringList{};
        QTest::newRow("Bye yields nothing")
            << envelope(QStringLiteral("<d:Bye>%1%2</d:Bye>").arg(endpoint(kUuid), types(kNvt))) << QStringList{};
        QTest::newRow("another client's Probe yields nothing")
            << ::buildProbe(tcProbeType::NetworkVideoTransmitter, QUuid::createUuid()) << QStringList{};
        QTest::newRow("ProbeMatches in the Header yields nothing")
            << envelope(QString(), QStringLiteral("<d:ProbeMatches>%1</d:ProbeMatches>")
                                       .arg(match({types(kNvt), xaddrs(kAddr)})))
            << QStringList{};
        QTest::newRow("ProbeMatch one level too deep yields nothing")
            << probeMatches({QStringLiteral("<d:Wrapper>%1</d:Wrapper>").arg(match({types(kNvt), xaddrs(kAddr)}))})
            << QStringList{};
        QTest::newRow("JSON yields nothing") << QByteArrayLiteral("{\"ipAddr\":\"10.0.0.5\"}") << QStringList{};
        QTest::newRow("empty datagram yields nothing") << QByteArray() << QStringList{};

        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTest::newRow("maker camera reply as sent on the wire")
            << fixture.readAll()
            << QStringList{summary(Norvo2Cam, QStringLiteral("10.99.0.2"), 8080, kPath, macNorvo,
                                   QStringLiteral("ZC-2040"), QStringLiteral("Loading Dock"))};
    }
    void parseProbeMatches()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QStringList, expected);
        tcLocateParams params;
        params.userName = QStringLiteral("installer");
        const tcDeviceRecords records = ::parseProbeMatches(datagram, &params);
        QCOMPARE(summaries(records), expected);
        for (const auto& device : records)
            QCOMPARE(device->userName, params.userName);
    }

    // The reader gets the datagram's bytes only: whatever lies behind them in memory (the
    // rest of a receive buffer) must not complete the message.
    void readsOnlyTheDatagram()
    {
        const QByteArray whole = camera(kNvt, kScopeRoot + QStringLiteral("name/Gate"));
        const int cut = whole.indexOf("10.0.0.5");
        const QByteArray datagram = QByteArray::fromRawData(whole.constData(), cut);
        const tcDeviceRecords records = ::parseProbeMatches(datagram, nullptr);
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records.front()->ipAddress, QString());
        QCOMPARE(records.front()->siteName, QStringLiteral("Gate"));
    }

    // A reply cut at any byte yields at most its one record, and every field of that
    // record is either complete or left at its default.
    void everyTruncation()
    {
        QFile fixture(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/probematches-camera.xml"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QByteArray whole = fixture.readAll();
        for (int length = 0; length <= whole.size(); ++length) {
            const tcDeviceRecords records = ::parseProbeMatches(whole.left(length), nullptr);
            QVERIFY2(records.size() <= 1, qPrintable(QString::number(length)));
            if (records.empty())
                continue;
            const tcVideoDevice& device = *records.front();
            QVERIFY2(QStringList({QString(), QStringLiteral("10.99.0.2")}).contains(device.ipAddress),
                     qPrintable(device.ipAddress));
            QVERIFY2(QStringList({QString(), QStringLiteral("0A:3D:91:A1:B2:C3")}).contains(device.macAddress),
                     qPrintable(device.macAddress));
            QVERIFY2(QStringList({QString(), QStringLiteral("Loading Dock")}).contains(device.siteName),
                     qPrintable(device.siteName));
            QVERIFY(device.webPort == 80 || device.webPort == 8080);
        }
    }
};

QTEST_GUILESS_MAIN(tst_OnvifCodec)
#include "tst_onvifcodec.moc"
