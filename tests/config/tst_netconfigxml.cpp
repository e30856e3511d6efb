// The network configuration documents: the body written to the device, the device's
// configuration reply and the verdict of a write.
#include "tcConfigNamespace.h"
#include "tcNetConfigXml.h"

#include <QMap>
#include <QXmlStreamReader>
#include <QtTest>

using namespace tcNetConfigXml;

namespace {

// Element name -> text of the children of the body's tcpIp element, read independently
// of the code under test.
QMap<QString, QString> tcpIpTexts(const QByteArray& body)
{
    QMap<QString, QString> texts;
    QXmlStreamReader xml(body);
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("config"))
            continue; // descend
        if (xml.name() == QLatin1String("tcpIp")) {
            while (xml.readNextStartElement())
                texts.insert(xml.name().toString(), xml.readElementText());
            continue;
        }
        xml.skipCurrentElement();
    }
    if (xml.hasError())
        texts.insert(QStringLiteral("xml error"), xml.errorString());
    return texts;
}

QByteArray reply(const QByteArray& configAttributes, const QByteArray& tcpIpChildren)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.7\" xmlns=\"" +
           QByteArray(kConfigNamespace) + "\" " + configAttributes + ">\n<tcpIp>\n" + tcpIpChildren +
           "</tcpIp>\n</config>\n";
}

const QByteArray kStaticChildren = "<ipSettingMode type=\"ipSettingMode\">staticIp</ipSettingMode>\n"
                                   "<staticIp><![CDATA[10.99.2.20]]></staticIp>\n"
                                   "<staticIpRoute><![CDATA[10.99.0.1]]></staticIpRoute>\n"
                                   "<staticIpMask><![CDATA[255.255.0.0]]></staticIpMask>\n"
                                   "<dhcpIp><![CDATA[10.99.7.7]]></dhcpIp>\n"
                                   "<dhcpIpRoute><![CDATA[10.99.0.254]]></dhcpIpRoute>\n"
                                   "<dhcpIpMask><![CDATA[255.255.255.0]]></dhcpIpMask>\n"
                                   "<dnsFromDhcpSwitch type=\"boolean\">false</dnsFromDhcpSwitch>\n"
                                   "<dnsServer1><![CDATA[10.99.0.53]]></dnsServer1>\n"
                                   "<dnsServer2><![CDATA[10.99.0.54]]></dnsServer2>\n";

tcDeviceConfig staticDevice()
{
    tcDeviceConfig device;
    device.usable = true;
    device.mode = QStringLiteral("staticIp");
    device.staticIp = QStringLiteral("10.99.2.20");
    device.staticIpRoute = QStringLiteral("10.99.0.1");
    device.staticIpMask = QStringLiteral("255.255.0.0");
    device.dhcpIp = QStringLiteral("10.99.7.7");
    device.dhcpIpRoute = QStringLiteral("10.99.0.254");
    device.dhcpIpMask = QStringLiteral("255.255.255.0");
    device.dnsServer1 = QStringLiteral("10.99.0.53");
    device.dnsServer2 = QStringLiteral("10.99.0.54");
    return device;
}

tcSitePlan staticPlan()
{
    tcSitePlan plan;
    plan.address = QStringLiteral("192.168.1.20");
    plan.gateway = QStringLiteral("192.168.1.1");
    plan.mask = QStringLiteral("255.255.255.0");
    plan.dns1 = QStringLiteral("8.8.8.8");
    plan.dns2 = QStringLiteral("0.0.0.0");
    return plan;
}

using Texts = QMap<QString, QString>;

} // namespace

Q_DECLARE_METATYPE(tcDeviceConfig)
Q_DECLARE_METATYPE(tcSitePlan)

class tst_NetConfigXml : public QObject
{
    Q_OBJECT
private slots:
    void wholeStaticBody()
    {
        // The exact bytes a device receives: CR LF between the lines, none after the last.
        const QByteArray expected =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<config version=\"1.7\" xmlns=\"http://www.zephyrlock.com/ver10/XMLSchema\">\r\n"
            "<tcpIp>\r\n"
            "<ipSettingMode type=\"ipSettingMode\">staticIp</ipSettingMode>\r\n"
            "<staticIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[192.168.1.20]]></staticIp>\r\n"
            "<staticIpRoute type=\"string\" minLen=\"7\" "
            "maxLen=\"15\"><![CDATA[192.168.1.1]]></staticIpRoute>\r\n"
            "<staticIpMask type=\"string\" minLen=\"7\" "
            "maxLen=\"15\"><![CDATA[255.255.255.0]]></staticIpMask>\r\n"
            "<dhcpIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[10.99.7.7]]></dhcpIp>\r\n"
            "<dhcpIpRoute type=\"string\" minLen=\"7\" "
            "maxLen=\"15\"><![CDATA[10.99.0.254]]></dhcpIpRoute>\r\n"
            "<dhcpIpMask type=\"string\" minLen=\"7\" "
            "maxLen=\"15\"><![CDATA[255.255.255.0]]></dhcpIpMask>\r\n"
            "<dnsFromDhcpSwitch type=\"boolean\">false</dnsFromDhcpSwitch>\r\n"
            "<dnsServer1 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[8.8.8.8]]></dnsServer1>\r\n"
            "<dnsServer2 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[0.0.0.0]]></dnsServer2>\r\n"
            "</tcpIp>\r\n"
            "</config>";
        const QByteArray body = configBody(staticDevice(), staticPlan());
        QCOMPARE(body, expected);
        QVERIFY(!isIncomplete(body));
    }

    void bodyValues_data()
    {
        QTest::addColumn<tcDeviceConfig>("device");
        QTest::addColumn<tcSitePlan>("plan");
        QTest::addColumn<Texts>("expected"); // text of each tcpIp child in the body
        QTest::addColumn<bool>("incomplete");

        // The static plan as wholeStaticBody writes it, changed per row (the DHCP run and a
        // reply without dhcpIpMask are checked on the wire by the dialog's run tests).
        const Texts staticTexts{{"ipSettingMode", "staticIp"},    {"staticIp", "192.168.1.20"},
                                {"staticIpRoute", "192.168.1.1"}, {"staticIpMask", "255.255.255.0"},
                                {"dhcpIp", "10.99.7.7"},          {"dhcpIpRoute", "10.99.0.254"},
                                {"dhcpIpMask", "255.255.255.0"},  {"dnsFromDhcpSwitch", "false"},
                                {"dnsServer1", "8.8.8.8"},        {"dnsServer2", "0.0.0.0"}};
        tcSitePlan dnsViaDhcp = staticPlan();
        dnsViaDhcp.dnsViaDhcp = true;
        Texts dnsViaDhcpTexts = staticTexts;
        dnsViaDhcpTexts["dnsFromDhcpSwitch"] = "true";
        dnsViaDhcpTexts["dnsServer1"] = "10.99.0.53";
        dnsViaDhcpTexts["dnsServer2"] = "10.99.0.54";
        QTest::newRow("static run with DNS from DHCP keeps the device's DNS")
            << staticDevice() << dnsViaDhcp << dnsViaDhcpTexts << false;

        // The device's own values are written back; its reply decides what they hold.
        tcDeviceConfig breakout = staticDevice();
        breakout.dnsServer1 = QStringLiteral("1]]><evil/><![CDATA[");
        Texts breakoutTexts = dnsViaDhcpTexts;
        breakoutTexts["dnsServer1"] = breakout.dnsServer1;
        QTest::newRow("device value holding a CDATA end reads back unchanged")
            << breakout << dnsViaDhcp << breakoutTexts << false;
    }
    void bodyValues()
    {
        QFETCH(tcDeviceConfig, device);
        QFETCH(tcSitePlan, plan);
        QFETCH(Texts, expected);
        QFETCH(bool, incomplete);

        const QByteArray body = configBody(device, plan);
        QCOMPARE(tcpIpTexts(body), expected);
        QCOMPARE(isIncomplete(body), incomplete);
        // every line but the last ends with CR LF, and no bare LF sneaks in
        QCOMPARE(body.count("\r\n"), 14);
        QCOMPARE(body.count('\n'), 14);
        QVERIFY(body.endsWith("</config>"));
    }

    void configReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("values"); // staticIp, route, mask, dns1, dns2
        QTest::addColumn<QStringList>("dhcp");   // dhcpIp, route, mask; "<none>" for absent

        const QStringList values{"10.99.2.20", "10.99.0.1", "255.255.0.0", "10.99.0.53", "10.99.0.54"};
        const QStringList dhcp{"10.99.7.7", "10.99.0.254", "255.255.255.0"};
        const QStringList none{"", "", "", "", ""};
        const QStringList noDhcp{"<none>", "<none>", "<none>"};

        QTest::newRow("static device") << reply("", kStaticChildren) << true << ""
                                       << "staticIp" << values << dhcp;
        QTest::newRow("element names in other letter cases")
            << QByteArray("<CONFIG><TcpIp><IPSETTINGMODE>DHCP</IPSETTINGMODE><STATICIP>1.2.3.4</STATICIP>"
                          "<dhcpipmask>255.0.0.0</dhcpipmask></TcpIp></CONFIG>") << true << ""
            << "DHCP" << QStringList{"1.2.3.4", "", "", "", ""}
            << QStringList{"<none>", "<none>", "255.0.0.0"};
        QTest::newRow("without dhcpIpMask")
            << reply("", "<ipSettingMode>staticIp</ipSettingMode><dhcpIp>1.1.1.1</dhcpIp>"
                         "<dhcpIpRoute>1.1.1.2</dhcpIpRoute>") << true << ""
            << "staticIp" << none << QStringList{"1.1.1.1", "1.1.1.2", "<none>"};
        QTest::newRow("other children before and inside tcpIp are passed over") << QByteArray(
                   "<config><wireless><tcpIp><staticIp>9.9.9.9</staticIp></tcpIp></wireless>"
                   "<tcpIp><staticIp>1.2.3.4<b>x</b></staticIp><ipv6><staticIp>5.5.5.5</staticIp></ipv6>"
                   "</tcpIp></config>") << true << ""
            << "" << QStringList{"1.2.3.4", "", "", "", ""} << noDhcp;
        QTest::newRow("failed with errorCode Success is no code")
            << reply("status=\"failed\" errorCode=\"Success\"", kStaticChildren) << false << "Unknown Error"
            << "" << none << noDhcp;
        QTest::newRow("FAILED in capitals without errorCode")
            << reply("status=\"FAILED\"", kStaticChildren) << false << "Unknown Error"
            << "" << none << noDhcp;
        QTest::newRow("another root element")
            << QByteArray("<html><body>login</body></html>") << false << "Invalid Response"
            << "" << none << noDhcp;
        QTest::newRow("tcpIp cut short")
            << reply("", kStaticChildren).left(300) << false << "Invalid Response" << "" << none << noDhcp;
    }
    void configReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, usable);
        QFETCH(QString, error);
        QFETCH(QString, mode);
        QFETCH(QStringList, values);
        QFETCH(QStringList, dhcp);

        const tcDeviceConfig config = parseConfigReply(bytes);
        QCOMPARE(config.usable, usable);
        QCOMPARE(config.error, error);
        QCOMPARE(config.mode, mode);
        QCOMPARE((QStringList{config.staticIp, config.staticIpRoute, config.staticIpMask, config.dnsServer1,
                              config.dnsServer2}),
                 values);
        const auto shown = [](const std::optional<QString>& text) {
            return text ? *text : QStringLiteral("<none>");
        };
        QCOMPARE((QStringList{shown(config.dhcpIp), shown(config.dhcpIpRoute), shown(config.dhcpIpMask)}),
                 dhcp);
    }

    void writeReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("text");

        QTest::newRow("success") << reply("status=\"success\"", "") << true << "Success";
        QTest::newRow("Success in mixed case")
            << QByteArray("<Config status=\"SuCcEsS\"/>") << true << "Success";
        QTest::newRow("failed with errorCode")
            << QByteArray("<config status=\"failed\" errorCode=\"invalidXml\"/>") << false << "invalidXml";
        QTest::newRow("errorCode success never reads as a success")
            << QByteArray("<config status=\"failed\" errorCode=\"success\"/>") << false << "Invalid Response";
        QTest::newRow("config nested in another root is not the verdict")
            << QByteArray("<reply><config status=\"success\"/></reply>") << false << "Invalid Response";
    }
    void writeReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, success);
        QFETCH(QString, text);
        const tcWriteVerdict verdict = parseWriteReply(bytes);
        QCOMPARE(verdict.success, success);
        QCOMPARE(verdict.text, text);
    }

    void digest_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("params");

        QTest::newRow("Basic then Digest in one value")
            << QByteArray("Basic realm=\"Z\", Digest realm=\"Z\", qop=\"auth\"") << true
            << QByteArray("realm=\"Z\", qop=\"auth\"");
        QTest::newRow("Basic only") << QByteArray("Basic realm=\"Digest\"") << false << QByteArray();
        QTest::newRow("Digest without its blank") << QByteArray("Digest") << false << QByteArray();
    }
    void digest()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, found);
        QFETCH(QByteArray, params);
        const std::optional<QByteArray> challenge = digestChallenge(header);
        QCOMPARE(bool(challenge), found);
        if (found)
            QCOMPARE(*challenge, params);
    }
};

QTEST_APPLESS_MAIN(tst_NetConfigXml)
#include "tst_netconfigxml.moc"
