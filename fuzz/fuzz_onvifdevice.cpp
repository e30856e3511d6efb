// The ONVIF device service replies and requests: whatever a device (or a client, for the
// simulator) sends, reading ends, and a message that Qt's own XML reader reads as
// well-formed is read into the same tree of names, attributes and texts, so the fast
// reader neither refuses nor misreads a message a device may send.

#include "fuzzcheck.h"
#include "tcOnvifDeviceCodec.h"

#include <QXmlStreamReader>

using namespace tcOnvifDevice;

namespace {

QString localName(const QStringRef& qualified)
{
    const int colon = qualified.lastIndexOf(QLatin1Char(':'));
    return (colon < 0 ? qualified : qualified.mid(colon + 1)).toString();
}

// The tree as Qt's reader sees the element it stands on: local names, attributes
// without the namespace declarations, the text directly in it (white space before the
// first text passed over, as the codec does), trimmed. False when the XML breaks off,
// is not well-formed, or nests deeper than the codec reads.
bool qtTree(QXmlStreamReader& xml, tcNode& node, int depth)
{
    node.name = localName(xml.qualifiedName());
    for (const QXmlStreamAttribute& attribute : xml.attributes()) {
        if (!attribute.qualifiedName().startsWith(QLatin1String("xmlns")))
            node.attributes.emplace_back(localName(attribute.qualifiedName()), attribute.value().toString());
    }
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth + 1 >= kMaxDepth)
                return false;
            node.children.emplace_back();
            if (!qtTree(xml, node.children.back(), depth + 1))
                return false;
            break;
        case QXmlStreamReader::Characters:
            if (!(xml.isWhitespace() && !xml.isCDATA() && node.text.isEmpty()))
                node.text += xml.text();
            break;
        case QXmlStreamReader::EndElement: node.text = node.text.trimmed(); return true;
        default: break;
        }
    }
    return false;
}

QString describe(const tcNode& node)
{
    QString out = QLatin1Char('<') + node.name;
    for (const auto& [name, value] : node.attributes)
        out += QLatin1Char(' ') + name + QStringLiteral("=\"") + value + QLatin1Char('"');
    out += QLatin1Char('>') + node.text;
    for (const tcNode& child : node.children)
        out += describe(child);
    return out + QStringLiteral("</>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);

    const tcReply reply = parseReply(input);
    ZL_FUZZ_REQUIRE((reply.kind == tcReply::Invalid) == !reply.error.isEmpty(), reply.error);
    ZL_FUZZ_REQUIRE(reply.kind != tcReply::Ok || !reply.body.name.isEmpty(),
                    QStringLiteral("a nameless body"));
    // The readers of the values never fail on what the parse gave them.
    systemDateAndTime(reply);
    deviceInformation(reply);
    networkInterfaces(reply);
    rebootNeeded(reply);
    users(reply);
    const tcRequest request = parseRequest(input);
    ZL_FUZZ_REQUIRE(request.valid == request.error.isEmpty(), request.error);

    // A message without DTD that Qt reads whole is an envelope the codec reads whole.
    if (input.contains("<!DOCTYPE") || input.size() > kMaxReplyBytes)
        return 0;
    QXmlStreamReader xml(input);
    xml.setNamespaceProcessing(false);
    if (!xml.readNextStartElement())
        return 0;
    tcNode expected;
    if (!qtTree(xml, expected, 0) || expected.name != QLatin1String("Envelope"))
        return 0;
    const tcNode* body = expected.child(QLatin1String("Body"));
    if (!body || body->children.empty() || body->children.front().name == QLatin1String("Fault"))
        return 0;
    ZL_FUZZ_REQUIRE(reply.kind == tcReply::Ok, QStringLiteral("refused: ") + reply.error);
    ZL_FUZZ_REQUIRE(describe(reply.body) == describe(body->children.front()),
                    describe(reply.body) + QStringLiteral("\n  Qt reads: ") +
                        describe(body->children.front()));
    return 0;
}
