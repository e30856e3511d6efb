// zephyrlock-sim's HTTP login on the wire: the simulator runs on the site side, and a
// client we did not write (curl) logs in from the scan side with every algorithm the
// simulated cameras offer, so the dialog tests' device is known to speak standard HTTP auth.
#include "zltest.h"

#include <QtTest>

namespace {

const char kSite[] = R"({"devices": [
  {"kind": "norvo2", "address": "10.99.2.10", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.11", "algorithm": "MD5-sess", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.12", "qop": false, "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.13", "authversion": true, "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.14", "userhash": true, "users": {"admin": "pwA"}},
  {"kind": "pq-camera", "address": "10.99.2.15", "auth": "basic", "users": {"admin": "pwA"}}
]})";

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

    // Each login succeeds; the request log shows the client's answer to the challenge.
    void curlLogsIn_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("algorithm");
        QTest::addColumn<QString>("qop");

        const QString digest = QStringLiteral("--digest");
        QTest::newRow("MD5 qop auth") << "10.99.2.10" << digest << "pwA"
                                      << "MD5"
                                      << "auth";
        QTest::newRow("MD5-sess") << "10.99.2.11" << digest << "pwA"
                                  << "MD5-sess"
                                  << "auth";
        QTest::newRow("RFC 2069 without qop") << "10.99.2.12" << digest << "pwA"
                                              << "MD5"
                                              << "";
        // A standard client knows nothing of authversion 1.1: it logs in only when given
        // the hashed password the camera's HA1 is computed over.
        QTest::newRow("authversion 1.1, hashed password")
            << "10.99.2.13" << digest
            << QString(QCryptographicHash::hash("pwA", QCryptographicHash::Md5).toHex().toUpper()) << "MD5"
            << "auth";
        QTest::newRow("userhash") << "10.99.2.14" << digest << "pwA"
                                  << "MD5"
                                  << "auth";
        QTest::newRow("Basic") << "10.99.2.15"
                               << "--basic"
                               << "pwA"
                               << ""
                               << "";
    }
    void curlLogsIn()
    {
        QFETCH(QString, address);
        QFETCH(QString, scheme);
        QFETCH(QString, password);
        QFETCH(QString, algorithm);
        QFETCH(QString, qop);
        ZL_REQUIRE_SANDBOX();
        const int before = events("request", address).size();
        const CurlResult r =
            curl({scheme, "-u", "admin:" + password, "http://" + address + "/GetNetBasicConfig"});
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("<tcpIp>"));

        QTRY_VERIFY(events("request", address).size() > before);
        const QJsonObject last = events("request", address).last();
        const QJsonObject authorization = last.value("authorization").toObject();
        QCOMPARE(last.value("status").toInt(), 200);
        // Headers are logged as sent, but never the credentials themselves.
        const QJsonObject headers = last.value("headers").toObject();
        QCOMPARE(headers.value("host").toString(), address);
        QVERIFY(!headers.contains("authorization"));
        QVERIFY(!m_sim.output().contains(QByteArray("admin:" + password.toUtf8()).toBase64()));
        QCOMPARE(authorization.value("scheme").toString(), QString(scheme == "--basic" ? "Basic" : "Digest"));
        QCOMPARE(authorization.value("algorithm").toString(), algorithm);
        QCOMPARE(authorization.value("qop").toString(), qop);
        QCOMPARE(authorization.value("userhash").toString() == "true", address == "10.99.2.14");
    }
};

QTEST_GUILESS_MAIN(tst_SimServer)
#include "tst_simserver.moc"
