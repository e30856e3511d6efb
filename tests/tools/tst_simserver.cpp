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
  {"kind": "pq-camera", "address": "10.99.2.15", "auth": "basic", "users": {"admin": "pwA"}},
  {"kind": "pq-camera", "address": "10.99.2.16", "auth": "basic+digest", "users": {"admin": "pwA"}},
  {"kind": "onvif", "address": "10.99.2.34", "fault": "wrong-credentials", "users": {"admin": "pwA"}}
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

        const QString digest = QStringLiteral("--digest"), basic = QStringLiteral("--basic");
        QTest::newRow("MD5 qop auth, right password")
            << "10.99.2.10" << digest << "pwA" << 200 << "MD5" << "auth";
        QTest::newRow("MD5 qop auth, wrong password")
            << "10.99.2.10" << digest << "pwB" << 401 << "MD5" << "auth";
        QTest::newRow("MD5-sess, right password")
            << "10.99.2.11" << digest << "pwA" << 200 << "MD5-sess" << "auth";
        QTest::newRow("RFC 2069 without qop") << "10.99.2.12" << digest << "pwA" << 200 << "MD5" << "";
        // A standard client knows nothing of authversion 1.1: it logs in only when given
        // the hashed password the camera's HA1 is computed over.
        QTest::newRow("authversion 1.1, hashed password")
            << "10.99.2.13" << digest << QString::fromLatin1(upperMd5("pwA")) << 200 << "MD5" << "auth";
        QTest::newRow("authversion 1.1, plain password")
            << "10.99.2.13" << digest << "pwA" << 401 << "MD5" << "auth";
        QTest::newRow("userhash") << "10.99.2.14" << digest << "pwA" << 200 << "MD5" << "auth";
        QTest::newRow("Basic, right password") << "10.99.2.15" << basic << "pwA" << 200 << "" << "";
        QTest::newRow("Basic, wrong password") << "10.99.2.15" << basic << "pwB" << 401 << "" << "";
        QTest::newRow("Basic+Digest answered in Basic") << "10.99.2.16" << basic << "pwA" << 200 << "" << "";
        QTest::newRow("wrong-credentials fault refuses the right password")
            << "10.99.2.34" << digest << "pwA" << 401 << "MD5" << "auth";
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
};

QTEST_GUILESS_MAIN(tst_SimServer)
#include "tst_simserver.moc"
