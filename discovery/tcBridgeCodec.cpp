#include "tcBridgeCodec.h"

#include "tcMacText.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

QString stringOf(const QJsonObject& reply, QLatin1String key, const QString& fallback = QString())
{
    const QJsonValue value = reply.value(key);
    return value.isString() ? value.toString() : fallback;
}

// Only a whole number that fits a port is taken; anything else (a string, a fraction,
// a number past 65535) gives 0 rather than a port cut down to 16 bits.
quint16 portOf(const QJsonObject& reply)
{
    const QJsonValue value = reply.value(QLatin1String("webPort"));
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (number < 0 || number > 65535 || std::trunc(number) != number)
        return 0;
    return quint16(number);
}

} // namespace

QByteArray bridgeRequest()
{
    return QByteArray("HZLB\x00\x00\x01\x00", 8);
}

std::unique_ptr<tcVideoDevice> parseBridgeReply(const QByteArray& abaDatagram, const tcLocateParams* apParams)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(abaDatagram, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return nullptr;
    const QJsonObject reply = document.object();
    for (const char* key : {"cloudId", "macAddr", "ipAddr", "webPort"}) {
        if (!reply.contains(QLatin1String(key)))
            return nullptr;
    }

    auto device = std::make_unique<tcVideoDevice>(apParams);
    device->type = ZLServer2;
    device->siteName = stringOf(reply, QLatin1String("siteName"));
    device->cloudId = stringOf(reply, QLatin1String("cloudId"));
    device->model = stringOf(reply, QLatin1String("model"), QStringLiteral("ZLB"));
    device->macAddress = stringOf(reply, QLatin1String("macAddr")).toUpper();
    if (device->macAddress.size() == 12)
        device->macAddress = macWithColons(device->macAddress);
    device->ipAddress = stringOf(reply, QLatin1String("ipAddr"));
    device->webPort = portOf(reply);
    device->firmware = stringOf(reply, QLatin1String("firmware"));
    return device;
}
