#include "tcONSIPCodec.h"

#include <QDebug>
#include <QStringList>

#include <array>

namespace {

constexpr char kMagic[] = "iCanIPinstaller"; // 15 characters, then a zero byte on the wire
constexpr int kMagicLength = 15;
constexpr int kVersion = 3;
constexpr int kTagHeaderSize = 4;
constexpr int kMaxTag = 57; // highest tag number the table below knows

enum class tcTagKind { Unhandled, Silent, U32, U16Pair, IPv4, Mac, Text };

struct tcTagInfo
{
    tcTagKind kind;
    int textMax;  // for text tags: how many value bytes may hold the text
    bool flagged; // the record keeps a presence flag for it
};

// clang-format off
tcTagInfo tagInfo(quint16 tag)
{
    switch (tag) {
    case 1: case 28: case 30: return {tcTagKind::U32, 0, true};
    case 38: return {tcTagKind::U32, 0, false};
    case 3: return {tcTagKind::U16Pair, 0, true};
    case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13:
    case 16: case 17: case 18: case 19: case 20:
        return {tcTagKind::IPv4, 0, true};
    case 27: return {tcTagKind::Mac, 0, true};
    case 2: case 14: case 21: case 29: return {tcTagKind::Text, 80, true};
    case 15: case 22: return {tcTagKind::Text, 40, true};
    case 23: case 24: return {tcTagKind::Text, 16, true};
    case 39: case 40: return {tcTagKind::Text, 80, false};
    // Tags that cameras send but that carry nothing the scanner uses.
    case 25: case 41: case 43: case 44: case 49: case 57: return {tcTagKind::Silent, 0, false};
    default: return {tcTagKind::Unhandled, 0, false};
    }
}
// clang-format on

quint16 be16(const QByteArray& abaBytes, int index)
{
    return quint16(quint8(abaBytes[index]) << 8 | quint8(abaBytes[index + 1]));
}

quint32 be32(const QByteArray& abaBytes, int index)
{
    return quint32(be16(abaBytes, index)) << 16 | be16(abaBytes, index + 2);
}

void log(const QString& text)
{
    qDebug().noquote() << text;
}

} // namespace

class tcONSIPPacketData : public QSharedData
{
public:
    qint32 version = kVersion;
    qint32 headerWord = 0;
    qint32 packetType = tcONSIPPacket::TypeRequest;
    qint32 headerByte22 = 0;
    qint32 headerByte23 = 0;
    QString mac = QStringLiteral("ff:ff:ff:ff:ff:ff");
    QString address = QStringLiteral("255.255.255.255");
    std::array<bool, kMaxTag + 1> present{};
    std::array<quint32, kMaxTag + 1> numbers{};
    std::array<QString, kMaxTag + 1> texts;
    quint16 tag3Second = 0;
    bool foreignModel = false;

    tcONSIPPacketData() { numbers[tcONSIPPacket::TagIpMode] = tcONSIPPacket::ModeStatic; }
};

tcONSIPPacket::tcONSIPPacket() : d(new tcONSIPPacketData) {}
tcONSIPPacket::tcONSIPPacket(const tcONSIPPacket& other) = default;
tcONSIPPacket& tcONSIPPacket::operator=(const tcONSIPPacket& other) = default;
tcONSIPPacket::~tcONSIPPacket() = default;

qint32 tcONSIPPacket::version() const
{
    return d->version;
}
qint32 tcONSIPPacket::headerWord() const
{
    return d->headerWord;
}
qint32 tcONSIPPacket::packetType() const
{
    return d->packetType;
}
qint32 tcONSIPPacket::headerByte22() const
{
    return d->headerByte22;
}
qint32 tcONSIPPacket::headerByte23() const
{
    return d->headerByte23;
}
QString tcONSIPPacket::mac() const
{
    return d->mac;
}
QString tcONSIPPacket::address() const
{
    return d->address;
}
quint16 tcONSIPPacket::tag3Second() const
{
    return d->tag3Second;
}
bool tcONSIPPacket::foreignModel() const
{
    return d->foreignModel;
}

bool tcONSIPPacket::hasTag(quint16 tag) const
{
    return tag <= kMaxTag && d->present[tag];
}

quint32 tcONSIPPacket::number(quint16 tag) const
{
    return tag <= kMaxTag ? d->numbers[tag] : 0;
}

QString tcONSIPPacket::text(quint16 tag) const
{
    return tag <= kMaxTag ? d->texts[tag] : QString();
}

QString tcONSIPPacket::formatAddress(const QByteArray& abaBytes)
{
    if (abaBytes.size() != 4) {
        log(QStringLiteral("bad IP addres, not the right length: %1").arg(abaBytes.size()));
        return QString();
    }
    QStringList parts;
    for (char byte : abaBytes)
        parts << QString::number(quint8(byte));
    return parts.join(QLatin1Char('.'));
}

QString tcONSIPPacket::formatMac(const QByteArray& abaBytes)
{
    if (abaBytes.size() != 6) {
        log(QStringLiteral("bad MAC address, not the right length: %1").arg(abaBytes.size()));
        return QString();
    }
    return QString::fromLatin1(abaBytes.toHex(':'));
}

QByteArray tcONSIPPacket::buildRequest() const
{
    QByteArray request(kMagic, kMagicLength + 1); // the terminating zero is part of the magic
    request.reserve(kHeaderSize);
    request += char(d->version >> 8);
    request += char(d->version);
    request += char(d->headerWord >> 8);
    request += char(d->headerWord);
    request += char(kHeaderSize);
    request += char(d->packetType);
    request += char(d->headerByte22);
    request += char(d->headerByte23);
    request += char(0);
    request += char(kHeaderSize); // total length: a request carries no tags
    const QStringList macParts = d->mac.split(QLatin1Char(':'));
    for (int i = 0; i < 6; ++i)
        request += char(macParts.value(i).toUInt(nullptr, 16));
    const QStringList addressParts = d->address.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i)
        request += char(addressParts.value(i).toUInt());
    request += QByteArray(12, '\0');
    return request;
}

bool tcONSIPPacket::parse(const QByteArray& abaDatagram)
{
    *this = tcONSIPPacket();
    const QByteArray& b = abaDatagram;
    if (b.size() < kHeaderSize) {
        log(QStringLiteral("short datagram: %1 bytes, the header needs %2").arg(b.size()).arg(kHeaderSize));
        return false;
    }
    if (!b.startsWith(QByteArray::fromRawData(kMagic, kMagicLength)) || b[kMagicLength] != '\0') {
        QByteArray magic = b.left(kMagicLength);
        magic.truncate(magic.indexOf('\0') < 0 ? magic.size() : magic.indexOf('\0'));
        log(QStringLiteral("bad magic string: %1").arg(QString::fromLatin1(magic)));
        return false;
    }
    d->version = be16(b, 16);
    if (d->version != kVersion) {
        log(QStringLiteral("bad version: %1").arg(d->version));
        return false;
    }
    d->headerWord = be16(b, 18);
    if (quint8(b[20]) != kHeaderSize) {
        log(QStringLiteral("bad header length: %1").arg(quint8(b[20])));
        return false;
    }
    d->packetType = quint8(b[21]);
    d->headerByte22 = quint8(b[22]);
    d->headerByte23 = quint8(b[23]);
    const int total = be16(b, 24);
    d->mac = formatMac(b.mid(26, 6));
    d->address = formatAddress(b.mid(32, 4));
    for (int i = 36; i < kHeaderSize; ++i) {
        if (b[i] != '\0') {
            log(QStringLiteral("bad mbz bytes"));
            return false;
        }
    }
    if (total <= kHeaderSize + kTagHeaderSize)
        return true;
    // The total length bounds the tag walk; one that claims more than arrived means the
    // datagram was cut, and its tags are not trusted.
    if (total > b.size()) {
        log(QStringLiteral("total length %1 exceeds the %2 bytes received").arg(total).arg(b.size()));
        return false;
    }
    int index = kHeaderSize;
    while (index + kTagHeaderSize < total) {
        const int valueIndex = index + kTagHeaderSize;
        const int valueLength = be16(b, index + 2);
        const int valueEnd = valueIndex + valueLength;
        if (valueEnd > total) {
            log(QStringLiteral("tag length is too long: total: %1, tag_index: %2 tag_length: %3")
                    .arg(total)
                    .arg(index)
                    .arg(valueLength));
            index = valueIndex; // skip only this tag's header and look for the next one
            continue;
        }
        storeTag(be16(b, index), b, valueIndex, valueLength);
        index = valueEnd;
    }
    return true;
}

void tcONSIPPacket::storeTag(quint16 tag, const QByteArray& abaDatagram, int valueIndex, int valueLength)
{
    const tcTagInfo info = tagInfo(tag);
    // Fixed-size values are read from the value's first byte whatever length the tag
    // declares (cameras send short lengths), but never past the received bytes.
    const auto fixed = [&](int size) { return abaDatagram.mid(valueIndex, size); };
    const auto numberFits = [&](int size) {
        if (valueIndex + size <= abaDatagram.size())
            return true;
        log(QStringLiteral("tag %1 refused: its value needs %2 bytes, %3 received")
                .arg(tag)
                .arg(size)
                .arg(abaDatagram.size() - valueIndex));
        return false;
    };

    switch (info.kind) {
    case tcTagKind::Silent: return;
    case tcTagKind::Unhandled: {
        const QByteArray value = abaDatagram.mid(valueIndex, valueLength);
        QString hex;
        for (int i = 0; i < qMin(5, value.size()); ++i)
            hex += QStringLiteral(" %1").arg(quint8(value[i]), 2, 16, QLatin1Char(' '));
        log(QStringLiteral("unhandled tag: %1 data [len=%2] = %3 %4")
                .arg(QString::number(tag), QString::number(valueLength), QString::fromLatin1(value), hex));
        return;
    }
    case tcTagKind::U32:
        if (!numberFits(4))
            return;
        d->present[tag] = info.flagged;
        d->numbers[tag] = be32(abaDatagram, valueIndex);
        return;
    case tcTagKind::U16Pair:
        if (!numberFits(4))
            return;
        d->present[tag] = true;
        d->numbers[tag] = be16(abaDatagram, valueIndex);
        d->tag3Second = be16(abaDatagram, valueIndex + 2);
        return;
    case tcTagKind::IPv4:
        d->present[tag] = true;
        d->texts[tag] = formatAddress(fixed(4));
        return;
    case tcTagKind::Mac:
        d->present[tag] = true;
        d->texts[tag] = formatMac(fixed(6));
        return;
    case tcTagKind::Text: {
        QByteArray value = abaDatagram.mid(valueIndex, qMin(valueLength, info.textMax));
        const int zero = value.indexOf('\0');
        if (zero >= 0)
            value.truncate(zero);
        d->present[tag] = info.flagged;
        d->texts[tag] = QString::fromUtf8(value);
        if (tag == TagModel)
            d->foreignModel = !d->texts[tag].contains(QLatin1String("norvo"), Qt::CaseInsensitive);
        return;
    }
    }
}

QByteArray buildONSIPRequest()
{
    return tcONSIPPacket().buildRequest();
}

namespace {

void logReply(const QString& text)
{
    qDebug().noquote() << QStringLiteral("Norvo 1.0 discovery: ") + text;
}

// The maker's KG recorders answer this protocol too; they are listed by another locator.
bool isKGModel(const QString& model)
{
    return model.startsWith(QLatin1Char('K'), Qt::CaseInsensitive) &&
           model.contains(QLatin1Char('G'), Qt::CaseInsensitive);
}

} // namespace

std::unique_ptr<tcVideoDevice> parseONSIPReply(const QByteArray& abaDatagram, const tcLocateParams* apParams)
{
    tcONSIPPacket packet;
    if (!packet.parse(abaDatagram)) {
        logReply(QStringLiteral("Invalid datagram"));
        return nullptr;
    }
    if (packet.packetType() == tcONSIPPacket::TypeRequest)
        return nullptr;
    if (packet.packetType() != tcONSIPPacket::TypeReply) {
        logReply(QStringLiteral("Invalid UDP packet type: %1").arg(packet.packetType()));
        return nullptr;
    }
    const bool hasMode = packet.hasTag(tcONSIPPacket::TagIpMode);
    const bool hasPort = packet.hasTag(tcONSIPPacket::TagPort);
    const bool hasName = packet.hasTag(tcONSIPPacket::TagName);
    if (!hasMode || !hasPort || !hasName) {
        logReply(QStringLiteral("Data missing: Mode=%1, Port=%2, Name=%3")
                     .arg(int(hasMode))
                     .arg(int(hasPort))
                     .arg(int(hasName)));
        return nullptr;
    }
    if (packet.foreignModel() && isKGModel(packet.model()))
        return nullptr;

    auto device = std::make_unique<tcVideoDevice>(apParams);
    if (packet.foreignModel())
        device->model = packet.model();

    struct tcModeAddress
    {
        quint32 mode;
        quint16 tag;
        const char* missing;
    };
    static const tcModeAddress kModeAddresses[] = {
        {tcONSIPPacket::ModePpp, tcONSIPPacket::TagPppAddress, "Missing PPP IP address"},
        {tcONSIPPacket::ModeDhcp, tcONSIPPacket::TagDhcpAddress, "Missing DHCP IP address"},
        {tcONSIPPacket::ModeStatic, tcONSIPPacket::TagStaticAddress, "Missing static IP address"},
    };
    for (const tcModeAddress& entry : kModeAddresses) {
        if (packet.ipMode() != entry.mode)
            continue;
        if (packet.hasTag(entry.tag))
            device->ipAddress = packet.text(entry.tag);
        else
            logReply(QLatin1String(entry.missing));
    }

    if (packet.hasTag(tcONSIPPacket::TagWebPort))
        device->webPort = packet.webPort();
    device->altPort = quint16(packet.port());
    device->siteName = packet.name();
    if (device->model.isEmpty())
        device->model = protocolText(Norvo1Cam);
    device->macAddress = packet.mac();
    device->type = Norvo1Cam;
    return device;
}
