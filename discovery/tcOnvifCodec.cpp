#include "tcOnvifCodec.h"

#include "tcMacText.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <QXmlStreamReader>

#include <functional>

namespace {

// The ONVIF scope URIs whose values the record takes.
const QLatin1String kHardwareScope("onvif://www.onvif.org/hardware/");
const QLatin1String kNameScope("onvif://www.onvif.org/name/");
const QLatin1String kMacScope("onvif://www.onvif.org/macaddr/");
const QLatin1String kProfileMacScope("onvif://www.onvif.org/Profile/MAC/");
// Several makers' cameras give their MAC in this scope.
const QLatin1String kShortMacScope("onvif://www.onvif.org/MAC/");
// Any scope under this root marks an ONVIF device, whatever its Types say.
const QLatin1String kOnvifScopeRoot("onvif://www.onvif.org/");
const QLatin1String kTypeScope("onvif://www.onvif.org/type/");

// The maker's own cameras carry this OUI; they answer ONVIF discovery as well.
const QLatin1String kMakerOui("0a3d91");
const QLatin1String kMakerOuiWithColons("0a:3d:91:");

bool sameText(const QStringRef& text, QLatin1String expected)
{
    return text.compare(expected, Qt::CaseInsensitive) == 0;
}

// Devices disagree on prefixes (and sometimes leave them undeclared), so names are
// compared by what follows the first ':' rather than by namespace.
QStringRef withoutPrefix(const QStringRef& name)
{
    const int colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

bool isElement(const QXmlStreamReader& xml, QLatin1String localName)
{
    return sameText(withoutPrefix(xml.qualifiedName()), localName);
}

QStringList splitAtBlanks(const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

// The text of the current element. False when the XML breaks off inside it: a value cut
// short (an address, a port, a MAC) would be wrong rather than missing, so it is not used.
bool readText(QXmlStreamReader& xml, QString& text)
{
    text = xml.readElementText(QXmlStreamReader::SkipChildElements);
    return !xml.hasError();
}

// Scope values are percent-encoded; decoding them as a path keeps values with ':' (a MAC
// in colon form), which a whole-URL reading would take for a scheme and reject.
QString decodeScopeValue(const QString& value)
{
    QUrl url;
    url.setPath(value, QUrl::TolerantMode);
    return url.path(QUrl::FullyDecoded);
}

void forEachChild(QXmlStreamReader& xml, QLatin1String name, const std::function<void()>& handle)
{
    while (xml.readNextStartElement()) {
        if (isElement(xml, name))
            handle();
        else
            xml.skipCurrentElement();
    }
}

// What a ProbeMatch's Types and Scopes say about it.
struct tcMatchKind
{
    bool knownType = false;   // names a transmitter or a device
    bool displayType = false; // names a display
    bool onvifScope = false;  // carries a scope under the ONVIF root
};

void readTypes(QXmlStreamReader& xml, tcMatchKind& kind)
{
    QString text;
    if (!readText(xml, text))
        return;
    const QStringList pieces = splitAtBlanks(text);
    for (const QString& piece : pieces) {
        const QStringRef type = withoutPrefix(QStringRef(&piece));
        if (sameText(type, QLatin1String("NetworkVideoTransmitter")) ||
            sameText(type, QLatin1String("Device")))
            kind.knownType = true;
        else if (sameText(type, QLatin1String("NetworkVideoDisplay")))
            kind.displayType = true;
    }
}

void takeMacCandidate(QString& macCandidate, tcVideoDevice& device)
{
    if (macCandidate.size() == 12) {
        macCandidate = macWithColons(macCandidate);
    } else if (macCandidate.size() == 17) {
        // 00-11-22-33-44-55 and the like: whatever separator the device used
        if (macCandidate.at(2) != QLatin1Char(':'))
            macCandidate.replace(macCandidate.at(2), QLatin1Char(':'));
    } else {
        macCandidate.clear();
    }
    if (macCandidate.isEmpty())
        return;
    device.macAddress = macText(macCandidate);
    if (macCandidate.startsWith(kMakerOuiWithColons, Qt::CaseInsensitive))
        device.type = Norvo2Cam;
}

void readScopes(QXmlStreamReader& xml, tcVideoDevice& device, QString& macCandidate, tcMatchKind& kind)
{
    QString text;
    if (!readText(xml, text))
        return;
    // Some devices put blanks into scope values unencoded; the pieces that follow a
    // hardware or name scope without "://" belong to its value.
    enum { None, Hardware, Name } mode = None;
    QString hardware;
    QString name;
    const QStringList pieces = splitAtBlanks(text);
    for (const QString& piece : pieces) {
        if (piece.contains(QLatin1String("://"))) {
            mode = None;
            kind.onvifScope = kind.onvifScope || piece.startsWith(kOnvifScopeRoot, Qt::CaseInsensitive);
            // A display without Types may still say what it is in its type scope.
            if (piece.startsWith(kTypeScope, Qt::CaseInsensitive) &&
                sameText(QStringRef(&piece).mid(kTypeScope.size()), QLatin1String("Network_Video_Display")))
                kind.displayType = true;
            if (piece.startsWith(kHardwareScope, Qt::CaseInsensitive)) {
                hardware = decodeScopeValue(piece.mid(kHardwareScope.size()));
                mode = Hardware;
            } else if (piece.startsWith(kNameScope, Qt::CaseInsensitive)) {
                name = decodeScopeValue(piece.mid(kNameScope.size()));
                mode = Name;
            } else if (piece.startsWith(kMacScope, Qt::CaseInsensitive)) {
                macCandidate = decodeScopeValue(piece.mid(kMacScope.size()));
            } else if (piece.startsWith(kProfileMacScope, Qt::CaseInsensitive)) {
                macCandidate = decodeScopeValue(piece.mid(kProfileMacScope.size()));
            } else if (piece.startsWith(kShortMacScope, Qt::CaseInsensitive)) {
                macCandidate = decodeScopeValue(piece.mid(kShortMacScope.size()));
            }
        } else if (mode == Hardware) {
            hardware += QLatin1Char(' ') + piece;
        } else if (mode == Name) {
            name += QLatin1Char(' ') + piece;
        }
    }
    device.model = hardware;
    device.siteName = name;
    takeMacCandidate(macCandidate, device);
}

// One usable XAddrs entry: an http URL whose host is a plain name or IPv4 address.
struct tcServiceAddress
{
    QString host;
    QStringList hostPort;
    QStringList parts;
};

bool isLinkLocal(const QString& host)
{
    const QHostAddress address(host);
    return !address.isNull() && address.isLinkLocal();
}

// The entry to use of several: cameras often list a link-local address first and the one
// they are reached at after it. The reply's own source address wins; else the first
// address that is not link-local; only then the first.
const tcServiceAddress* chooseServiceAddress(const QVector<tcServiceAddress>& entries,
                                             const QHostAddress& sender)
{
    if (entries.isEmpty())
        return nullptr;
    for (const tcServiceAddress& entry : entries) {
        const QHostAddress host(entry.host);
        if (!sender.isNull() && !host.isNull() && host.isEqual(sender, QHostAddress::TolerantConversion))
            return &entry;
    }
    for (const tcServiceAddress& entry : entries) {
        if (!isLinkLocal(entry.host))
            return &entry;
    }
    return &entries.first();
}

void readXAddrs(QXmlStreamReader& xml, tcVideoDevice& device, const QHostAddress& sender)
{
    QString text;
    if (!readText(xml, text))
        return;
    QVector<tcServiceAddress> entries;
    const QStringList pieces = splitAtBlanks(text);
    for (const QString& piece : pieces) {
        // An IPv6 address cannot be shown or reached by the IPv4-only configuration.
        if (piece.contains(QLatin1Char('[')) ||
            !piece.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
            continue;
        const QStringList parts = piece.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.size() < 2)
            continue;
        const QStringList hostPort = parts.at(1).split(QLatin1Char(':'));
        if (isPlainHost(hostPort.first()))
            entries.append({hostPort.first(), hostPort, parts});
    }
    const tcServiceAddress* chosen = chooseServiceAddress(entries, sender);
    if (!chosen)
        return;
    device.ipAddress = chosen->host;
    if (chosen->hostPort.size() > 1) {
        bool isNumber = false;
        const quint16 port = chosen->hostPort.at(1).toUShort(&isNumber);
        device.webPort = isNumber ? port : 0;
    }
    device.servicePath = chosen->parts.mid(2).join(QLatin1Char('/'));
}

void readEndpointReference(QXmlStreamReader& xml, tcVideoDevice& device, QString& macCandidate)
{
    // A MAC from the scopes read before wins over the one in the address.
    const bool macKnown = !macCandidate.isEmpty();
    forEachChild(xml, QLatin1String("Address"), [&]() {
        QString text;
        if (!readText(xml, text))
            return;
        // The endpoint reference names the device for life, whatever its address; a Bye
        // names it alone.
        device.endpoint = text.left(256);
        if (macKnown)
            return;
        // The maker's cameras end their UUID URN with their MAC: urn:uuid:...-0a3d91a1b2c3.
        const QStringList pieces = text.split(QLatin1Char('-'), Qt::SkipEmptyParts);
        if (pieces.isEmpty())
            return;
        macCandidate = pieces.last();
        if (macCandidate.size() == 12 && macCandidate.startsWith(kMakerOui, Qt::CaseInsensitive)) {
            device.macAddress = macText(macWithColons(macCandidate));
            device.type = Norvo2Cam;
        } else {
            macCandidate.clear();
        }
    });
}

void readProbeMatch(QXmlStreamReader& xml, const tcLocateParams* apParams, const QHostAddress& sender,
                    tcDeviceRecords& records)
{
    auto device = std::make_unique<tcVideoDevice>(apParams);
    device->type = Onvif;
    device->siteName.clear();
    device->valid = false;
    device->webPort = 80;
    // Kept per ProbeMatch: a MAC carried over from the previous match of the same
    // message would give a second device the first one's MAC, and the list would then
    // merge the two into one row.
    QString macCandidate;
    tcMatchKind kind;
    while (xml.readNextStartElement()) {
        if (isElement(xml, QLatin1String("Types"))) {
            readTypes(xml, kind);
        } else if (isElement(xml, QLatin1String("Scopes"))) {
            readScopes(xml, *device, macCandidate, kind);
        } else if (isElement(xml, QLatin1String("XAddrs"))) {
            readXAddrs(xml, *device, sender);
        } else if (isElement(xml, QLatin1String("EndpointReference"))) {
            readEndpointReference(xml, *device, macCandidate);
        } else if (isElement(xml, QLatin1String("Extension"))) {
            QString text;
            if (readText(xml, text) && sameText(QStringRef(&text), QLatin1String("Norvo2.0")))
                device->type = Norvo2Cam;
        } else {
            xml.skipCurrentElement();
        }
    }
    // Reached at the end tag or where the XML stopped being readable. Some cameras send
    // no Types, or only a vendor's type; their ONVIF scopes tell them apart from printers
    // and storage boxes, which answer WS-Discovery too. A display stays out either way.
    device->valid = kind.knownType || (kind.onvifScope && !kind.displayType);
    if (!device->valid)
        return;
    if (device->model.isEmpty())
        device->model = protocolText(device->type);
    records.push_back(std::move(device));
}

} // namespace

tcProbeType probeTypeForCount(int acCount)
{
    switch (acCount % 3) {
    case 2: return tcProbeType::NetworkVideoTransmitter;
    case 1: return tcProbeType::Device;
    default: return tcProbeType::NetworkVideoDisplay;
    }
}

QByteArray buildProbe(tcProbeType type, const QUuid& messageId)
{
    QLatin1String typeName("NetworkVideoDisplay");
    QLatin1String typeNamespace("http://www.onvif.org/ver10/network/wsdl");
    if (type == tcProbeType::NetworkVideoTransmitter) {
        typeName = QLatin1String("NetworkVideoTransmitter");
    } else if (type == tcProbeType::Device) {
        typeName = QLatin1String("Device");
        typeNamespace = QLatin1String("http://www.onvif.org/ver10/device/wsdl");
    }
    return QStringLiteral("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
                          " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">"
                          "<s:Header>"
                          "<a:Action s:mustUnderstand=\"1\">"
                          "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
                          "<a:MessageID>uuid:%1</a:MessageID>"
                          "<a:ReplyTo><a:Address>"
                          "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
                          "</a:Address></a:ReplyTo>"
                          "<a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
                          "</s:Header>"
                          "<s:Body>"
                          "<d:Probe xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">"
                          "<d:Types xmlns:dp0=\"%2\">dp0:%3</d:Types>"
                          "</d:Probe>"
                          "</s:Body>"
                          "</s:Envelope>")
        .arg(messageId.toString(QUuid::WithoutBraces), typeNamespace, typeName)
        .toUtf8();
}

namespace {

// The reader at the Envelope's start tag; false for anything else, a DTD included.
bool openEnvelope(QXmlStreamReader& xml)
{
    xml.setNamespaceProcessing(false);
    // A SOAP 1.2 message carries no document type declaration (messaging framework,
    // section 5); the entities of one would let a 200-byte datagram expand into
    // thousands of elements.
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return false;
    }
    return xml.isStartElement() && isElement(xml, QLatin1String("Envelope"));
}

} // namespace

tcAnnouncement parseAnnouncement(const QByteArray& abaDatagram, const tcLocateParams* apParams,
                                 const QHostAddress& sender)
{
    tcAnnouncement announcement;
    QXmlStreamReader xml(abaDatagram);
    if (!openEnvelope(xml))
        return announcement;
    forEachChild(xml, QLatin1String("Body"), [&]() {
        while (xml.readNextStartElement()) {
            if (isElement(xml, QLatin1String("Hello")) && announcement.kind == tcAnnouncement::None) {
                // A Hello carries what a ProbeMatch does.
                readProbeMatch(xml, apParams, sender, announcement.devices);
                announcement.kind = tcAnnouncement::Hello;
                if (!announcement.devices.empty())
                    announcement.endpoint = announcement.devices.front()->endpoint;
            } else if (isElement(xml, QLatin1String("Bye")) && announcement.kind == tcAnnouncement::None) {
                tcVideoDevice named(apParams);
                QString mac;
                forEachChild(xml, QLatin1String("EndpointReference"),
                             [&]() { readEndpointReference(xml, named, mac); });
                announcement.kind = named.endpoint.isEmpty() ? tcAnnouncement::None : tcAnnouncement::Bye;
                announcement.endpoint = named.endpoint;
            } else {
                xml.skipCurrentElement();
            }
        }
    });
    return announcement;
}

tcDeviceRecords parseProbeMatches(const QByteArray& abaDatagram, const tcLocateParams* apParams,
                                  const QHostAddress& sender)
{
    tcDeviceRecords records;
    QXmlStreamReader xml(abaDatagram);
    // Strict nesting: a Probe of another client, a Hello or a Bye has no
    // Envelope/Body/ProbeMatches path and yields nothing.
    if (!openEnvelope(xml))
        return records;
    forEachChild(xml, QLatin1String("Body"), [&]() {
        forEachChild(xml, QLatin1String("ProbeMatches"), [&]() {
            forEachChild(xml, QLatin1String("ProbeMatch"),
                         [&]() { readProbeMatch(xml, apParams, sender, records); });
        });
    });
    return records;
}
