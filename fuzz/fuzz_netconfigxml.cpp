// The network settings exchange: the configuration reply, the body written back from
// it, the write reply's verdict and the Digest part of a WWW-Authenticate value.

#include "fuzzcheck.h"
#include "tcNetConfigXml.h"

#include <QXmlStreamReader>

using namespace tcNetConfigXml;

namespace {

// The text of every element of a body, by lower-cased name; nothing when the body is
// not well-formed.
QHash<QString, QString> elementTexts(const QByteArray& body, QString& error)
{
    QHash<QString, QString> texts;
    QXmlStreamReader xml(body);
    QString name;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: name = xml.name().toString().toLower(); break;
        case QXmlStreamReader::Characters: texts[name] += xml.text(); break;
        case QXmlStreamReader::EndElement: name.clear(); break;
        default: break;
        }
    }
    if (xml.hasError())
        error = xml.errorString();
    return texts;
}

// Texts an XML 1.0 document can carry at all (section 2.2), after the Latin-1 writing of
// the body.
bool writable(const QString& text)
{
    for (const QChar c : text) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) || c.unicode() > 0xff ||
            c == QLatin1Char('\r') || c == QLatin1Char('%'))
            return false;
    }
    return true;
}

// The body written for a device that replied `device` holds, element by element, the
// values it was built from, whatever the device put in them.
void requireBodyReadsBack(const tcDeviceConfig& device, bool dhcp)
{
    tcSitePlan plan;
    plan.dhcp = dhcp;
    plan.address = QStringLiteral("192.168.1.20");
    plan.gateway = QStringLiteral("192.168.1.1");
    plan.mask = QStringLiteral("255.255.255.0");
    plan.dns1 = QStringLiteral("192.168.1.2");
    plan.dns2 = QStringLiteral("192.168.1.3");
    const QByteArray body = configBody(device, plan);
    ZL_FUZZ_REQUIRE(body.startsWith("<?xml") && body.endsWith("</config>"), QString::fromLatin1(body));
    const QList<QPair<QString, QString>> expected{
        {QStringLiteral("staticip"), dhcp ? device.staticIp : plan.address},
        {QStringLiteral("staticiproute"), dhcp ? device.staticIpRoute : plan.gateway},
        {QStringLiteral("staticipmask"), dhcp ? device.staticIpMask : plan.mask},
        {QStringLiteral("dnsserver1"), dhcp ? device.dnsServer1 : plan.dns1},
        {QStringLiteral("dnsserver2"), dhcp ? device.dnsServer2 : plan.dns2},
        {QStringLiteral("dhcpip"), device.dhcpIp.value_or(QString())},
        {QStringLiteral("dhcpiproute"), device.dhcpIpRoute.value_or(QString())},
        {QStringLiteral("dhcpipmask"), device.dhcpIpMask.value_or(QString())},
    };
    for (const auto& field : expected) {
        if (!writable(field.second))
            return; // such a value cannot travel in this body at all
    }
    if (isIncomplete(body))
        return; // never sent
    QString error;
    const QHash<QString, QString> texts = elementTexts(body, error);
    ZL_FUZZ_REQUIRE(error.isEmpty(), error + QStringLiteral(" in ") + QString::fromLatin1(body));
    for (const auto& field : expected)
        ZL_FUZZ_REQUIRE(texts.value(field.first) == field.second,
                        QStringLiteral("%1: \"%2\" read back as \"%3\"")
                            .arg(field.first, field.second, texts.value(field.first)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    const QString sources = zlfuzz::foldedSources(zlfuzz::xmlTexts(input));
    const auto fromReply = [&](const QString& text) { return zlfuzz::wordsFrom(sources, text); };

    const tcDeviceConfig device = parseConfigReply(input);
    ZL_FUZZ_REQUIRE(device.usable == device.error.isEmpty() && device.error != kSuccess, device.error);
    for (const QString& text :
         {device.mode, device.staticIp, device.staticIpRoute, device.staticIpMask, device.dnsServer1,
          device.dnsServer2, device.dhcpIp.value_or(QString()), device.dhcpIpRoute.value_or(QString()),
          device.dhcpIpMask.value_or(QString())})
        ZL_FUZZ_REQUIRE(fromReply(text), text);
    ZL_FUZZ_REQUIRE(device.usable || device.error == kInvalidResponse || device.error == kUnknownError ||
                        fromReply(device.error),
                    device.error);
    // An unusable reply leaves the record empty; its bodies hold the plan alone.
    if (device.usable) {
        requireBodyReadsBack(device, true);
        requireBodyReadsBack(device, false);
    }

    const tcWriteVerdict verdict = parseWriteReply(input);
    // A failed write never reads as a success, whatever error code the device gives.
    ZL_FUZZ_REQUIRE(verdict.success == (verdict.text == kSuccess), verdict.text);
    ZL_FUZZ_REQUIRE(!verdict.text.isEmpty(), QStringLiteral("no verdict text"));
    ZL_FUZZ_REQUIRE(verdict.success || verdict.text == kInvalidResponse || fromReply(verdict.text),
                    verdict.text);

    return 0;
}
