#include "tcSimDiscoveryServer.h"

#include "tcSimDiscovery.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

const QHostAddress kWsdGroup(QStringLiteral("239.255.255.250"));
const QHostAddress kPqQueryGroup(QStringLiteral("234.55.55.55"));
const QHostAddress kPqReplyGroup(QStringLiteral("234.55.55.56"));
constexpr quint16 kOnvifPort = 3702;
constexpr quint16 kBridgePort = 3704;
constexpr quint16 kNorvoPort = 65534;
constexpr quint16 kPqPort = 23456;
constexpr int kBatch = 256;    // datagrams per event-loop turn
constexpr int kMaxTries = 200; // retries of a datagram the kernel had no room for
constexpr int kRecentProbes = 64;

void warn(const QString& text)
{
    std::fprintf(stderr, "zephyrlock-sim: %s\n", qPrintable(text));
}

// sendmsg with IP_PKTINFO: the datagram leaves from `source` (one of the interface's
// addresses) although the socket is bound to the any-address, so every simulated
// device answers from its own address. Returns 0 or the errno.
int sendFrom(qintptr fd, const QByteArray& bytes, const QHostAddress& to, quint16 port,
             const QHostAddress& source)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(to.toIPv4Address());
    iovec iov{const_cast<char*>(bytes.constData()), size_t(bytes.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    if (!source.isNull()) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(source.toIPv4Address());
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    return ::sendmsg(int(fd), &message, MSG_DONTWAIT) < 0 ? errno : 0;
}

// A query sent to one device's address rather than to a group or the broadcast address.
bool isUnicast(const QNetworkDatagram& query)
{
    const QHostAddress to = query.destinationAddress();
    return !to.isNull() && !to.isMulticast() && to != QHostAddress(QHostAddress::Broadcast);
}

} // namespace

tcSimDiscoveryServer::tcSimDiscoveryServer(const tcSimDevices& devices, const tcSimDiscoveryOptions& options,
                                           QObject* parent)
    : QObject(parent), m_devices(devices), m_options(options), m_random(options.seed)
{
    // Every address a device holds in the run; a unicast query then finds the devices
    // that hold its destination now.
    for (const auto& d : m_devices)
        for (const QHostAddress& a : d->addresses())
            m_byAddress[a.toIPv4Address()].append(d.get());
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &tcSimDiscoveryServer::slot_flush);
    m_clock.start();
}

QUdpSocket* tcSimDiscoveryServer::open(quint16 port, const QHostAddress& group, QString* error)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot bind UDP port %1: %2").arg(port).arg(socket->errorString());
        return nullptr;
    }
    if (!group.isNull() && !socket->joinMulticastGroup(group, m_options.interface)) {
        *error = QStringLiteral("cannot join %1 on %2: %3")
                     .arg(group.toString(), m_options.interface.name(), socket->errorString());
        return nullptr;
    }
    socket->setMulticastInterface(m_options.interface);
    // Thousands of devices answer one query at once; as root the buffer may exceed
    // the system maximum (SO_*BUFFORCE), otherwise ask for what is allowed.
    const int fd = int(socket->socketDescriptor());
    const int size = m_options.bufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size) != 0)
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, size);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, size);
    return socket;
}

bool tcSimDiscoveryServer::start(QString* error)
{
    unsigned used = 0;
    for (const auto& d : m_devices)
        used |= d->protocols;
    struct Entry
    {
        unsigned bit;
        quint16 port;
        QHostAddress group;
        QUdpSocket** socket;
        void (tcSimDiscoveryServer::*slot)();
        const char* name;
    };
    const Entry entries[] = {
        {ProtoOnvif, kOnvifPort, kWsdGroup, &m_onvif, &tcSimDiscoveryServer::slot_onvif, "onvif"},
        {ProtoBridge, kBridgePort, kWsdGroup, &m_bridge, &tcSimDiscoveryServer::slot_bridge, "bridge"},
        {ProtoNorvo, kNorvoPort, QHostAddress(), &m_norvo, &tcSimDiscoveryServer::slot_norvo, "norvo"},
        {ProtoPq, kPqPort, kPqQueryGroup, &m_pq, &tcSimDiscoveryServer::slot_pq, "pq"},
    };
    for (const Entry& e : entries) {
        if (!(used & e.bit))
            continue;
        *e.socket = open(e.port, e.group, error);
        if (!*e.socket)
            return false;
        connect(*e.socket, &QUdpSocket::readyRead, this, e.slot);
        m_protocols << QString::fromLatin1(e.name);
    }
    return true;
}

int tcSimDiscoveryServer::spread()
{
    return m_options.spreadMs > 0 ? int(m_random.bounded(m_options.spreadMs + 1)) : 0;
}

void tcSimDiscoveryServer::schedule(QUdpSocket* socket, const tcSimDevice& device, const QByteArray& bytes,
                                    const QHostAddress& to, quint16 port, int delayMs)
{
    const QHostAddress source = m_options.sendFromDeviceAddress ? device.address : QHostAddress();
    m_queue.emplace(m_clock.elapsed() + delayMs, Pending{socket, bytes, to, port, source, 0});
    if (!m_timer.isActive() || delayMs == 0)
        m_timer.start(0);
}

void tcSimDiscoveryServer::slot_flush()
{
    int sent = 0;
    const qint64 now = m_clock.elapsed();
    while (!m_queue.empty() && m_queue.begin()->first <= now && sent < kBatch) {
        auto it = m_queue.begin();
        Pending pending = it->second;
        m_queue.erase(it);
        const int error = sendFrom(pending.socket->socketDescriptor(), pending.bytes, pending.to,
                                   pending.port, pending.source);
        if (error == 0) {
            ++sent;
            continue;
        }
        // A full send buffer clears within milliseconds; anything else is a real fault.
        if ((error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS) && ++pending.tries < kMaxTries) {
            m_queue.emplace(now + 2, pending);
            break;
        }
        if (m_dropped++ == 0)
            warn(QStringLiteral("cannot send a reply to %1:%2 from %3: %4")
                     .arg(pending.to.toString())
                     .arg(pending.port)
                     .arg(pending.source.toString(), QString::fromLocal8Bit(std::strerror(error))));
    }
    if (!m_queue.empty())
        m_timer.start(int(qBound<qint64>(0, m_queue.begin()->first - m_clock.elapsed(), 60000)));
}

QVector<const tcSimDevice*> tcSimDiscoveryServer::addressees(const QNetworkDatagram& query,
                                                             unsigned protocol) const
{
    QVector<const tcSimDevice*> devices;
    const auto answers = [protocol](const tcSimDevice& d) { return (d.protocols & protocol) && !d.quiet(); };
    if (!isUnicast(query)) {
        for (const auto& d : m_devices)
            if (answers(*d))
                devices.append(d.get());
        return devices;
    }
    bool isIPv4 = false;
    const quint32 address = query.destinationAddress().toIPv4Address(&isIPv4);
    for (const tcSimDevice* d : m_byAddress.value(isIPv4 ? address : 0))
        if (answers(*d) &&
            (d->address.toIPv4Address() == address || d->altAddress.toIPv4Address() == address))
            devices.append(d);
    return devices;
}

void tcSimDiscoveryServer::announce(const tcSimDevice& device, bool hello)
{
    if (!m_onvif || !(device.protocols & ProtoOnvif))
        return;
    const QString id = QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    schedule(m_onvif, device, tcSimOnvif::announcement(device, hello, id), kWsdGroup, kOnvifPort, 0);
}

void tcSimDiscoveryServer::slot_onvif()
{
    while (m_onvif->hasPendingDatagrams()) {
        const QNetworkDatagram query = m_onvif->receiveDatagram();
        tcSimOnvif::Probe probe;
        if (!tcSimOnvif::parseProbe(query.data(), &probe) || m_recentProbes.contains(probe.messageId))
            continue;
        // A Probe sent several times under one MessageID is answered once.
        m_recentProbes.append(probe.messageId);
        if (m_recentProbes.size() > kRecentProbes)
            m_recentProbes.removeFirst();
        // Only a multicast Probe is answered after a random wait (WS-Discovery's
        // APP_MAX_DELAY spreads the replies of many targets); a unicast one at once.
        const bool multicast = !isUnicast(query);
        for (const tcSimDevice* d : addressees(query, ProtoOnvif)) {
            if (!tcSimOnvif::matches(*d, probe))
                continue;
            // The URN form, as most cameras write it (and as nmap's WS-Discovery script
            // expects it).
            const QString id =
                QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
            const int delay = multicast && m_options.onvifMaxDelayMs > 0
                                  ? int(m_random.bounded(m_options.onvifMaxDelayMs + 1))
                                  : 0;
            schedule(m_onvif, *d, tcSimOnvif::probeMatches(*d, probe.messageId, id), query.senderAddress(),
                     quint16(query.senderPort()), delay);
        }
    }
}

void tcSimDiscoveryServer::slot_bridge()
{
    while (m_bridge->hasPendingDatagrams()) {
        const QNetworkDatagram query = m_bridge->receiveDatagram();
        if (!tcSimBridge::isRequest(query.data()))
            continue;
        for (const tcSimDevice* d : addressees(query, ProtoBridge))
            schedule(m_bridge, *d, tcSimBridge::reply(*d), query.senderAddress(), quint16(query.senderPort()),
                     spread());
    }
}

void tcSimDiscoveryServer::slot_norvo()
{
    while (m_norvo->hasPendingDatagrams()) {
        // Our own broadcast replies come back here too; they are not requests.
        const QNetworkDatagram query = m_norvo->receiveDatagram();
        if (!tcSimNorvo::isRequest(query.data()))
            continue;
        // Every device hears the query however it was addressed (a directed
        // broadcast, too), as the devices' firmware does.
        for (const auto& d : m_devices)
            if ((d->protocols & ProtoNorvo) && !d->quiet())
                schedule(m_norvo, *d, tcSimNorvo::reply(*d), QHostAddress::Broadcast, kNorvoPort, spread());
    }
}

void tcSimDiscoveryServer::slot_pq()
{
    while (m_pq->hasPendingDatagrams()) {
        const QNetworkDatagram query = m_pq->receiveDatagram();
        if (!tcSimPq::isQuery(query.data()))
            continue;
        // Every device hears the query however it was addressed (a directed
        // broadcast, too), as the devices' firmware does.
        for (const auto& d : m_devices)
            if ((d->protocols & ProtoPq) && !d->quiet())
                schedule(m_pq, *d, tcSimPq::reply(*d), kPqReplyGroup, kPqPort, spread());
    }
}
