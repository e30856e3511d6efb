// The simulated cameras' login check, as a pure function: published Digest examples and
// the verdicts the dialog tests depend on.
#include "tcSimHttp.h"
#include "tcSimLogin.h"

#include <QtTest>

namespace {

// RFC 2617 section 3.5: the published Digest example.
const QByteArray kRfc2617Header =
    "Digest username=\"Mufasa\", realm=\"testrealm@host.com\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
    "uri=\"/dir/index.html\", qop=auth, nc=00000001, cnonce=\"0a4f113b\", "
    "response=\"6629fae49393a05397450978507c4ef1\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"";

tcSimDevice rfc2617Device()
{
    tcSimDevice d;
    d.auth = tcSimAuth::Digest;
    d.realm = QStringLiteral("testrealm@host.com");
    d.opaque = "5ccc069c403ebaf9f0171e9517f40e41";
    d.users.insert(QStringLiteral("Mufasa"), QStringLiteral("Circle Of Life"));
    d.nonces.insert("dcd98b7102dd2f0e8b11d0f600bfb0c093", 0);
    return d;
}

tcHttpRequest get(const QByteArray& target, const QByteArray& authorization)
{
    tcHttpRequest r;
    r.method = "GET";
    r.target = target;
    r.version = "HTTP/1.1";
    if (!authorization.isEmpty())
        r.headers.append(qMakePair(QByteArray("authorization"), authorization));
    return r;
}

QByteArray replaced(QByteArray text, const QByteArray& from, const QByteArray& to)
{
    return text.replace(from, to);
}

} // namespace

class tst_SimHttp : public QObject
{
    Q_OBJECT
private slots:
    void digestPublishedExamples_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("method");
        // RFC 2617 3.5 and RFC 7616 3.9.1 (its MD5 response).
        QTest::newRow("RFC 2617") << kRfc2617Header << QByteArray("Circle Of Life") << QByteArray("GET");
        QTest::newRow("RFC 7616 MD5") << QByteArray(
                   "Digest username=\"Mufasa\", realm=\"http-auth@example.org\", uri=\"/dir/index.html\", "
                   "algorithm=MD5, nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", nc=00000001, "
                   "cnonce=\"f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ\", qop=auth, "
                   "response=\"8ca523f5e9506fed4657c9700eebdbec\", "
                   "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"")
            << QByteArray("Circle of Life") << QByteArray("GET");
    }
    void digestPublishedExamples()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, method);
        const auto p = parseAuthParams(header.mid(7));
        tcDigestInput in;
        in.user = p.value("username");
        in.realm = p.value("realm");
        in.password = password;
        in.algorithm = p.value("algorithm", "MD5");
        in.nonce = p.value("nonce");
        in.nc = p.value("nc");
        in.cnonce = p.value("cnonce");
        in.qop = p.value("qop");
        in.method = method;
        in.uri = p.value("uri");
        QCOMPARE(digestResponseHex(in), p.value("response"));
    }

    void login_data()
    {
        QTest::addColumn<QString>("auth");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("verdict");

        const QString digest = QStringLiteral("digest"), basic = QStringLiteral("basic");
        const QString noFault = QStringLiteral("none");
        const QByteArray uri = "/dir/index.html";
        const QByteArray mufasaBasic = "Basic " + QByteArray("Mufasa:Circle Of Life").toBase64();
        QTest::newRow("RFC 2617 example accepted") << digest << noFault << uri << kRfc2617Header << "ok";
        QTest::newRow("uri of another path") << digest << noFault << QByteArray("/other") << kRfc2617Header
                                             << "refused: uri does not match the request";
        QTest::newRow("nonce the device never gave") << digest << noFault << uri
                                                     << replaced(kRfc2617Header, "dcd98b71", "00000000")
                                                     << "refused: unknown nonce";
        QTest::newRow("response of another password")
            << digest << noFault << uri << replaced(kRfc2617Header, "6629fae4", "6629fae5")
            << "refused: wrong response";
        QTest::newRow("Basic to a Digest-only camera")
            << digest << noFault << uri << mufasaBasic << "refused: Basic not offered";
        QTest::newRow("Basic with the right password") << basic << noFault << uri << mufasaBasic << "ok";
        QTest::newRow("Digest to a Basic-only camera")
            << basic << noFault << uri << kRfc2617Header << "refused: Digest not offered";
        QTest::newRow("right answer to a camera playing wrong credentials")
            << digest << "wrong-credentials" << uri << kRfc2617Header
            << "refused: device refuses every login";
    }
    void login()
    {
        QFETCH(QString, auth);
        QFETCH(QString, fault);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, header);
        QFETCH(QString, verdict);
        tcSimDevice d = rfc2617Device();
        d.auth = auth == QLatin1String("basic") ? tcSimAuth::Basic : tcSimAuth::Digest;
        if (fault == QLatin1String("wrong-credentials"))
            d.fault = tcSimFault::WrongCredentials;
        const tcLogin login = checkLogin(d, get(target, header));
        QCOMPARE(login.what.value(QStringLiteral("verdict")).toString(), verdict);
        QCOMPARE(login.ok, verdict == QLatin1String("ok"));
    }
};

QTEST_GUILESS_MAIN(tst_SimHttp)
#include "tst_simhttp.moc"
