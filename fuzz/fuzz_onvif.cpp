// WS-Discovery ProbeMatches replies and Hello/Bye announcements: parseProbeMatches and
// parseAnnouncement.

#include "fuzzcheck.h"
#include "tcOnvifCodec.h"

#include <QUrl>

namespace {

// The source address of every input: the corpus's cameras list it among their XAddrs.
const QHostAddress kSender(QStringLiteral("10.99.0.2"));

// The least a reported device takes: the wrapper once, then per device a ProbeMatch
// start tag and a closed Types element naming a device type, unprefixed (a device
// listed for its ONVIF scopes takes more).
const int kWrapper = int(sizeof("<Envelope><Body><ProbeMatches>") - 1);
const int kPerDevice = int(sizeof("<ProbeMatch><Types>Device</Types>") - 1);

// What the reply says (zlfuzz::xmlTexts), each text also percent-decoded as scope
// values are.
QStringList decodedTexts(const QByteArray& input)
{
    QStringList texts = zlfuzz::xmlTexts(input);
    for (int i = 0, count = texts.size(); i < count; ++i)
        texts << QUrl::fromPercentEncoding(texts.at(i).toUtf8());
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    // An announcement names at most one device, and its endpoint comes from the input.
    const tcAnnouncement announcement = parseAnnouncement(input, &zlfuzz::params(), kSender);
    ZL_FUZZ_REQUIRE(announcement.devices.size() <= 1, QString::number(announcement.devices.size()));
    ZL_FUZZ_REQUIRE(announcement.endpoint.size() <= input.size(), announcement.endpoint);
    if (announcement.kind != tcAnnouncement::Hello)
        ZL_FUZZ_REQUIRE((announcement.kind == tcAnnouncement::Bye) != announcement.endpoint.isEmpty(),
                        announcement.endpoint);
    const tcDeviceRecords records = parseProbeMatches(input, &zlfuzz::params(), kSender);
    if (records.empty())
        return 0;
    const int count = int(records.size());
    ZL_FUZZ_REQUIRE(kWrapper + count * kPerDevice <= input.size(),
                    QStringLiteral("%1 devices from %2 bytes").arg(count).arg(input.size()));

    const QString sources = zlfuzz::foldedSources(decodedTexts(input));
    const QStringList constants{protocolText(Onvif), protocolText(Norvo2Cam)};
    for (const auto& device : records) {
        ZL_FUZZ_REQUIRE(device->valid, QStringLiteral("a record without a device type"));
        ZL_FUZZ_REQUIRE(device->type == Onvif || device->type == Norvo2Cam, QString::number(device->type));
        zlfuzz::requireDeviceFromSources(*device, sources, constants);
    }
    return 0;
}
