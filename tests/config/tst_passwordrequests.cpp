// The two password request bodies as an independent XML reader sees them, the success
// test of a reply and the choice of the Digest challenge, without any network.
#include "tcConfigNamespace.h"
#include "tcPasswordRequests.h"

#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kNs = QLatin1String(kConfigNamespace);

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
        QVERIFY2(!body.contains('\n'), body.constData()); // the cameras take the body as one line

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
        QTest::newRow("plain user name") << "operator" << "NzA5Mw==";
        QTest::newRow("placeholder text in the user name is not filled again") << "%2" << "YWJj";
        QTest::newRow("markup characters stay text") << "<a&b>" << "YWI=";
        QTest::newRow("CDATA end in the user name is split") << "x]]><admin/>" << "YWI=";
    }
    void modifyIntegrateUserBody()
    {
        QFETCH(QString, user);
        QFETCH(QString, newB64);
        const QByteArray body = tcPasswordRequests::modifyIntegrateUserBody(user, newB64);
        QVERIFY2(!body.contains('\n'), body.constData());

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
        QTest::newRow("blank before the quote") << QByteArray("<config status= \"success\"/>") << false;
        QTest::newRow("longer word") << QByteArray("<config status=\"successful\"/>") << false;
        QTest::newRow("zero byte before the marker")
            << QByteArray("<config\0 status=\"success\"/>", 27) << false;
        QTest::newRow("zero byte after the marker")
            << QByteArray("<config status=\"success\"/>\0junk", 31) << true;
        QTest::newRow("marker cut at the end") << QByteArray("<config status=\"succ") << false;
        QTest::newRow("any ASCII letter case") << QByteArray("<config status=\"SucCESS\"/>") << true;
        // Full Unicode case folding would read the long s (U+017F) or the Kelvin sign as
        // ASCII letters: a reply that never said success would count as one.
        QTest::newRow("long s is not an s") << QByteArray("<config status=\"\xc5\xbfuccess\"/>") << false;
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
};

QTEST_GUILESS_MAIN(tst_PasswordRequests)
#include "tst_passwordrequests.moc"
