// The ONVIF device service codec: the UsernameToken digest and the device clock, the
// password rule, the request bodies, and the replies of several makers' devices
// (tests/data/onvif/device, see its README).
#include "tcOnvifDeviceCodec.h"

#include <QFile>
#include <QtTest>

using namespace tcOnvifDevice;

namespace {

// Spelled here, not taken from the product: a wrong URI must fail these tests.
const QString kDeviceNs = QStringLiteral("http://www.onvif.org/ver10/device/wsdl");
const QString kSchemaNs = QStringLiteral("http://www.onvif.org/ver10/schema");
const QString kSoap12Ns = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");

QByteArray dataFile(const QString& name)
{
    QFile file(QStringLiteral(ZL_TEST_DATA_DIR "/onvif/device/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return file.readAll();
}

QDateTime utc(const QString& text)
{
    QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    moment.setTimeSpec(Qt::UTC);
    return moment;
}

// Every element of a message as "{namespace}local", read with namespace processing on:
// a prefix the message uses without declaring it is an error here.
QStringList qualifiedNames(const QByteArray& message, QString& error)
{
    QStringList names;
    QXmlStreamReader xml(message);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            names << QLatin1Char('{') + xml.namespaceUri().toString() + QLatin1Char('}') +
                         xml.name().toString();
    }
    if (xml.hasError())
        error = xml.errorString();
    return names;
}

} // namespace

Q_DECLARE_METATYPE(tcPasswordRule)
Q_DECLARE_METATYPE(tcTokenCheck)
Q_DECLARE_METATYPE(tcReply::Kind)

class tst_OnvifDevice : public QObject
{
    Q_OBJECT
private slots:
    void digest_data()
    {
        QTest::addColumn<QByteArray>("nonce"); // Base64
        QTest::addColumn<QByteArray>("created");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("digest");

        // ONVIF Application Programmer's Guide, section 6.1.1.3 (the published example).
        QTest::newRow("programmers' guide example")
            << QByteArray("LKqI6G/AikKCQrN0zqZFlg==") << QByteArray("2010-09-16T07:50:45Z")
            << QStringLiteral("userpassword") << QByteArray("tuOSpGlFlIXsozq4HFNeeGeFLEI=");
        // python3 -c "import hashlib,base64; print(base64.b64encode(hashlib.sha1(bytes(range(16))
        //   + b'2026-12-07T23:00:00Z' + 'Pässw0rd!'.encode()).digest()))"
        QTest::newRow("password in UTF-8")
            << QByteArray("AAECAwQFBgcICQoLDA0ODw==") << QByteArray("2026-12-07T23:00:00Z")
            << QStringLiteral("P\u00e4ssw0rd!") << QByteArray("BhLu1jiBn0eGA2lW4LlIfZjTpDY=");
    }
    void digest()
    {
        QFETCH(QByteArray, nonce);
        QFETCH(QByteArray, created);
        QFETCH(QString, password);
        QFETCH(QByteArray, digest);
        const QByteArray raw = QByteArray::fromBase64(nonce);
        QCOMPARE(passwordDigest(raw, created, password), digest);

        // the token built for that moment carries the same values, and the header says so
        const tcUsernameToken token =
            makeToken(QStringLiteral("admin"), password, raw, utc(QString::fromLatin1(created)));
        QCOMPARE(token.created, created);
        QCOMPARE(token.digest, digest);
        const QByteArray message = request(getDeviceInformation(), token);
        QVERIFY(message.contains("<wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
                                 "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">" +
                                 digest + "</wsse:Password>"));
        QVERIFY(message.contains(">" + nonce + "</wsse:Nonce>"));
        QVERIFY(message.contains("<wsu:Created>" + created + "</wsu:Created>"));
        QVERIFY(!message.contains(password.toUtf8()));
        QVERIFY(!message.contains("PasswordText"));
    }

    void nonceIsFreshEveryTime()
    {
        const QByteArray first = freshNonce();
        const QByteArray second = freshNonce();
        QCOMPARE(first.size(), 16);
        QVERIFY(first != second);
        QVERIFY(first != QByteArray(16, '\0'));
    }

    void clockOffset_data()
    {
        QTest::addColumn<QDateTime>("deviceUtc");
        QTest::addColumn<QDateTime>("sentAt");
        QTest::addColumn<QDateTime>("receivedAt");
        QTest::addColumn<qint64>("offsetMs");
        QTest::addColumn<QByteArray>("createdAtNoon"); // the Created of a request sent at 12:00:00 local

        QTest::newRow("device an hour ahead, instant reply")
            << utc("2026-12-07T13:00:00") << utc("2026-12-07T12:00:00") << utc("2026-12-07T12:00:00")
            << qint64(3600000) << QByteArray("2026-12-07T13:00:00Z");
        // the device read its clock half-way through the 800 ms round trip
        QTest::newRow("device 10 s behind, slow reply")
            << utc("2026-12-07T11:59:50.400") << utc("2026-12-07T12:00:00") << utc("2026-12-07T12:00:00.800")
            << qint64(-10000) << QByteArray("2026-12-07T11:59:50Z");
        QTest::newRow("device years behind (never set)")
            << utc("2000-01-01T00:00:00") << utc("2026-12-07T12:00:00") << utc("2026-12-07T12:00:00")
            << qint64(-849960000000) << QByteArray("2000-01-01T00:00:00Z");
        QTest::newRow("device on time")
            << utc("2026-12-07T12:00:01") << utc("2026-12-07T12:00:00") << utc("2026-12-07T12:00:02")
            << qint64(0) << QByteArray("2026-12-07T12:00:00Z");
    }
    void clockOffset()
    {
        QFETCH(QDateTime, deviceUtc);
        QFETCH(QDateTime, sentAt);
        QFETCH(QDateTime, receivedAt);
        QFETCH(qint64, offsetMs);
        QFETCH(QByteArray, createdAtNoon);
        const qint64 offset = clockOffsetMs(deviceUtc, sentAt, receivedAt);
        QCOMPARE(offset, offsetMs);
        QCOMPARE(createdText(deviceNow(utc("2026-12-07T12:00:00"), offset)), createdAtNoon);
    }

    // The device's check of a token against its own clock, with a client that does or does
    // not add the device's offset.
    void tokenCheck_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<qint64>("clientOffsetMs"); // what the client adds to its clock
        QTest::addColumn<qint64>("deviceOffsetMs"); // how far the device's clock is off
        QTest::addColumn<bool>("withToken");
        QTest::addColumn<tcTokenCheck>("check");

        const QString right = QStringLiteral("Secr3t!x");
        QTest::newRow("offset kept") << right << qint64(3600000) << qint64(3600000) << true
                                     << tcTokenCheck::Accepted;
        QTest::newRow("offset ignored: stale Created")
            << right << qint64(0) << qint64(3600000) << true << tcTokenCheck::Stale;
        QTest::newRow("within the window")
            << right << qint64(0) << qint64(240000) << true << tcTokenCheck::Accepted;
        QTest::newRow("Created in the future")
            << right << qint64(3600000) << qint64(0) << true << tcTokenCheck::Stale;
        QTest::newRow("wrong password")
            << QStringLiteral("Secr3t!y") << qint64(0) << qint64(0) << true << tcTokenCheck::WrongDigest;
        QTest::newRow("no token") << right << qint64(0) << qint64(0) << false << tcTokenCheck::Missing;
    }
    void tokenCheck()
    {
        QFETCH(QString, password);
        QFETCH(qint64, clientOffsetMs);
        QFETCH(qint64, deviceOffsetMs);
        QFETCH(bool, withToken);
        QFETCH(tcTokenCheck, check);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        std::optional<tcUsernameToken> token;
        if (withToken)
            token =
                makeToken(QStringLiteral("admin"), password, freshNonce(), deviceNow(now, clientOffsetMs));
        const tcRequest parsed = parseRequest(request(getUsers(), token));
        QVERIFY(parsed.valid);
        QCOMPARE(parsed.operation.name, QStringLiteral("GetUsers"));
        QCOMPARE(checkToken(parsed, QStringLiteral("admin"), QStringLiteral("Secr3t!x"),
                            now.addMSecs(deviceOffsetMs)),
                 check);
    }

    void passwordTextRefused()
    {
        const QByteArray message =
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Header>"
            "<Security "
            "xmlns=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\">"
            "<UsernameToken><Username>admin</Username><Password "
            "Type=\"http://docs.oasis-open.org/wss/2004/01/"
            "oasis-200401-wss-username-token-profile-1.0#PasswordText\">Secr3t!x</Password></UsernameToken>"
            "</Security></s:Header><s:Body><GetUsers "
            "xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/></s:Body>"
            "</s:Envelope>";
        const tcRequest parsed = parseRequest(message);
        QVERIFY(parsed.valid);
        QCOMPARE(checkToken(parsed, QStringLiteral("admin"), QStringLiteral("Secr3t!x"),
                            QDateTime::currentDateTimeUtc()),
                 tcTokenCheck::PasswordText);
    }

    void passwordRule_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("code");

        QTest::newRow("lower, upper, digit, symbol")
            << QStringLiteral("Abcdef1!") << QStringLiteral("accepted");
        QTest::newRow("three classes, no symbol") << QStringLiteral("Abcdefg1") << QStringLiteral("accepted");
        QTest::newRow("letters outside ASCII")
            << QStringLiteral("\u00c4\u00d6\u00fc\u00e4bc12") << QStringLiteral("accepted");
        QTest::newRow("two classes") << QStringLiteral("abcdefg1") << QStringLiteral("too-few-classes");
        QTest::newRow("one class, long")
            << QStringLiteral("passwordpassword") << QStringLiteral("too-few-classes");
        QTest::newRow("seven characters") << QStringLiteral("Abc12!x") << QStringLiteral("too-short");
        // four emoji take eight UTF-16 units but are four characters
        QTest::newRow("surrogate pairs counted once")
            << QStringLiteral("A1\U0001F600\U0001F600\U0001F600\U0001F600") << QStringLiteral("too-short");
        QTest::newRow("empty") << QString() << QStringLiteral("empty");
        QTest::newRow("control character")
            << QStringLiteral("Abcdef1!\x01") << QStringLiteral("control-character");
    }
    void passwordRule()
    {
        QFETCH(QString, password);
        QFETCH(QString, code);
        QCOMPARE(ruleCode(checkNewPassword(password)), code);
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("operation");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("GetSystemDateAndTime")
            << getSystemDateAndTime() << QByteArray("<tds:GetSystemDateAndTime/>");
        QTest::newRow("SystemReboot") << systemReboot() << QByteArray("<tds:SystemReboot/>");
        tcDateTimeSetting manual;
        manual.utc = utc("2026-03-04T05:06:07");
        manual.daylightSavings = true;
        QTest::newRow("Manual UTC, time zone kept")
            << setSystemDateAndTime(manual)
            << QByteArray("<tds:SetSystemDateAndTime><tds:DateTimeType>Manual</tds:DateTimeType>"
                          "<tds:DaylightSavings>true</tds:DaylightSavings><tds:UTCDateTime><tt:Time>"
                          "<tt:Hour>5</tt:Hour><tt:Minute>6</tt:Minute><tt:Second>7</tt:Second></tt:Time>"
                          "<tt:Date><tt:Year>2026</tt:Year><tt:Month>3</tt:Month><tt:Day>4</tt:Day></tt:Date>"
                          "</tds:UTCDateTime></tds:SetSystemDateAndTime>");
        tcDateTimeSetting ntp;
        ntp.ntp = true;
        ntp.timeZone = QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3");
        QTest::newRow("NTP with a time zone")
            << setSystemDateAndTime(ntp)
            << QByteArray(
                   "<tds:SetSystemDateAndTime><tds:DateTimeType>NTP</tds:DateTimeType>"
                   "<tds:DaylightSavings>false</tds:DaylightSavings><tds:TimeZone>"
                   "<tt:TZ>CET-1CEST,M3.5.0,M10.5.0/3</tt:TZ></tds:TimeZone></tds:SetSystemDateAndTime>");
        QTest::newRow("SetNTP address and name")
            << setNtp({QStringLiteral("10.0.0.5"), QStringLiteral("pool.ntp.org")})
            << QByteArray(
                   "<tds:SetNTP><tds:FromDHCP>false</tds:FromDHCP><tds:NTPManual><tt:Type>IPv4</tt:Type>"
                   "<tt:IPv4Address>10.0.0.5</tt:IPv4Address></tds:NTPManual><tds:NTPManual>"
                   "<tt:Type>DNS</tt:Type><tt:DNSname>pool.ntp.org</tt:DNSname></tds:NTPManual></"
                   "tds:SetNTP>");
        QTest::newRow("SetNTP from DHCP")
            << setNtp({}) << QByteArray("<tds:SetNTP><tds:FromDHCP>true</tds:FromDHCP></tds:SetNTP>");
        QTest::newRow("static IPv4")
            << setNetworkInterfaces(QStringLiteral("eth0"), {false, QStringLiteral("192.168.7.20"), 23})
            << QByteArray(
                   "<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken>"
                   "<tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4><tt:Enabled>true</tt:Enabled>"
                   "<tt:Manual><tt:Address>192.168.7.20</tt:Address><tt:PrefixLength>23</tt:PrefixLength>"
                   "</tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
                   "</tds:SetNetworkInterfaces>");
        QTest::newRow("DHCP")
            << setNetworkInterfaces(QStringLiteral("NetworkInterfaceToken_1"), {true, QString(), 0})
            << QByteArray(
                   "<tds:SetNetworkInterfaces><tds:InterfaceToken>NetworkInterfaceToken_1"
                   "</tds:InterfaceToken><tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4>"
                   "<tt:Enabled>true</tt:Enabled><tt:DHCP>true</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
                   "</tds:SetNetworkInterfaces>");
        QTest::newRow("default gateway")
            << setNetworkDefaultGateway({QStringLiteral("192.168.7.1")})
            << QByteArray("<tds:SetNetworkDefaultGateway><tds:IPv4Address>192.168.7.1</tds:IPv4Address>"
                          "</tds:SetNetworkDefaultGateway>");
        QTest::newRow("two DNS servers")
            << setDns({QStringLiteral("8.8.8.8"), QStringLiteral("1.1.1.1")})
            << QByteArray(
                   "<tds:SetDNS><tds:FromDHCP>false</tds:FromDHCP><tds:DNSManual><tt:Type>IPv4</tt:Type>"
                   "<tt:IPv4Address>8.8.8.8</tt:IPv4Address></tds:DNSManual><tds:DNSManual><tt:Type>IPv4"
                   "</tt:Type><tt:IPv4Address>1.1.1.1</tt:IPv4Address></tds:DNSManual></tds:SetDNS>");
        QTest::newRow("SetUser with markup in the password")
            << setUser(
                   {QStringLiteral("admin"), QStringLiteral("a<b>&\"c'"), QStringLiteral("Administrator")})
            << QByteArray("<tds:SetUser><tds:User><tt:Username>admin</tt:Username>"
                          "<tt:Password>a&lt;b&gt;&amp;&quot;c&apos;</tt:Password>"
                          "<tt:UserLevel>Administrator</tt:UserLevel></tds:User></tds:SetUser>");
        QTest::newRow("CreateUsers, level defaults to Administrator")
            << createUsers({{QStringLiteral("installer"), QStringLiteral("Abcdef1!"), QString()}})
            << QByteArray("<tds:CreateUsers><tds:User><tt:Username>installer</tt:Username>"
                          "<tt:Password>Abcdef1!</tt:Password><tt:UserLevel>Administrator</tt:UserLevel>"
                          "</tds:User></tds:CreateUsers>");
    }
    void requests()
    {
        QFETCH(QByteArray, operation);
        QFETCH(QByteArray, expected);
        QCOMPARE(operation, expected);

        // in its envelope every element is in the namespace the WSDL gives it
        const tcUsernameToken token = makeToken(QStringLiteral("admin"), QStringLiteral("x"),
                                                QByteArray(16, 'n'), utc("2026-12-07T23:00:00"));
        QString error;
        const QStringList names = qualifiedNames(request(operation, token), error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(names.value(0), QLatin1Char('{') + kSoap12Ns + QStringLiteral("}Envelope"));
        const int body = names.indexOf(QLatin1Char('{') + kSoap12Ns + QStringLiteral("}Body"));
        QVERIFY(body > 0);
        for (const QString& name : names.mid(body + 1)) {
            const QString local = name.mid(name.indexOf(QLatin1Char('}')) + 1);
            const QString prefixed = QString::fromUtf8(operation);
            if (prefixed.contains(QStringLiteral("<tds:") + local + QLatin1Char('>')) ||
                prefixed.contains(QStringLiteral("<tds:") + local + QStringLiteral("/>")))
                QVERIFY2(name.startsWith(QLatin1Char('{') + kDeviceNs + QLatin1Char('}')), qPrintable(name));
            if (prefixed.contains(QStringLiteral("<tt:") + local + QLatin1Char('>')))
                QVERIFY2(name.startsWith(QLatin1Char('{') + kSchemaNs + QLatin1Char('}')), qPrintable(name));
        }
    }

    void deviceInformation_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("soapVersion");
        QTest::addColumn<QStringList>("fields"); // manufacturer, model, firmware, serial, hardware id

        QTest::newRow("gSOAP with a Security header in the reply")
            << "gsoap-get-device-information.xml" << 12
            << QStringList{"Mockup Manufacturer", "Mockup Model", "Mockup_15_14_13", "00000000", "MOCKUP"};
        QTest::newRow("SOAP 1.1, no HardwareId, an entity")
            << "soap11-get-device-information.xml" << 11
            << QStringList{"ACME & Sons", "IPC-B140", "V5.5.3 build 180327", "DS-2CD2142FWD0120171207", ""};
    }
    void deviceInformation()
    {
        QFETCH(QString, file);
        QFETCH(int, soapVersion);
        QFETCH(QStringList, fields);
        const tcReply reply = parseReply(dataFile(file), QLatin1String("GetDeviceInformationResponse"));
        QCOMPARE(reply.kind, tcReply::Ok);
        QCOMPARE(reply.soapVersion, soapVersion);
        const auto info = tcOnvifDevice::deviceInformation(reply);
        QVERIFY(info);
        QCOMPARE(
            QStringList({info->manufacturer, info->model, info->firmware, info->serial, info->hardwareId}),
            fields);
    }

    void systemDateAndTime_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("daylightSavings");
        QTest::addColumn<QString>("timeZone");
        QTest::addColumn<QDateTime>("utcTime");

        // UTCDateTime, not LocalDateTime (three hours apart here), is the device's clock
        QTest::newRow("Axis") << dataFile("axis-get-system-date-and-time.xml") << "Manual" << true << "BRT3"
                              << utc("2024-07-09T19:49:06");
        QTest::newRow("no UTCDateTime (optional)")
            << QByteArray("<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body>"
                          "<GetSystemDateAndTimeResponse><SystemDateAndTime><DateTimeType>NTP</DateTimeType>"
                          "<DaylightSavings>false</DaylightSavings></SystemDateAndTime>"
                          "</GetSystemDateAndTimeResponse></e:Body></e:Envelope>")
            << "NTP" << false << "" << QDateTime();
        QTest::newRow("impossible date")
            << QByteArray(
                   "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body>"
                   "<GetSystemDateAndTimeResponse><SystemDateAndTime><DateTimeType>Manual</DateTimeType>"
                   "<DaylightSavings>1</DaylightSavings><UTCDateTime><Time><Hour>25</Hour><Minute>0</Minute>"
                   "<Second>0</Second></Time><Date><Year>2026</Year><Month>2</Month><Day>30</Day></Date>"
                   "</UTCDateTime></SystemDateAndTime></GetSystemDateAndTimeResponse></e:Body></e:Envelope>")
            << "Manual" << true << "" << QDateTime();
    }
    void systemDateAndTime()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, type);
        QFETCH(bool, daylightSavings);
        QFETCH(QString, timeZone);
        QFETCH(QDateTime, utcTime);
        const auto value = tcOnvifDevice::systemDateAndTime(parseReply(reply));
        QVERIFY(value);
        QCOMPARE(value->type, type);
        QCOMPARE(value->daylightSavings, daylightSavings);
        QCOMPARE(value->timeZone, timeZone);
        QCOMPARE(value->utc, utcTime);
    }

    void networkInterfaces()
    {
        const auto fixed =
            tcOnvifDevice::networkInterfaces(parseReply(dataFile("schema-get-network-interfaces.xml")));
        QVERIFY(fixed);
        QCOMPARE(fixed->size(), size_t(1));
        const tcNetworkInterface& eth0 = fixed->front();
        QCOMPARE(eth0.token, QStringLiteral("eth0"));
        QVERIFY(eth0.enabled && eth0.ipv4Enabled && !eth0.dhcp);
        QCOMPARE(eth0.mac, QStringLiteral("44:19:b6:0a:21:7c"));
        // the link-local address and the vendor's extension address are not the configured one
        QCOMPARE(eth0.manualAddress, QStringLiteral("192.168.1.64"));
        QCOMPARE(eth0.manualPrefix, 24);
        QCOMPARE(eth0.dhcpAddress, QString());

        const auto dhcp =
            tcOnvifDevice::networkInterfaces(parseReply(dataFile("dhcp-get-network-interfaces.xml")));
        QVERIFY(dhcp);
        QCOMPARE(dhcp->size(), size_t(2));
        QCOMPARE(dhcp->at(0).token, QStringLiteral("NetworkInterfaceToken_1"));
        QVERIFY(dhcp->at(0).dhcp);
        QCOMPARE(dhcp->at(0).mac, QStringLiteral("00-40-8C-18-36-B2"));
        QCOMPARE(dhcp->at(0).dhcpAddress, QStringLiteral("10.4.2.77"));
        QCOMPARE(dhcp->at(0).dhcpPrefix, 22);
        QCOMPARE(dhcp->at(0).manualPrefix, -1);
        QCOMPARE(dhcp->at(1).token, QStringLiteral("wlan0"));
        QVERIFY(!dhcp->at(1).enabled && !dhcp->at(1).ipv4Enabled);
    }

    void rebootNeeded_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 no answer

        QTest::newRow("Hikvision, undeclared Body prefix")
            << dataFile("hikvision-set-network-interfaces.xml") << 1;
        QTest::newRow("false")
            << QByteArray("<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
                          "<env:Body><SetNetworkInterfacesResponse><RebootNeeded> false "
                          "</RebootNeeded></SetNetworkInterfacesResponse></env:Body></env:Envelope>")
            << 0;
        QTest::newRow("not a boolean")
            << QByteArray("<env:Envelope><env:Body><SetNetworkInterfacesResponse>"
                          "<RebootNeeded>yes</RebootNeeded></SetNetworkInterfacesResponse>"
                          "</env:Body></env:Envelope>")
            << -1;
        QTest::newRow("another response") << dataFile("gsoap-get-device-information.xml") << -1;
        QTest::newRow("a fault") << dataFile("vivotek-fault-not-authorized.xml") << -1;
    }
    void rebootNeeded()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, expected);
        const std::optional<bool> needed = tcOnvifDevice::rebootNeeded(parseReply(reply));
        QCOMPARE(needed ? int(*needed) : -1, expected);
    }

    void users()
    {
        const auto list = tcOnvifDevice::users(parseReply(dataFile("get-users.xml")));
        QVERIFY(list);
        QCOMPARE(list->size(), size_t(2));
        QCOMPARE(list->at(0).name, QStringLiteral("admin"));
        QCOMPARE(list->at(0).level, QStringLiteral("Administrator"));
        QCOMPARE(list->at(1).name, QStringLiteral("viewer"));
        QCOMPARE(list->at(1).level, QStringLiteral("User"));
    }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("subcodes");
        QTest::addColumn<QString>("reason");

        QTest::newRow("Vivotek NotAuthorized")
            << dataFile("vivotek-fault-not-authorized.xml") << "Sender" << QStringList{"NotAuthorized"}
            << "An error was discovered processing the <wsse:Security> header.";
        QTest::newRow("gSOAP NotAuthorized")
            << dataFile("gsoap-fault-not-authorized.xml") << "Sender" << QStringList{"NotAuthorized"}
            << "The security token could not be authenticated or authorized";
        QTest::newRow("nested subcodes, English reason chosen")
            << dataFile("fault-invalid-ipv4-address.xml") << "Sender"
            << QStringList{"InvalidArgVal", "InvalidIPv4Address"} << "The suggested IPv4 address is invalid";
        QTest::newRow("SOAP 1.1 Client")
            << dataFile("soap11-fault-client.xml") << "Sender" << QStringList() << "Sender not Authorized";
        QTest::newRow("SOAP 1.1 with the ONVIF code as faultcode")
            << QByteArray(
                   "<S:Envelope xmlns:S=\"http://schemas.xmlsoap.org/soap/envelope/\"><S:Body><S:Fault>"
                   "<faultcode>ter:ActionNotSupported</faultcode><faultstring>no</faultstring></S:Fault>"
                   "</S:Body></S:Envelope>")
            << "" << QStringList{"ActionNotSupported"} << "no";
        QTest::newRow("Receiver, no reason")
            << QByteArray("<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body><e:Fault>"
                          "<e:Code><e:Value>e:Receiver</e:Value><e:Subcode><e:Value>ter:Action</e:Value>"
                          "</e:Subcode></e:Code></e:Fault></e:Body></e:Envelope>")
            << "Receiver" << QStringList{"Action"} << "";
        QTest::newRow("as the simulator writes one")
            << faultReply(QStringLiteral("Sender"),
                          {QStringLiteral("ter:InvalidArgVal"), QStringLiteral("ter:InvalidIPv4Address")},
                          QStringLiteral("bad <address>"))
            << "Sender" << QStringList{"InvalidArgVal", "InvalidIPv4Address"} << "bad <address>";
    }
    void faults()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, code);
        QFETCH(QStringList, subcodes);
        QFETCH(QString, reason);
        // a fault is read as one whatever response was expected
        const tcReply parsed = parseReply(reply, QLatin1String("SetNetworkInterfacesResponse"));
        QCOMPARE(parsed.kind, tcReply::Fault);
        QCOMPARE(parsed.fault.code, code);
        QCOMPARE(parsed.fault.subcodes, subcodes);
        QCOMPARE(parsed.fault.reason, reason);
        QVERIFY(!tcOnvifDevice::rebootNeeded(parsed));
    }

    void invalid_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("expected");

        const QByteArray envelope = "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body>"
                                    "<GetDeviceInformationResponse><Model>";
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("HTML error page") << QByteArray("<html><body>401</body></html>") << QString();
        QTest::newRow("cut short") << envelope << QString();
        QTest::newRow("empty Body")
            << QByteArray(
                   "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Body/></e:Envelope>")
            << QString();
        QTest::newRow("other response than expected")
            << dataFile("get-users.xml") << QStringLiteral("GetDeviceInformationResponse");
        QByteArray deep = envelope;
        for (int i = 0; i < 40; ++i)
            deep += "<a>";
        QTest::newRow("nested too deep") << deep << QString();
        // 256 KiB is the cap; a reply one byte longer is not read even when well-formed
        QByteArray large = dataFile("gsoap-get-device-information.xml");
        large.insert(large.indexOf("<SOAP-ENV:Body>"), QByteArray(256 * 1024 + 1 - large.size(), ' '));
        QTest::newRow("one byte over the cap") << large << QString();
    }
    void invalid()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, expected);
        const tcReply parsed = parseReply(reply, QLatin1String(expected.toLatin1()));
        QCOMPARE(parsed.kind, tcReply::Invalid);
        QVERIFY(!parsed.error.isEmpty());
        QVERIFY(!tcOnvifDevice::deviceInformation(parsed));
    }

    void atTheCap()
    {
        QByteArray large = dataFile("gsoap-get-device-information.xml");
        large.insert(large.indexOf("<SOAP-ENV:Body>"), QByteArray(256 * 1024 - large.size(), ' '));
        QCOMPARE(large.size(), 256 * 1024);
        QVERIFY(tcOnvifDevice::deviceInformation(parseReply(large)));
    }
};

QTEST_GUILESS_MAIN(tst_OnvifDevice)
#include "tst_onvifdevice.moc"
