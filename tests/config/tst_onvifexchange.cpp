// One device's ONVIF exchange against canned replies: the operations it sends and in
// which order, the login each one carries (a token made on the device's clock, Digest
// once asked for, never Basic), and how replies and faults end it.
#include "tcOnvifExchange.h"

#include <QSignalSpy>
#include <QtTest>

using namespace tcOnvifDevice;

namespace {

// Replies in order: "ok <response element>", "fault <subcode> <status>", "401 <challenge>",
// "raw <status> <body>" or "down" (nothing answers).
class tcCannedTransport : public tcHttpTransport
{
public:
    using tcHttpTransport::tcHttpTransport;

    void send(const tcHttpExchange& exchange, tcDone done) override
    {
        sent << exchange;
        const QString next = script.isEmpty() ? QStringLiteral("down") : script.takeFirst();
        const QString word = next.section(QLatin1Char(' '), 0, 0);
        const QString rest = next.section(QLatin1Char(' '), 1);
        tcHttpResult result;
        if (word == QLatin1String("ok")) {
            result.kind = tcHttpResult::Ok;
            result.status = 200;
            result.body = reply(rest.toUtf8());
        } else if (word == QLatin1String("fault")) {
            result.status = rest.section(QLatin1Char(' '), 1).toInt();
            result.body = faultReply(QStringLiteral("Sender"), {rest.section(QLatin1Char(' '), 0, 0)},
                                     QStringLiteral("refused"));
        } else if (word == QLatin1String("401")) {
            result.kind = tcHttpResult::AuthenticationRequired;
            result.status = 401;
            result.wwwAuthenticate = rest.toUtf8();
        } else if (word == QLatin1String("raw")) {
            result.status = rest.section(QLatin1Char(' '), 0, 0).toInt();
            result.kind = result.status == 200 ? tcHttpResult::Ok : tcHttpResult::NetworkError;
            result.body = rest.section(QLatin1Char(' '), 1).toUtf8();
        } else {
            result.error = QStringLiteral("connection refused");
        }
        QTimer::singleShot(0, this, [done, result] { done(result); });
    }

    // "<operation> <token user or -> <Authorization scheme or ->" per request.
    QStringList lines() const
    {
        QStringList out;
        for (const tcHttpExchange& e : sent) {
            const tcRequest request = parseRequest(e.body);
            const QByteArray authorization = e.header("Authorization");
            out << QStringList{request.operation.name,
                               request.token ? request.token->user : QStringLiteral("-"),
                               authorization.isEmpty()
                                   ? QStringLiteral("-")
                                   : QString::fromLatin1(authorization.split(' ').first())}
                       .join(QLatin1Char(' '));
        }
        return out;
    }

    QStringList script;
    QList<tcHttpExchange> sent;
};

// The device's clock this far ahead of the workstation's.
constexpr qint64 kAheadSecs = 3600;

QString clockReply(qint64 aheadSecs = kAheadSecs, const char* type = "Manual")
{
    const QDateTime t = QDateTime::currentDateTimeUtc().addSecs(aheadSecs);
    return QStringLiteral(
               "ok <tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>%1"
               "</tt:DateTimeType><tt:DaylightSavings>true</tt:DaylightSavings><tt:TimeZone><tt:TZ>"
               "CET-1CEST</tt:TZ></tt:TimeZone><tt:UTCDateTime><tt:Date><tt:Year>%2</tt:Year>"
               "<tt:Month>%3</tt:Month><tt:Day>%4</tt:Day></tt:Date><tt:Time><tt:Hour>%5</tt:Hour>"
               "<tt:Minute>%6</tt:Minute><tt:Second>%7</tt:Second></tt:Time></tt:UTCDateTime>"
               "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>")
        .arg(QLatin1String(type))
        .arg(t.date().year())
        .arg(t.date().month())
        .arg(t.date().day())
        .arg(t.time().hour())
        .arg(t.time().minute())
        .arg(t.time().second());
}

const QString kInterfaces = QStringLiteral(
    "ok <tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"eth0\"><tt:Enabled>true</tt:Enabled>"
    "<tt:Info><tt:HwAddress>00:1e:00:00:00:09</tt:HwAddress></tt:Info><tt:IPv4><tt:Enabled>true</tt:Enabled>"
    "<tt:Config><tt:Manual><tt:Address>10.99.1.9</tt:Address><tt:PrefixLength>16</tt:PrefixLength>"
    "</tt:Manual><tt:DHCP>false</tt:DHCP></tt:Config></tt:IPv4></tds:NetworkInterfaces>"
    "</tds:GetNetworkInterfacesResponse>");
const QString kUsers = QStringLiteral(
    "ok <tds:GetUsersResponse><tds:User><tt:Username>admin</tt:Username><tt:UserLevel>Administrator"
    "</tt:UserLevel></tds:User><tds:User><tt:Username>op</tt:Username><tt:UserLevel>Operator</tt:UserLevel>"
    "</tds:User></tds:GetUsersResponse>");
const QString kInformation = QStringLiteral(
    "ok "
    "<tds:GetDeviceInformationResponse><tds:Manufacturer>Acme</tds:Manufacturer><tds:Model>IPC-2</tds:Model>"
    "<tds:FirmwareVersion>V5.1</tds:FirmwareVersion><tds:SerialNumber>SN9</tds:SerialNumber>"
    "<tds:HardwareId>HW1</tds:HardwareId></tds:GetDeviceInformationResponse>");
const QString kDigest = QStringLiteral("401 Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\"");

QString ok(const char* response)
{
    return QStringLiteral("ok <tds:%1/>").arg(QLatin1String(response));
}

} // namespace

class tst_OnvifExchange : public QObject
{
    Q_OBJECT

    tcOnvifResult run(tcCannedTransport& transport, tcOnvifTask task)
    {
        if (task.user.isEmpty()) {
            task.user = QStringLiteral("admin");
            task.password = QStringLiteral("pw");
        }
        tcOnvifExchange exchange(&transport, QUrl(QStringLiteral("http://10.99.1.9/onvif/device_service")),
                                 task);
        exchange.setRebootTiming(1, 200);
        QSignalSpy ended(&exchange, &tcOnvifExchange::sig_ended);
        exchange.start();
        if (!ended.wait(5000))
            return tcOnvifResult();
        [&] { QCOMPARE(ended.count(), 1); }();
        return ended.first().first().value<tcOnvifResult>();
    }

private slots:
    void operations_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("outcome"); // "<code> <reason> <proof>"

        const int network = int(tcOnvifOperation::Network), password = int(tcOnvifOperation::Password),
                  time = int(tcOnvifOperation::Time), reboot = int(tcOnvifOperation::Reboot),
                  info = int(tcOnvifOperation::Information);
        QTest::newRow("information") << info << QStringList{clockReply(), kInformation}
                                     << QStringList{"GetSystemDateAndTime - -",
                                                    "GetDeviceInformation admin -"}
                                     << "0  0";
        // Gateway and DNS go first: after the address the device is elsewhere.
        QTest::newRow("static address, no reboot")
            << network
            << QStringList{clockReply(), kInterfaces, ok("SetDNSResponse"),
                           ok("SetNetworkDefaultGatewayResponse"),
                           "ok <tds:SetNetworkInterfacesResponse><tds:RebootNeeded>false</tds:RebootNeeded>"
                           "</tds:SetNetworkInterfacesResponse>"}
            << QStringList{"GetSystemDateAndTime - -", "GetNetworkInterfaces admin -", "SetDNS admin -",
                           "SetNetworkDefaultGateway admin -", "SetNetworkInterfaces admin -"}
            << "0  0";
        QTest::newRow("a device that needs a restart to take it")
            << network
            << QStringList{clockReply(),
                           kInterfaces,
                           ok("SetDNSResponse"),
                           ok("SetNetworkDefaultGatewayResponse"),
                           "ok <tds:SetNetworkInterfacesResponse><tds:RebootNeeded>true</tds:RebootNeeded>"
                           "</tds:SetNetworkInterfacesResponse>",
                           "ok "
                           "<tds:SystemRebootResponse><tds:Message>bye</tds:Message></"
                           "tds:SystemRebootResponse>"}
            << QStringList{"GetSystemDateAndTime - -",
                           "GetNetworkInterfaces admin -",
                           "SetDNS admin -",
                           "SetNetworkDefaultGateway admin -",
                           "SetNetworkInterfaces admin -",
                           "SystemReboot admin -"}
            << "0  0";
        QTest::newRow("a fault on the address")
            << network
            << QStringList{clockReply(), kInterfaces, ok("SetDNSResponse"),
                           ok("SetNetworkDefaultGatewayResponse"), "fault ter:InvalidIPv4Address 400"}
            << QStringList{"GetSystemDateAndTime - -", "GetNetworkInterfaces admin -", "SetDNS admin -",
                           "SetNetworkDefaultGateway admin -", "SetNetworkInterfaces admin -"}
            << "4 fault 0";
        // The new password logs in and the old one is refused.
        QTest::newRow("password, proven")
            << password
            << QStringList{clockReply(), kUsers, ok("SetUserResponse"), kInformation,
                           "fault ter:NotAuthorized 400"}
            << QStringList{"GetSystemDateAndTime - -", "GetUsers admin -", "SetUser admin -",
                           "GetDeviceInformation op -", "GetDeviceInformation op -"}
            << "0  1";
        QTest::newRow("password, the old one still logs in")
            << password
            << QStringList{clockReply(), kUsers, ok("SetUserResponse"), kInformation, kInformation}
            << QStringList{"GetSystemDateAndTime - -", "GetUsers admin -", "SetUser admin -",
                           "GetDeviceInformation op -", "GetDeviceInformation op -"}
            << "0  2";
        QTest::newRow("password, no such user")
            << password
            << QStringList{clockReply(), "ok <tds:GetUsersResponse><tds:User><tt:Username>"
                                         "admin</tt:Username></tds:User>"
                                         "</tds:GetUsersResponse>"}
            << QStringList{"GetSystemDateAndTime - -", "GetUsers admin -"} << "5 no-user 0";
        // A factory-new device: its first administrator, and no old password to refuse.
        QTest::newRow("no users yet")
            << password
            << QStringList{clockReply(), ok("GetUsersResponse"), ok("CreateUsersResponse"), kInformation}
            << QStringList{"GetSystemDateAndTime - -", "GetUsers admin -", "CreateUsers admin -",
                           "GetDeviceInformation op -"}
            << "0  1";
        // Set, then read back: the device still an hour off is not set.
        QTest::newRow("time read back right")
            << time << QStringList{clockReply(), ok("SetSystemDateAndTimeResponse"), clockReply(0)}
            << QStringList{"GetSystemDateAndTime - -", "SetSystemDateAndTime admin -",
                           "GetSystemDateAndTime - -"}
            << "0  1";
        QTest::newRow("time read back wrong")
            << time << QStringList{clockReply(), ok("SetSystemDateAndTimeResponse"), clockReply()}
            << QStringList{"GetSystemDateAndTime - -", "SetSystemDateAndTime admin -",
                           "GetSystemDateAndTime - -"}
            << "0  2";
        // Restart: down, then up again.
        QTest::newRow("reboot answered again")
            << reboot << QStringList{clockReply(), ok("SystemRebootResponse"), "down", "down", clockReply()}
            << QStringList{"GetSystemDateAndTime - -", "SystemReboot admin -", "GetSystemDateAndTime - -",
                           "GetSystemDateAndTime - -", "GetSystemDateAndTime - -"}
            << "0  1";
        QTest::newRow("unreachable") << info << QStringList{"down"} << QStringList{"GetSystemDateAndTime - -"}
                                     << "2 unreachable 0";
        QTest::newRow("not SOAP") << info << QStringList{clockReply(), "raw 200 <html>login</html>"}
                                  << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"}
                                  << "3 invalid-reply 0";
        QTest::newRow("an error status without a fault")
            << info << QStringList{clockReply(), "raw 404 not here"}
            << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"} << "4 fault 0";
        // Refused with the clock known: the password; with it unknown: most likely the clock.
        QTest::newRow("refused") << info << QStringList{clockReply(), "fault ter:NotAuthorized 400"}
                                 << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"}
                                 << "1 not-authorized 0";
        QTest::newRow("refused, clock unknown")
            << info << QStringList{"fault ter:NotAuthorized 400", "fault ter:NotAuthorized 400"}
            << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"} << "1 clock-skew 0";
        QTest::newRow("expired token")
            << info << QStringList{clockReply(), "fault wsse:MessageExpired 500"}
            << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"} << "1 clock-skew 0";
        // HTTP Digest once asked for, on every later request; the token goes along.
        QTest::newRow("digest") << info << QStringList{kDigest, clockReply(), kInformation}
                                << QStringList{"GetSystemDateAndTime - -", "GetSystemDateAndTime - Digest",
                                               "GetDeviceInformation admin Digest"}
                                << "0  0";
        // Basic would carry the password in clear.
        QTest::newRow("basic only") << info << QStringList{clockReply(), "401 Basic realm=\"cam\""}
                                    << QStringList{"GetSystemDateAndTime - -", "GetDeviceInformation admin -"}
                                    << "1 not-authorized 0";
    }
    void operations()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, script);
        QFETCH(QStringList, sent);
        QFETCH(QString, outcome);
        tcCannedTransport transport;
        transport.script = script;
        tcOnvifTask task;
        task.operation = tcOnvifOperation(operation);
        task.targetUser = QStringLiteral("op");
        task.oldPassword = QStringLiteral("old-Pw1");
        task.newPassword = QStringLiteral("New-Pw-2");
        task.takeAddress = [] { return QStringLiteral("10.99.3.20"); };
        task.prefixLength = 16;
        task.gateway = QStringLiteral("10.99.0.1");
        task.dns = QStringList{QStringLiteral("10.99.0.53")};
        const tcOnvifResult result = run(transport, task);
        QCOMPARE(transport.lines(), sent);
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(result.code).arg(result.reason).arg(result.proof), outcome);
    }

    // Every token is made on the device's clock, with a nonce of its own.
    void tokenOnTheDevicesClock()
    {
        tcCannedTransport transport;
        transport.script = QStringList{clockReply(), kInformation};
        tcOnvifTask task;
        const tcOnvifResult result = run(transport, task);
        QCOMPARE(result.code, tcOnvifResult::Success);
        QCOMPARE(result.information.serial, QStringLiteral("SN9"));
        const tcRequest request = parseRequest(transport.sent.at(1).body);
        QVERIFY(request.token);
        const QDateTime created =
            QDateTime::fromString(QString::fromLatin1(request.token->created), Qt::ISODate);
        const qint64 ahead = QDateTime::currentDateTimeUtc().secsTo(created);
        QVERIFY2(qAbs(ahead - kAheadSecs) <= 2, qPrintable(QString::number(ahead)));
        // the device accepts it on its own clock
        QCOMPARE(checkToken(request, QStringLiteral("admin"), QStringLiteral("pw"),
                            QDateTime::currentDateTimeUtc().addSecs(kAheadSecs)),
                 tcTokenCheck::Accepted);
        QVERIFY(!transport.sent.at(1).body.contains("pw<"));
    }

    // A weak first password is refused before anything is written.
    void firstAdministratorRule()
    {
        tcCannedTransport transport;
        transport.script = QStringList{clockReply(), ok("GetUsersResponse")};
        tcOnvifTask task;
        task.operation = tcOnvifOperation::Password;
        task.targetUser = QStringLiteral("admin");
        task.newPassword = QStringLiteral("12345678");
        const tcOnvifResult result = run(transport, task);
        QCOMPARE(result.reason, QStringLiteral("weak-password"));
        QCOMPARE(transport.sent.size(), 2);
    }

    // A transport shared with others answers after the exchange is gone: nothing happens
    // (the sanitizer build would see a use after free).
    void goneBeforeTheAnswer()
    {
        tcCannedTransport transport;
        transport.script = QStringList{clockReply()};
        auto* exchange = new tcOnvifExchange(
            &transport, QUrl(QStringLiteral("http://10.99.1.9/onvif/device_service")), tcOnvifTask());
        QSignalSpy ended(exchange, &tcOnvifExchange::sig_ended);
        exchange->start();
        delete exchange;
        QTest::qWait(50);
        QCOMPARE(transport.sent.size(), 1);
        QCOMPARE(ended.count(), 0);
    }

    // The plan has no address left for this device: nothing is written.
    void noAddressLeft()
    {
        tcCannedTransport transport;
        transport.script = QStringList{clockReply(), kInterfaces};
        tcOnvifTask task;
        task.operation = tcOnvifOperation::Network;
        task.takeAddress = [] { return QString(); };
        QCOMPARE(run(transport, task).reason, QStringLiteral("no-address"));
        QCOMPARE(transport.sent.size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_OnvifExchange)
#include "tst_onvifexchange.moc"
