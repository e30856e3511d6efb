// Feeds arbitrary bytes to the network configuration codec as a device reply: the
// configuration reply, the write verdict and the challenge search, and builds the body
// a device's reply leads to.
#include "tcNetConfigXml.h"

#include <cstdint>
#include <cstdlib>

using namespace tcNetConfigXml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));

    const tcDeviceConfig device = parseConfigReply(bytes);
    if (device.usable != device.error.isEmpty())
        std::abort(); // a reply is either usable or says why not
    for (const bool dhcp : {false, true}) {
        tcSitePlan plan;
        plan.dhcp = dhcp;
        plan.address = QStringLiteral("192.168.1.20");
        const QByteArray body = configBody(device, plan);
        if (!body.startsWith("<?xml") || !body.endsWith("</config>"))
            std::abort();
    }

    const tcWriteVerdict verdict = parseWriteReply(bytes);
    if (verdict.text.isEmpty() || (verdict.success && verdict.text != kSuccess))
        std::abort();

    if (const auto challenge = digestChallenge(bytes))
        if (challenge->size() > bytes.size())
            std::abort();
    return 0;
}
