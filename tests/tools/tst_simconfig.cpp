// The simulated cameras' password service as pure functions: which writes it accepts,
// so that the password dialog's tests see a device that checks what it is sent.
#include "tcConfigNamespace.h"
#include "tcSimConfigApi.h"

#include <QtTest>

namespace {

QByteArray passwordBody(const QString& oldPassword, const QString& newPassword)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" ?><config version=\"1.0\"> xmlns=\"%1\" "
                          "<userPassword>  <oldPassword><![CDATA[%2]]></oldPassword>  "
                          "<password><![CDATA[%3]]></password> "
                          "</userPassword></config>")
        .arg(QLatin1String(kConfigNamespace), QString::fromLatin1(oldPassword.toUtf8().toBase64()),
             QString::fromLatin1(newPassword.toUtf8().toBase64()))
        .toUtf8();
}

QByteArray userBody(const QString& user, const QString& newPassword)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\" ?><config version=\"1.7\" xmlns=\"%1\"> <types>  "
               "<userType>   <enum>administrator</enum>   <enum>advance</enum>   <enum>normal</enum>  "
               "</userType> "
               "</types> <user type=\"list\" maxCount=\"16\">  <itemType>   <userType type=\"userType\" />   "
               "<userName type=\"string\" maxLen=\"15\" />   <password type=\"string\" maxLen=\"63\" />  "
               "</itemType>  "
               "<item>   <userName type=\"string\" maxLen=\"15\"><![CDATA[%2]]></userName>   "
               "<password type=\"string\" maxLen=\"63\"><![CDATA[%3]]></password>  </item> </user></config>")
        .arg(QLatin1String(kConfigNamespace), user, QString::fromLatin1(newPassword.toUtf8().toBase64()))
        .toUtf8();
}

tcSimDevice camera()
{
    tcSimDevice d;
    d.address = QHostAddress(QStringLiteral("10.99.2.20"));
    setDefaultNetwork(d, QHostAddress(QStringLiteral("10.99.0.1")));
    d.users = {{QStringLiteral("admin"), QStringLiteral("7093")},
               {QStringLiteral("viewer"), QStringLiteral("look")}};
    return d;
}

tcHttpRequest post(const QByteArray& path, const QByteArray& body)
{
    tcHttpRequest r;
    r.method = "POST";
    r.target = path;
    r.version = "HTTP/1.1";
    r.body = body;
    return r;
}

// status and errorCode of the reply's config element, as a client reads them.
QPair<QString, QString> verdictOf(const QByteArray& reply)
{
    QXmlStreamReader xml(reply);
    while (xml.readNextStartElement())
        if (xml.name() == QLatin1String("config"))
            return {xml.attributes().value(QLatin1String("status")).toString(),
                    xml.attributes().value(QLatin1String("errorCode")).toString()};
    return {};
}

// The success marker that the password client looks for: ="success" in any case.
bool hasSuccessMarker(const QByteArray& reply)
{
    return reply.toLower().contains("=\"success\"");
}

} // namespace

class tst_SimConfig : public QObject
{
    Q_OBJECT
private slots:
    void passwordWrites_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("errorCode"); // empty: success
        QTest::addColumn<QString>("changedUser");
        QTest::addColumn<QString>("password"); // that user's password afterwards

        const QByteArray user = "/ModifyIntegrateUser", own = "/ModifyPassword";
        QTest::newRow("admin sets a user's password")
            << user << "admin" << userBody("viewer", "n3w pass") << QString() << "viewer" << "n3w pass";
        QTest::newRow("user that does not exist")
            << user << "admin" << userBody("ghost", "x") << "userNotExist" << "admin" << "7093";
        QTest::newRow("non-administrator may not set users")
            << user << "viewer" << userBody("admin", "x") << "noPermission" << "admin" << "7093";
        QTest::newRow("user changes own password")
            << own << "viewer" << passwordBody("look", "better") << QString() << "viewer" << "better";
        QTest::newRow("current password wrong")
            << own << "viewer" << passwordBody("Look", "better") << "passwordError" << "viewer" << "look";
    }
    void passwordWrites()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, user);
        QFETCH(QByteArray, body);
        QFETCH(QString, errorCode);
        QFETCH(QString, changedUser);
        QFETCH(QString, password);
        tcSimDevice d = camera();
        const tcSimResponse r = handleConfigRequest(d, user, post(path, body));
        QCOMPARE(hasSuccessMarker(r.body), errorCode.isEmpty());
        QCOMPARE(r.changed, errorCode.isEmpty());
        if (!errorCode.isEmpty())
            QCOMPARE(verdictOf(r.body), qMakePair(QStringLiteral("failed"), errorCode));
        QCOMPARE(d.users.value(changedUser), password);
    }

    // A device whose firmware writes the verdict in capitals, as the site file sets it.
    void successStatusFromTheSiteFile()
    {
        tcSimDevices devices;
        QString why;
        QVERIFY2(loadSiteJson(R"({"devices":[{"kind":"pq-camera","address":"10.99.1.2",
                                 "users":{"admin":"7093","viewer":"look"},"successStatus":"SUCCESS"}]})",
                              devices, &why),
                 qPrintable(why));
        const tcSimResponse r =
            handleConfigRequest(*devices.front(), QStringLiteral("admin"),
                                post("/ModifyIntegrateUser", userBody(QStringLiteral("viewer"), "x")));
        QCOMPARE(verdictOf(r.body), qMakePair(QStringLiteral("SUCCESS"), QString()));
        QVERIFY(r.changed);
    }
};

QTEST_GUILESS_MAIN(tst_SimConfig)
#include "tst_simconfig.moc"
