#include "tcHttpAuth.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <sys/mman.h>
#include <unistd.h>

using Challenge = tcHttpAuth::Challenge;
Q_DECLARE_METATYPE(Challenge)

namespace {

// The RFC formulas written out in text, so each row shows which rule it checks.
QByteArray h(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

const QByteArray kCnonce = "0a4f113b";

// Parameters of an Authorization value as a table, for comparing with a published one
// whatever the order of its parameters.
Challenge paramsOf(const QString& authorization)
{
    const QByteArray bytes = authorization.toUtf8();
    return tcHttpAuth::parseChallenge(bytes.mid(bytes.indexOf(' ') + 1));
}

} // namespace

class tst_HttpAuth : public QObject
{
    Q_OBJECT
private slots:
    void publishedExamples_data()
    {
        QTest::addColumn<QByteArray>("challenge");
        QTest::addColumn<QByteArray>("cnonce");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("published");

        // RFC 2617 section 3.5; the server offers qop="auth,auth-int", the client answers auth.
        QTest::newRow("RFC 2617 section 3.5")
            << QByteArray("realm=\"testrealm@host.com\",\r\n qop=\"auth\",\r\n"
                          " nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",\r\n"
                          " opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"")
            << QByteArray("0a4f113b") << QStringLiteral("Circle Of Life")
            << QByteArray("username=\"Mufasa\", realm=\"testrealm@host.com\","
                          " nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"/dir/index.html\","
                          " qop=auth, nc=00000001, cnonce=\"0a4f113b\","
                          " response=\"6629fae49393a05397450978507c4ef1\","
                          " opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"");
        // RFC 7616 section 3.9.1, the MD5 challenge, answered with qop auth.
        QTest::newRow("RFC 7616 section 3.9.1 MD5")
            << QByteArray("realm=\"http-auth@example.org\",\r\n\tqop=\"auth\",\r\n\talgorithm=MD5,\r\n"
                          "\tnonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\",\r\n"
                          "\topaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"")
            << QByteArray("f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ") << QStringLiteral("Circle of Life")
            << QByteArray("username=\"Mufasa\", realm=\"http-auth@example.org\", uri=\"/dir/index.html\","
                          " algorithm=MD5, nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\","
                          " nc=00000001, cnonce=\"f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ\","
                          " qop=auth, response=\"8ca523f5e9506fed4657c9700eebdbec\","
                          " opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"");
    }
    void publishedExamples()
    {
        QFETCH(QByteArray, challenge);
        QFETCH(QByteArray, cnonce);
        QFETCH(QString, password);
        QFETCH(QByteArray, published);
        const QString value = tcHttpAuth::authorizationValue(
            1, cnonce, tcHttpAuth::parseChallenge(challenge), QStringLiteral("GET"),
            QStringLiteral("/dir/index.html"), QStringLiteral("Mufasa"), password);
        QVERIFY(value.startsWith(QLatin1String("Digest ")));
        const Challenge expected = tcHttpAuth::parseChallenge(published);
        QCOMPARE(paramsOf(value), expected);

        const QByteArray ha1 =
            tcHttpAuth::digestHa1("Mufasa", password.toLatin1(), expected.value("realm"), false);
        QCOMPARE(tcHttpAuth::digestResponse(ha1, expected.value("algorithm"), expected.value("nonce"),
                                            expected.value("nc"), cnonce, "GET", expected.value("uri"),
                                            expected.value("qop")),
                 expected.value("response"));
    }

    void digestForms_data()
    {
        QTest::addColumn<QByteArray>("challenge");
        QTest::addColumn<int>("nonceCount");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray ha1 = h("alice:cams:7093");
        const QByteArray ha2Get = h("GET:/ModifyPassword");
        const QByteArray head =
            "Digest username=\"alice\", realm=\"cams\", nonce=\"n1\", uri=\"/ModifyPassword\", ";

        QTest::newRow("no qop ends with response and algorithm")
            << QByteArray("realm=\"cams\", nonce=\"n1\", algorithm=MD5") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:" + ha2Get) + "\", algorithm=MD5";
        QTest::newRow("no qop and no algorithm ends with response")
            << QByteArray("realm=\"cams\", nonce=\"n1\"") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:" + ha2Get) + '"';
        QTest::newRow("qop auth with opaque")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\", opaque=\"op\"") << 1
            << QStringLiteral("GET")
            << head + "opaque=\"op\", response=\"" + h(ha1 + ":n1:00000001:0a4f113b:auth:" + ha2Get) +
                   "\", qop=auth, nc=00000001, cnonce=\"0a4f113b\"";
        QTest::newRow("nonce count 26 is nc 0000001a")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\"") << 26 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:0000001a:0a4f113b:auth:" + ha2Get) +
                   "\", qop=auth, nc=0000001a, cnonce=\"0a4f113b\"";
        QTest::newRow("nonce count 0x7fffffff fills eight digits")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\"") << 0x7fffffff << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:7fffffff:0a4f113b:auth:" + ha2Get) +
                   "\", qop=auth, nc=7fffffff, cnonce=\"0a4f113b\"";
        QTest::newRow("MD5-sess in mixed case, algorithm written back as received")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\", algorithm=md5-SeSs") << 1
            << QStringLiteral("GET")
            << head + "response=\"" + h(h(ha1 + ":n1:0a4f113b") + ":n1:00000001:0a4f113b:auth:" + ha2Get) +
                   "\", algorithm=md5-SeSs, qop=auth, nc=00000001, cnonce=\"0a4f113b\"";
        QTest::newRow("MD5-sess without qop")
            << QByteArray("realm=\"cams\", nonce=\"n1\", algorithm=MD5-sess") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(h(ha1 + ":n1:0a4f113b") + ":n1:" + ha2Get) + "\", algorithm=MD5-sess";
        QTest::newRow("qop auth-int hashes an empty entity hash")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth-int\"") << 2 << QStringLiteral("POST")
            << head + "response=\"" +
                   h(ha1 + ":n1:00000002:0a4f113b:auth-int:" + h("POST:/ModifyPassword:")) +
                   "\", qop=auth-int, nc=00000002, cnonce=\"0a4f113b\"";
        QTest::newRow("qop Auth-Int in another case written back as received")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=Auth-Int") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:00000001:0a4f113b:Auth-Int:" + h("GET:/ModifyPassword:")) +
                   "\", qop=Auth-Int, nc=00000001, cnonce=\"0a4f113b\"";
        QTest::newRow("several offered qop values are hashed and sent as one text")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth,auth-int\"") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:00000001:0a4f113b:auth,auth-int:" + ha2Get) +
                   "\", qop=auth,auth-int, nc=00000001, cnonce=\"0a4f113b\"";

        const QByteArray hashedHa1 = h("alice:cams:" + h("7093").toUpper());
        QTest::newRow("authversion 1.1 hashes the password in upper-case hex")
            << QByteArray("realm=\"cams\", nonce=\"n1\", authversion=\"1.1\"") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(hashedHa1 + ":n1:" + ha2Get) + '"';
        QTest::newRow("authversion containing 1.1")
            << QByteArray("realm=\"cams\", nonce=\"n1\", authversion=V1.1.4") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(hashedHa1 + ":n1:" + ha2Get) + '"';
        QTest::newRow("authversion 1.0 keeps the plain password")
            << QByteArray("realm=\"cams\", nonce=\"n1\", authversion=\"1.0\"") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:" + ha2Get) + '"';

        const QByteArray hashedHead =
            "Digest username=\"" + h("alice:cams") +
            "\", realm=\"cams\", nonce=\"n1\", uri=\"/ModifyPassword\", userhash=\"true\", ";
        // The response is computed over the plain user name in both rows.
        QTest::newRow("userhash true hashes the user name")
            << QByteArray("realm=\"cams\", nonce=\"n1\", userhash=true") << 1 << QStringLiteral("GET")
            << hashedHead + "response=\"" + h(ha1 + ":n1:" + ha2Get) + '"';
        QTest::newRow("userhash True hashes the user name")
            << QByteArray("realm=\"cams\", nonce=\"n1\", userhash=\"True\"") << 1 << QStringLiteral("GET")
            << hashedHead + "response=\"" + h(ha1 + ":n1:" + ha2Get) + '"';
        QTest::newRow("userhash false keeps the user name")
            << QByteArray("realm=\"cams\", nonce=\"n1\", userhash=false") << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(ha1 + ":n1:" + ha2Get) + '"';

        // The digest covers the values as the device meant them; the header quotes them again.
        QTest::newRow("quote and backslash in realm and nonce escaped again")
            << QByteArray("realm=\"ca\\\"ms\", nonce=\"n\\\\1\", opaque=\"o\\\"\"") << 1
            << QStringLiteral("GET")
            << "Digest username=\"alice\", realm=\"ca\\\"ms\", nonce=\"n\\\\1\", uri=\"/ModifyPassword\", "
               "opaque=\"o\\\"\", response=\"" +
                   h(h("alice:ca\"ms:7093") + ":n\\1:" + ha2Get) + '"';
        QTest::newRow("backslash as the last byte of an unterminated realm")
            << QByteArray("nonce=\"n1\", realm=\"ab\\") << 1 << QStringLiteral("GET")
            << "Digest username=\"alice\", realm=\"ab\\\\\", nonce=\"n1\", uri=\"/ModifyPassword\", "
               "response=\"" +
                   h(h("alice:ab\\:7093") + ":n1:" + ha2Get) + '"';
        QTest::newRow("NUL in the realm is dropped and does not cut the header")
            << QByteArray("realm=\"c\0ams\", nonce=\"n1\"", 26) << 1 << QStringLiteral("GET")
            << head + "response=\"" + h(h(QByteArray("alice:c\0ams:7093", 16)) + ":n1:" + ha2Get) + '"';
        QTest::newRow("CR and LF from the challenge never reach the header")
            << QByteArray("realm=\"cams\", nonce=\"n1\r\nX: 1\", algorithm=MD5\\\r\n") << 1
            << QStringLiteral("GET")
            << "Digest username=\"alice\", realm=\"cams\", nonce=\"n1X: 1\", uri=\"/ModifyPassword\", "
               "response=\"" +
                   h(ha1 + ":n1\r\nX: 1:" + ha2Get) + "\", algorithm=MD5";
        QTest::newRow("empty challenge still gives a header") << QByteArray() << 1 << QStringLiteral("GET")
            << "Digest username=\"alice\", realm=\"\", nonce=\"\", uri=\"/ModifyPassword\", response=\"" +
                   h(h("alice::7093") + "::" + ha2Get) + '"';
    }
    void digestForms()
    {
        QFETCH(QByteArray, challenge);
        QFETCH(int, nonceCount);
        QFETCH(QString, method);
        QFETCH(QByteArray, expected);
        const QString value = tcHttpAuth::authorizationValue(
            nonceCount, kCnonce, tcHttpAuth::parseChallenge(challenge), method,
            QStringLiteral("/ModifyPassword"), QStringLiteral("alice"), QStringLiteral("7093"));
        QCOMPARE(value, QString::fromUtf8(expected));
    }

    void basic_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        // RFC 7617 sections 2 and 2.1
        QTest::newRow("RFC 7617 Aladdin") << QStringLiteral("Aladdin") << QStringLiteral("open sesame")
                                          << QStringLiteral("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
        QTest::newRow("RFC 7617 UTF-8 password") << QStringLiteral("test") << QStringLiteral("123\u00a3")
                                                 << QStringLiteral("Basic dGVzdDoxMjPCow==");
    }
    void basic()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        // A full Digest table must not matter when the count is 0.
        const Challenge digest = tcHttpAuth::parseChallenge(
            "realm=\"r\", nonce=\"n\", qop=\"auth\", algorithm=MD5-sess, opaque=\"o\", userhash=true");
        QCOMPARE(tcHttpAuth::authorizationValue(0, kCnonce, digest, QStringLiteral("POST"),
                                                QStringLiteral("/x"), user, password),
                 expected);
        QCOMPARE(tcHttpAuth::authorizationValue(0, QByteArray(), Challenge(), QStringLiteral("GET"),
                                                QString(), user, password),
                 expected);
    }

    void parseChallenge_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Challenge>("expected");

        QTest::newRow("quoted and unquoted values, keys lower-cased")
            << QByteArray("Realm=\"cams\", NONCE=\"abc\", Qop=\"auth\", algorithm=MD5")
            << Challenge{{"realm", "cams"}, {"nonce", "abc"}, {"qop", "auth"}, {"algorithm", "MD5"}};
        QTest::newRow("escaped double quote stays inside a quoted value")
            << QByteArray("realm=\"a\\\"b\", nonce=\"n\"") << Challenge{{"realm", "a\"b"}, {"nonce", "n"}};
        QTest::newRow("escaped backslash") << QByteArray("realm=\"a\\\\b\"") << Challenge{{"realm", "a\\b"}};
        QTest::newRow("backslash in an unquoted value escapes a comma")
            << QByteArray("opaque=a\\,b, qop=auth") << Challenge{{"opaque", "a,b"}, {"qop", "auth"}};
        QTest::newRow("backslash as the last byte is kept")
            << QByteArray("realm=\"ab\\") << Challenge{{"realm", "ab\\"}};
        QTest::newRow("comma inside a quoted value") << QByteArray("qop=\"auth,auth-int\", nonce=n")
                                                     << Challenge{{"qop", "auth,auth-int"}, {"nonce", "n"}};
        QTest::newRow("unquoted value ends at comma")
            << QByteArray("algorithm=MD5,qop=auth") << Challenge{{"algorithm", "MD5"}, {"qop", "auth"}};
        QTest::newRow("unquoted value ends at a control byte, the rest up to the comma skipped")
            << QByteArray("algorithm=MD5\r\n garbage, qop=auth")
            << Challenge{{"algorithm", "MD5"}, {"qop", "auth"}};
        QTest::newRow("unquoted value ends at a byte of 0x80 and above")
            << QByteArray("algorithm=MD5\xc3\xa9x, qop=auth")
            << Challenge{{"algorithm", "MD5"}, {"qop", "auth"}};
        QTest::newRow("blank does not end an unquoted value")
            << QByteArray("algorithm=MD5 , qop=auth") << Challenge{{"algorithm", "MD5 "}, {"qop", "auth"}};
        QTest::newRow("control, blank and high bytes before a key are skipped")
            << QByteArray("\t\r\n \x80\xff\x01realm=\"r\"") << Challenge{{"realm", "r"}};
        QTest::newRow("high bytes inside a quoted value are kept")
            << QByteArray("realm=\"caf\xc3\xa9\"") << Challenge{{"realm", "caf\xc3\xa9"}};
        QTest::newRow("NUL inside a quoted value is kept") << QByteArray("realm=\"a\0b\", nonce=n", 20)
            << Challenge{{"realm", QByteArray("a\0b", 3)}, {"nonce", "n"}};
        QTest::newRow("repeated key replaces the earlier value")
            << QByteArray("nonce=\"first\", realm=r, NONCE=\"second\"")
            << Challenge{{"nonce", "second"}, {"realm", "r"}};
        QTest::newRow("trailing key without equals sign is dropped")
            << QByteArray("realm=\"r\", stale") << Challenge{{"realm", "r"}};
        QTest::newRow("text after the closing quote is skipped up to the comma")
            << QByteArray("realm=\"r\"junk=\"x\", nonce=\"n\"") << Challenge{{"realm", "r"}, {"nonce", "n"}};
        QTest::newRow("unterminated quoted value runs to the end")
            << QByteArray("nonce=n, realm=\"abc") << Challenge{{"nonce", "n"}, {"realm", "abc"}};
        QTest::newRow("opening quote as the last byte drops the key")
            << QByteArray("realm=\"r\", nonce=\"") << Challenge{{"realm", "r"}};
        QTest::newRow("equals sign as the last byte gives an empty value")
            << QByteArray("realm=\"r\", nonce=") << Challenge{{"realm", "r"}, {"nonce", ""}};
        QTest::newRow("empty quoted value")
            << QByteArray("opaque=\"\", qop=auth") << Challenge{{"opaque", ""}, {"qop", "auth"}};
        QTest::newRow("empty input") << QByteArray() << Challenge();
        QTest::newRow("only blanks and control bytes") << QByteArray(" \r\n\t ") << Challenge();
    }
    void parseChallenge()
    {
        QFETCH(QByteArray, input);
        QFETCH(Challenge, expected);
        QCOMPARE(tcHttpAuth::parseChallenge(input), expected);
    }

    // Every prefix of these challenges is parsed with its last byte at the end of a
    // readable page and an inaccessible page behind it: a read beyond the input faults.
    void parseChallengeStaysInsideInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("quoted values with escapes")
            << QByteArray("realm=\"a\\\"b\", nonce=\"x\\\\\", qop=\"auth\", opaque=\"o\\");
        QTest::newRow("unquoted values and controls")
            << QByteArray("algorithm=MD5\r\n junk, qop=auth,stale=\x80");
        QTest::newRow("keys without values") << QByteArray("realm, nonce=, =x, \"=\"");
    }
    void parseChallengeStaysInsideInput()
    {
        QFETCH(QByteArray, input);
        const long page = sysconf(_SC_PAGESIZE);
        QVERIFY(input.size() < page);
        void* map =
            mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        QVERIFY(map != MAP_FAILED);
        char* const guard = static_cast<char*>(map) + page;
        QCOMPARE(mprotect(guard, size_t(page), PROT_NONE), 0);
        for (int length = 0; length <= input.size(); ++length) {
            char* const start = guard - length;
            memcpy(start, input.constData(), size_t(length));
            const Challenge table = tcHttpAuth::parseChallenge(QByteArray::fromRawData(start, length));
            // each entry needs its own '='
            QVERIFY(table.size() <= input.left(length).count('='));
        }
        munmap(map, size_t(2 * page));
    }

    void methodName_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("expected");
        QTest::newRow("put") << int(QNetworkAccessManager::PutOperation) << QStringLiteral("PUT");
        QTest::newRow("post") << int(QNetworkAccessManager::PostOperation) << QStringLiteral("POST");
        QTest::newRow("delete") << int(QNetworkAccessManager::DeleteOperation) << QStringLiteral("DELETE");
        QTest::newRow("get") << int(QNetworkAccessManager::GetOperation) << QStringLiteral("GET");
        QTest::newRow("head falls back to GET")
            << int(QNetworkAccessManager::HeadOperation) << QStringLiteral("GET");
        QTest::newRow("custom falls back to GET")
            << int(QNetworkAccessManager::CustomOperation) << QStringLiteral("GET");
    }
    void methodName()
    {
        QFETCH(int, operation);
        QFETCH(QString, expected);
        QCOMPARE(tcHttpAuth::methodName(QNetworkAccessManager::Operation(operation)), expected);
    }

    void makeCnonce()
    {
        const QRegularExpression form(QStringLiteral("^[0-9a-f]{32}$"));
        QSet<QByteArray> seen;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray cnonce = tcHttpAuth::makeCnonce();
            QVERIFY2(form.match(QString::fromLatin1(cnonce)).hasMatch(), cnonce.constData());
            seen.insert(cnonce);
        }
        QCOMPARE(seen.size(), 1000);
    }
};

QTEST_GUILESS_MAIN(tst_HttpAuth)
#include "tst_httpauth.moc"
