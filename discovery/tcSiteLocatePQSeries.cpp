#include "tcSiteLocatePQSeries.h"

#include "tcONSIPPacket.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

const char tcSiteLocatePQSeries::kQueryGroup[] = "234.55.55.55";
const char tcSiteLocatePQSeries::kReplyGroup[] = "234.55.55.56";

namespace {

const char kPrefix[] = "PQ discovery: ";
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

QByteArray buildPQQuery()
{
    QByteArray query(kQuerySize, '\0');
    query.replace(0, 4, kMagic);
    query[4] = 0x08;
    query[6] = 0x01;
    query[8] = 0x01;
    return query;
}

std::unique_ptr<tcVideoDevice> parsePQReply(const QByteArray& abaDatagram, const tcLocateParams* apParams)
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

tcSiteLocatePQSeries::tcSiteLocatePQSeries(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apOwner, std::move(apParams))
{
}

tcSiteLocatePQSeries::~tcSiteLocatePQSeries()
{
    closeSocket();
}

void tcSiteLocatePQSeries::closeSocket()
{
    if (!m_socket)
        return;
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool tcSiteLocatePQSeries::openSocket()
{
    closeSocket();
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &tcSiteLocatePQSeries::slot_DataAvailable);
    connect(m_socket, &QUdpSocket::errorOccurred, this, &tcSiteLocatePQSeries::slot_SocketError);
    if (!m_socket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress)) {
        qWarning().noquote() << QStringLiteral("%1Unable to bind to address: 0.0.0.0:%2 / %3:%4")
                                    .arg(QLatin1String(kPrefix))
                                    .arg(kPort)
                                    .arg(int(m_socket->error()))
                                    .arg(m_socket->errorString());
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    enlargeReceiveBuffer(m_socket, QLatin1String(kPrefix));
    const QHostAddress group{QLatin1String(kReplyGroup)};
    if (!m_socket->joinMulticastGroup(group))
        qWarning().noquote() << QStringLiteral("%1Unable to join multicast group: %2")
                                    .arg(QLatin1String(kPrefix), group.toString());
    return true;
}

void tcSiteLocatePQSeries::start(int repeats, int intervalMs)
{
    if (running)
        return;
    sentQuery = false;
    if (!openSocket())
        return;
    running = true;
    remaining = repeats;
    slot_timeout();
    timer->start(intervalMs);
}

void tcSiteLocatePQSeries::stop()
{
    running = false;
    closeSocket();
}

void tcSiteLocatePQSeries::slot_timeout()
{
    if (!m_socket) {
        timer->stop();
        return;
    }
    if (remaining-- < 1) {
        running = false;
        timer->stop();
        closeSocket();
        return;
    }
    const qint64 written =
        m_socket->writeDatagram(buildPQQuery(), QHostAddress(QLatin1String(kQueryGroup)), kPort);
    if (written == kQuerySize)
        sentQuery = true;
    else
        qDebug("%swriteDatagram(%d) returned: %lld", kPrefix, kQuerySize, written);
}

void tcSiteLocatePQSeries::slot_DataAvailable()
{
    // A directly connected receiver may stop the locator while a reply is reported, so
    // the socket is looked at again before every read.
    while (running && m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (std::unique_ptr<tcVideoDevice> device = parsePQReply(datagram.data(), params.data()))
            reportDevice(device.release());
    }
}

void tcSiteLocatePQSeries::slot_SocketError(QAbstractSocket::SocketError acSocketError)
{
    qDebug("%sProblem with UDP connection: socket error %d", kPrefix, int(acSocketError));
}
