// zephyrlock-sim's HTTP service on the wire: the simulator runs on the site side, and a
// client we did not write (curl) logs in from the scan side with every algorithm the
// simulated cameras offer. Also the fault modes, the request log and the state lines.
#include "zltest.h"

#include <QtTest>

#include <csignal>

namespace {

const char kSite[] = R"({"devices": [
  {"kind": "norvo2", "address": "10.99.2.10", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.11", "algorithm": "MD5-sess", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.12", "qop": false, "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.13", "authversion": true, "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.14", "userhash": true, "users": {"admin": "pwA"}},
  {"kind": "pq-camera", "address": "10.99.2.15", "auth": "basic", "users": {"admin": "pwA"}},
  {"kind": "pq-camera", "address": "10.99.2.16", "auth": "basic+digest", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.17", "port": 8080, "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.18", "auth": "none"},
  {"kind": "onvif", "address": "10.99.2.30", "fault": "closed-port"},
  {"kind": "onvif", "address": "10.99.2.31", "fault": "no-answer"},
  {"kind": "onvif", "address": "10.99.2.32", "fault": "malformed-xml", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.33", "fault": "failed", "errorCode": "0x1d",
   "faultPaths": ["/SetNetBasicConfig"], "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.34", "fault": "wrong-credentials", "users": {"admin": "pwA"}}
]})";

const char kStaticBody[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<config version=\"1.7\">\r\n<tcpIp>\r\n"
    "<ipSettingMode type=\"ipSettingMode\">staticIp</ipSettingMode>\r\n"
    "<staticIp type=\"string\"><![CDATA[10.99.7.7]]></staticIp>\r\n"
    "<staticIpRoute type=\"string\"><![CDATA[10.99.0.1]]></staticIpRoute>\r\n"
    "<staticIpMask type=\"string\"><![CDATA[255.255.0.0]]></staticIpMask>\r\n"
    "<dnsFromDhcpSwitch type=\"boolean\">false</dnsFromDhcpSwitch>\r\n</tcpIp>\r\n</config>";

struct CurlResult
{
    int status = -1;
    QByteArray body;
};

CurlResult curl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("curl"), QStringList{"-s", "--max-time", "5", "-w", "\n%{http_code}"} + args);
    CurlResult r;
    if (!p.waitForFinished(10000))
        return r;
    QByteArray out = p.readAllStandardOutput();
    const int cut = out.lastIndexOf('\n');
    r.status = out.mid(cut + 1).toInt();
    r.body = out.left(cut);
    return r;
}

QString url(const QString& address, const QString& path, int port = 80)
{
    return QStringLiteral("http://%1:%2%3").arg(address).arg(port).arg(path);
}

QByteArray upperMd5(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex().toUpper();
}

} // namespace

class tst_SimServer : public QObject
{
    Q_OBJECT

    zltest::tcSiteProcess m_sim;
    QTemporaryDir m_dir;

    // JSON lines of one event (and device) printed so far.
    QList<QJsonObject> events(const QString& event, const QString& device = QString())
    {
        QList<QJsonObject> list;
        for (const QByteArray& line : m_sim.output().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("event")).toString() == event &&
                (device.isEmpty() || o.value(QStringLiteral("device")).toString() == device))
                list << o;
        }
        return list;
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        QFile site(m_dir.filePath(QStringLiteral("site.json")));
        QVERIFY(site.open(QIODevice::WriteOnly));
        site.write(kSite);
        site.close();
        QVERIFY(m_sim.start(zltest::binPath(QStringLiteral("zephyrlock-sim")),
                            {"--site", site.fileName(), "--log-requests", "--http-timeout", "3000"},
                            QStringLiteral("\"event\":\"ready\"")));
    }

    void cleanupTestCase() { m_sim.stop(); }

    void curlLogsIn_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("algorithm"); // as the request log shows the client's answer
        QTest::addColumn<QString>("qop");

        QTest::newRow("MD5 qop auth, right password") << "10.99.2.10"
                                                      << "--digest"
                                                      << "pwA" << 200 << "MD5"
                                                      << "auth";
        QTest::newRow("MD5 qop auth, wrong password") << "10.99.2.10"
                                                      << "--digest"
                                                      << "pwB" << 401 << "MD5"
                                                      << "auth";
        QTest::newRow("MD5-sess, right password") << "10.99.2.11"
                                                  << "--digest"
                                                  << "pwA" << 200 << "MD5-sess"
                                                  << "auth";
        QTest::newRow("MD5-sess, wrong password") << "10.99.2.11"
                                                  << "--digest"
                                                  << "pwB" << 401 << "MD5-sess"
                                                  << "auth";
        QTest::newRow("RFC 2069 without qop, right password") << "10.99.2.12"
                                                              << "--digest"
                                                              << "pwA" << 200 << "MD5"
                                                              << "";
        QTest::newRow("RFC 2069 without qop, wrong password") << "10.99.2.12"
                                                              << "--digest"
                                                              << "pwB" << 401 << "MD5"
                                                              << "";
        // A standard client knows nothing of authversion 1.1: it logs in only when given
        // the hashed password the camera's HA1 is computed over.
        QTest::newRow("authversion 1.1, hashed password")
            << "10.99.2.13"
            << "--digest" << QString::fromLatin1(upperMd5("pwA")) << 200 << "MD5"
            << "auth";
        QTest::newRow("authversion 1.1, plain password") << "10.99.2.13"
                                                         << "--digest"
                                                         << "pwA" << 401 << "MD5"
                                                         << "auth";
        QTest::newRow("userhash, right password") << "10.99.2.14"
                                                  << "--digest"
                                                  << "pwA" << 200 << "MD5"
                                                  << "auth";
        QTest::newRow("userhash, wrong password") << "10.99.2.14"
                                                  << "--digest"
                                                  << "pwB" << 401 << "MD5"
                                                  << "auth";
        QTest::newRow("Basic, right password") << "10.99.2.15"
                                               << "--basic"
                                               << "pwA" << 200 << ""
                                               << "";
        QTest::newRow("Basic, wrong password") << "10.99.2.15"
                                               << "--basic"
                                               << "pwB" << 401 << ""
                                               << "";
        QTest::newRow("Basic+Digest answered in Digest") << "10.99.2.16"
                                                         << "--digest"
                                                         << "pwA" << 200 << "MD5"
                                                         << "auth";
        QTest::newRow("Basic+Digest answered in Basic") << "10.99.2.16"
                                                        << "--basic"
                                                        << "pwA" << 200 << ""
                                                        << "";
        QTest::newRow("wrong-credentials fault refuses the right password") << "10.99.2.34"
                                                                            << "--digest"
                                                                            << "pwA" << 401 << "MD5"
                                                                            << "auth";
    }
    void curlLogsIn()
    {
        QFETCH(QString, address);
        QFETCH(QString, scheme);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, algorithm);
        QFETCH(QString, qop);
        ZL_REQUIRE_SANDBOX();
        const int before = events(QStringLiteral("request"), address).size();
        const CurlResult r = curl({scheme, "-u", "admin:" + password, url(address, "/GetNetBasicConfig")});
        QCOMPARE(r.status, status);
        if (status == 200)
            QVERIFY(r.body.contains("<tcpIp>"));

        // The request log shows what the client sent with its credentials.
        QTRY_VERIFY(events(QStringLiteral("request"), address).size() > before);
        const QJsonObject last = events(QStringLiteral("request"), address).last();
        const QJsonObject authorization = last.value(QStringLiteral("authorization")).toObject();
        QCOMPARE(last.value(QStringLiteral("status")).toInt(), status);
        // Headers are logged as sent, but never the credentials themselves.
        const QJsonObject headers = last.value(QStringLiteral("headers")).toObject();
        QCOMPARE(headers.value(QStringLiteral("host")).toString(), address);
        QVERIFY(!headers.contains(QStringLiteral("authorization")));
        QVERIFY(!m_sim.output().contains(QByteArray("admin:" + password.toUtf8()).toBase64()));
        QCOMPARE(authorization.value(QStringLiteral("scheme")).toString(),
                 scheme == QLatin1String("--basic") ? QStringLiteral("Basic") : QStringLiteral("Digest"));
        QCOMPARE(authorization.value(QStringLiteral("algorithm")).toString(), algorithm);
        QCOMPARE(authorization.value(QStringLiteral("qop")).toString(), qop);
        if (!qop.isEmpty())
            QCOMPARE(authorization.value(QStringLiteral("nc")).toString(), QStringLiteral("00000001"));
        const bool hashedUser =
            authorization.value(QStringLiteral("userhash")).toString() == QLatin1String("true");
        QCOMPARE(hashedUser, address == QLatin1String("10.99.2.14"));
        QCOMPARE(authorization.value(QStringLiteral("username")).toString() == QLatin1String("admin"),
                 !hashedUser);
    }

    void otherPortsAndNoLogin()
    {
        ZL_REQUIRE_SANDBOX();
        QCOMPARE(curl({"--digest", "-u", "admin:pwA", url("10.99.2.17", "/GetNetBasicConfig", 8080)}).status,
                 200);
        QCOMPARE(curl({url("10.99.2.18", "/GetNetBasicConfig")}).status, 200);
        QCOMPARE(curl({url("10.99.2.18", "/index.html")}).status, 404);
        QCOMPARE(curl({"-X", "POST", url("10.99.2.18", "/GetNetBasicConfig")}).status, 405);
    }

    void acceptedWritePrintsTheNewState()
    {
        ZL_REQUIRE_SANDBOX();
        const CurlResult r =
            curl({"--digest", "-u", "admin:pwA", "--data-binary", QString::fromLatin1(kStaticBody),
                  url("10.99.2.10", "/SetNetBasicConfig")});
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("status=\"success\""));
        QTRY_VERIFY(!events(QStringLiteral("state"), QStringLiteral("10.99.2.10")).isEmpty());
        const QJsonObject network = events(QStringLiteral("state"), QStringLiteral("10.99.2.10"))
                                        .last()
                                        .value(QStringLiteral("network"))
                                        .toObject();
        QCOMPARE(network.value(QStringLiteral("staticIp")).toString(), QStringLiteral("10.99.7.7"));
        // The next read reports what was written.
        QVERIFY(curl({"--digest", "-u", "admin:pwA", url("10.99.2.10", "/GetNetBasicConfig")})
                    .body.contains("10.99.7.7"));
        // The logged body is the one that was sent.
        QJsonObject logged;
        for (const QJsonObject& o : events(QStringLiteral("request"), QStringLiteral("10.99.2.10")))
            if (o.value(QStringLiteral("method")).toString() == QLatin1String("POST") &&
                o.value(QStringLiteral("status")).toInt() == 200)
                logged = o;
        QCOMPARE(logged.value(QStringLiteral("body")).toString(), QString::fromLatin1(kStaticBody));
        QCOMPARE(logged.value(QStringLiteral("contentType")).toString(),
                 QStringLiteral("application/x-www-form-urlencoded"));
    }

    void faultsLimitedToAPath()
    {
        ZL_REQUIRE_SANDBOX();
        QCOMPARE(curl({"--digest", "-u", "admin:pwA", url("10.99.2.33", "/GetNetBasicConfig")}).status, 200);
        const CurlResult r =
            curl({"--digest", "-u", "admin:pwA", "--data-binary", QString::fromLatin1(kStaticBody),
                  url("10.99.2.33", "/SetNetBasicConfig")});
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("status=\"failed\""));
        QVERIFY(r.body.contains("errorCode=\"0x1d\""));
        QVERIFY(events(QStringLiteral("state"), QStringLiteral("10.99.2.33")).isEmpty());
    }

    void malformedReplyAfterLogin()
    {
        ZL_REQUIRE_SANDBOX();
        const CurlResult r = curl({"--digest", "-u", "admin:pwA", url("10.99.2.32", "/GetNetBasicConfig")});
        QCOMPARE(r.status, 200);
        QXmlStreamReader xml(r.body);
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY(xml.hasError());
    }

    void closedPortRefusesTheConnection()
    {
        ZL_REQUIRE_SANDBOX();
        QTcpSocket socket;
        QSignalSpy errors(&socket, &QAbstractSocket::errorOccurred);
        socket.connectToHost(QStringLiteral("10.99.2.30"), 80);
        QVERIFY(errors.wait(5000));
        QCOMPARE(socket.error(), QAbstractSocket::ConnectionRefusedError);
    }

    void noAnswerKeepsTheConnectionSilent()
    {
        ZL_REQUIRE_SANDBOX();
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("10.99.2.31"), 80);
        QVERIFY(socket.waitForConnected(5000));
        socket.write("GET /GetNetBasicConfig HTTP/1.1\r\nHost: x\r\n\r\n");
        QTRY_VERIFY(!events(QStringLiteral("request"), QStringLiteral("10.99.2.31")).isEmpty());
        QSignalSpy readable(&socket, &QTcpSocket::readyRead);
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        // Longer than the idle timeout: a silent device does not time the client out either.
        QVERIFY(!readable.wait(4000));
        QCOMPARE(closed.count(), 0);
        QCOMPARE(socket.bytesAvailable(), 0);
    }

    void garbageIsAnsweredAndTheServerGoesOn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::newRow("TLS hello to the HTTP port")
            << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + QByteArray(32, '\x5a')
            << QByteArray("HTTP/1.1 400");
        QTest::newRow("request line of three words that is not HTTP")
            << QByteArray("HELLO there friend\n") << QByteArray("HTTP/1.1 400");
        QTest::newRow("header block that never ends")
            << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a')) << QByteArray("HTTP/1.1 431");
        QTest::newRow("body larger than any configuration")
            << QByteArray("POST /SetNetBasicConfig HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n")
            << QByteArray("HTTP/1.1 413");
    }
    void garbageIsAnsweredAndTheServerGoesOn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, statusLine);
        ZL_REQUIRE_SANDBOX();
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("10.99.2.18"), 80);
        QVERIFY(socket.waitForConnected(5000));
        socket.write(bytes);
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        QVERIFY(closed.wait(5000));
        QVERIFY(socket.readAll().startsWith(statusLine));
        QCOMPARE(curl({url("10.99.2.18", "/GetNetBasicConfig")}).status, 200);
    }

    void idleConnectionIsDropped()
    {
        ZL_REQUIRE_SANDBOX();
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("10.99.2.18"), 80);
        QVERIFY(socket.waitForConnected(5000));
        socket.write("GET /GetNetBasicConfig HTTP/1.1\r\n");
        QSignalSpy closed(&socket, &QTcpSocket::disconnected);
        QVERIFY(closed.wait(8000));
    }

    void stateOnRequest()
    {
        ZL_REQUIRE_SANDBOX();
        const int before = events(QStringLiteral("state")).size();
        QCOMPARE(::kill(pid_t(m_sim.process().processId()), SIGUSR1), 0);
        // One state line per device of the site file.
        QTRY_COMPARE(events(QStringLiteral("state")).size(), before + 14);
        const QJsonObject wrote = events(QStringLiteral("state"), QStringLiteral("10.99.2.10")).last();
        QCOMPARE(
            wrote.value(QStringLiteral("network")).toObject().value(QStringLiteral("staticIp")).toString(),
            QStringLiteral("10.99.7.7"));
        // Passwords only as digests.
        QVERIFY(!m_sim.output().contains("\"pwA\""));
        QCOMPARE(wrote.value(QStringLiteral("passwordSha256"))
                     .toObject()
                     .value(QStringLiteral("admin"))
                     .toString(),
                 QString::fromLatin1(QCryptographicHash::hash("pwA", QCryptographicHash::Sha256).toHex()));
    }
};

QTEST_GUILESS_MAIN(tst_SimServer)
#include "tst_simserver.moc"
