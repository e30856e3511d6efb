// The password requests: the reply success test, the choice of the Digest challenge and
// the user request body over arbitrary bytes. Aborts when a verdict depends on what
// follows the first zero byte, when a Digest part is not the end of the header, or when
// a user name does not read back unchanged from the body it was put in.
#include "fuzzcheck.h"
#include "tcHttpAuth.h"
#include "tcLoginClient.h"
#include "tcPasswordRequests.h"

#include <QXmlStreamReader>


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

// The verdict is read up to the first zero byte: what follows it never changes it, text
// put before the body never takes a success away, and a success needs the marker's bytes.
void requireVerdictOfBody(const QByteArray& bytes)
{
    const bool success = tcPasswordRequests::isSuccess(bytes);
    const int zero = bytes.indexOf('\0');
    const QByteArray body = zero < 0 ? bytes : bytes.left(zero);
    ZL_FUZZ_REQUIRE(tcPasswordRequests::isSuccess(body) == success, zlfuzz::hex(body));
    ZL_FUZZ_REQUIRE(tcPasswordRequests::isSuccess(body + QByteArray(1, '\0') + "=\"success\"") == success,
                    zlfuzz::hex(body));
    if (!success)
        return;
    ZL_FUZZ_REQUIRE(tcPasswordRequests::isSuccess("<?xml version=\"1.0\"?>" + body), zlfuzz::hex(body));
    ZL_FUZZ_REQUIRE(body.size() >= int(sizeof("=\"success\"") - 1), zlfuzz::hex(body));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = zlfuzz::bytes(data, size);

    requireVerdictOfBody(bytes);
    if (const auto digest = tcLoginClient::digestChallenge(bytes)) {
        ZL_FUZZ_REQUIRE(bytes.endsWith(*digest), zlfuzz::hex(*digest));
        tcHttpAuth::parseChallenge(*digest);
    }

    const QString user = QString::fromUtf8(bytes);
    const QByteArray body = tcPasswordRequests::modifyIntegrateUserBody(user, QStringLiteral("YWJj"));
    // A reader normalises line ends inside text, so only names without them are compared.
    if (isXmlText(user) && !user.contains(QLatin1Char('\r')))
        ZL_FUZZ_REQUIRE(userNameOf(body) == user, user);
    return 0;
}
