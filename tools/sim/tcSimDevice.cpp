#include "tcSimDevice.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSet>

#include <cstdio>

const QStringList kSimNetworkKeys = {
    QStringLiteral("ipSettingMode"), QStringLiteral("staticIp"),
    QStringLiteral("staticIpRoute"), QStringLiteral("staticIpMask"),
    QStringLiteral("dhcpIp"),        QStringLiteral("dhcpIpRoute"),
    QStringLiteral("dhcpIpMask"),    QStringLiteral("dnsFromDhcpSwitch"),
    QStringLiteral("dnsServer1"),    QStringLiteral("dnsServer2"),
};

const char kSimOnvifPath[] = "/onvif/device_service";

namespace {

struct KindInfo
{
    tcSimKind kind;
    const char* text;
    unsigned protocols;
    const char* models; // joined by '|'; a described device gets the first
};

// Second-generation cameras answer ONVIF and, as PQ-series cameras, the PQ query too;
// so do the OEM cameras sold under the PQ line. That is what makes the list merge work.
const KindInfo kKinds[] = {
    {tcSimKind::Onvif, "onvif", ProtoOnvif, "NVT-4120 Dome|IPC 2MP Bullet|VX-880 PTZ"},
    {tcSimKind::Norvo2, "norvo2", ProtoOnvif | ProtoPq, "N2-B4MP|N2-D8MP|N2-T4MP"},
    {tcSimKind::Norvo1, "norvo1", ProtoNorvo, "Norvo N1-720|Norvo N1-1080|NORVO N1-D"},
    {tcSimKind::PqRecorder, "pq-recorder", ProtoPq, "PQ-NVR16|PQ-NVR32|PW-NVR8"},
    {tcSimKind::PqCamera, "pq-camera", ProtoPq | ProtoOnvif, "PQ-C2MP|PQ-C4MP|PQ-C8MP"},
    {tcSimKind::PqDecoder, "pq-decoder", ProtoPq, "PQ-DEC4|PQ-DEC9"},
    {tcSimKind::PqStorage, "pq-storage", ProtoPq, "PQ-SS48|PQ-SS96"},
    {tcSimKind::Bridge, "bridge", ProtoBridge, "ZLB-200|ZLB-400"},
};

const KindInfo& kindInfo(tcSimKind kind)
{
    for (const KindInfo& info : kKinds)
        if (info.kind == kind)
            return info;
    return kKinds[0];
}

const char* const kFaults[] = {"none",   "wrong-credentials", "no-answer", "closed-port", "malformed-xml",
                               "failed", "endless-body"};
const char* const kAuths[] = {"none", "basic", "digest", "basic+digest"};
const char* const kOnvifAuths[] = {"token", "digest", "both", "none"};
const char* const kProtocolNames[] = {"onvif", "norvo", "pq", "bridge"};

// The maker's own products carry its address block 0a:3d:91.
bool makerMac(tcSimKind kind)
{
    return kind == tcSimKind::Norvo2 || kind == tcSimKind::Bridge;
}

std::array<quint8, 6> macFor(tcSimKind kind, quint32 seedBits)
{
    std::array<quint8, 6> mac{};
    if (makerMac(kind)) {
        mac = {0x0a, 0x3d, 0x91, 0, 0, 0};
    } else {
        // Third-party OUIs; never the maker's block.
        mac = {0x00, 0x1e, quint8(0x50 + (seedBits >> 24) % 16), 0, 0, 0};
    }
    mac[3] = quint8(seedBits >> 16);
    mac[4] = quint8(seedBits >> 8);
    mac[5] = quint8(seedBits);
    return mac;
}

void fillDefaults(tcSimDevice& d, int index)
{
    const KindInfo& info = kindInfo(d.kind);
    if (d.model.isEmpty())
        d.model = QString::fromLatin1(info.models).section(QLatin1Char('|'), 0, 0);
    if (d.firmware.isEmpty())
        d.firmware = QStringLiteral("2.4.%1 %2").arg(index % 10).arg(1000 + index);
    if (d.name.isEmpty())
        d.name = QStringLiteral("%1 %2").arg(QString::fromLatin1(info.text)).arg(index + 1);
    if (d.cloudId.isEmpty())
        d.cloudId = QStringLiteral("ZL%1").arg(d.address.toIPv4Address() & 0xffffff, 8, 10, QLatin1Char('0'));
    if (d.realm.isEmpty())
        d.realm = QStringLiteral("Zephyrlock");
    if (d.users.isEmpty())
        d.users.insert(QStringLiteral("admin"), QStringLiteral("7093"));
    if (d.opaque.isEmpty())
        d.opaque =
            QCryptographicHash::hash("opaque:" + d.macHex().toLatin1(), QCryptographicHash::Md5).toHex();
}

bool readString(const QJsonObject& o, const char* key, QString* out, QString* error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isString()) {
        *error = QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key));
        return false;
    }
    *out = v.toString();
    return true;
}

bool readBool(const QJsonObject& o, const char* key, bool* out, QString* error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isBool()) {
        *error = QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key));
        return false;
    }
    *out = v.toBool();
    return true;
}

bool readAddress(const QString& text, QHostAddress* out)
{
    bool ok = false;
    const QHostAddress a(text);
    a.toIPv4Address(&ok);
    if (!ok || a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    *out = a;
    return true;
}

bool parseMac(const QString& text, std::array<quint8, 6>* mac)
{
    QString hex = text;
    hex.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    if (hex.size() != 12)
        return false;
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        (*mac)[size_t(i)] = quint8(hex.mid(i * 2, 2).toUInt(&ok, 16));
        if (!ok)
            return false;
    }
    return true;
}

template <size_t N> int indexOf(const char* const (&names)[N], const QString& text)
{
    for (size_t i = 0; i < N; ++i)
        if (text == QLatin1String(names[i]))
            return int(i);
    return -1;
}

bool parseDevice(const QJsonObject& o, int index, tcSimDevice& d, QString* error)
{
    static const QSet<QString> known = {
        "kind",       "address",      "altAddress",  "port",      "name",          "model",
        "firmware",   "cloudId",      "mac",         "protocols", "http",          "auth",
        "algorithm",  "qop",          "authversion", "userhash",  "realm",         "users",
        "fault",      "faultPaths",   "errorCode",   "network",   "successStatus", "authPaths",
        "nonceUses",  "moveOnWrite",  "schedule",    "onvifAuth", "clockOffset",   "onvifNoUsers",
        "rebootSecs", "rebootNeeded", "keepsAddress"};
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key())) {
            *error = QStringLiteral("unknown key \"%1\"").arg(it.key());
            return false;
        }

    QString text;
    if (!readString(o, "kind", &text, error))
        return false;
    if (!parseSimKind(text, &d.kind)) {
        *error = QStringLiteral("\"kind\" must be one of onvif, norvo2, norvo1, pq-recorder, pq-camera, "
                                "pq-decoder, pq-storage, bridge");
        return false;
    }
    d.protocols = defaultProtocols(d.kind);

    text.clear();
    if (!readString(o, "address", &text, error))
        return false;
    if (!readAddress(text, &d.address)) {
        *error = QStringLiteral("\"address\" must be an IPv4 address");
        return false;
    }
    text.clear();
    if (!readString(o, "altAddress", &text, error))
        return false;
    if (!text.isEmpty() && text != QLatin1String("0.0.0.0") && !readAddress(text, &d.altAddress)) {
        *error = QStringLiteral("\"altAddress\" must be an IPv4 address");
        return false;
    }
    if (o.contains(QLatin1String("port"))) {
        const int port = o.value(QLatin1String("port")).toInt(-1);
        if (port < 1 || port > 65535) {
            *error = QStringLiteral("\"port\" must be a number from 1 to 65535");
            return false;
        }
        d.port = quint16(port);
    }
    if (!readString(o, "name", &d.name, error) || !readString(o, "model", &d.model, error) ||
        !readString(o, "firmware", &d.firmware, error) || !readString(o, "cloudId", &d.cloudId, error) ||
        !readString(o, "realm", &d.realm, error) || !readString(o, "errorCode", &d.errorCode, error) ||
        !readString(o, "successStatus", &d.successStatus, error) || !readBool(o, "http", &d.http, error) ||
        !readBool(o, "qop", &d.qop, error) || !readBool(o, "authversion", &d.authVersion, error) ||
        !readBool(o, "userhash", &d.userHash, error) || !readBool(o, "moveOnWrite", &d.moveOnWrite, error) ||
        !readBool(o, "rebootNeeded", &d.rebootNeeded, error) ||
        !readBool(o, "keepsAddress", &d.keepsAddress, error))
        return false;
    for (const QJsonValue& value : o.value(QStringLiteral("schedule")).toArray()) {
        const QJsonObject step = value.toObject();
        const int what = indexOf(tcSimDevice::kStepNames, step.value(QStringLiteral("do")).toString());
        const double at = step.value(QStringLiteral("at")).toDouble(-1);
        const QHostAddress to(step.value(QStringLiteral("to")).toString());
        const bool move = what == tcSimDevice::tcStep::Move;
        if (what < 0 || at < 0 || at > 86400 || move != (to.protocol() == QAbstractSocket::IPv4Protocol)) {
            *error =
                QStringLiteral("\"schedule\" steps are {\"at\": seconds, \"do\": silent | back | hello | "
                               "bye} or {\"at\": seconds, \"do\": \"move\", \"to\": IPv4 address}");
            return false;
        }
        d.schedule.append({int(at * 1000), tcSimDevice::tcStep::What(what), move ? to : QHostAddress()});
    }

    text.clear();
    if (!readString(o, "mac", &text, error))
        return false;
    if (text.isEmpty())
        d.mac = macFor(d.kind, d.address.toIPv4Address());
    else if (!parseMac(text, &d.mac)) {
        *error = QStringLiteral("\"mac\" must be six hexadecimal bytes");
        return false;
    }

    if (o.contains(QLatin1String("protocols"))) {
        d.protocols = 0;
        for (const QJsonValue& v : o.value(QLatin1String("protocols")).toArray()) {
            const int bit = indexOf(kProtocolNames, v.toString());
            if (bit < 0) {
                *error = QStringLiteral("\"protocols\" holds onvif, norvo, pq or bridge");
                return false;
            }
            d.protocols |= 1u << bit;
        }
    }

    text = QStringLiteral("digest");
    if (!readString(o, "auth", &text, error))
        return false;
    const int auth = indexOf(kAuths, text);
    if (auth < 0) {
        *error = QStringLiteral("\"auth\" must be none, basic, digest or basic+digest");
        return false;
    }
    d.auth = tcSimAuth(auth);
    const QJsonObject authPaths = o.value(QLatin1String("authPaths")).toObject();
    for (auto it = authPaths.begin(); it != authPaths.end(); ++it) {
        const int pathAuth = indexOf(kAuths, it.value().toString());
        if (pathAuth < 0) {
            *error = QStringLiteral("\"authPaths\" maps paths to none, basic, digest or basic+digest");
            return false;
        }
        d.authPaths.insert(it.key(), tcSimAuth(pathAuth));
    }
    if (o.contains(QLatin1String("nonceUses"))) {
        d.nonceUses = o.value(QLatin1String("nonceUses")).toInt(-1);
        if (d.nonceUses < 0) {
            *error = QStringLiteral("\"nonceUses\" must be a number, 0 for no limit");
            return false;
        }
    }
    if (!readString(o, "algorithm", &d.algorithm, error))
        return false;
    if (d.algorithm.compare(QLatin1String("MD5"), Qt::CaseInsensitive) != 0 &&
        d.algorithm.compare(QLatin1String("MD5-sess"), Qt::CaseInsensitive) != 0) {
        *error = QStringLiteral("\"algorithm\" must be MD5 or MD5-sess");
        return false;
    }

    text = QStringLiteral("token");
    if (!readString(o, "onvifAuth", &text, error))
        return false;
    const int onvifAuth = indexOf(kOnvifAuths, text);
    if (onvifAuth < 0) {
        *error = QStringLiteral("\"onvifAuth\" must be token, digest, both or none");
        return false;
    }
    d.onvifAuth = tcSimOnvifAuth(onvifAuth);
    // Ten years either way is more than any camera's flat clock battery explains.
    const double offset = o.value(QLatin1String("clockOffset")).toDouble(0);
    if (!o.value(QLatin1String("clockOffset")).isUndefined() &&
        (!o.value(QLatin1String("clockOffset")).isDouble() || qAbs(offset) > 10 * 366 * 86400.0)) {
        *error = QStringLiteral("\"clockOffset\" must be a number of seconds, at most ten years");
        return false;
    }
    d.clockOffsetMs = qRound64(offset * 1000);
    const QJsonValue rebootSecs = o.value(QLatin1String("rebootSecs"));
    if (!rebootSecs.isUndefined() &&
        (!rebootSecs.isDouble() || rebootSecs.toDouble() < 0 || rebootSecs.toDouble() > 3600)) {
        *error = QStringLiteral("\"rebootSecs\" must be a number of seconds from 0 to 3600");
        return false;
    }
    d.rebootMs = int(qRound(rebootSecs.toDouble(3) * 1000));
    bool noUsers = false;
    if (!readBool(o, "onvifNoUsers", &noUsers, error))
        return false;
    if (noUsers && o.contains(QLatin1String("users"))) {
        *error = QStringLiteral("\"onvifNoUsers\" is a device without users: leave \"users\" out");
        return false;
    }

    text = QStringLiteral("none");
    if (!readString(o, "fault", &text, error))
        return false;
    const int fault = indexOf(kFaults, text);
    if (fault < 0) {
        *error = QStringLiteral("\"fault\" must be none, wrong-credentials, no-answer, closed-port, "
                                "malformed-xml, failed or endless-body");
        return false;
    }
    d.fault = tcSimFault(fault);
    for (const QJsonValue& v : o.value(QLatin1String("faultPaths")).toArray())
        d.faultPaths << v.toString();

    const QJsonObject users = o.value(QLatin1String("users")).toObject();
    for (auto it = users.begin(); it != users.end(); ++it) {
        if (!it.value().isString()) {
            *error = QStringLiteral("\"users\" maps user names to password strings");
            return false;
        }
        d.users.insert(it.key(), it.value().toString());
    }

    fillDefaults(d, index);
    if (noUsers)
        d.users.clear(); // factory-new: every request is let in until CreateUsers
    setDefaultNetwork(d, QHostAddress((d.address.toIPv4Address() & 0xffff0000u) | 1u));
    const QJsonObject network = o.value(QLatin1String("network")).toObject();
    for (auto it = network.begin(); it != network.end(); ++it) {
        if (!kSimNetworkKeys.contains(it.key())) {
            *error = QStringLiteral("unknown network element \"%1\"").arg(it.key());
            return false;
        }
        if (it.value().isNull())
            d.network.remove(it.key()); // the device leaves the element out of its replies
        else if (it.value().isString())
            d.network.insert(it.key(), it.value().toString());
        else {
            *error = QStringLiteral("network element \"%1\" must be a string or null").arg(it.key());
            return false;
        }
    }
    return true;
}

} // namespace

QString tcSimDevice::macText() const
{
    QStringList parts;
    for (quint8 b : mac)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(':'));
}

QString tcSimDevice::macHex() const
{
    return macText().remove(QLatin1Char(':'));
}

bool tcSimDevice::faultApplies(const QString& path) const
{
    // A fault path names that path and those one level below it: the ONVIF service's
    // operations are "/onvif/device_service/SetUser" and so on.
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return fault != tcSimFault::None && (faultPaths.isEmpty() || faultPaths.contains(path) ||
                                         (slash > 0 && faultPaths.contains(path.left(slash))));
}

tcSimAuth tcSimDevice::authFor(const QString& path) const
{
    if (path == QLatin1String(kSimOnvifPath))
        return onvifAuth == tcSimOnvifAuth::Digest || onvifAuth == tcSimOnvifAuth::Both ? tcSimAuth::Digest
                                                                                        : tcSimAuth::None;
    return authPaths.value(path, auth);
}

QString tcSimDevice::userLevel(const QString& user) const
{
    return userLevels.value(user, user == QLatin1String("admin") ? QStringLiteral("Administrator")
                                                                 : QStringLiteral("User"));
}

QHostAddress tcSimDevice::reportedAddress() const
{
    const QHostAddress written(network.value(QStringLiteral("staticIp")));
    if (!(moveOnWrite || writtenAddressTaken) || dhcpMode() ||
        written.protocol() != QAbstractSocket::IPv4Protocol)
        return address;
    return written;
}

QVector<QHostAddress> tcSimDevice::addresses() const
{
    QVector<QHostAddress> all{address};
    if (!altAddress.isNull())
        all << altAddress;
    for (const tcStep& step : schedule)
        if (step.what == tcStep::Move)
            all << step.to;
    return all;
}

bool tcSimDevice::dhcpMode() const
{
    return network.value(QStringLiteral("ipSettingMode"))
               .compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0;
}

QJsonObject tcSimDevice::stateJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("event"), QStringLiteral("state"));
    o.insert(QStringLiteral("device"), address.toString());
    if (!altAddress.isNull())
        o.insert(QStringLiteral("altAddress"), altAddress.toString());
    o.insert(QStringLiteral("port"), port);
    o.insert(QStringLiteral("kind"), simKindText(kind));
    QJsonArray protocolList;
    for (int bit = 0; bit < 4; ++bit)
        if (protocols & (1u << bit))
            protocolList << QString::fromLatin1(kProtocolNames[bit]);
    o.insert(QStringLiteral("protocols"), protocolList);
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("model"), model);
    o.insert(QStringLiteral("firmware"), firmware);
    o.insert(QStringLiteral("cloudId"), cloudId);
    o.insert(QStringLiteral("mac"), macText());
    o.insert(QStringLiteral("auth"), simAuthText(auth));
    o.insert(QStringLiteral("fault"), simFaultText(fault));
    QJsonObject net;
    for (auto it = network.begin(); it != network.end(); ++it)
        net.insert(it.key(), it.value());
    o.insert(QStringLiteral("network"), net);
    // Passwords only as digests: the state line tells a test whether a password changed
    // to the value it expects without printing the credential.
    QJsonObject userList;
    for (auto it = users.begin(); it != users.end(); ++it)
        userList.insert(
            it.key(), QString::fromLatin1(
                          QCryptographicHash::hash(it.value().toUtf8(), QCryptographicHash::Sha256).toHex()));
    o.insert(QStringLiteral("passwordSha256"), userList);
    o.insert(QStringLiteral("reportedAddress"), reportedAddress().toString());
    if (!(protocols & ProtoOnvif))
        return o;
    o.insert(QStringLiteral("onvifAuth"), simOnvifAuthText(onvifAuth));
    QJsonObject levels;
    for (auto it = users.begin(); it != users.end(); ++it)
        levels.insert(it.key(), userLevel(it.key()));
    o.insert(QStringLiteral("userLevels"), levels);
    o.insert(QStringLiteral("clockOffsetSecs"), double(qRound64(clockOffsetMs / 1000.0)));
    o.insert(QStringLiteral("dateTimeType"), dateTimeType);
    o.insert(QStringLiteral("daylightSavings"), daylightSavings);
    o.insert(QStringLiteral("timeZone"), timeZone);
    o.insert(QStringLiteral("ntpFromDhcp"), ntpFromDhcp);
    o.insert(QStringLiteral("ntpServers"), QJsonArray::fromStringList(ntpServers));
    o.insert(QStringLiteral("rebooting"), rebooting);
    o.insert(QStringLiteral("reboots"), reboots);
    QJsonObject pending;
    for (auto it = pendingNetwork.begin(); it != pendingNetwork.end(); ++it)
        pending.insert(it.key(), it.value());
    o.insert(QStringLiteral("pendingNetwork"), pending);
    return o;
}

QString simKindText(tcSimKind kind)
{
    return QString::fromLatin1(kindInfo(kind).text);
}

bool parseSimKind(const QString& text, tcSimKind* kind)
{
    for (const KindInfo& info : kKinds)
        if (text == QLatin1String(info.text)) {
            *kind = info.kind;
            return true;
        }
    return false;
}

QString simFaultText(tcSimFault fault)
{
    return QString::fromLatin1(kFaults[int(fault)]);
}
QString simAuthText(tcSimAuth auth)
{
    return QString::fromLatin1(kAuths[int(auth)]);
}
QString simOnvifAuthText(tcSimOnvifAuth auth)
{
    return QString::fromLatin1(kOnvifAuths[int(auth)]);
}
unsigned defaultProtocols(tcSimKind kind)
{
    return kindInfo(kind).protocols;
}

void setDefaultNetwork(tcSimDevice& d, const QHostAddress& gateway)
{
    d.network = {
        {QStringLiteral("ipSettingMode"), QStringLiteral("staticIp")},
        {QStringLiteral("staticIp"), d.address.toString()},
        {QStringLiteral("staticIpRoute"), gateway.toString()},
        {QStringLiteral("staticIpMask"), QStringLiteral("255.255.0.0")},
        {QStringLiteral("dhcpIp"), QString()},
        {QStringLiteral("dhcpIpRoute"), QString()},
        {QStringLiteral("dhcpIpMask"), QString()},
        {QStringLiteral("dnsFromDhcpSwitch"), QStringLiteral("false")},
        {QStringLiteral("dnsServer1"), gateway.toString()},
        {QStringLiteral("dnsServer2"), QString()},
    };
}

void takeDhcpLease(tcSimDevice& d)
{
    const QPair<const char*, QString> lease[] = {
        {"dhcpIp", d.address.toString()},
        {"dhcpIpMask", d.network.value(QStringLiteral("staticIpMask"))},
        {"dhcpIpRoute", d.network.value(QStringLiteral("staticIpRoute"))}};
    for (const auto& entry : lease)
        if (d.network.contains(QLatin1String(entry.first)) &&
            d.network.value(QLatin1String(entry.first)).isEmpty())
            d.network[QLatin1String(entry.first)] = entry.second;
}

bool loadSiteJson(const QByteArray& json, tcSimDevices& devices, QString* error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        *error =
            QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonValue list = doc.object().value(QLatin1String("devices"));
    if (!list.isArray()) {
        *error = QStringLiteral("the top-level object needs a \"devices\" array");
        return false;
    }
    // Two devices may answer discovery from one address (an address conflict on site),
    // but only one of them can serve HTTP there.
    QSet<quint32> served;
    for (const auto& d : devices) {
        if (d->http)
            served.insert(d->address.toIPv4Address());
    }
    int index = 0;
    for (const QJsonValue& v : list.toArray()) {
        auto device = std::make_unique<tcSimDevice>();
        QString why;
        if (!v.isObject() || !parseDevice(v.toObject(), int(devices.size()), *device, &why)) {
            *error = QStringLiteral("device %1: %2")
                         .arg(index)
                         .arg(v.isObject() ? why : QStringLiteral("not an object"));
            return false;
        }
        if (device->http && served.contains(device->address.toIPv4Address())) {
            *error = QStringLiteral("device %1: address %2 already serves HTTP; give one of the two "
                                    "devices \"http\": false")
                         .arg(index)
                         .arg(device->address.toString());
            return false;
        }
        if (device->http)
            served.insert(device->address.toIPv4Address());
        devices.push_back(std::move(device));
        ++index;
    }
    return true;
}

void generateSite(const tcSimCounts& counts, quint32 seed, const QHostAddress& base, const QString& password,
                  tcSimDevices& devices)
{
    static const char* const places[] = {"Lobby",       "Front Door", "Loading Bay", "Car Park", "Stairs B",
                                         "Server Room", "Yard",       "Reception",   "Corridor", "Gate"};
    constexpr int placeCount = int(sizeof places / sizeof *places);
    // Numbered per place across the whole site, so no two devices share a name.
    int placeNumbers[placeCount] = {};
    QRandomGenerator rng(seed);
    QSet<quint32> taken;
    for (const auto& d : devices)
        taken.insert(d->address.toIPv4Address());
    quint32 next = base.toIPv4Address();
    auto nextAddress = [&]() {
        while ((next & 0xff) == 0 || (next & 0xff) == 255 || taken.contains(next))
            ++next;
        taken.insert(next);
        return QHostAddress(next++);
    };
    const QPair<tcSimKind, int> plan[] = {
        {tcSimKind::Onvif, counts.onvif},         {tcSimKind::Norvo2, counts.norvo2},
        {tcSimKind::Norvo1, counts.norvo1},       {tcSimKind::PqRecorder, counts.pqRecorders},
        {tcSimKind::PqCamera, counts.pqCameras},  {tcSimKind::PqDecoder, counts.pqDecoders},
        {tcSimKind::PqStorage, counts.pqStorage}, {tcSimKind::Bridge, counts.bridges},
    };
    for (const auto& step : plan) {
        for (int i = 0; i < step.second; ++i) {
            auto d = std::make_unique<tcSimDevice>();
            d->kind = step.first;
            d->protocols = defaultProtocols(d->kind);
            d->address = nextAddress();
            d->mac = macFor(d->kind, rng.generate());
            const int place = int(rng.bounded(placeCount));
            d->name = QStringLiteral("%1 %2").arg(QLatin1String(places[place])).arg(++placeNumbers[place]);
            const QStringList models = QString::fromLatin1(kindInfo(d->kind).models).split(QLatin1Char('|'));
            d->model = models.at(int(rng.bounded(quint32(models.size()))));
            d->users.insert(QStringLiteral("admin"), password);
            // A mix of the logins met in the field; most cameras ask for Digest MD5.
            const quint32 login = rng.bounded(20);
            if (login < 2)
                d->auth = tcSimAuth::Basic;
            else if (login < 5)
                d->algorithm = QStringLiteral("MD5-sess");
            else if (login < 7)
                d->authVersion = true;
            else if (login < 8)
                d->userHash = true;
            fillDefaults(*d, int(devices.size()));
            setDefaultNetwork(*d, QHostAddress((d->address.toIPv4Address() & 0xffff0000u) | 1u));
            devices.push_back(std::move(d));
        }
    }
}

void emitJsonLine(const QJsonObject& object)
{
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}
