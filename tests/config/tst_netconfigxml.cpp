// The network configuration documents: the body written to the device, the device's
// configuration reply, the verdict of a write, and the namespace every body names.
#include "tcNetConfigXml.h"
#include "tcPasswordRequests.h"

#include <QtTest>

using namespace tcNetConfigXml;

namespace {

// Spelled here, not taken from the product: a wrong URI must fail these tests.
constexpr char kNamespace[] = "http://www.zephyrlock.com/ver10";

QByteArray reply(const QByteArray& configAttributes)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.7\" "
           "xmlns=\"" +
           QByteArray(kNamespace) + "\" " + configAttributes +
           ">\n<tcpIp>\n"
           "<ipSettingMode type=\"ipSettingMode\">staticIp</ipSettingMode>\n"
           "<staticIp><![CDATA[10.99.2.20]]></staticIp>\n"
           "<staticIpRoute><![CDATA[10.99.0.1]]></staticIpRoute>\n"
           "<staticIpMask><![CDATA[255.255.0.0]]></staticIpMask>\n"
           "<dhcpIp><![CDATA[10.99.7.7]]></dhcpIp>\n"
           "<dhcpIpRoute><![CDATA[10.99.0.254]]></dhcpIpRoute>\n"
           "<dhcpIpMask><![CDATA[255.255.255.0]]></dhcpIpMask>\n"
           "<dnsFromDhcpSwitch type=\"boolean\">false</dnsFromDhcpSwitch>\n"
           "<dnsServer1><![CDATA[10.99.0.53]]></dnsServer1>\n"
           "<dnsServer2><![CDATA[10.99.0.54]]></dnsServer2>\n"
           "</tcpIp>\n</config>\n";
}

// The device of reply(""), as the configReply rows prove it is read.
tcDeviceConfig staticDevice()
{
    return parseConfigReply(reply(""));
}

// The exact bytes a device receives for staticPlan(): CR LF between the lines, none after the last.
const QByteArray kStaticBody =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<config version=\"1.7\" xmlns=\"" +
    QByteArray(kNamespace) +
    "\">\r\n"
    "<tcpIp>\r\n"
    "<ipSettingMode type=\"ipSettingMode\">staticIp</ipSettingMode>\r\n"
    "<staticIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[192.168.1.20]]></staticIp>\r\n"
    "<staticIpRoute type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[192.168.1.1]]></staticIpRoute>\r\n"
    "<staticIpMask type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[255.255.255.0]]></staticIpMask>\r\n"
    "<dhcpIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[10.99.7.7]]></dhcpIp>\r\n"
    "<dhcpIpRoute type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[10.99.0.254]]></dhcpIpRoute>\r\n"
    "<dhcpIpMask type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[255.255.255.0]]></dhcpIpMask>\r\n"
    "<dnsFromDhcpSwitch type=\"boolean\">false</dnsFromDhcpSwitch>\r\n"
    "<dnsServer1 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[8.8.8.8]]></dnsServer1>\r\n"
    "<dnsServer2 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[0.0.0.0]]></dnsServer2>\r\n"
    "</tcpIp>\r\n"
    "</config>";

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

} // namespace

Q_DECLARE_METATYPE(tcDeviceConfig)
Q_DECLARE_METATYPE(tcSitePlan)

class tst_NetConfigXml : public QObject
{
    Q_OBJECT
private slots:
    void body_data()
    {
        QTest::addColumn<tcDeviceConfig>("device");
        QTest::addColumn<tcSitePlan>("plan");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("static plan") << staticDevice() << staticPlan() << kStaticBody;
        // The device's own values are written back; a CDATA end in one must not close
        // its section early.
        tcDeviceConfig breakout = staticDevice();
        breakout.dnsServer1 = QStringLiteral("1]]><evil/><![CDATA[");
        tcSitePlan dnsViaDhcp = staticPlan();
        dnsViaDhcp.dnsViaDhcp = true;
        QTest::newRow("DNS from DHCP keeps the device's DNS, a CDATA end in it split")
            << breakout << dnsViaDhcp
            << QByteArray(kStaticBody)
                   .replace(">false<", ">true<")
                   .replace("[8.8.8.8]", "[1]]]]><![CDATA[><evil/><![CDATA[]")
                   .replace("[0.0.0.0]", "[10.99.0.54]");
    }
    void body()
    {
        QFETCH(tcDeviceConfig, device);
        QFETCH(tcSitePlan, plan);
        QFETCH(QByteArray, expected);
        QCOMPARE(configBody(device, plan), expected);
    }

    void configReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");      // empty: usable
        QTest::addColumn<QStringList>("values"); // mode, staticIp, route, mask, dns1, dns2
        QTest::addColumn<QStringList>("dhcp");   // dhcpIp, route, mask; "<none>" for absent

        const QStringList none{"", "", "", "", "", ""};
        const QStringList noDhcp{"<none>", "<none>", "<none>"};

        QTest::newRow("static device")
            << reply("") << ""
            << QStringList{"staticIp", "10.99.2.20", "10.99.0.1", "255.255.0.0", "10.99.0.53", "10.99.0.54"}
            << QStringList{"10.99.7.7", "10.99.0.254", "255.255.255.0"};
        QTest::newRow("element names in other letter cases")
            << QByteArray("<CONFIG><TcpIp><IPSETTINGMODE>DHCP</IPSETTINGMODE><STATICIP>1.2.3.4</STATICIP>"
                          "<dhcpipmask>255.0.0.0</dhcpipmask></TcpIp></CONFIG>")
            << "" << QStringList{"DHCP", "1.2.3.4", "", "", "", ""}
            << QStringList{"<none>", "<none>", "255.0.0.0"};
        QTest::newRow("other children before and inside tcpIp are passed over")
            << QByteArray(
                   "<config><wireless><tcpIp><staticIp>9.9.9.9</staticIp></tcpIp></wireless>"
                   "<tcpIp><staticIp>1.2.3.4<b>x</b></staticIp><ipv6><staticIp>5.5.5.5</staticIp></ipv6>"
                   "</tcpIp></config>")
            << "" << QStringList{"", "1.2.3.4", "", "", "", ""} << noDhcp;
        QTest::newRow("FAILED in capitals with errorCode Success is no code")
            << reply("status=\"FAILED\" errorCode=\"Success\"") << "Unknown Error" << none << noDhcp;
        QTest::newRow("another root element")
            << QByteArray("<html><body>login</body></html>") << "Invalid Response" << none << noDhcp;
        QTest::newRow("tcpIp cut short") << reply("").left(300) << "Invalid Response" << none << noDhcp;
    }
    void configReply()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(QStringList, values);
        QFETCH(QStringList, dhcp);

        const tcDeviceConfig config = parseConfigReply(bytes);
        QCOMPARE(config.usable, error.isEmpty());
        QCOMPARE(config.error, error);
        QCOMPARE((QStringList{config.mode, config.staticIp, config.staticIpRoute, config.staticIpMask,
                              config.dnsServer1, config.dnsServer2}),
                 values);
        const auto shown = [](const std::optional<QString>& text) {
            return text.value_or(QStringLiteral("<none>"));
        };
        QCOMPARE((QStringList{shown(config.dhcpIp), shown(config.dhcpIpRoute), shown(config.dhcpIpMask)}),
                 dhcp);
    }

    void writeReply_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("text");

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

    // Every request body names the devices' configuration namespace: an http URI whose
    // path is exactly /ver10 (the firmware refuses a document under any other).
    void namespaceUri_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("network settings body") << configBody(staticDevice(), staticPlan());
        QTest::newRow("password body")
            << tcPasswordRequests::modifyPasswordBody(QStringLiteral("YQ=="), QStringLiteral("Yg=="));
        QTest::newRow("user body") << tcPasswordRequests::modifyIntegrateUserBody(QStringLiteral("op"),
                                                                                  QStringLiteral("Yg=="));
    }
    void namespaceUri()
    {
        QFETCH(QByteArray, body);
        // in the password body xmlns= is text inside config, so it is looked for as text
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("xmlns=\"([^\"]*)\"")).match(QString::fromUtf8(body));
        QVERIFY(match.hasMatch());
        const QUrl uri(match.captured(1), QUrl::StrictMode);
        QVERIFY2(uri.isValid(), qPrintable(match.captured(1)));
        QCOMPARE(uri.scheme(), QStringLiteral("http"));
        QVERIFY(!uri.host().isEmpty());
        QCOMPARE(uri.path(), QStringLiteral("/ver10"));
        QVERIFY(!uri.hasQuery() && !uri.hasFragment());
    }
};

QTEST_APPLESS_MAIN(tst_NetConfigXml)
#include "tst_netconfigxml.moc"
