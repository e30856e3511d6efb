#include "tcHttpAuth.h"

#include <QCryptographicHash>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <unistd.h>
#endif

using Challenge = tcHttpAuth::Challenge;
Q_DECLARE_METATYPE(Challenge)

namespace {

// The RFC formulas written out in text, so each row shows which rule it checks.
QByteArray h(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

const QByteArray kCnonce = "0a4f113b";

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
        const QByteArray value = tcHttpAuth::authorizationValue(
                                     1, cnonce, tcHttpAuth::parseChallenge(challenge), QStringLiteral("GET"),
                                     QStringLiteral("/dir/index.html"), QStringLiteral("Mufasa"), password)
                                     .toUtf8();
        QVERIFY(value.startsWith("Digest "));
        // the parameters in any order
        QCOMPARE(tcHttpAuth::parseChallenge(value.mid(7)), tcHttpAuth::parseChallenge(published));
    }

    void digestForms_data()
    {
        QTest::addColumn<QByteArray>("challenge");
        QTest::addColumn<int>("nonceCount");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray ha1 = h("alice:cams:7093");
        const QByteArray ha2 = h("GET:/ModifyPassword");
        const QByteArray head =
            "Digest username=\"alice\", realm=\"cams\", nonce=\"n1\", uri=\"/ModifyPassword\", ";

        QTest::newRow("no qop and no algorithm ends with response")
            << QByteArray("realm=\"cams\", nonce=\"n1\"") << 1
            << head + "response=\"" + h(ha1 + ":n1:" + ha2) + '"';
        QTest::newRow("qop auth with opaque, nonce count 26 is nc 0000001a")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\", opaque=\"op\"") << 26
            << head + "opaque=\"op\", response=\"" + h(ha1 + ":n1:0000001a:0a4f113b:auth:" + ha2) +
                   "\", qop=auth, nc=0000001a, cnonce=\"0a4f113b\"";
        QTest::newRow("MD5-sess in mixed case, algorithm written back as received")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=\"auth\", algorithm=md5-SeSs") << 1
            << head + "response=\"" + h(h(ha1 + ":n1:0a4f113b") + ":n1:00000001:0a4f113b:auth:" + ha2) +
                   "\", algorithm=md5-SeSs, qop=auth, nc=00000001, cnonce=\"0a4f113b\"";
        QTest::newRow("qop Auth-Int in another case hashes an empty entity hash")
            << QByteArray("realm=\"cams\", nonce=\"n1\", qop=Auth-Int") << 1
            << head + "response=\"" + h(ha1 + ":n1:00000001:0a4f113b:Auth-Int:" + h("GET:/ModifyPassword:")) +
                   "\", qop=Auth-Int, nc=00000001, cnonce=\"0a4f113b\"";
        QTest::newRow("authversion containing 1.1 hashes the password in upper-case hex")
            << QByteArray("realm=\"cams\", nonce=\"n1\", authversion=V1.1.4") << 1
            << head + "response=\"" + h(h("alice:cams:" + h("7093").toUpper()) + ":n1:" + ha2) + '"';
        // The response is computed over the plain user name.
        QTest::newRow("userhash True hashes the user name")
            << QByteArray("realm=\"cams\", nonce=\"n1\", userhash=\"True\"") << 1
            << "Digest username=\"" + h("alice:cams") +
                   "\", realm=\"cams\", nonce=\"n1\", uri=\"/ModifyPassword\", userhash=\"true\", "
                   "response=\"" +
                   h(ha1 + ":n1:" + ha2) + '"';

        // The digest covers the values as the device meant them; the header quotes them again.
        QTest::newRow("quote and backslash in realm and nonce escaped again")
            << QByteArray("realm=\"ca\\\"ms\", nonce=\"n\\\\1\", opaque=\"o\\\"\"") << 1
            << "Digest username=\"alice\", realm=\"ca\\\"ms\", nonce=\"n\\\\1\", uri=\"/ModifyPassword\", "
               "opaque=\"o\\\"\", response=\"" +
                   h(h("alice:ca\"ms:7093") + ":n\\1:" + ha2) + '"';
        QTest::newRow("backslash as the last byte of an unterminated realm")
            << QByteArray("nonce=\"n1\", realm=\"ab\\") << 1
            << "Digest username=\"alice\", realm=\"ab\\\\\", nonce=\"n1\", uri=\"/ModifyPassword\", "
               "response=\"" +
                   h(h("alice:ab\\:7093") + ":n1:" + ha2) + '"';
        QTest::newRow("NUL in the realm is dropped and does not cut the header")
            << QByteArray("realm=\"c\0ams\", nonce=\"n1\"", 26) << 1
            << head + "response=\"" + h(h(QByteArray("alice:c\0ams:7093", 16)) + ":n1:" + ha2) + '"';
        QTest::newRow("CR and LF from the challenge never reach the header")
            << QByteArray("realm=\"cams\", nonce=\"n1\r\nX: 1\", algorithm=MD5\\\r\n") << 1
            << "Digest username=\"alice\", realm=\"cams\", nonce=\"n1X: 1\", uri=\"/ModifyPassword\", "
               "response=\"" +
                   h(ha1 + ":n1\r\nX: 1:" + ha2) + "\", algorithm=MD5";
    }
    void digestForms()
    {
        QFETCH(QByteArray, challenge);
        QFETCH(int, nonceCount);
        QFETCH(QByteArray, expected);
        const QString value = tcHttpAuth::authorizationValue(
            nonceCount, kCnonce, tcHttpAuth::parseChallenge(challenge), QStringLiteral("GET"),
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
        QTest::newRow("backslash in an unquoted value escapes a comma")
            << QByteArray("opaque=a\\,b, qop=auth") << Challenge{{"opaque", "a,b"}, {"qop", "auth"}};
        QTest::newRow("backslash as the last byte is kept")
            << QByteArray("realm=\"ab\\") << Challenge{{"realm", "ab\\"}};
        QTest::newRow("comma inside a quoted value") << QByteArray("qop=\"auth,auth-int\", nonce=n")
                                                     << Challenge{{"qop", "auth,auth-int"}, {"nonce", "n"}};
        QTest::newRow("unquoted value ends at a control byte, the rest up to the comma skipped")
            << QByteArray("algorithm=MD5\r\n garbage, qop=auth")
            << Challenge{{"algorithm", "MD5"}, {"qop", "auth"}};
        QTest::newRow("unquoted value ends at a byte of 0x80 and above")
            << QByteArray("algorithm=MD5\xc3\xa9x, qop=auth")
            << Challenge{{"algorithm", "MD5"}, {"qop", "auth"}};
        QTest::newRow("control, blank and high bytes before a key are skipped")
            << QByteArray("\t\r\n \x80\xff\x01realm=\"r\"") << Challenge{{"realm", "r"}};
        QTest::newRow("NUL inside a quoted value is kept")
            << QByteArray("realm=\"a\0b\", nonce=n", 20)
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
        QTest::newRow("empty input") << QByteArray() << Challenge();
    }
    void parseChallenge()
    {
        QFETCH(QByteArray, input);
        QFETCH(Challenge, expected);
        QCOMPARE(tcHttpAuth::parseChallenge(input), expected);
    }

    // Every prefix of this challenge is parsed with its last byte at the end of a readable
    // page and an inaccessible page behind it: a read beyond the input faults.
    void parseChallengeStaysInsideInput()
    {
#ifndef Q_OS_UNIX
        QSKIP("the guard page is made with mmap and mprotect");
#else
        const QByteArray input = "realm=\"a\\\"b\", nonce=\"x\\\\\", algorithm=MD5\r\n junk, qop=auth,"
                                 "stale=\x80, realm, nonce=, =x, \"=\", opaque=\"o\\";
        const long page = sysconf(_SC_PAGESIZE);
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
#endif
    }
};

QTEST_GUILESS_MAIN(tst_HttpAuth)
#include "tst_httpauth.moc"
