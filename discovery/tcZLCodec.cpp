#include "tcZLCodec.h"

#include "tcMacText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <vector>

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

// Three kinds of reply that Qt 5.15's JSON parser mishandles are refused before it reads
// them; a bridge's own JSON encoder sends none of them:
// - a repeated key: Qt leaks the earlier value when that value is an array or an object,
//   so every such datagram would cost memory for good (RFC 8259 section 4 leaves such
//   objects unpredictable anyway). Keys are compared as JSON decodes them.
// - a raw control byte in a string, which RFC 8259 section 7 does not allow either: Qt
//   compares unescaped keys only up to a zero byte, so "a<NUL>b" and "a<NUL>c" repeat a
//   key this check cannot see, with the same leak.
// - an escape other than RFC 8259 section 7's: Qt takes the byte after the backslash as a
//   signed char, and one past 0x7F becomes a pair of code units that were never sent.
bool mishandledByQt(const QByteArray& json)
{
    std::vector<QSet<QString>> keys; // one set per open object
    std::vector<bool> inObject;      // the open containers, innermost last
    int i = 0;
    while (i < json.size()) {
        const char c = json.at(i++);
        if (c == '{' || c == '[') {
            inObject.push_back(c == '{');
            if (c == '{')
                keys.emplace_back();
        } else if ((c == '}' || c == ']') && !inObject.empty()) {
            if (inObject.back())
                keys.pop_back();
            inObject.pop_back();
        } else if (c == '"') {
            const int start = i - 1;
            while (i < json.size() && json.at(i) != '"') {
                if (uchar(json.at(i)) < 0x20)
                    return true;
                if (json.at(i) == '\\' && i + 1 < json.size() &&
                    !QByteArrayLiteral("\"\\/bfnrtu").contains(json.at(i + 1)))
                    return true;
                i += json.at(i) == '\\' ? 2 : 1;
            }
            if (i >= json.size())
                return false; // unterminated: Qt refuses it
            const QByteArray token = json.mid(start, ++i - start);
            int next = i;
            while (next < json.size() && QByteArrayLiteral(" \t\r\n").contains(json.at(next)))
                ++next;
            if (inObject.empty() || !inObject.back() || next >= json.size() || json.at(next) != ':')
                continue;
            const QString key = QJsonDocument::fromJson('[' + token + ']').array().at(0).toString();
            if (keys.back().contains(key))
                return true;
            keys.back().insert(key);
        }
    }
    return false;
}

} // namespace

QByteArray buildZLRequest()
{
    return QByteArray("HZLB\x00\x00\x01\x00", 8);
}

std::unique_ptr<tcVideoDevice> parseZLReply(const QByteArray& abaDatagram, const tcLocateParams* apParams)
{
    if (mishandledByQt(abaDatagram))
        return nullptr;
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
    device->macAddress = macText(stringOf(reply, QLatin1String("macAddr")));
    if (device->macAddress.size() == 12)
        device->macAddress = macWithColons(device->macAddress);
    const QString address = stringOf(reply, QLatin1String("ipAddr"));
    if (isPlainHost(address))
        device->ipAddress = address;
    device->webPort = portOf(reply);
    device->firmware = stringOf(reply, QLatin1String("firmware"));
    return device;
}
