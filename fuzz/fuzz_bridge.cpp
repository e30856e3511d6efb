// Bridge discovery replies: parseZLReply.

#include "fuzzcheck.h"
#include "tcZLCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The shortest reply that holds the four keys a device needs.
const int kMinReply = int(sizeof(R"({"cloudId":0,"macAddr":0,"ipAddr":0,"webPort":0})") - 1);

void collectStrings(const QJsonValue& value, QStringList& texts)
{
    if (value.isString()) {
        texts << value.toString();
    } else if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            collectStrings(item, texts);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            texts << it.key();
            collectStrings(it.value(), texts);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    const std::unique_ptr<tcVideoDevice> device = parseZLReply(input, &zlfuzz::params());
    if (!device)
        return 0;
    ZL_FUZZ_REQUIRE(input.size() >= kMinReply, QString::number(input.size()));
    ZL_FUZZ_REQUIRE(device->type == ZLServer2, QString::number(device->type));

    // The strings of the reply as JSON decodes them (escapes resolved).
    QStringList texts;
    collectStrings(QJsonDocument::fromJson(input).object(), texts);
    zlfuzz::requireDeviceFromSources(*device, zlfuzz::foldedSources(texts), {QStringLiteral("ZLB")});
    return 0;
}
