#include "tcSiteLocateONSIP.h"

#include "tcONSIPPacket.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

const char kPrefix[] = "Norvo 1.0 discovery: ";

void log(const QString& text)
{
    qDebug().noquote() << kPrefix + text;
}

// The maker's KG recorders answer this protocol too; they are listed by another locator.
bool isKGModel(const QString& model)
{
    return model.startsWith(QLatin1Char('K'), Qt::CaseInsensitive) &&
           model.contains(QLatin1Char('G'), Qt::CaseInsensitive);
}

} // namespace

std::unique_ptr<tcVideoDevice> parseNorvoReply(const QByteArray& abaDatagram, const tcLocateParams* apParams)
{
    tcONSIPPacket packet;
    if (!packet.parse(abaDatagram)) {
        log(QStringLiteral("Invalid datagram"));
        return nullptr;
    }
    if (packet.packetType() == tcONSIPPacket::TypeRequest)
        return nullptr;
    if (packet.packetType() != tcONSIPPacket::TypeReply) {
        log(QStringLiteral("Invalid UDP packet type: %1").arg(packet.packetType()));
        return nullptr;
    }
    const bool hasMode = packet.hasTag(tcONSIPPacket::TagIpMode);
    const bool hasPort = packet.hasTag(tcONSIPPacket::TagPort);
    const bool hasName = packet.hasTag(tcONSIPPacket::TagName);
    if (!hasMode || !hasPort || !hasName) {
        log(QStringLiteral("Data missing: Mode=%1, Port=%2, Name=%3")
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
            log(QLatin1String(entry.missing));
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

tcSiteLocateONSIP::tcSiteLocateONSIP(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apOwner, std::move(apParams))
{
}

tcSiteLocateONSIP::~tcSiteLocateONSIP()
{
    closeSockets();
}

void tcSiteLocateONSIP::closeSockets()
{
    while (!m_sockets.isEmpty()) {
        QUdpSocket* socket = m_sockets.takeFirst();
        socket->abort();
        socket->deleteLater();
    }
}

void tcSiteLocateONSIP::start(int repeats, int intervalMs)
{
    closeSockets();
    auto* socket = new QUdpSocket(this);
    if (socket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        enlargeReceiveBuffer(socket, QLatin1String(kPrefix));
        m_sockets.append(socket);
        connect(socket, &QUdpSocket::errorOccurred, this, &tcSiteLocateONSIP::slot_SocketError);
        connect(socket, &QUdpSocket::readyRead, this, &tcSiteLocateONSIP::slot_DataAvailable);
    } else {
        qWarning("%sUnable to bind to 0.0.0.0:%u", kPrefix, unsigned(kPort));
        log(QStringLiteral("bind error: %1").arg(socket->errorString()));
        delete socket;
    }
    m_request = tcONSIPPacket().buildRequest();
    sentQuery = false;
    running = true;
    remaining = repeats;
    slot_timeout();
    timer->start(intervalMs);
}

void tcSiteLocateONSIP::slot_timeout()
{
    if (remaining-- < 1) {
        running = false;
        timer->stop();
        closeSockets();
        return;
    }
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        const qint64 written = socket->writeDatagram(m_request, QHostAddress::Broadcast, kPort);
        if (written == m_request.size())
            sentQuery = true;
        else
            log(QStringLiteral("writeDatagram() returned %1 expected %2").arg(written).arg(m_request.size()));
    }
}

void tcSiteLocateONSIP::slot_DataAvailable()
{
    auto* socket = qobject_cast<QUdpSocket*>(sender());
    // A discarded reply does not end the pass: replies still pending would otherwise wait
    // for a datagram that may never come.
    while (running && socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (std::unique_ptr<tcVideoDevice> device = parseNorvoReply(datagram.data(), params.data()))
            reportDevice(device.release());
    }
}

void tcSiteLocateONSIP::slot_SocketError(QAbstractSocket::SocketError acSocketError)
{
    qDebug("%sProblem with UDP connection: socket error %d", kPrefix, int(acSocketError));
}
