#include "tcSimDiscovery.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtEndian>

#include <array>

namespace {

const char kSoapNs[] = "http://www.w3.org/2003/05/soap-envelope";
const char kProbeAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
const char kProbeMatchesAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
const char kAnonymous[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
const char kScopeRoot[] = "onvif://www.onvif.org/";

// Text cut to at most `size` bytes of UTF-8 without splitting a character.
QByteArray utf8Cut(const QString& text, int size)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > size) {
        int cut = size;
        while (cut > 0 && (quint8(bytes[cut]) & 0xc0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return bytes;
}

QByteArray ipv4Bytes(const QHostAddress& address)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(address.toIPv4Address(), out.data());
    return out;
}

QByteArray ipv4Bytes(const QString& text)
{
    const QHostAddress address(text);
    return address.protocol() == QAbstractSocket::IPv4Protocol ? ipv4Bytes(address) : QByteArray(4, '\0');
}

QByteArray macBytes(const tcSimDevice& d)
{
    return QByteArray(reinterpret_cast<const char*>(d.mac.data()), 6);
}

// The endpoint UUID a device keeps for life: random-looking, ending in its MAC, as
// many cameras make it.
QString endpointUuid(const tcSimDevice& d)
{
    const QString h =
        QString::fromLatin1(QCryptographicHash::hash(macBytes(d), QCryptographicHash::Md5).toHex());
    return QStringLiteral("%1-%2-%3-%4-%5")
        .arg(h.left(8), h.mid(8, 4), h.mid(12, 4), h.mid(16, 4), d.macHex());
}

QString scopeValue(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// One name of a Types list resolved against the namespaces in scope.
QPair<QString, QString> resolveQName(const QString& qname,
                                     const QVector<QXmlStreamNamespaceDeclarations>& scopes)
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? QString() : qname.left(colon);
    for (int i = scopes.size() - 1; i >= 0; --i)
        for (const QXmlStreamNamespaceDeclaration& decl : scopes[i])
            if (decl.prefix() == prefix)
                return {decl.namespaceUri().toString(), qname.mid(colon + 1)};
    return {QString(), qname.mid(colon + 1)};
}

void appendTag(QByteArray& out, quint16 tag, const QByteArray& value)
{
    char header[4];
    qToBigEndian<quint16>(tag, header);
    qToBigEndian<quint16>(quint16(value.size()), header + 2);
    out.append(header, 4);
    out.append(value);
}

QByteArray be32(quint32 value)
{
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(value, out.data());
    return out;
}

QByteArray be16(quint16 value)
{
    QByteArray out(2, '\0');
    qToBigEndian<quint16>(value, out.data());
    return out;
}

} // namespace

namespace tcSimOnvif {

const char kDiscoveryNs[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
const char kAddressingNs[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
const char kNetworkWsdlNs[] = "http://www.onvif.org/ver10/network/wsdl";
const char kDeviceWsdlNs[] = "http://www.onvif.org/ver10/device/wsdl";

bool parseProbe(const QByteArray& datagram, Probe* probe)
{
    QXmlStreamReader xml(datagram);
    QVector<QXmlStreamNamespaceDeclarations> declared;
    QStringList path; // "ns|local" of the open elements
    QString action, typesText, scopesText;
    bool sawProbe = false;
    *probe = Probe();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            declared.append(xml.namespaceDeclarations());
            path.append(xml.namespaceUri() + QLatin1Char('|') + xml.name());
            const QString here = path.join(QLatin1Char('/'));
            const QString envelope = QLatin1String(kSoapNs) + QLatin1String("|Envelope");
            if (path.size() == 1 && here != envelope)
                return false;
            if (path.size() == 3 && path[1] == QLatin1String(kSoapNs) + QLatin1String("|Header")) {
                if (path[2] == QLatin1String(kAddressingNs) + QLatin1String("|Action"))
                    action = xml.readElementText().trimmed();
                else if (path[2] == QLatin1String(kAddressingNs) + QLatin1String("|MessageID"))
                    probe->messageId = xml.readElementText().trimmed();
                else
                    continue;
                path.removeLast();
                declared.removeLast();
            } else if (path.size() == 3 && path[1] == QLatin1String(kSoapNs) + QLatin1String("|Body")) {
                sawProbe = path[2] == QLatin1String(kDiscoveryNs) + QLatin1String("|Probe");
            } else if (path.size() == 4 && sawProbe) {
                QString* text = path[3] == QLatin1String(kDiscoveryNs) + QLatin1String("|Types") ? &typesText
                                : path[3] == QLatin1String(kDiscoveryNs) + QLatin1String("|Scopes")
                                    ? &scopesText
                                    : nullptr;
                if (!text)
                    continue;
                const QVector<QXmlStreamNamespaceDeclarations> inScope = declared;
                *text = xml.readElementText();
                if (text == &typesText)
                    for (const QString& name : typesText.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                        probe->types.append(resolveQName(name.trimmed(), inScope));
                path.removeLast();
                declared.removeLast();
            }
        } else if (xml.isEndElement()) {
            path.removeLast();
            declared.removeLast();
        }
    }
    if (xml.hasError() || !sawProbe || action != QLatin1String(kProbeAction) || probe->messageId.isEmpty())
        return false;
    probe->scopes = scopesText.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return true;
}

bool matches(const tcSimDevice& device, const Probe& probe)
{
    if (!(device.protocols & ProtoOnvif))
        return false;
    const QList<QPair<QString, QString>> own = {
        {QLatin1String(kNetworkWsdlNs), QStringLiteral("NetworkVideoTransmitter")},
        {QLatin1String(kDeviceWsdlNs), QStringLiteral("Device")},
    };
    for (const auto& type : probe.types)
        if (!own.contains(type))
            return false;
    // RFC 3986 matching (the default MatchBy): a probed scope equals one of the device's
    // or is a prefix of it that ends at a segment boundary.
    const QStringList mine = scopes(device);
    for (const QString& wanted : probe.scopes) {
        bool found = false;
        for (const QString& scope : mine)
            found = found || scope == wanted ||
                    (scope.startsWith(wanted) &&
                     (wanted.endsWith(QLatin1Char('/')) || scope.at(wanted.size()) == QLatin1Char('/')));
        if (!found)
            return false;
    }
    return true;
}

QStringList scopes(const tcSimDevice& d)
{
    const QString root = QLatin1String(kScopeRoot);
    // The maker's cameras write the MAC as 12 hex digits; the third-party ones with dashes.
    const QString mac =
        d.kind == tcSimKind::Norvo2 ? d.macHex() : d.macText().replace(QLatin1Char(':'), QLatin1Char('-'));
    return {root + QStringLiteral("type/video_encoder"),
            root + QStringLiteral("type/Network_Video_Transmitter"),
            root + QStringLiteral("Profile/Streaming"),
            root + QStringLiteral("hardware/") + scopeValue(d.model),
            root + QStringLiteral("name/") + scopeValue(d.name),
            root + QStringLiteral("macaddr/") + mac};
}

QByteArray probeMatches(const tcSimDevice& d, const QString& relatesTo, const QString& messageId)
{
    QString xaddrs =
        d.port == 80 ? QStringLiteral("http://%1/onvif/device_service").arg(d.reportedAddress().toString())
                     : QStringLiteral("http://%1:%2/onvif/device_service")
                           .arg(d.reportedAddress().toString())
                           .arg(d.port);
    if (d.kind == tcSimKind::Onvif) {
        // Many third-party cameras list their IPv6 link-local address first.
        const auto& m = d.mac;
        xaddrs.prepend(QStringLiteral("http://[fe80::%1:%2ff:fe%3:%4]/onvif/device_service ")
                           .arg((m[0] ^ 0x02) << 8 | m[1], 0, 16)
                           .arg(m[2], 2, 16, QLatin1Char('0'))
                           .arg(m[3], 2, 16, QLatin1Char('0'))
                           .arg(m[4] << 8 | m[5], 0, 16));
    }
    const QString text =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"%1\" xmlns:wsa=\"%2\" xmlns:d=\"%3\" xmlns:dn=\"%4\" "
            "xmlns:tds=\"%5\">"
            "<SOAP-ENV:Header>"
            "<wsa:MessageID>%6</wsa:MessageID>"
            "<wsa:RelatesTo>%7</wsa:RelatesTo>"
            "<wsa:To SOAP-ENV:mustUnderstand=\"true\">%8</wsa:To>"
            "<wsa:Action SOAP-ENV:mustUnderstand=\"true\">%9</wsa:Action>"
            "<d:AppSequence InstanceId=\"1\" MessageNumber=\"1\"/>"
            "</SOAP-ENV:Header>"
            "<SOAP-ENV:Body><d:ProbeMatches><d:ProbeMatch>"
            "<wsa:EndpointReference><wsa:Address>urn:uuid:%10</wsa:Address></wsa:EndpointReference>"
            "<d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>"
            "<d:Scopes>%11</d:Scopes>"
            "<d:XAddrs>%12</d:XAddrs>"
            "<d:MetadataVersion>1</d:MetadataVersion>"
            "</d:ProbeMatch></d:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>")
            .arg(QLatin1String(kSoapNs), QLatin1String(kAddressingNs), QLatin1String(kDiscoveryNs),
                 QLatin1String(kNetworkWsdlNs), QLatin1String(kDeviceWsdlNs), messageId.toHtmlEscaped(),
                 relatesTo.toHtmlEscaped(), QLatin1String(kAnonymous), QLatin1String(kProbeMatchesAction))
            .arg(endpointUuid(d), scopes(d).join(QLatin1Char(' ')).toHtmlEscaped(), xaddrs);
    return text.toUtf8();
}

QByteArray announcement(const tcSimDevice& d, bool hello, const QString& messageId)
{
    const QString address = d.port == 80
                                ? d.reportedAddress().toString()
                                : QStringLiteral("%1:%2").arg(d.reportedAddress().toString()).arg(d.port);
    const QString body =
        hello ? QStringLiteral(
                    "<d:Hello><wsa:EndpointReference><wsa:Address>urn:uuid:%1</wsa:Address>"
                    "</wsa:EndpointReference><d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>"
                    "<d:Scopes>%2</d:Scopes><d:XAddrs>http://%3/onvif/device_service</d:XAddrs>"
                    "<d:MetadataVersion>1</d:MetadataVersion></d:Hello>")
                    .arg(endpointUuid(d), scopes(d).join(QLatin1Char(' ')).toHtmlEscaped(), address)
              : QStringLiteral("<d:Bye><wsa:EndpointReference><wsa:Address>urn:uuid:%1</wsa:Address>"
                               "</wsa:EndpointReference></d:Bye>")
                    .arg(endpointUuid(d));
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"%1\" xmlns:wsa=\"%2\" xmlns:d=\"%3\" "
                          "xmlns:dn=\"%4\" xmlns:tds=\"%5\"><SOAP-ENV:Header>"
                          "<wsa:MessageID>%6</wsa:MessageID>"
                          "<wsa:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</wsa:To>"
                          "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/%7</wsa:Action>"
                          "<d:AppSequence InstanceId=\"1\" MessageNumber=\"1\"/>"
                          "</SOAP-ENV:Header><SOAP-ENV:Body>%8</SOAP-ENV:Body></SOAP-ENV:Envelope>")
        .arg(QLatin1String(kSoapNs), QLatin1String(kAddressingNs), QLatin1String(kDiscoveryNs),
             QLatin1String(kNetworkWsdlNs), QLatin1String(kDeviceWsdlNs), messageId.toHtmlEscaped(),
             hello ? QStringLiteral("Hello") : QStringLiteral("Bye"), body)
        .toUtf8();
}

} // namespace tcSimOnvif

namespace tcSimBridge {

bool isRequest(const QByteArray& datagram)
{
    return datagram == QByteArray("HZLB\0\0\x01\0", 8);
}

QByteArray reply(const tcSimDevice& d)
{
    const QJsonObject o{{QStringLiteral("siteName"), d.name},
                        {QStringLiteral("cloudId"), d.cloudId},
                        {QStringLiteral("model"), d.model},
                        {QStringLiteral("macAddr"), d.macHex()},
                        {QStringLiteral("ipAddr"), d.reportedAddress().toString()},
                        {QStringLiteral("webPort"), d.port},
                        {QStringLiteral("firmware"), d.firmware}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace tcSimBridge

namespace tcSimNorvo {

bool isRequest(const QByteArray& datagram)
{
    return datagram.size() >= kHeaderSize && datagram.startsWith(QByteArray("iCanIPinstaller\0", 16)) &&
           qFromBigEndian<quint16>(datagram.constData() + 16) == 3 && quint8(datagram[20]) == kHeaderSize &&
           datagram[21] == 1;
}

QByteArray reply(const tcSimDevice& d)
{
    QByteArray out("iCanIPinstaller\0", 16);
    out += be16(3); // version
    out += be16(0); // header word
    out += char(kHeaderSize);
    out += char(2);             // packet type: reply
    out += QByteArray(2, '\0'); // header bytes 22, 23
    out += be16(0);             // total length, set below
    out += macBytes(d);
    out += ipv4Bytes(d.reportedAddress());
    out += QByteArray(12, '\0');

    const bool dhcp = d.dhcpMode();
    appendTag(out, 1, be32(dhcp ? 4 : 1));
    appendTag(out, 2, utf8Cut(d.name, 79) + '\0');
    appendTag(out, 3, be16(d.port) + be16(554));
    appendTag(out, dhcp ? 16 : 4, ipv4Bytes(d.reportedAddress()));
    appendTag(out, 27, macBytes(d));
    appendTag(out, 28, be32(d.port));
    if (!d.model.isEmpty())
        appendTag(out, 39, utf8Cut(d.model, 79) + '\0');
    out.replace(24, 2, be16(quint16(out.size())));
    return out;
}

} // namespace tcSimNorvo

namespace tcSimPq {

bool isQuery(const QByteArray& datagram)
{
    // Replies (240 bytes and more) travel on the same port and are not queries.
    return datagram.size() >= 9 && datagram.size() < 240 &&
           datagram.startsWith(QByteArray("MHED\x08\0\x01\0\x01", 9));
}

quint8 kindByte(tcSimKind kind)
{
    switch (kind) {
    case tcSimKind::Norvo2:
    case tcSimKind::PqCamera:
    case tcSimKind::Onvif:
    case tcSimKind::Norvo1: return 2;
    case tcSimKind::PqDecoder: return 5;
    case tcSimKind::PqStorage: return 6;
    default: return 1;
    }
}

QByteArray reply(const tcSimDevice& d)
{
    std::array<char, kReplySize> buffer{};
    char* p = buffer.data();
    auto put = [&](int offset, const QByteArray& bytes) {
        std::copy(bytes.begin(), bytes.end(), p + offset);
    };
    put(0, "MHED");
    put(12, utf8Cut(d.name, 20));
    put(32, macBytes(d));
    put(40, ipv4Bytes(d.reportedAddress()));
    const bool dhcp = d.dhcpMode();
    put(44, ipv4Bytes(d.network.value(dhcp ? QStringLiteral("dhcpIpMask") : QStringLiteral("staticIpMask"))));
    put(48,
        ipv4Bytes(d.network.value(dhcp ? QStringLiteral("dhcpIpRoute") : QStringLiteral("staticIpRoute"))));
    const QRegularExpressionMatch version =
        QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+) (\\d+)$")).match(d.firmware);
    if (version.hasMatch()) {
        p[55] = char(version.captured(1).toUInt());
        p[54] = char(version.captured(2).toUInt());
        p[53] = char(version.captured(3).toUInt());
        qToLittleEndian<quint32>(version.captured(4).toUInt(), p + 56);
    }
    qToLittleEndian<quint16>(d.port, p + 60);
    p[64] = char(kindByte(d.kind));
    put(112, QCryptographicHash::hash(macBytes(d), QCryptographicHash::Md5).left(8));
    if (!d.altAddress.isNull())
        put(128, ipv4Bytes(d.altAddress));
    p[138] = dhcp ? 1 : 0;
    put(140, utf8Cut(d.cloudId, 12));
    put(196, utf8Cut(d.model, 16));
    return QByteArray(buffer.data(), kReplySize);
}

} // namespace tcSimPq
