#include "tcPasswordRequests.h"

#include "tcCdata.h"
#include "tcConfigNamespace.h"

namespace {

// One line each, the pieces separated by the blanks the cameras' own pages send. In
// /ModifyPassword the xmlns= text stands as character data inside config, not as an
// attribute, as the firmware knows the request.
const QString& modifyPasswordTemplate()
{
    static const QString text = QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\" ?>"
                                              "<config version=\"1.0\">"
                                              " xmlns=\"") +
                                QLatin1String(kConfigNamespace) +
                                QLatin1String("\""
                                              " <userPassword>"
                                              "  <oldPassword><![CDATA[%1]]></oldPassword>"
                                              "  <password><![CDATA[%2]]></password>"
                                              " </userPassword>"
                                              "</config>");
    return text;
}

const QString& modifyIntegrateUserTemplate()
{
    static const QString text =
        QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\" ?>"
                      "<config version=\"1.7\" xmlns=\"") +
        QLatin1String(kConfigNamespace) +
        QLatin1String("\">"
                      " <types>"
                      "  <userType>"
                      "   <enum>administrator</enum>"
                      "   <enum>advance</enum>"
                      "   <enum>normal</enum>"
                      "  </userType>"
                      " </types>"
                      " <user type=\"list\" maxCount=\"16\">"
                      "  <itemType>"
                      "   <userType type=\"userType\" />"
                      "   <userName type=\"string\" maxLen=\"15\" />"
                      "   <password type=\"string\" maxLen=\"63\" />"
                      "  </itemType>"
                      "  <item>"
                      "   <userName type=\"string\" maxLen=\"15\"><![CDATA[%1]]></userName>"
                      "   <password type=\"string\" maxLen=\"63\"><![CDATA[%2]]></password>"
                      "  </item>"
                      " </user>"
                      "</config>");
    return text;
}

} // namespace

QString tcPasswordRequests::passwordBase64(const QString& password)
{
    return QString::fromLatin1(password.toUtf8().toBase64());
}

QByteArray tcPasswordRequests::modifyPasswordBody(const QString& oldPasswordB64,
                                                  const QString& newPasswordB64)
{
    // one pass of arg(): a value holding "%2" is not substituted again
    return modifyPasswordTemplate().arg(oldPasswordB64, newPasswordB64).toUtf8();
}

QByteArray tcPasswordRequests::modifyIntegrateUserBody(const QString& targetUser,
                                                       const QString& newPasswordB64)
{
    return modifyIntegrateUserTemplate().arg(cdataSafe(targetUser), newPasswordB64).toUtf8();
}

bool tcPasswordRequests::isSuccess(const QByteArray& body)
{
    // The cameras answer with their own XML dialect; the verdict is an attribute
    // written ="success", in varying ASCII letter case, wherever it stands. Lowering the
    // bytes (Latin-1 rules) never turns a non-ASCII byte into an ASCII letter.
    const int end = body.indexOf('\0');
    return body.left(end < 0 ? body.size() : end).toLower().contains("=\"success\"");
}
