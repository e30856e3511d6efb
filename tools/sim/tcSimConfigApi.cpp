#include "tcSimConfigApi.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// The simulator spells the cameras' namespace itself instead of sharing the scanner's
// constant, so a wrong URI in the scanner shows against it.
constexpr char kSimConfigNamespace[] = "http://www.zephyrlock.com/ver10";

// Element texts by path below the document element, e.g. "tcpIp/staticIp" or
// "user/item/userName" (the last one wins when repeated). False when not well-formed
// or the document element is not `config`.
bool readConfigDocument(const QByteArray& body, QMap<QString, QString>* texts)
{
    QXmlStreamReader xml(body);
    QStringList path;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (path.isEmpty() && xml.name() != QLatin1String("config"))
                return false;
            path << xml.name().toString();
        } else if (xml.isCharacters() && path.size() > 1) {
            (*texts)[path.mid(1).join(QLatin1Char('/'))] += xml.text().toString();
        } else if (xml.isEndElement()) {
            path.removeLast();
        }
    }
    return !xml.hasError() && !texts->isEmpty();
}

tcSimResponse failed(const char* errorCode)
{
    tcSimResponse r;
    r.body = verdictReply(false, QString::fromLatin1(errorCode));
    return r;
}

tcSimResponse success(const tcSimDevice& d)
{
    tcSimResponse r;
    r.body = verdictReply(true, QString(), d.successStatus);
    r.changed = true;
    return r;
}

tcSimResponse setNetwork(tcSimDevice& d, const tcHttpRequest& request)
{
    QMap<QString, QString> in;
    if (!readConfigDocument(request.body, &in))
        return failed("invalidXml");
    auto value = [&](const char* key) {
        return in.value(QStringLiteral("tcpIp/") + QLatin1String(key)).trimmed();
    };

    const QString mode = value("ipSettingMode");
    const bool dhcp = mode.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0;
    if (!dhcp && mode.compare(QLatin1String("staticIp"), Qt::CaseInsensitive) != 0)
        return failed("invalidParam");
    const QString ip = value("staticIp"), gateway = value("staticIpRoute"), mask = value("staticIpMask");
    if (!dhcp && (!validIpv4(ip) || ip == QLatin1String("0.0.0.0") || !validMask(mask)))
        return failed("invalidParam");
    // The dhcp* elements are what the DHCP server handed out: read-only, never checked.
    for (const QString& address : {ip, gateway, value("dnsServer1"), value("dnsServer2")})
        if (!address.isEmpty() && !validIpv4(address))
            return failed("invalidParam");
    if (!mask.isEmpty() && !validMask(mask))
        return failed("invalidParam");
    const QString dnsFromDhcp = value("dnsFromDhcpSwitch");
    if (!dnsFromDhcp.isEmpty() && dnsFromDhcp != QLatin1String("true") &&
        dnsFromDhcp != QLatin1String("false"))
        return failed("invalidParam");

    d.network[QStringLiteral("ipSettingMode")] = dhcp ? QStringLiteral("dhcp") : QStringLiteral("staticIp");
    for (const char* key :
         {"staticIp", "staticIpRoute", "staticIpMask", "dnsFromDhcpSwitch", "dnsServer1", "dnsServer2"})
        if (in.contains(QStringLiteral("tcpIp/") + QLatin1String(key)))
            d.network[QLatin1String(key)] = value(key);
    if (dhcp)
        takeDhcpLease(d);
    return success(d);
}

bool decodePassword(const QString& base64, QString* password)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(base64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    *password = QString::fromUtf8(decoded.decoded);
    return decoded && !password->isEmpty();
}

tcSimResponse modifyUser(tcSimDevice& d, const QString& user, const tcHttpRequest& request)
{
    if (user != QLatin1String("admin"))
        return failed("noPermission");
    QMap<QString, QString> in;
    if (!readConfigDocument(request.body, &in))
        return failed("invalidXml");
    const QString target = in.value(QStringLiteral("user/item/userName")).trimmed();
    QString password;
    if (target.isEmpty() || !decodePassword(in.value(QStringLiteral("user/item/password")), &password))
        return failed("invalidParam");
    if (!d.users.contains(target))
        return failed("userNotExist");
    d.users[target] = password;
    return success(d);
}

tcSimResponse modifyPassword(tcSimDevice& d, const QString& user, const tcHttpRequest& request)
{
    QMap<QString, QString> in;
    if (!readConfigDocument(request.body, &in))
        return failed("invalidXml");
    QString oldPassword, password;
    if (!decodePassword(in.value(QStringLiteral("userPassword/oldPassword")), &oldPassword) ||
        !decodePassword(in.value(QStringLiteral("userPassword/password")), &password))
        return failed("invalidParam");
    if (d.users.value(user) != oldPassword)
        return failed("passwordError");
    d.users[user] = password;
    return success(d);
}

} // namespace

bool validIpv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 3 || value > 255 ||
            (part.size() > 1 && part.startsWith('0')))
            return false;
    }
    return true;
}

bool validMask(const QString& text)
{
    if (!validIpv4(text))
        return false;
    const quint32 mask = QHostAddress(text).toIPv4Address();
    return mask != 0 && ((~mask + 1) & ~mask) == 0; // ones then zeros
}

QByteArray configMethod(const QByteArray& path)
{
    if (path == "/GetNetBasicConfig")
        return "GET";
    if (path == "/SetNetBasicConfig" || path == "/ModifyIntegrateUser" || path == "/ModifyPassword")
        return "POST";
    return QByteArray();
}

tcSimResponse handleConfigRequest(tcSimDevice& d, const QString& user, const tcHttpRequest& request)
{
    const QByteArray path = request.path();
    if (path == "/GetNetBasicConfig") {
        tcSimResponse r;
        r.body = netConfigReply(d);
        return r;
    }
    if (path == "/SetNetBasicConfig")
        return user == QLatin1String("admin") ? setNetwork(d, request) : failed("noPermission");
    if (path == "/ModifyIntegrateUser")
        return modifyUser(d, user, request);
    return modifyPassword(d, user, request);
}

QByteArray netConfigReply(const tcSimDevice& d)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("config"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.7"));
    xml.writeDefaultNamespace(QString::fromLatin1(kSimConfigNamespace));
    xml.writeAttribute(QStringLiteral("status"), QStringLiteral("success"));
    xml.writeStartElement(QStringLiteral("tcpIp"));
    for (const QString& key : kSimNetworkKeys) {
        if (!d.network.contains(key))
            continue;
        xml.writeStartElement(key);
        if (key == QLatin1String("ipSettingMode")) {
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("ipSettingMode"));
            xml.writeCharacters(d.network.value(key));
        } else if (key == QLatin1String("dnsFromDhcpSwitch")) {
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("boolean"));
            xml.writeCharacters(d.network.value(key));
        } else {
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("string"));
            xml.writeAttribute(QStringLiteral("minLen"), QStringLiteral("7"));
            xml.writeAttribute(QStringLiteral("maxLen"), QStringLiteral("15"));
            xml.writeCDATA(d.network.value(key));
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

QByteArray verdictReply(bool ok, const QString& errorCode, const QString& successStatus)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("config"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.7"));
    xml.writeDefaultNamespace(QString::fromLatin1(kSimConfigNamespace));
    xml.writeAttribute(QStringLiteral("status"), ok ? successStatus : QStringLiteral("failed"));
    if (!ok)
        xml.writeAttribute(QStringLiteral("errorCode"), errorCode);
    xml.writeEndDocument();
    return out;
}

QByteArray malformedReply()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<config version=\"1.7\" status=success><tcpIp><ipSettingMode>staticIp");
}
