// The two password request bodies, the success test of a reply and the choice of the
// Digest challenge, called directly without any network.
#include "tcConfigNamespace.h"
#include "tcHttpAuth.h"
#include "tcPasswordRequests.h"

#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct tcPiece
{
    int spaces;
    QString text;
};

// A body as the cameras expect it: one line, each piece after its count of blanks.
QByteArray joinPieces(const QVector<tcPiece>& pieces)
{
    QString text;
    for (const tcPiece& piece : pieces)
        text += QString(piece.spaces, QLatin1Char(' ')) + piece.text;
    return text.toUtf8();
}

const QString kNs = QLatin1String(kConfigNamespace);

QByteArray expectedPasswordBody(const QString& oldB64, const QString& newB64)
{
    return joinPieces({
        {0, QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" ?>")},
        {0, QStringLiteral("<config version=\"1.0\">")},
        {1, QStringLiteral("xmlns=\"") + kNs + QLatin1Char('"')},
        {1, QStringLiteral("<userPassword>")},
        {2, QStringLiteral("<oldPassword><![CDATA[") + oldB64 + QStringLiteral("]]></oldPassword>")},
        {2, QStringLiteral("<password><![CDATA[") + newB64 + QStringLiteral("]]></password>")},
        {1, QStringLiteral("</userPassword>")},
        {0, QStringLiteral("</config>")},
    });
}

QByteArray expectedUserBody(const QString& userCdata, const QString& newB64)
{
    return joinPieces({
        {0, QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" ?>")},
        {0, QStringLiteral("<config version=\"1.7\" xmlns=\"") + kNs + QStringLiteral("\">")},
        {1, QStringLiteral("<types>")},
        {2, QStringLiteral("<userType>")},
        {3, QStringLiteral("<enum>administrator</enum>")},
        {3, QStringLiteral("<enum>advance</enum>")},
        {3, QStringLiteral("<enum>normal</enum>")},
        {2, QStringLiteral("</userType>")},
        {1, QStringLiteral("</types>")},
        {1, QStringLiteral("<user type=\"list\" maxCount=\"16\">")},
        {2, QStringLiteral("<itemType>")},
        {3, QStringLiteral("<userType type=\"userType\" />")},
        {3, QStringLiteral("<userName type=\"string\" maxLen=\"15\" />")},
        {3, QStringLiteral("<password type=\"string\" maxLen=\"63\" />")},
        {2, QStringLiteral("</itemType>")},
        {2, QStringLiteral("<item>")},
        {3, QStringLiteral("<userName type=\"string\" maxLen=\"15\"><![CDATA[") + userCdata +
                QStringLiteral("]]></userName>")},
        {3, QStringLiteral("<password type=\"string\" maxLen=\"63\"><![CDATA[") + newB64 +
                QStringLiteral("]]></password>")},
        {2, QStringLiteral("</item>")},
        {1, QStringLiteral("</user>")},
        {0, QStringLiteral("</config>")},
    });
}

// Element text by name, as an independent XML reader sees the body; empty names and an
// error text when the body is not well-formed.
struct tcReadBack
{
    QString error;
    QString configNamespace;
    QString configText; // character data directly inside config
    QMap<QString, QString> texts;
};

tcReadBack readBack(const QByteArray& body)
{
    tcReadBack result;
    QXmlStreamReader reader(body);
    QStringList path;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            path << reader.name().toString();
            if (path.size() == 1)
                result.configNamespace = reader.namespaceUri().toString();
            break;
        case QXmlStreamReader::EndElement: path.removeLast(); break;
        case QXmlStreamReader::Characters:
            if (path.size() == 1)
                result.configText += reader.text();
            else if (!path.isEmpty())
                result.texts[path.join(QLatin1Char('/'))] += reader.text();
            break;
        default: break;
        }
    }
    if (reader.hasError())
        result.error = reader.errorString();
    return result;
}

} // namespace

class tst_PasswordRequests : public QObject
{
    Q_OBJECT
private slots:
    void passwordBase64_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("base64");
        QTest::newRow("default device password") << "7093" << "NzA5Mw==";
        QTest::newRow("umlaut as two UTF-8 bytes") << QStringLiteral("p\u00e4ss") << "cMOkc3M=";
    }
    void passwordBase64()
    {
        QFETCH(QString, password);
        QFETCH(QString, base64);
        QCOMPARE(tcPasswordRequests::passwordBase64(password), base64);
    }

    void modifyPasswordBody_data()
    {
        QTest::addColumn<QString>("oldB64");
        QTest::addColumn<QString>("newB64");
        QTest::newRow("padded values") << "NzA5Mw==" << "YWI=";
        // Values are filled in one pass: a placeholder inside one is not filled again.
        QTest::newRow("placeholder text in the old value") << "%2" << "YWJj";
    }
    void modifyPasswordBody()
    {
        QFETCH(QString, oldB64);
        QFETCH(QString, newB64);
        const QByteArray body = tcPasswordRequests::modifyPasswordBody(oldB64, newB64);
        QCOMPARE(body, expectedPasswordBody(oldB64, newB64));

        const tcReadBack xml = readBack(body);
        QVERIFY2(xml.error.isEmpty(), qPrintable(xml.error));
        // xmlns= stands as text inside config, so config itself has no namespace
        QCOMPARE(xml.configNamespace, QString());
        QVERIFY(xml.configText.contains(QStringLiteral("xmlns=\"") + kNs + QLatin1Char('"')));
        QCOMPARE(xml.texts.value(QStringLiteral("config/userPassword/oldPassword")), oldB64);
        QCOMPARE(xml.texts.value(QStringLiteral("config/userPassword/password")), newB64);
    }

    void modifyIntegrateUserBody_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("newB64");
        QTest::addColumn<QString>("userCdata");
        QTest::newRow("plain user name") << "operator" << "NzA5Mw==" << "operator";
        QTest::newRow("placeholder text in the user name is not filled again") << "%2" << "YWJj" << "%2";
        QTest::newRow("markup characters stay text") << "<a&b>" << "YWI=" << "<a&b>";
        QTest::newRow("CDATA end in the user name is split") << "x]]><admin/>" << "YWI="
                                                             << "x]]]]><![CDATA[><admin/>";
    }
    void modifyIntegrateUserBody()
    {
        QFETCH(QString, user);
        QFETCH(QString, newB64);
        QFETCH(QString, userCdata);
        const QByteArray body = tcPasswordRequests::modifyIntegrateUserBody(user, newB64);
        QCOMPARE(body, expectedUserBody(userCdata, newB64));

        const tcReadBack xml = readBack(body);
        QVERIFY2(xml.error.isEmpty(), qPrintable(xml.error));
        QCOMPARE(xml.configNamespace, kNs);
        QCOMPARE(xml.texts.value(QStringLiteral("config/user/item/userName")), user);
        QCOMPARE(xml.texts.value(QStringLiteral("config/user/item/password")), newB64);
    }

    void isSuccess_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::newRow("status attribute success") << QByteArray("<config status=\"success\"/>") << true;
        QTest::newRow("marker in capitals") << QByteArray("<config status=\"SUCCESS\"/>") << true;
        QTest::newRow("status failed") << QByteArray("<config status=\"failed\" errorCode=\"5\"/>") << false;
        QTest::newRow("blank before the quote") << QByteArray("<config status= \"success\"/>") << false;
        QTest::newRow("longer word") << QByteArray("<config status=\"successful\"/>") << false;
        QTest::newRow("zero byte before the marker")
            << QByteArray("<config\0 status=\"success\"/>", 27) << false;
        QTest::newRow("zero byte after the marker")
            << QByteArray("<config status=\"success\"/>\0junk", 31) << true;
        QTest::newRow("marker cut at the end") << QByteArray("<config status=\"succ") << false;
    }
    void isSuccess()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QCOMPARE(tcPasswordRequests::isSuccess(body), success);
    }

    void digestChallenge_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("digest");
        QTest::addColumn<QByteArray>("challenge");
        QTest::newRow("Digest challenge") << QByteArray("Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\"")
                                          << true << QByteArray("realm=\"cam\", nonce=\"n1\", qop=\"auth\"");
        QTest::newRow("Basic followed by Digest")
            << QByteArray("Basic realm=\"cam\", Digest realm=\"cam\", nonce=\"n2\"") << true
            << QByteArray("realm=\"cam\", nonce=\"n2\"");
        QTest::newRow("basic followed by digest, lower case")
            << QByteArray("basic realm=\"a\", digest nonce=\"n3\"") << true << QByteArray("nonce=\"n3\"");
        QTest::newRow("digest as a quoted parameter")
            << QByteArray("realm=\"cam\", scheme=\"Digest\", nonce=\"n4\"") << true
            << QByteArray("realm=\"cam\", scheme=\"Digest\", nonce=\"n4\"");
        QTest::newRow("Basic only") << QByteArray("Basic realm=\"cam\"") << false << QByteArray();
        QTest::newRow("Basic and Digest without a blank after the comma")
            << QByteArray("Basic realm=\"a\",Digest nonce=\"n\"") << false << QByteArray();
        QTest::newRow("scheme word without parameters") << QByteArray("Digest") << false << QByteArray();
    }
    void digestChallenge()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, digest);
        QFETCH(QByteArray, challenge);
        const std::optional<QByteArray> found = tcPasswordRequests::digestChallenge(header);
        QCOMPARE(found.has_value(), digest);
        if (digest)
            QCOMPARE(*found, challenge);
    }

    // The chosen part is what the challenge parser reads: a Basic-then-Digest value
    // yields the Digest parameters only, not Basic's realm.
    void digestChallengeFeedsParser()
    {
        const auto found = tcPasswordRequests::digestChallenge(
            "Basic realm=\"basic realm\", Digest realm=\"digest realm\", nonce=\"abc\", algorithm=MD5");
        QVERIFY(found);
        const tcHttpAuth::Challenge table = tcHttpAuth::parseChallenge(*found);
        QCOMPARE(table.value("realm"), QByteArray("digest realm"));
        QCOMPARE(table.value("nonce"), QByteArray("abc"));
        QCOMPARE(table.value("algorithm"), QByteArray("MD5"));
        QCOMPARE(table.size(), 3);
    }
};

QTEST_GUILESS_MAIN(tst_PasswordRequests)
#include "tst_passwordrequests.moc"
