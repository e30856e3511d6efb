#include "tcPQSeriesCodec.h"

#include "tcONSIPCodec.h"

#include <algorithm>

namespace {

constexpr int kQuerySize = 140;
constexpr int kMinReplySize = 240;
const char kMagic[] = "MHED";

// Reply layout; numbers are little-endian.
enum tcReplyOffset {
    OffName = 12, // 20 bytes
    OffMac = 32,
    OffAddress = 40,
    OffMask = 44,
    OffGateway = 48,
    OffVersionC = 53,
    OffVersionB = 54,
    OffVersionA = 55,
    OffBuild = 56,
    OffWebPort = 60,
    OffKind = 64,
    OffExtra = 112,
    OffAltAddress = 128,
    OffAddressMode = 138,
    OffCloudId = 140, // 12 bytes
    OffModel = 196,   // 16 bytes
};

enum tcReplyKind { KindCamera = 2, KindDecoder = 5, KindStorage = 6 };

// The maker's own cameras, reached through this protocol, speak Norvo 2.0.
const char kMakerMacPrefix[] = "0A:3D:91:";

QString text(const QByteArray& abaReply, int offset, int size)
{
    QByteArray field = abaReply.mid(offset, size);
    const int zero = field.indexOf('\0');
    if (zero >= 0)
        field.truncate(zero);
    return QString::fromUtf8(field);
}

quint32 le32(const QByteArray& abaReply, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | quint8(abaReply[offset + i]);
    return value;
}

template <std::size_t N> void copyRaw(std::array<quint8, N>& target, const QByteArray& abaReply, int offset)
{
    std::copy_n(reinterpret_cast<const quint8*>(abaReply.constData()) + offset, N, target.begin());
}

} // namespace

QByteArray buildPQSeriesQuery()
{
    QByteArray query(kQuerySize, '\0');
    query.replace(0, 4, kMagic);
    query[4] = 0x08;
    query[6] = 0x01;
    query[8] = 0x01;
    return query;
}

std::unique_ptr<tcVideoDevice> parsePQSeriesReply(const QByteArray& abaDatagram,
                                                  const tcLocateParams* apParams)
{
    const QByteArray& r = abaDatagram;
    if (r.size() < kMinReplySize || !r.startsWith(kMagic))
        return nullptr;

    auto device = std::make_unique<tcVideoDevice>(apParams);
    device->siteName = text(r, OffName, 20);
    device->model = text(r, OffModel, 16);
    device->cloudId = text(r, OffCloudId, 12);
    device->macAddress = tcONSIPPacket::formatMac(r.mid(OffMac, 6));
    const bool makerMac = device->macAddress.startsWith(QLatin1String(kMakerMacPrefix), Qt::CaseInsensitive);
    device->ipAddress = tcONSIPPacket::formatAddress(r.mid(OffAddress, 4));
    const QString altAddress = tcONSIPPacket::formatAddress(r.mid(OffAltAddress, 4));
    if (altAddress != QLatin1String("0.0.0.0"))
        device->altAddress = altAddress;
    device->firmware = QStringLiteral("%1.%2.%3 %4")
                           .arg(quint8(r[OffVersionA]))
                           .arg(quint8(r[OffVersionB]))
                           .arg(quint8(r[OffVersionC]))
                           .arg(le32(r, OffBuild));
    device->webPort = quint16(quint8(r[OffWebPort]) | quint8(r[OffWebPort + 1]) << 8);
    copyRaw(device->rawMac, r, OffMac);
    copyRaw(device->rawAddress, r, OffAddress);
    copyRaw(device->rawMask, r, OffMask);
    copyRaw(device->rawGateway, r, OffGateway);
    copyRaw(device->rawExtra, r, OffExtra);
    // The reply says 0 for a static address and anything else for DHCP; the record keeps
    // 0 static, 1 DHCP (2 would read as "not reported").
    device->addressMode = r[OffAddressMode] == '\0' ? 0 : 1;

    const int kind = quint8(r[OffKind]);
    device->pqCamera = kind == KindCamera;
    switch (kind) {
    case KindDecoder:
        device->type = OstraDecoder;
        device->cloudId = QStringLiteral("DECODER");
        break;
    case KindStorage:
        device->type = OstraServer;
        device->cloudId = QStringLiteral("STORAGE");
        break;
    case KindCamera: device->type = makerMac ? Norvo2Cam : Onvif; break;
    default: device->type = PQSeries; break;
    }
    return device;
}
