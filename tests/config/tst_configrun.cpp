// Each run's requests for a device, fed canned replies through a scripted transport:
// no socket, the exact sequence of methods, paths, headers, nonce counts and outcomes.
#include "tcConfigRun.h"

#include <QHostAddress>
#include <QtTest>

using tcReplies = QHash<QString, QStringList>;

namespace {

// Replies by host, taken in order: "401 <WWW-Authenticate>", "200 <body>" or "error".
class tcScriptedTransport : public tcHttpTransport
{
public:
    using tcHttpTransport::tcHttpTransport;

    void send(const tcHttpExchange& exchange, tcDone done) override
    {
        sent << exchange;
        QStringList& script = replies[exchange.url.host()];
        tcHttpResult result;
        const QString reply = script.isEmpty() ? QStringLiteral("error") : script.takeFirst();
        if (reply.startsWith(QLatin1String("401 "))) {
            result.kind = tcHttpResult::AuthenticationRequired;
            result.wwwAuthenticate = reply.mid(4).toUtf8();
        } else if (reply.startsWith(QLatin1String("200 "))) {
            result.kind = tcHttpResult::Ok;
            result.body = reply.mid(4).toUtf8();
        } else if (reply == QLatin1String("never")) {
            return; // the device never answers: the site stays in flight
        } else {
            result.error = QStringLiteral("connection refused");
        }
        // one host answers later than the others, so that parallel sites end out of order
        QTimer::singleShot(exchange.url.host() == slowHost ? 50 : 0, this, [done, result] { done(result); });
    }

    // "<host> <METHOD> <path> <header>=<value>..." with Authorization as "Basic",
    // "Digest/<nc>" or absent, and the time-out as t=<ms>.
    QStringList lines() const
    {
        QStringList out;
        for (const tcHttpExchange& e : sent) {
            QStringList words{e.url.host(), QString::fromLatin1(e.method), e.url.path()};
            for (const auto& [name, value] : e.headers) {
                QString shown = QString::fromLatin1(value);
                if (name == "Authorization") {
                    shown =
                        value.startsWith("Basic ")
                            ? QStringLiteral("Basic")
                            : QStringLiteral("Digest/") +
                                  QString::fromLatin1(tcHttpAuth::parseChallenge(value.mid(7)).value("nc"));
                }
                words << QString::fromLatin1(name) + QLatin1Char('=') + shown;
            }
            words << QStringLiteral("t=%1").arg(e.timeoutMs);
            out << words.join(QLatin1Char(' '));
        }
        return out;
    }

    tcReplies replies;
    QList<tcHttpExchange> sent;
    QString slowHost;
};

const QString kDigest = QStringLiteral("401 Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\"");
const QString kBasic = QStringLiteral("401 Basic realm=\"cam\"");

QString config(const char* mode)
{
    return QStringLiteral("200 <config status=\"success\"><tcpIp><ipSettingMode>%1</ipSettingMode>"
                          "<staticIp>10.1.0.9</staticIp><dhcpIp/><dhcpIpRoute/><dhcpIpMask/>"
                          "<dnsServer1>10.1.0.53</dnsServer1></tcpIp></config>")
        .arg(QLatin1String(mode));
}
const QString kStatic = config("staticIp");
const QString kWritten = QStringLiteral("200 <config status=\"success\"/>");

// Read and write headers of the network settings exchange.
QString read(const char* host, const char* auth)
{
    return QStringLiteral("%1 GET /GetNetBasicConfig Authorization=%2 Connection=Close t=15000")
        .arg(QLatin1String(host), QLatin1String(auth));
}
QString write(const char* host, const char* auth)
{
    return QStringLiteral("%1 POST /SetNetBasicConfig Authorization=%2 Accept=*/* Connection=Close "
                          "Content-Type=application/x-www-form-urlencoded t=15000")
        .arg(QLatin1String(host), QLatin1String(auth));
}
QString post(const char* host, const char* path, const char* auth = nullptr)
{
    return QStringLiteral("%1 POST %2 Content-Type=text/xml%3 t=15000")
        .arg(QLatin1String(host), QLatin1String(path),
             auth ? QStringLiteral(" Authorization=") + QLatin1String(auth) : QString());
}

tpVideoDevice device(const QString& address, const QString& altAddress = QString())
{
    auto d = tpVideoDevice::create(nullptr);
    d->ipAddress = address;
    d->altAddress = altAddress;
    d->webPort = 80;
    return d;
}

tcNetworkPlan staticPlan(bool fixed = false)
{
    tcNetworkPlan plan;
    plan.start = QHostAddress(QStringLiteral("10.1.3.20")).toIPv4Address();
    plan.mask = QHostAddress(QStringLiteral("255.255.0.0")).toIPv4Address();
    plan.gateway = QHostAddress(QStringLiteral("10.1.0.1")).toIPv4Address();
    plan.fixed = fixed;
    return plan;
}

struct tcCase
{
    tcConfigKind kind = tcConfigKind::Network;
    tcNetworkPlan plan = staticPlan();
    int parallel = 1;
    QVector<tpVideoDevice> devices{device(QStringLiteral("10.1.0.9"))};
};

} // namespace

Q_DECLARE_METATYPE(tcCase)

class tst_ConfigRun : public QObject
{
    Q_OBJECT
private slots:
    void requests_data()
    {
        QTest::addColumn<tcCase>("run");
        QTest::addColumn<tcReplies>("replies");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("outcomes"); // "<index> <text> [<written address>]", in order of ending

        const char* a = "10.1.0.9";
        const tcCase network;
        QTest::newRow("network: Digest on the read, nc 1 and 2, the static plan written")
            << network << tcReplies{{a, {kDigest, kStatic, kWritten}}}
            << QStringList{read(a, "Basic"), read(a, "Digest/00000001"), write(a, "Digest/00000002")}
            << QStringList{"0 Success 10.1.3.20"};
        QTest::newRow("network: a stale nonce on the write is answered once with 3")
            << network << tcReplies{{a, {kDigest, kStatic, kDigest, kWritten}}}
            << QStringList{read(a, "Basic"), read(a, "Digest/00000001"), write(a, "Digest/00000002"),
                           write(a, "Digest/00000003")}
            << QStringList{"0 Success 10.1.3.20"};
        QTest::newRow("network: a wrong password is refused with Basic only")
            << network << tcReplies{{a, {kBasic}}} << QStringList{read(a, "Basic")}
            << QStringList{"0 Login Failed"};
        QTest::newRow("network: a second 401 to the Digest answer is Login Failed")
            << network << tcReplies{{a, {kDigest, kDigest}}}
            << QStringList{read(a, "Basic"), read(a, "Digest/00000001")} << QStringList{"0 Login Failed"};
        QTest::newRow("network: status failed with an errorCode is that text")
            << network << tcReplies{{a, {"200 <config status=\"failed\" errorCode=\"noPermission\"/>"}}}
            << QStringList{read(a, "Basic")} << QStringList{"0 noPermission"};
        QTest::newRow("network: a refused connection is a Network Error")
            << network << tcReplies{{a, {"error"}}} << QStringList{read(a, "Basic")}
            << QStringList{"0 Network Error"};
        tcCase dhcp;
        dhcp.plan.dhcp = true;
        QTest::newRow("network: DHCP on a device already in DHCP reads only")
            << dhcp << tcReplies{{a, {config("DHCP")}}} << QStringList{read(a, "Basic")}
            << QStringList{"0 Success"};
        QTest::newRow("network: DHCP on a static device writes 0.0.0.0 as its address")
            << dhcp << tcReplies{{a, {kStatic, kWritten}}} << QStringList{read(a, "Basic"), write(a, "Basic")}
            << QStringList{"0 Success 0.0.0.0"};
        tcCase linkLocal;
        linkLocal.devices = {device(QStringLiteral("10.1.0.9"), QStringLiteral("169.254.10.20"))};
        QTest::newRow("network: a 169.254 altAddress is where the device is reached")
            << linkLocal << tcReplies{{"169.254.10.20", {"error"}}}
            << QStringList{read("169.254.10.20", "Basic")} << QStringList{"0 Network Error"};

        tcCase three;
        three.devices = {device(QStringLiteral("10.1.0.1")), device(QStringLiteral("10.1.0.2")),
                         device(QStringLiteral("10.1.0.3"))};
        QTest::newRow("network: a site that fails before the write takes no address")
            << three
            << tcReplies{{"10.1.0.1", {"error"}},
                         {"10.1.0.2", {kStatic, kWritten}},
                         {"10.1.0.3", {kStatic, kWritten}}}
            << QStringList{read("10.1.0.1", "Basic"), read("10.1.0.2", "Basic"), write("10.1.0.2", "Basic"),
                           read("10.1.0.3", "Basic"), write("10.1.0.3", "Basic")}
            << QStringList{"0 Network Error", "1 Success 10.1.3.20", "2 Success 10.1.3.21"};
        tcCase parallel = three;
        parallel.plan = staticPlan(true);
        parallel.parallel = 3;
        QTest::newRow("network: a fixed plan in parallel gives device i start + i whatever ends first")
            << parallel
            << tcReplies{{"10.1.0.1", {kStatic, kWritten}},
                         {"10.1.0.2", {"error"}},
                         {"10.1.0.3", {kStatic, kWritten}}}
            << QStringList{read("10.1.0.1", "Basic"), read("10.1.0.2", "Basic"), read("10.1.0.3", "Basic"),
                           write("10.1.0.3", "Basic"), write("10.1.0.1", "Basic")}
            << QStringList{"1 Network Error", "2 Success 10.1.3.22", "0 Success 10.1.3.20"};

        tcCase password;
        password.kind = tcConfigKind::Password;
        const QString ok = QStringLiteral("200 <config status=\"SUCCESS\"/>");
        const QString failed = QStringLiteral("200 <config status=\"failed\" errorCode=\"passwordError\"/>");
        QTest::newRow("password: the user request succeeds, the password request is still sent")
            << password << tcReplies{{a, {kDigest, ok, kDigest, failed}}}
            << QStringList{post(a, "/ModifyIntegrateUser"),
                           post(a, "/ModifyIntegrateUser", "Digest/00000001"), post(a, "/ModifyPassword"),
                           post(a, "/ModifyPassword", "Digest/00000001")}
            << QStringList{"0 Success"};
        QTest::newRow("password: Failed, then the password request decides")
            << password << tcReplies{{a, {failed, kBasic, ok}}}
            << QStringList{post(a, "/ModifyIntegrateUser"), post(a, "/ModifyPassword"),
                           post(a, "/ModifyPassword", "Basic")}
            << QStringList{"0 Success"};
        QTest::newRow("password: both logins refused is Login Failed, each answered once")
            << password << tcReplies{{a, {kBasic, kBasic, kBasic, kBasic}}}
            << QStringList{post(a, "/ModifyIntegrateUser"), post(a, "/ModifyIntegrateUser", "Basic"),
                           post(a, "/ModifyPassword"), post(a, "/ModifyPassword", "Basic")}
            << QStringList{"0 Login Failed"};
        tcCase passwordLinkLocal = password;
        passwordLinkLocal.devices = {device(QStringLiteral("10.1.0.9"), QStringLiteral("169.254.1.5"))};
        QTest::newRow("password: both requests go to ipAddress, not to a 169.254 altAddress")
            << passwordLinkLocal << tcReplies{{a, {ok, ok}}, {"169.254.1.5", {"error", "error"}}}
            << QStringList{post(a, "/ModifyIntegrateUser"), post(a, "/ModifyPassword")}
            << QStringList{"0 Success"};
        tcCase networkLinkLocal = network;
        networkLinkLocal.devices = passwordLinkLocal.devices;
        QTest::newRow("network: the same record is asked at its 169.254 altAddress")
            << networkLinkLocal << tcReplies{{a, {kStatic, kWritten}}, {"169.254.1.5", {"error"}}}
            << QStringList{read("169.254.1.5", "Basic")} << QStringList{"0 Network Error"};
        QTest::newRow("password: a network error on the second request replaces Failed")
            << password << tcReplies{{a, {failed, "error"}}}
            << QStringList{post(a, "/ModifyIntegrateUser"), post(a, "/ModifyPassword")}
            << QStringList{"0 Network Error"};
    }
    void requests()
    {
        QFETCH(tcCase, run);
        QFETCH(tcReplies, replies);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, outcomes);

        auto* transport = new tcScriptedTransport;
        transport->replies = replies;
        transport->slowHost = QStringLiteral("10.1.0.1");
        tcConfigRun engine(run.kind, nullptr, transport);
        transport->setParent(&engine);
        engine.setDevices(run.devices);
        engine.setCredentials({QStringLiteral("admin"), QStringLiteral("7093"), QStringLiteral("op"),
                               QStringLiteral("old1"), QStringLiteral("new1")});
        engine.setPlan(run.plan);
        engine.setParallel(run.parallel);
        QStringList ended;
        QList<int> started;
        connect(&engine, &tcConfigRun::sig_siteStarted, this, [&](int index) { started << index; });
        connect(&engine, &tcConfigRun::sig_siteEnded, this, [&](int index, const tcConfigOutcome& outcome) {
            ended << QStringLiteral("%1 %2%3").arg(index).arg(
                outcome.text, outcome.written ? QLatin1Char(' ') + outcome.address : QString());
        });
        QSignalSpy finished(&engine, &tcConfigRun::sig_finished);
        engine.start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(transport->lines(), requests);
        QCOMPARE(ended, outcomes);
        QCOMPARE(started.size(), run.devices.size());
        QCOMPARE(finished.size(), 1);
        // every write carries the settings of its own site, a static one the plan's mask
        for (const tcHttpExchange& e : transport->sent) {
            if (e.url.path() == QLatin1String("/SetNetBasicConfig"))
                QVERIFY(e.body.contains(run.plan.dhcp ? "<![CDATA[10.1.0.9]]>" : "<![CDATA[255.255.0.0]]>"));
        }
    }

    // Stop: the site in flight runs to its end, no further site starts, and the run
    // reports its end once.
    void stop()
    {
        auto* transport = new tcScriptedTransport;
        transport->replies = {{"10.1.0.1", {kStatic, kWritten}}, {"10.1.0.2", {kStatic, kWritten}}};
        tcConfigRun engine(tcConfigKind::Network, nullptr, transport);
        transport->setParent(&engine);
        engine.setDevices({device(QStringLiteral("10.1.0.1")), device(QStringLiteral("10.1.0.2"))});
        engine.setPlan(staticPlan());
        QSignalSpy ended(&engine, &tcConfigRun::sig_siteEnded);
        QSignalSpy finished(&engine, &tcConfigRun::sig_finished);
        engine.start();
        engine.stop();
        QVERIFY(finished.wait(5000));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().at(1).value<tcConfigOutcome>().text, QStringLiteral("Success"));
        QCOMPARE(transport->sent.size(), 2);
        QTest::qWait(20);
        QCOMPARE(finished.size(), 1);
    }

    // A device record missing from a row ends its site with Internal Error at once.
    void missingDevice()
    {
        auto* transport = new tcScriptedTransport;
        tcConfigRun engine(tcConfigKind::Password, nullptr, transport);
        transport->setParent(&engine);
        engine.setDevices({tpVideoDevice()});
        QSignalSpy ended(&engine, &tcConfigRun::sig_siteEnded);
        QSignalSpy finished(&engine, &tcConfigRun::sig_finished);
        engine.start();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(ended.first().at(1).value<tcConfigOutcome>().code, tcConfigOutcome::InternalError);
        QVERIFY(transport->sent.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_ConfigRun)
#include "tst_configrun.moc"
