// The simulated cameras' configuration service as pure functions: the replies it
// writes and the state that accepted writes change.
#include "tcConfigNamespace.h"
#include "tcSimConfigApi.h"

#include <QtTest>

namespace {

// The network body in the form the configuration client sends it (CR LF between lines).
QByteArray networkBody(const QString& mode, const QString& ip, const QString& gateway, const QString& mask,
                       const QString& dnsFromDhcp, const QString& dhcpMask = QStringLiteral("255.255.0.0"))
{
    const QStringList lines = {
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<config version=\"1.7\" xmlns=\"%1\">").arg(QLatin1String(kConfigNamespace)),
        QStringLiteral("<tcpIp>"),
        QStringLiteral("<ipSettingMode type=\"ipSettingMode\">%1</ipSettingMode>").arg(mode),
        QStringLiteral("<staticIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%1]]></staticIp>")
            .arg(ip),
        QStringLiteral(
            "<staticIpRoute type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%1]]></staticIpRoute>")
            .arg(gateway),
        QStringLiteral(
            "<staticIpMask type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%1]]></staticIpMask>")
            .arg(mask),
        QStringLiteral("<dhcpIp type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[]]></dhcpIp>"),
        QStringLiteral("<dhcpIpRoute type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[]]></dhcpIpRoute>"),
        QStringLiteral("<dhcpIpMask type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[%1]]></dhcpIpMask>")
            .arg(dhcpMask),
        QStringLiteral("<dnsFromDhcpSwitch type=\"boolean\">%1</dnsFromDhcpSwitch>").arg(dnsFromDhcp),
        QStringLiteral(
            "<dnsServer1 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[10.99.0.1]]></dnsServer1>"),
        QStringLiteral("<dnsServer2 type=\"string\" minLen=\"7\" maxLen=\"15\"><![CDATA[]]></dnsServer2>"),
        QStringLiteral("</tcpIp>"),
        QStringLiteral("</config>"),
    };
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

QByteArray passwordBody(const QString& oldPassword, const QString& newPassword)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" ?><config version=\"1.0\"> xmlns=\"%1\" "
                          "<userPassword>  <oldPassword><![CDATA[%2]]></oldPassword>  "
                          "<password><![CDATA[%3]]></password> "
                          "</userPassword></config>")
        .arg(QLatin1String(kConfigNamespace), QString::fromLatin1(oldPassword.toUtf8().toBase64()),
             QString::fromLatin1(newPassword.toUtf8().toBase64()))
        .toUtf8();
}

QByteArray userBody(const QString& user, const QString& newPassword)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\" ?><config version=\"1.7\" xmlns=\"%1\"> <types>  "
               "<userType>   <enum>administrator</enum>   <enum>advance</enum>   <enum>normal</enum>  "
               "</userType> "
               "</types> <user type=\"list\" maxCount=\"16\">  <itemType>   <userType type=\"userType\" />   "
               "<userName type=\"string\" maxLen=\"15\" />   <password type=\"string\" maxLen=\"63\" />  "
               "</itemType>  "
               "<item>   <userName type=\"string\" maxLen=\"15\"><![CDATA[%2]]></userName>   "
               "<password type=\"string\" maxLen=\"63\"><![CDATA[%3]]></password>  </item> </user></config>")
        .arg(QLatin1String(kConfigNamespace), user, QString::fromLatin1(newPassword.toUtf8().toBase64()))
        .toUtf8();
}

tcSimDevice camera()
{
    tcSimDevice d;
    d.address = QHostAddress(QStringLiteral("10.99.2.20"));
    setDefaultNetwork(d, QHostAddress(QStringLiteral("10.99.0.1")));
    d.users = {{QStringLiteral("admin"), QStringLiteral("7093")},
               {QStringLiteral("viewer"), QStringLiteral("look")}};
    return d;
}

tcHttpRequest post(const QByteArray& path, const QByteArray& body)
{
    tcHttpRequest r;
    r.method = "POST";
    r.target = path;
    r.version = "HTTP/1.1";
    r.body = body;
    return r;
}

// status and errorCode of the reply's config element, as a client reads them.
QPair<QString, QString> verdictOf(const QByteArray& reply)
{
    QXmlStreamReader xml(reply);
    while (xml.readNextStartElement())
        if (xml.name() == QLatin1String("config"))
            return {xml.attributes().value(QLatin1String("status")).toString(),
                    xml.attributes().value(QLatin1String("errorCode")).toString()};
    return {};
}

// The success marker that the password client looks for: ="success" in any case.
bool hasSuccessMarker(const QByteArray& reply)
{
    return reply.toLower().contains("=\"success\"");
}

} // namespace

class tst_SimConfig : public QObject
{
    Q_OBJECT
private slots:
    void netConfigReplyCarriesTheState()
    {
        tcSimDevice d = camera();
        d.network.remove(QStringLiteral("dhcpIpMask")); // a device that leaves the element out
        d.network[QStringLiteral("ipSettingMode")] = QStringLiteral("DHCP");
        QXmlStreamReader xml(netConfigReply(d));
        QMap<QString, QString> seen;
        QString status;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("config")) {
                status = xml.attributes().value(QLatin1String("status")).toString();
                QCOMPARE(xml.namespaceUri().toString(), QString::fromLatin1(kConfigNamespace));
            } else if (xml.isStartElement() && xml.name() != QLatin1String("tcpIp")) {
                const QString name = xml.name().toString();
                seen.insert(name, xml.readElementText());
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(status, QStringLiteral("success"));
        QCOMPARE(seen, d.network);
        QVERIFY(!seen.contains(QStringLiteral("dhcpIpMask")));
    }

    void networkWrite_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("errorCode");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("staticIp");

        const QString ok = QStringLiteral("success"), failed = QStringLiteral("failed");
        const QString gw = QStringLiteral("10.99.0.1"), mask = QStringLiteral("255.255.0.0");
        QTest::newRow("static plan") << networkBody("staticIp", "10.99.3.20", gw, mask, "false") << ok
                                     << QString() << "staticIp"
                                     << "10.99.3.20";
        QTest::newRow("mode in other letter case is normalised")
            << networkBody("STATICIP", "10.99.3.21", gw, mask, "true") << ok << QString() << "staticIp"
            << "10.99.3.21";
        QTest::newRow("switch to DHCP keeps the static plan it was sent")
            << networkBody("dhcp", "10.99.2.20", gw, mask, "true") << ok << QString() << "dhcp"
            << "10.99.2.20";
        QTest::newRow("placeholder left in a read-only DHCP element is ignored")
            << networkBody("dhcp", "10.99.2.20", gw, mask, "true", "%DHCP_MASK%") << ok << QString() << "dhcp"
            << "10.99.2.20";
        QTest::newRow("address with a fifth part")
            << networkBody("staticIp", "10.99.3.20.1", gw, mask, "false") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("address byte above 255")
            << networkBody("staticIp", "10.99.3.256", gw, mask, "false") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("static run without an address")
            << networkBody("staticIp", "", gw, mask, "false") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("mask with a hole")
            << networkBody("staticIp", "10.99.3.20", gw, "255.0.255.0", "false") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("unknown mode")
            << networkBody("pppoe", "10.99.3.20", gw, mask, "false") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("DNS switch neither true nor false")
            << networkBody("staticIp", "10.99.3.20", gw, mask, "yes") << failed << "invalidParam"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("body cut short")
            << networkBody("staticIp", "10.99.3.20", gw, mask, "false").left(200) << failed << "invalidXml"
            << "staticIp"
            << "10.99.2.20";
        QTest::newRow("document element is not config")
            << QByteArray("<tcpIp><ipSettingMode>dhcp</ipSettingMode></tcpIp>") << failed << "invalidXml"
            << "staticIp"
            << "10.99.2.20";
    }
    void networkWrite()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, status);
        QFETCH(QString, errorCode);
        QFETCH(QString, mode);
        QFETCH(QString, staticIp);
        tcSimDevice d = camera();
        const tcSimResponse r =
            handleConfigRequest(d, QStringLiteral("admin"), post("/SetNetBasicConfig", body));
        QCOMPARE(verdictOf(r.body), qMakePair(status, errorCode));
        QCOMPARE(r.changed, status == QLatin1String("success"));
        QCOMPARE(d.network.value(QStringLiteral("ipSettingMode")), mode);
        QCOMPARE(d.network.value(QStringLiteral("staticIp")), staticIp);
    }

    void networkWriteStoresDnsSwitchAndLeavesDhcpElements()
    {
        tcSimDevice d = camera();
        handleConfigRequest(d, QStringLiteral("admin"),
                            post("/SetNetBasicConfig", networkBody("staticIp", "10.99.3.20", "10.99.0.254",
                                                                   "255.255.255.0", "true", "255.0.0.0")));
        QCOMPARE(d.network.value(QStringLiteral("staticIpRoute")), QStringLiteral("10.99.0.254"));
        QCOMPARE(d.network.value(QStringLiteral("staticIpMask")), QStringLiteral("255.255.255.0"));
        QCOMPARE(d.network.value(QStringLiteral("dnsFromDhcpSwitch")), QStringLiteral("true"));
        QCOMPARE(d.network.value(QStringLiteral("dhcpIpMask")), QString());
    }

    void switchToDhcpShowsALease()
    {
        tcSimDevice d = camera();
        d.network.remove(QStringLiteral("dhcpIpRoute")); // a device that never reports it
        handleConfigRequest(d, QStringLiteral("admin"),
                            post("/SetNetBasicConfig",
                                 networkBody("dhcp", "10.99.2.20", "10.99.0.1", "255.255.0.0", "true")));
        QCOMPARE(d.network.value(QStringLiteral("dhcpIp")), QStringLiteral("10.99.2.20"));
        QCOMPARE(d.network.value(QStringLiteral("dhcpIpMask")), QStringLiteral("255.255.0.0"));
        QVERIFY(!d.network.contains(QStringLiteral("dhcpIpRoute")));
    }

    void passwordWrites_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("errorCode"); // empty: success
        QTest::addColumn<QString>("changedUser");
        QTest::addColumn<QString>("password"); // that user's password afterwards

        QTest::newRow("admin sets a user's password")
            << QByteArray("/ModifyIntegrateUser") << "admin" << userBody("viewer", "n3w pass") << QString()
            << "viewer"
            << "n3w pass";
        QTest::newRow("admin sets its own password")
            << QByteArray("/ModifyIntegrateUser") << "admin" << userBody("admin", "x") << QString() << "admin"
            << "x";
        QTest::newRow("user that does not exist")
            << QByteArray("/ModifyIntegrateUser") << "admin" << userBody("ghost", "x") << "userNotExist"
            << "admin"
            << "7093";
        QTest::newRow("non-administrator may not set users")
            << QByteArray("/ModifyIntegrateUser") << "viewer" << userBody("admin", "x") << "noPermission"
            << "admin"
            << "7093";
        QTest::newRow("new password not Base64")
            << QByteArray("/ModifyIntegrateUser") << "admin" << userBody("viewer", "x").replace("eA==", "!!")
            << "invalidParam"
            << "viewer"
            << "look";
        QTest::newRow("user changes own password") << QByteArray("/ModifyPassword") << "viewer"
                                                   << passwordBody("look", "better") << QString() << "viewer"
                                                   << "better";
        QTest::newRow("current password wrong")
            << QByteArray("/ModifyPassword") << "viewer" << passwordBody("Look", "better") << "passwordError"
            << "viewer"
            << "look";
        QTest::newRow("empty new password")
            << QByteArray("/ModifyPassword") << "viewer" << passwordBody("look", "") << "invalidParam"
            << "viewer"
            << "look";
        QTest::newRow("not XML") << QByteArray("/ModifyPassword") << "viewer"
                                 << QByteArray("oldPassword=look") << "invalidXml"
                                 << "viewer"
                                 << "look";
    }
    void passwordWrites()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, user);
        QFETCH(QByteArray, body);
        QFETCH(QString, errorCode);
        QFETCH(QString, changedUser);
        QFETCH(QString, password);
        tcSimDevice d = camera();
        const tcSimResponse r = handleConfigRequest(d, user, post(path, body));
        QCOMPARE(hasSuccessMarker(r.body), errorCode.isEmpty());
        QCOMPARE(r.changed, errorCode.isEmpty());
        if (!errorCode.isEmpty())
            QCOMPARE(verdictOf(r.body), qMakePair(QStringLiteral("failed"), errorCode));
        QCOMPARE(d.users.value(changedUser), password);
    }

    // A device whose firmware writes the verdict in capitals, as the site file sets it.
    void successStatusFromTheSiteFile()
    {
        tcSimDevices devices;
        QString why;
        QVERIFY2(loadSiteJson(R"({"devices":[{"kind":"pq-camera","address":"10.99.1.2",
                                 "users":{"admin":"7093","viewer":"look"},"successStatus":"SUCCESS"}]})",
                              devices, &why),
                 qPrintable(why));
        const tcSimResponse r =
            handleConfigRequest(*devices.front(), QStringLiteral("admin"),
                                post("/ModifyIntegrateUser", userBody(QStringLiteral("viewer"), QStringLiteral("x"))));
        QCOMPARE(verdictOf(r.body), qMakePair(QStringLiteral("SUCCESS"), QString()));
        QVERIFY(r.changed);
    }

    void faultRepliesGiveTheClientNothingToRead()
    {
        QXmlStreamReader xml(malformedReply());
        bool sawConfig = false;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement)
                sawConfig = true;
        QVERIFY(xml.hasError());
        QVERIFY(!sawConfig);
        QVERIFY(!hasSuccessMarker(malformedReply()));
        QCOMPARE(verdictOf(verdictReply(false, QStringLiteral("0x1d"))),
                 qMakePair(QStringLiteral("failed"), QStringLiteral("0x1d")));
    }

    void configPathsAndMethods_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("method");
        QTest::newRow("read") << QByteArray("/GetNetBasicConfig") << QByteArray("GET");
        QTest::newRow("write") << QByteArray("/SetNetBasicConfig") << QByteArray("POST");
        QTest::newRow("user") << QByteArray("/ModifyIntegrateUser") << QByteArray("POST");
        QTest::newRow("password") << QByteArray("/ModifyPassword") << QByteArray("POST");
        QTest::newRow("path without slash is not served") << QByteArray("GetNetBasicConfig") << QByteArray();
        QTest::newRow("other letter case is not served") << QByteArray("/getnetbasicconfig") << QByteArray();
    }
    void configPathsAndMethods()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, method);
        QCOMPARE(configMethod(path), method);
    }
};

QTEST_GUILESS_MAIN(tst_SimConfig)
#include "tst_simconfig.moc"
