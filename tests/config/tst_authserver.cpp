// Logs in to a real web server (lighttpd's mod_auth, code we did not write) on the site
// side with the Digest Authorization values of tcHttpAuth.
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
const QByteArray kRealm = "Zephyrlock camera";

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

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

    // The status and WWW-Authenticate header of a GET, or an error text.
    QPair<int, QByteArray> get(const QString& path, const QString& authorization = QString())
    {
        QNetworkRequest request(
            QUrl(QStringLiteral("http://%1:%2%3").arg(zltest::siteAddress()).arg(kPort).arg(path)));
        request.setTransferTimeout(5000);
        if (!authorization.isEmpty())
            request.setRawHeader("Authorization", authorization.toUtf8());
        QScopedPointer<QNetworkReply> reply(m_network.get(request));
        if (!reply->isFinished() && !QSignalSpy(reply.data(), &QNetworkReply::finished).wait(10000))
            return {0, "no reply"};
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->rawHeader("WWW-Authenticate")};
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        QVERIFY(m_dir.isValid());
        const QString lighttpd = QStandardPaths::findExecutable(
            QStringLiteral("lighttpd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
        QVERIFY2(!lighttpd.isEmpty(), "lighttpd is not installed (scripts/setup-deps installs it)");

        for (const char* location : {"digest", "userhash"}) {
            QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("www/%1").arg(QLatin1String(location))));
            QVERIFY(writeFile(QStringLiteral("www/%1/index.html").arg(QLatin1String(location)), "ok\n"));
        }
        // htdigest line: user:realm:MD5(user:realm:password), then the MD5(user:realm) that
        // lighttpd looks a hashed user name up by
        QVERIFY(writeFile(QStringLiteral("htdigest"), kUser + ':' + kRealm + ':' +
                                                          md5Hex(kUser + ':' + kRealm + ":7093") + ':' +
                                                          md5Hex(kUser + ':' + kRealm) + '\n'));

        // %1 folder, %2 address, %3 port, %4 realm
        const QByteArray config =
            QStringLiteral(R"(server.document-root = "%1/www"
server.bind = "%2"
server.port = %3
server.errorlog = "%1/error.log"
server.modules = ( "mod_auth", "mod_authn_file" )
auth.backend = "htdigest"
auth.backend.htdigest.userfile = "%1/htdigest"
auth.require = (
  "/digest/" => ( "method" => "digest", "algorithm" => "MD5", "realm" => "%4", "require" => "valid-user" ),
  "/userhash/" => ( "method" => "digest", "algorithm" => "MD5", "realm" => "%4", "require" => "valid-user",
                    "userhash" => "enable" )
)
)")
                .arg(m_dir.path(), zltest::siteAddress(), QString::number(kPort), QString::fromLatin1(kRealm))
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
        QTest::addColumn<Challenge>("overrides"); // changed in the server's challenge
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("expectedStatus");

        QTest::newRow("MD5, qop auth, right password")
            << "/digest/index.html" << Challenge() << "7093" << 200;
        QTest::newRow("MD5, qop auth, wrong password")
            << "/digest/index.html" << Challenge() << "7094" << 401;
        QTest::newRow("MD5-sess answer")
            << "/digest/index.html" << Challenge{{"algorithm", "MD5-sess"}} << "7093" << 200;
        QTest::newRow("userhash offered") << "/userhash/index.html" << Challenge() << "7093" << 200;
    }
    void login()
    {
        QFETCH(QString, path);
        QFETCH(Challenge, overrides);
        QFETCH(QString, password);
        QFETCH(int, expectedStatus);

        const auto [status, header] = get(path);
        QCOMPARE(status, 401);
        const int at = header.toLower().indexOf("digest ");
        QVERIFY2(at >= 0, header.constData());
        Challenge table = tcHttpAuth::parseChallenge(header.mid(at + 7));
        QCOMPARE(table.value("qop"), QByteArray("auth"));
        // the userhash row proves nothing unless the server asked for it
        QCOMPARE(table.value("userhash"), QByteArray(path.startsWith("/userhash") ? "true" : ""));
        for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
            table.insert(it.key(), it.value());

        const QString authorization =
            tcHttpAuth::authorizationValue(1, tcHttpAuth::makeCnonce(), table, QStringLiteral("GET"), path,
                                           QString::fromLatin1(kUser), password);
        QCOMPARE(get(path, authorization).first, expectedStatus);
    }
};

QTEST_GUILESS_MAIN(tst_AuthServer)
#include "tst_authserver.moc"
