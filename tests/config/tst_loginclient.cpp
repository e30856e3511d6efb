// The login of one device over recorded challenge sequences, without any socket: each
// step is the first attempt of a request or a 401 with its WWW-Authenticate value, and
// each Authorization value is checked against the Digest formulas written out here.
#include "tcLoginClient.h"

#include <QCryptographicHash>
#include <QtTest>

Q_DECLARE_METATYPE(tcLoginClient::tcStyle)

namespace {

QByteArray md5(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// "none", "Basic user:password", or "Digest <username> nc=<nc> qop=<qop> alg=<alg>
// nonce=<nonce> cnonce#<n> response ok|WRONG", n counting the distinct client nonces.
QString summary(const QByteArray& value, const QByteArray& method, const QByteArray& uri,
                const QByteArray& user, const QByteArray& password, QList<QByteArray>& cnonces,
                const QByteArray& clientNonce)
{
    if (value.isEmpty())
        return QStringLiteral("none");
    if (value.startsWith("Basic "))
        return QStringLiteral("Basic ") + QString::fromUtf8(QByteArray::fromBase64(value.mid(6)));
    const tcHttpAuth::Challenge p = tcHttpAuth::parseChallenge(value.mid(7));
    // Without qop the header carries no cnonce, yet MD5-sess hashes the client's own
    const QByteArray realm = p.value("realm"), nonce = p.value("nonce"), cnonce = p.value("cnonce"),
                     sessCnonce = cnonce.isEmpty() ? clientNonce : cnonce, qop = p.value("qop"),
                     nc = p.value("nc"), algorithm = p.value("algorithm");
    // authversion 1.1 is recognised by the test's caller through the password it passes
    QByteArray ha1 = md5(user + ':' + realm + ':' + password);
    if (algorithm.compare("md5-sess", Qt::CaseInsensitive) == 0)
        ha1 = md5(ha1 + ':' + nonce + ':' + sessCnonce);
    const QByteArray ha2 = md5(method + ':' + uri);
    const QByteArray response =
        qop.isEmpty() ? md5(ha1 + ':' + nonce + ':' + ha2)
                      : md5(ha1 + ':' + nonce + ':' + nc + ':' + cnonce + ':' + qop + ':' + ha2);
    if (!cnonce.isEmpty() && !cnonces.contains(cnonce))
        cnonces << cnonce;
    const bool hashedName = p.value("userhash") == "true";
    return QStringLiteral("Digest %1 nc=%2 qop=%3 alg=%4 nonce=%5 cnonce#%6 response %7")
        .arg(QString::fromLatin1(
                 hashedName ? (p.value("username") == md5(user + ':' + realm) ? "<hash>" : "<bad hash>")
                            : p.value("username")),
             QString::fromLatin1(nc), QString::fromLatin1(qop), QString::fromLatin1(algorithm),
             QString::fromLatin1(nonce))
        .arg(cnonce.isEmpty() ? 0 : cnonces.indexOf(cnonce) + 1)
        .arg(QLatin1String(p.value("response") == response && p.value("uri") == uri ? "ok" : "WRONG"));
}

const tcLoginClient::tcStyle kNetwork = tcLoginClient::kNetworkStyle;
const tcLoginClient::tcStyle kPassword = tcLoginClient::kPasswordStyle;

const char kMd5[] = "401 Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\", algorithm=MD5";

} // namespace

class tst_LoginClient : public QObject
{
    Q_OBJECT
private slots:
    // Steps: "<METHOD> <uri> <user> <password>" begins a request, "401 <value>" is the
    // device's refusal of the attempt before. One summary (or "refused") per step.
    void sequence_data()
    {
        QTest::addColumn<tcLoginClient::tcStyle>("style");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("network: Basic accepted at once, Basic on the write too")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093", "POST SetNetBasicConfig admin 7093"}
            << QStringList{"Basic admin:7093", "Basic admin:7093"};
        QTest::newRow("network: Digest MD5 on the read, 1 then 2 on the write, one client nonce")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093", kMd5, "POST SetNetBasicConfig admin 7093"}
            << QStringList{"Basic admin:7093",
                           "Digest admin nc=00000001 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok",
                           "Digest admin nc=00000002 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok"};
        QTest::newRow("network: stale nonce on the write, one retry with 3, then refused")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093", kMd5, "POST SetNetBasicConfig admin 7093",
                           "401 Digest realm=\"cam\", nonce=\"n2\", qop=\"auth\", stale=true",
                           "401 Digest realm=\"cam\", nonce=\"n3\", qop=\"auth\", stale=true"}
            << QStringList{"Basic admin:7093",
                           "Digest admin nc=00000001 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok",
                           "Digest admin nc=00000002 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok",
                           "Digest admin nc=00000003 qop=auth alg= nonce=n2 cnonce#1 response ok", "refused"};
        QTest::newRow("network: Digest only on the write, 0 then 1")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093", "POST SetNetBasicConfig admin 7093", kMd5}
            << QStringList{"Basic admin:7093", "Basic admin:7093",
                           "Digest admin nc=00000001 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok"};
        QTest::newRow("network: a Basic-only refusal is a wrong password, no second attempt")
            << kNetwork << QStringList{"GET GetNetBasicConfig admin 7094", "401 Basic realm=\"cam\""}
            << QStringList{"Basic admin:7094", "refused"};
        QTest::newRow("network: MD5-sess with qop")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093",
                           "401 Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\", algorithm=MD5-sess"}
            << QStringList{"Basic admin:7093",
                           "Digest admin nc=00000001 qop=auth alg=MD5-sess nonce=n1 cnonce#1 response ok"};
        QTest::newRow("network: MD5-sess without qop")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093",
                           "401 Digest realm=\"cam\", nonce=\"n1\", algorithm=md5-SESS"}
            << QStringList{"Basic admin:7093",
                           "Digest admin nc= qop= alg=md5-SESS nonce=n1 cnonce#0 response ok"};
        QTest::newRow("network: MD5 without qop (RFC 2069)")
            << kNetwork
            << QStringList{"GET GetNetBasicConfig admin 7093", "401 Digest realm=\"cam\", nonce=\"n1\""}
            << QStringList{"Basic admin:7093", "Digest admin nc= qop= alg= nonce=n1 cnonce#0 response ok"};
        QTest::newRow("password: no credentials first, Basic when no Digest is offered, then refused")
            << kPassword
            << QStringList{"POST /ModifyIntegrateUser admin 7093", "401 Basic realm=\"cam\"",
                           "401 Basic realm=\"cam\""}
            << QStringList{"none", "Basic admin:7093", "refused"};
        QTest::newRow("password: each challenge restarts at 1 with a fresh client nonce")
            << kPassword
            << QStringList{"POST /ModifyIntegrateUser admin 7093", kMd5, "POST /ModifyPassword op old1",
                           "401 Digest realm=\"cam\", nonce=\"n2\", qop=\"auth\""}
            << QStringList{"none", "Digest admin nc=00000001 qop=auth alg=MD5 nonce=n1 cnonce#1 response ok",
                           "none", "Digest op nc=00000001 qop=auth alg= nonce=n2 cnonce#2 response ok"};
        QTest::newRow("userhash true sends the hashed name, the response over the plain one")
            << kPassword
            << QStringList{"POST /ModifyPassword op old1",
                           "401 Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\", userhash=True"}
            << QStringList{"none", "Digest <hash> nc=00000001 qop=auth alg= nonce=n1 cnonce#1 response ok"};
    }
    void sequence()
    {
        QFETCH(tcLoginClient::tcStyle, style);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);

        tcLoginClient client(style);
        QList<QByteArray> cnonces;
        QByteArray method, uri, user, password;
        QStringList seen;
        for (const QString& step : steps) {
            if (step.startsWith(QLatin1String("401 "))) {
                const std::optional<QByteArray> value = client.challenged(step.mid(4).toUtf8());
                seen << (value ? summary(*value, method, uri, user, password, cnonces, client.cnonce())
                               : QStringLiteral("refused"));
                continue;
            }
            const QList<QByteArray> words = step.toUtf8().split(' ');
            method = words[0], uri = words[1], user = words[2], password = words[3];
            seen << summary(client.begin(QString::fromLatin1(method), QString::fromLatin1(uri),
                                         QString::fromLatin1(user), QString::fromLatin1(password)),
                            method, uri, user, password, cnonces, client.cnonce());
        }
        QCOMPARE(seen, expected);
    }

    // The maker's hashed-password Digest: HA1 over the upper-case hex MD5 of the
    // password, answered with qop auth even when the challenge offers none.
    void authversion()
    {
        tcLoginClient client(kNetwork);
        client.begin(QStringLiteral("GET"), QStringLiteral("GetNetBasicConfig"), QStringLiteral("admin"),
                     QStringLiteral("7093"));
        const std::optional<QByteArray> value =
            client.challenged("Digest realm=\"cam\", nonce=\"n1\", authversion=\"1.1\"");
        QVERIFY(value);
        QList<QByteArray> cnonces;
        const QByteArray hashed = QCryptographicHash::hash("7093", QCryptographicHash::Md5).toHex().toUpper();
        QCOMPARE(summary(*value, "GET", "GetNetBasicConfig", "admin", hashed, cnonces, client.cnonce()),
                 QStringLiteral("Digest admin nc=00000001 qop=auth alg= nonce=n1 cnonce#1 response ok"));
    }

    void digestChallenge_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("params"); // empty: no Digest offered

        QTest::newRow("Digest alone") << QByteArray("Digest realm=\"Z\"") << QByteArray("realm=\"Z\"");
        QTest::newRow("Basic then Digest, joined by Qt")
            << QByteArray("basic realm=\"cam\", Digest realm=\"cam\", nonce=\"n2\"")
            << QByteArray("realm=\"cam\", nonce=\"n2\"");
        QTest::newRow("Basic with a realm that reads digest")
            << QByteArray("Basic realm=\"x digest y\"") << QByteArray();
        QTest::newRow("Basic with a realm named Digest")
            << QByteArray("Basic realm=\"Digest\"") << QByteArray();
        QTest::newRow("digest as a quoted parameter")
            << QByteArray("realm=\"cam\", scheme=\"Digest\", nonce=\"n4\"")
            << QByteArray("realm=\"cam\", scheme=\"Digest\", nonce=\"n4\"");
        QTest::newRow("Basic only") << QByteArray("Basic realm=\"cam\"") << QByteArray();
    }
    void digestChallenge()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, params);
        QCOMPARE(tcLoginClient::digestChallenge(header).value_or(QByteArray()), params);
    }
};

QTEST_APPLESS_MAIN(tst_LoginClient)
#include "tst_loginclient.moc"
