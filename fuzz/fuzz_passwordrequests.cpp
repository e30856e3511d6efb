// libFuzzer target: the reply success test, the choice of the Digest challenge and the
// user request body over arbitrary bytes. Aborts when a user name does not read back
// unchanged from the body it was put in.
#include "tcHttpAuth.h"
#include "tcPasswordRequests.h"

#include <QXmlStreamReader>

#include <cstdlib>

namespace {

// Characters an XML document may hold at all; others make any body ill-formed.
bool isXmlText(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            return false;
    }
    return true;
}

QString userNameOf(const QByteArray& body)
{
    QXmlStreamReader reader(body);
    QString name;
    int depth = 0;
    bool inItem = false;
    bool inName = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            inItem = inItem || (depth == 3 && reader.name() == QLatin1String("item"));
            inName = inItem && depth == 4 && reader.name() == QLatin1String("userName");
            break;
        case QXmlStreamReader::EndElement:
            inName = false;
            if (--depth < 3)
                inItem = false;
            break;
        case QXmlStreamReader::Characters:
            if (inName)
                name += reader.text();
            break;
        default: break;
        }
    }
    return reader.hasError() ? QStringLiteral("<ill-formed>") + reader.errorString() : name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));

    tcPasswordRequests::isSuccess(bytes);
    if (const auto digest = tcPasswordRequests::digestChallenge(bytes))
        tcHttpAuth::parseChallenge(*digest);

    const QString user = QString::fromUtf8(bytes);
    const QByteArray body = tcPasswordRequests::modifyIntegrateUserBody(user, QStringLiteral("YWJj"));
    // A reader normalises line ends inside text, so only names without them are compared.
    if (isXmlText(user) && !user.contains(QLatin1Char('\r')) && userNameOf(body) != user)
        std::abort();
    return 0;
}
