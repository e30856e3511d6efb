// The simulated cameras' HTTP message parser and login check, as pure functions.
#include "tcSimConfigApi.h"
#include "tcSimDiscovery.h"
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
    void parseRequest_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("errorStatus");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("body");

        const int complete = tcHttpParse::Complete, incomplete = tcHttpParse::Incomplete,
                  invalid = tcHttpParse::Invalid;
        QTest::newRow("GET without body")
            << QByteArray("GET /GetNetBasicConfig HTTP/1.1\r\nHost: a\r\n\r\n") << complete << 0
            << QByteArray("/GetNetBasicConfig") << QByteArray();
        QTest::newRow("POST with its whole body")
            << QByteArray("POST /SetNetBasicConfig HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello") << complete
            << 0 << QByteArray("/SetNetBasicConfig") << QByteArray("hello");
        QTest::newRow("POST whose body is still arriving")
            << QByteArray("POST /x HTTP/1.1\r\nContent-Length: 10\r\n\r\nhell") << incomplete << 0
            << QByteArray() << QByteArray();
        QTest::newRow("header block not finished") << QByteArray("GET /x HTTP/1.1\r\nHost: a\r\n")
                                                   << incomplete << 0 << QByteArray() << QByteArray();
        QTest::newRow("leading blank line is skipped")
            << QByteArray("\r\nGET /a HTTP/1.1\r\n\r\n") << complete << 0 << QByteArray("/a") << QByteArray();
        QTest::newRow("garbage request line")
            << QByteArray("\x16\x03\x01 hello\r\n\r\n") << invalid << 400 << QByteArray() << QByteArray();
        QTest::newRow("binary noise without a line end")
            << QByteArray("\x16\x03\x01\x02\x00\x01", 6) << invalid << 400 << QByteArray() << QByteArray();
        QTest::newRow("bad request line before the headers end")
            << QByteArray("GET /a\r\nHost: x\r\n") << invalid << 400 << QByteArray() << QByteArray();
        QTest::newRow("not HTTP/1.x")
            << QByteArray("GET / HTTP/2.0\r\n\r\n") << invalid << 400 << QByteArray() << QByteArray();
        QTest::newRow("header line without colon") << QByteArray("GET / HTTP/1.1\r\nbroken\r\n\r\n")
                                                   << invalid << 400 << QByteArray() << QByteArray();
        QTest::newRow("negative content length")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << invalid << 400 << QByteArray()
            << QByteArray();
        QTest::newRow("body over the limit")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n") << invalid << 413
            << QByteArray() << QByteArray();
        QTest::newRow("chunked body") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
                                      << invalid << 501 << QByteArray() << QByteArray();
        QTest::newRow("endless header without its end")
            << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(kMaxHeaderBytes + 10, 'a')) << invalid << 431
            << QByteArray() << QByteArray();
    }
    void parseRequest()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, state);
        QFETCH(int, errorStatus);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);
        tcHttpRequest request;
        const tcHttpParse parse = parseHttpRequest(bytes, &request);
        QCOMPARE(int(parse.state), state);
        QCOMPARE(parse.errorStatus, errorStatus);
        if (state == tcHttpParse::Complete) {
            QCOMPARE(request.target, target);
            QCOMPARE(request.body, body);
            QCOMPARE(parse.consumed, bytes.size());
        }
    }

    void parseRequestPipelinedAndInPieces()
    {
        const QByteArray two =
            "POST /a HTTP/1.1\r\nContent-Length: 3\r\nConnection: close\r\n\r\nabcGET /b HTTP/1.1\r\n\r\n";
        // Every cut point before the first request's end leaves it incomplete.
        const int firstEnd = two.indexOf("GET");
        for (int cut = 0; cut < firstEnd; ++cut) {
            tcHttpRequest request;
            QCOMPARE(int(parseHttpRequest(two.left(cut), &request).state), int(tcHttpParse::Incomplete));
        }
        tcHttpRequest first, second;
        const tcHttpParse p1 = parseHttpRequest(two, &first);
        QCOMPARE(p1.consumed, firstEnd);
        QCOMPARE(first.body, QByteArray("abc"));
        QVERIFY(!first.keepAlive());
        QCOMPARE(int(parseHttpRequest(two.mid(p1.consumed), &second).state), int(tcHttpParse::Complete));
        QCOMPARE(second.path(), QByteArray("/b"));
        QVERIFY(second.keepAlive());
    }

    void expectContinueIsSeenBeforeTheBody()
    {
        tcHttpRequest request;
        const tcHttpParse parse = parseHttpRequest(
            "POST /a HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 4\r\n\r\n", &request);
        QCOMPARE(int(parse.state), int(tcHttpParse::Incomplete));
        QVERIFY(parse.headersDone);
        QVERIFY(parse.expectContinue);
    }

    void authParams_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("quoted value with a comma")
            << QByteArray("realm=\"a, b\", nc=00000001") << QByteArray("realm") << QByteArray("a, b");
        QTest::newRow("unquoted value after a quoted one")
            << QByteArray("realm=\"a, b\", nc=00000001") << QByteArray("nc") << QByteArray("00000001");
        QTest::newRow("key in capitals is lower-cased")
            << QByteArray("UserName=\"x\"") << QByteArray("username") << QByteArray("x");
        QTest::newRow("quoted pair") << QByteArray("realm=\"say \\\"hi\\\"\"") << QByteArray("realm")
                                     << QByteArray("say \"hi\"");
        QTest::newRow("blanks around the equals sign")
            << QByteArray("qop = auth ,x=1") << QByteArray("qop") << QByteArray("auth");
        QTest::newRow("unterminated quote ends at the end")
            << QByteArray("nonce=\"abc") << QByteArray("nonce") << QByteArray("abc");
    }
    void authParams()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QCOMPARE(parseAuthParams(text).value(key), value);
    }

    void digestPublishedExamples_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("method");
        // RFC 2617 3.5 and RFC 7616 3.9.1 (its MD5 response).
        QTest::newRow("RFC 2617") << kRfc2617Header << QByteArray("Circle Of Life") << QByteArray("GET");
        QTest::newRow("RFC 7616 MD5")
            << QByteArray(
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

        const QString digest = QStringLiteral("digest"), basic = QStringLiteral("basic"),
                      none = QStringLiteral("none");
        const QString noFault = QStringLiteral("none");
        const QByteArray uri = "/dir/index.html";
        QTest::newRow("RFC 2617 example accepted") << digest << noFault << uri << kRfc2617Header << "ok";
        QTest::newRow("uri equal to the target less its leading slash")
            << digest << noFault << QByteArray("//dir/index.html") << kRfc2617Header << "ok";
        QTest::newRow("uri of another path") << digest << noFault << QByteArray("/other") << kRfc2617Header
                                             << "refused: uri does not match the request";
        QTest::newRow("nonce the device never gave")
            << digest << noFault << uri << replaced(kRfc2617Header, "dcd98b71", "00000000")
            << "refused: unknown nonce";
        QTest::newRow("opaque not sent back")
            << digest << noFault << uri
            << replaced(kRfc2617Header, ", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"", "")
            << "refused: opaque not returned";
        QTest::newRow("MD5-sess answer to an MD5 challenge")
            << digest << noFault << uri << QByteArray(kRfc2617Header + ", algorithm=MD5-sess")
            << "refused: wrong algorithm";
        QTest::newRow("qop left out although offered")
            << digest << noFault << uri << replaced(kRfc2617Header, "qop=auth, ", "")
            << "refused: qop missing";
        QTest::newRow("qop auth-int is not offered")
            << digest << noFault << uri << replaced(kRfc2617Header, "qop=auth", "qop=auth-int")
            << "refused: bad qop, nc or cnonce";
        QTest::newRow("response of another password")
            << digest << noFault << uri << replaced(kRfc2617Header, "6629fae4", "6629fae5")
            << "refused: wrong response";
        QTest::newRow("unknown user")
            << digest << noFault << uri << replaced(kRfc2617Header, "Mufasa", "Simba")
            << "refused: unknown user";
        QTest::newRow("Basic to a Digest-only camera")
            << digest << noFault << uri
            << QByteArray("Basic " + QByteArray("Mufasa:Circle Of Life").toBase64())
            << "refused: Basic not offered";
        QTest::newRow("Basic with the right password")
            << basic << noFault << uri
            << QByteArray("Basic " + QByteArray("Mufasa:Circle Of Life").toBase64()) << "ok";
        QTest::newRow("Basic with a wrong password")
            << basic << noFault << uri
            << QByteArray("Basic " + QByteArray("Mufasa:circle of life").toBase64())
            << "refused: wrong user or password";
        QTest::newRow("Basic that is not Base64")
            << basic << noFault << uri << QByteArray("Basic %%%") << "refused: malformed credentials";
        QTest::newRow("Digest to a Basic-only camera")
            << basic << noFault << uri << kRfc2617Header << "refused: Digest not offered";
        QTest::newRow("no header to a camera without login")
            << none << noFault << uri << QByteArray() << "ok";
        QTest::newRow("no header to a camera with login")
            << digest << noFault << uri << QByteArray() << "refused: no credentials";
        QTest::newRow("unknown scheme")
            << digest << noFault << uri << QByteArray("Bearer abc") << "refused: unknown scheme";
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
        d.auth = auth == QLatin1String("basic")  ? tcSimAuth::Basic
                 : auth == QLatin1String("none") ? tcSimAuth::None
                                                 : tcSimAuth::Digest;
        if (fault == QLatin1String("wrong-credentials"))
            d.fault = tcSimFault::WrongCredentials;
        const tcLogin login = checkLogin(d, get(target, header));
        QCOMPARE(login.what.value(QStringLiteral("verdict")).toString(), verdict);
        QCOMPARE(login.ok, verdict == QLatin1String("ok"));
    }

    void replayedNonceCountIsRefused()
    {
        tcSimDevice d = rfc2617Device();
        QVERIFY(checkLogin(d, get("/dir/index.html", kRfc2617Header)).ok);
        QCOMPARE(checkLogin(d, get("/dir/index.html", kRfc2617Header))
                     .what.value(QStringLiteral("verdict"))
                     .toString(),
                 QStringLiteral("refused: nonce count not increasing"));
    }

    // authPaths: Basic on one path, Digest on another, for the login and the challenge.
    void loginModePerPath_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QStringList>("schemes");
        const QByteArray basic = "Basic " + QByteArray("Mufasa:Circle Of Life").toBase64();
        QTest::newRow("Basic where Basic is the mode")
            << QByteArray("/other") << basic << "ok" << QStringList{"Basic"};
        QTest::newRow("Digest where Basic is the mode")
            << QByteArray("/other") << kRfc2617Header << "refused: Digest not offered"
            << QStringList{"Basic"};
        QTest::newRow("Basic on the Digest path") << QByteArray("/dir/index.html") << basic
                                                  << "refused: Basic not offered" << QStringList{"Digest"};
        QTest::newRow("Digest on the Digest path")
            << QByteArray("/dir/index.html") << kRfc2617Header << "ok" << QStringList{"Digest"};
    }
    void loginModePerPath()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, header);
        QFETCH(QString, verdict);
        QFETCH(QStringList, schemes);
        tcSimDevice d = rfc2617Device();
        d.auth = tcSimAuth::Basic;
        d.authPaths.insert(QStringLiteral("/dir/index.html"), tcSimAuth::Digest);
        QCOMPARE(checkLogin(d, get(target, header)).what.value(QStringLiteral("verdict")).toString(),
                 verdict);
        QStringList seen;
        for (const QByteArray& value : challengeValues(d, QString::fromLatin1(target)))
            seen << QString::fromLatin1(value.left(value.indexOf(' ')));
        QCOMPARE(seen, schemes);
    }

    // nonceUses: a nonce serves that many logins, then it is unknown (a fresh challenge).
    void nonceServesItsLogins_data()
    {
        QTest::addColumn<int>("uses");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("no limit") << 0 << QStringList{"ok", "ok", "ok"};
        QTest::newRow("one login per nonce")
            << 1 << QStringList{"ok", "refused: unknown nonce", "refused: unknown nonce"};
        QTest::newRow("two logins per nonce") << 2 << QStringList{"ok", "ok", "refused: unknown nonce"};
    }
    void nonceServesItsLogins()
    {
        QFETCH(int, uses);
        QFETCH(QStringList, verdicts);
        tcSimDevice d = rfc2617Device();
        d.nonceUses = uses;
        QStringList seen;
        for (int nc = 1; nc <= 3; ++nc) {
            tcDigestInput in{"Mufasa",
                             "testrealm@host.com",
                             "Circle Of Life",
                             false,
                             "MD5",
                             "dcd98b7102dd2f0e8b11d0f600bfb0c093",
                             QByteArray::number(nc).rightJustified(8, '0'),
                             "0a4f113b",
                             "auth",
                             "GET",
                             "/dir/index.html"};
            const QByteArray header = replaced(replaced(kRfc2617Header, "nc=00000001", "nc=" + in.nc),
                                               "6629fae49393a05397450978507c4ef1", digestResponseHex(in));
            seen << checkLogin(d, get("/dir/index.html", header))
                        .what.value(QStringLiteral("verdict"))
                        .toString();
        }
        QCOMPARE(seen, verdicts);
    }

    void challengesFollowTheLoginMode_data()
    {
        QTest::addColumn<int>("auth");
        QTest::addColumn<bool>("qop");
        QTest::addColumn<bool>("authVersion");
        QTest::addColumn<bool>("userHash");
        QTest::addColumn<QStringList>("schemes");
        QTest::addColumn<QStringList>("digestKeys");
        QTest::newRow("Digest with qop")
            << int(tcSimAuth::Digest) << true << false << false << QStringList{"Digest"}
            << QStringList{"algorithm", "nonce", "opaque", "qop", "realm"};
        QTest::newRow("Digest without qop")
            << int(tcSimAuth::Digest) << false << false << false << QStringList{"Digest"}
            << QStringList{"algorithm", "nonce", "opaque", "realm"};
        QTest::newRow("authversion and userhash")
            << int(tcSimAuth::Digest) << true << true << true << QStringList{"Digest"}
            << QStringList{"algorithm", "authversion", "nonce", "opaque", "qop", "realm", "userhash"};
        QTest::newRow("Basic and Digest, Basic first")
            << int(tcSimAuth::BasicDigest) << true << false << false << QStringList{"Basic", "Digest"}
            << QStringList{"algorithm", "nonce", "opaque", "qop", "realm"};
        QTest::newRow("Basic only") << int(tcSimAuth::Basic) << true << false << false << QStringList{"Basic"}
                                    << QStringList{};
    }
    void challengesFollowTheLoginMode()
    {
        QFETCH(int, auth);
        QFETCH(bool, qop);
        QFETCH(bool, authVersion);
        QFETCH(bool, userHash);
        QFETCH(QStringList, schemes);
        QFETCH(QStringList, digestKeys);
        tcSimDevice d = rfc2617Device();
        d.auth = tcSimAuth(auth);
        d.qop = qop;
        d.authVersion = authVersion;
        d.userHash = userHash;
        const QList<QByteArray> values = challengeValues(d);
        QStringList seenSchemes, seenKeys;
        for (const QByteArray& value : values) {
            const QByteArray scheme = value.left(value.indexOf(' '));
            seenSchemes << QString::fromLatin1(scheme);
            if (scheme == "Digest") {
                const auto params = parseAuthParams(value.mid(7));
                for (const QByteArray& key : params.keys())
                    seenKeys << QString::fromLatin1(key);
                // The nonce handed out is one the device will accept.
                QVERIFY(d.nonces.contains(params.value("nonce")));
                QCOMPARE(params.value("realm"), QByteArray("testrealm@host.com"));
            }
        }
        QCOMPARE(seenSchemes, schemes);
        QCOMPARE(seenKeys, digestKeys);
    }

    // Every cut and every flipped byte of valid input: the parsers stay inside what they
    // were given and keep their results consistent (run under the sanitizer build too).
    void mutatedInputStaysInBounds()
    {
        const QByteArray request =
            "POST /SetNetBasicConfig HTTP/1.1\r\nHost: 10.99.2.20\r\nContent-Length: 40\r\n"
            "Authorization: " +
            kRfc2617Header + "\r\n\r\n<config><tcpIp><staticIp>1</staticIp></tcpIp>";
        QRandomGenerator random(5);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes = request.left(int(random.bounded(request.size() + 1)));
            for (int flips = int(random.bounded(4)); flips > 0 && !bytes.isEmpty(); --flips)
                bytes[int(random.bounded(bytes.size()))] = char(random.bounded(256));
            tcHttpRequest parsed;
            const tcHttpParse parse = parseHttpRequest(bytes, &parsed);
            QVERIFY(parse.consumed >= 0 && parse.consumed <= bytes.size());
            if (parse.state == tcHttpParse::Invalid)
                QVERIFY(parse.errorStatus >= 400);
            if (parse.state != tcHttpParse::Complete)
                continue;
            QCOMPARE(parsed.body.size(), parsed.header("content-length").toInt());
            tcSimDevice d = rfc2617Device();
            const tcLogin login = checkLogin(d, parsed);
            QVERIFY(login.what.contains(QStringLiteral("verdict")));
            handleConfigRequest(d, QStringLiteral("admin"), parsed);
            tcSimOnvif::Probe probe;
            tcSimOnvif::parseProbe(parsed.body, &probe);
        }
    }

    void nonceStoreIsBounded()
    {
        tcSimDevice d;
        for (int i = 0; i < 1000; ++i)
            challengeValues(d);
        QVERIFY(d.nonces.size() <= 300);
        QCOMPARE(d.nonces.size(), d.nonceOrder.size());
    }
};

QTEST_GUILESS_MAIN(tst_SimHttp)
#include "tst_simhttp.moc"
