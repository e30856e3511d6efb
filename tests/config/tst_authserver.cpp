// Logs in to a real web server (lighttpd's mod_auth, code we did not write) on the site
// side with the Authorization values of tcHttpAuth.
#include "tcHttpAuth.h"
#include "zltest.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using Challenge = tcHttpAuth::Challenge;
Q_DECLARE_METATYPE(Challenge)

namespace {

// Off the usual HTTP ports, which the device simulator may take on the same site side.
const quint16 kPort = 18081;
const QByteArray kUser = "admin";
const QByteArray kPassword = "7093";
const QByteArray kRealm = "Zephyrlock camera";
// Realm of the location whose stored secret is the maker's hashed password.
const QByteArray kHashedRealm = "Zephyrlock camera 1.1";

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// One line of lighttpd's htdigest file: user:realm:MD5(user:realm:password), and the
// MD5(user:realm) that lighttpd looks a hashed user name up by.
QByteArray htdigestLine(const QByteArray& realm, const QByteArray& secret)
{
    return kUser + ':' + realm + ':' + md5Hex(kUser + ':' + realm + ':' + secret) + ':' +
           md5Hex(kUser + ':' + realm) + '\n';
}

struct tcReply
{
    int status = 0;
    QByteArray challenge;
    QString error;
};

} // namespace

class tst_AuthServer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    zltest::tcSiteProcess m_server;
    QNetworkAccessManager m_network;

    bool writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://%1:%2%3").arg(zltest::siteAddress()).arg(kPort).arg(path));
    }

    tcReply get(const QString& path, const QString& authorization = QString())
    {
        QNetworkRequest request(url(path));
        request.setTransferTimeout(5000);
        if (!authorization.isEmpty())
            request.setRawHeader("Authorization", authorization.toUtf8());
        QNetworkReply* reply = m_network.get(request);
        tcReply result;
        if (!reply->isFinished() && !QSignalSpy(reply, &QNetworkReply::finished).wait(10000))
            result.error = QStringLiteral("no reply");
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.challenge = reply->rawHeader("WWW-Authenticate");
        if (result.error.isEmpty() && reply->error() != QNetworkReply::NoError &&
            reply->error() != QNetworkReply::AuthenticationRequiredError)
            result.error = reply->errorString();
        reply->deleteLater();
        return result;
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        const QString lighttpd = QStandardPaths::findExecutable(
            QStringLiteral("lighttpd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
        QVERIFY2(!lighttpd.isEmpty(), "lighttpd is not installed (scripts/setup-deps installs it)");

        for (const char* location : {"digest", "userhash", "hashed", "basic"}) {
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("www/%1").arg(QLatin1String(location))));
            QVERIFY(writeFile(QStringLiteral("www/%1/index.html").arg(QLatin1String(location)), "ok\n"));
        }
        const QByteArray hashedSecret = md5Hex(kPassword).toUpper();
        QVERIFY(writeFile(QStringLiteral("htdigest"),
                          htdigestLine(kRealm, kPassword) + htdigestLine(kHashedRealm, hashedSecret)));

        // %1 folder, %2 address, %3 port, %4 realm, %5 realm of the hashed secret
        const QByteArray config = QStringLiteral(R"(server.document-root = "%1/www"
server.bind = "%2"
server.port = %3
server.errorlog = "%1/error.log"
server.modules = ( "mod_auth", "mod_authn_file" )
auth.backend = "htdigest"
auth.backend.htdigest.userfile = "%1/htdigest"
auth.require = (
  "/digest/" => ( "method" => "digest", "algorithm" => "MD5", "realm" => "%4", "require" => "valid-user" ),
  "/userhash/" => ( "method" => "digest", "algorithm" => "MD5", "realm" => "%4", "require" => "valid-user",
                    "userhash" => "enable" ),
  "/hashed/" => ( "method" => "digest", "algorithm" => "MD5", "realm" => "%5", "require" => "valid-user" ),
  "/basic/" => ( "method" => "basic", "realm" => "%4", "require" => "valid-user" )
)
)")
                                      .arg(m_dir.path(), zltest::siteAddress(), QString::number(kPort),
                                           QString::fromLatin1(kRealm), QString::fromLatin1(kHashedRealm))
                                      .toUtf8();
        QVERIFY(writeFile(QStringLiteral("lighttpd.conf"), config));
        QVERIFY(m_server.start(lighttpd, {QStringLiteral("-D"), QStringLiteral("-f"),
                                          m_dir.filePath(QStringLiteral("lighttpd.conf"))}));

        QDeadlineTimer deadline(10000);
        bool listening = false;
        while (!listening && !deadline.hasExpired() && m_server.process().state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(zltest::siteAddress(), kPort);
            listening = probe.waitForConnected(200);
            if (!listening)
                QTest::qWait(100);
        }
        QVERIFY2(listening, "lighttpd did not start listening");
    }

    void cleanup()
    {
        QFile log(m_dir.filePath(QStringLiteral("error.log")));
        if (QTest::currentTestFailed() && log.open(QIODevice::ReadOnly))
            qInfo().noquote() << "lighttpd error log:\n" << log.readAll();
    }
    void cleanupTestCase() { m_server.stop(); }

    void login_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("nonceCount");
        QTest::addColumn<Challenge>("offered");
        QTest::addColumn<Challenge>("overrides");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("expectedStatus");

        const QString right = QString::fromLatin1(kPassword);
        const QString wrong = QStringLiteral("7094");
        const Challenge none;
        const Challenge md5{{"algorithm", "MD5"}, {"qop", "auth"}, {"realm", kRealm}};
        const Challenge md5UserHash{{"algorithm", "MD5"}, {"qop", "auth"}, {"userhash", "true"}};
        const Challenge md5Hashed{{"algorithm", "MD5"}, {"qop", "auth"}, {"realm", kHashedRealm}};
        const Challenge basic{{"realm", kRealm}};
        const Challenge sess{{"algorithm", "MD5-sess"}};
        const Challenge hashed{{"authversion", "1.1"}};

        QTest::newRow("MD5, qop auth, right password")
            << "/digest/index.html" << 1 << md5 << none << right << 200;
        QTest::newRow("MD5, qop auth, wrong password")
            << "/digest/index.html" << 1 << md5 << none << wrong << 401;
        QTest::newRow("MD5, qop auth, nonce count 26")
            << "/digest/index.html" << 26 << md5 << none << right << 200;
        QTest::newRow("MD5-sess answer, right password")
            << "/digest/index.html" << 1 << md5 << sess << right << 200;
        QTest::newRow("userhash offered, right password")
            << "/userhash/index.html" << 1 << md5UserHash << none << right << 200;
        QTest::newRow("authversion 1.1 against a hashed secret, right password")
            << "/hashed/index.html" << 1 << md5Hashed << hashed << right << 200;
        QTest::newRow("Basic, right password") << "/basic/index.html" << 0 << basic << none << right << 200;
        QTest::newRow("Basic, wrong password") << "/basic/index.html" << 0 << basic << none << wrong << 401;
    }
    void login()
    {
        QFETCH(QString, path);
        QFETCH(int, nonceCount);
        QFETCH(Challenge, offered);
        QFETCH(Challenge, overrides);
        QFETCH(QString, password);
        QFETCH(int, expectedStatus);

        const tcReply first = get(path);
        QVERIFY2(first.error.isEmpty(), qPrintable(first.error));
        QCOMPARE(first.status, 401);
        const QByteArray scheme = nonceCount ? "digest " : "basic ";
        const int at = first.challenge.toLower().indexOf(scheme);
        QVERIFY2(at >= 0, first.challenge.constData());

        Challenge table = tcHttpAuth::parseChallenge(first.challenge.mid(at + scheme.size()));
        for (auto it = offered.cbegin(); it != offered.cend(); ++it)
            QCOMPARE(table.value(it.key()), it.value());
        if (nonceCount)
            QVERIFY(!table.value("nonce").isEmpty());
        for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
            table.insert(it.key(), it.value());

        const QString authorization =
            tcHttpAuth::authorizationValue(nonceCount, tcHttpAuth::makeCnonce(), table, QStringLiteral("GET"),
                                           path, QString::fromLatin1(kUser), password);
        const tcReply second = get(path, authorization);
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QCOMPARE(second.status, expectedStatus);
    }
};

QTEST_GUILESS_MAIN(tst_AuthServer)
#include "tst_authserver.moc"
