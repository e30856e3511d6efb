// The two password request bodies byte for byte and the success test of a reply,
// without any network.
#include "tcPasswordRequests.h"

#include <QtTest>

class tst_PasswordRequests : public QObject
{
    Q_OBJECT
private slots:
    // One line each, the pieces apart by the blanks the cameras' own pages send; in the
    // password body xmlns= stands as text inside config. Values are filled in one pass,
    // so a placeholder inside one is not filled again.
    void bodies_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>";
        // Spelled here, not taken from the product: a wrong URI must fail this test.
        const QByteArray ns = "http://www.zephyrlock.com/ver10";

        QTest::newRow("password body, placeholder text in the old value")
            << tcPasswordRequests::modifyPasswordBody(QStringLiteral("%2"), QStringLiteral("YWJj"))
            << head + "<config version=\"1.0\"> xmlns=\"" + ns +
                   "\" <userPassword>  <oldPassword><![CDATA[%2]]></oldPassword>"
                   "  <password><![CDATA[YWJj]]></password> </userPassword></config>";
        QTest::newRow("user body, CDATA end and placeholder text in the user name")
            << tcPasswordRequests::modifyIntegrateUserBody(QStringLiteral("x]]><a/>%2"),
                                                           QStringLiteral("YWI="))
            << head + "<config version=\"1.7\" xmlns=\"" + ns +
                   "\"> <types>  <userType>   <enum>administrator</enum>   <enum>advance</enum>"
                   "   <enum>normal</enum>  </userType> </types> <user type=\"list\" maxCount=\"16\">"
                   "  <itemType>   <userType type=\"userType\" />   <userName type=\"string\" maxLen=\"15\" "
                   "/>"
                   "   <password type=\"string\" maxLen=\"63\" />  </itemType>  <item>"
                   "   <userName type=\"string\" maxLen=\"15\"><![CDATA[x]]]]><![CDATA[><a/>%2]]></userName>"
                   "   <password type=\"string\" maxLen=\"63\"><![CDATA[YWI=]]></password>  </item> </user>"
                   "</config>";
    }
    void bodies()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        QCOMPARE(body, expected);
    }

    void isSuccess_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::newRow("any ASCII letter case") << QByteArray("<config status=\"SucCESS\"/>") << true;
        QTest::newRow("longer word") << QByteArray("<config status=\"successful\"/>") << false;
        QTest::newRow("zero byte before the marker")
            << QByteArray("<config\0 status=\"success\"/>", 27) << false;
        QTest::newRow("zero byte after the marker")
            << QByteArray("<config status=\"success\"/>\0junk", 31) << true;
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
};

QTEST_GUILESS_MAIN(tst_PasswordRequests)
#include "tst_passwordrequests.moc"
