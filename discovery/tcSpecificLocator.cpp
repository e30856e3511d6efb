#include "tcSpecificLocator.h"

#include "tcRangeProbe.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

int enlargeReceiveBuffer(QUdpSocket* apSocket, const QString& prefix)
{
    apSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kDiscoveryReceiveBuffer);
    int granted = apSocket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
#ifdef Q_OS_LINUX
    // SO_RCVBUF is capped by net.core.rmem_max; a privileged process may go past the cap.
    if (granted < kDiscoveryReceiveBuffer && apSocket->socketDescriptor() != -1) {
        const int wanted = kDiscoveryReceiveBuffer;
        if (::setsockopt(int(apSocket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &wanted,
                         sizeof wanted) == 0)
            granted = apSocket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    }
#endif
    if (granted < kDiscoveryReceiveBuffer)
        qDebug("%sreceive buffer of %d bytes granted, %d asked for; a large burst of replies may be lost",
               qPrintable(prefix), granted, kDiscoveryReceiveBuffer);
    return granted;
}

tcSpecificLocator::tcSpecificLocator(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : QObject(apParent), params(std::move(apParams)), timer(new QTimer)
{
    // A coarse timer may fire 5% early; the query spacing is a protocol promise.
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &tcSpecificLocator::slot_timeout);
}

tcSpecificLocator::~tcSpecificLocator()
{
    delete timer;
    qDeleteAll(m_sockets);
}

void tcSpecificLocator::setInterfaces(const tcInterfaceSnapshot& snapshot)
{
    m_interfaces = snapshot;
    m_interfacesGiven = true;
}

void tcSpecificLocator::start(int repeats, int intervalMs)
{
    if (running && startRule() == tcStartRule::IgnoreWhileRunning)
        return;
    if (!m_interfacesGiven)
        m_interfaces = tcInterfaceSnapshot::take({});
    m_interfacesGiven = false;
    sentQuery = false;
    m_repliesByInterface.clear();
    m_interfaceNames.clear();
    closeSockets();
    // A start that cannot open its sockets must not report the last run's sweep.
    delete m_sweep;
    m_sweep = nullptr;
    if (!openSockets(m_sockets))
        return;
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        connect(socket, &QUdpSocket::errorOccurred, this, &tcSpecificLocator::slot_SocketError);
        connect(socket, &QUdpSocket::readyRead, this, &tcSpecificLocator::slot_DatagramAvailable);
    }
    running = true;
    remaining = sendCount(repeats);
    slot_timeout();
    timer->start(sendIntervalMs(intervalMs));
    startSweep(sendCount(repeats) - 1);
}

bool tcSpecificLocator::isSending() const
{
    return m_sweep && m_sweep->isActive();
}

void tcSpecificLocator::setRanges(const tcAddressRanges& ranges, int hostsPerSecond)
{
    m_ranges = ranges;
    m_rate = hostsPerSecond;
}

void tcSpecificLocator::startSweep(int acFirstCount)
{
    if (m_ranges.isEmpty() || !reachesOtherSubnets())
        return;
    m_unicastSocket = new QUdpSocket(this);
    if (!m_unicastSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0, QAbstractSocket::DontShareAddress)) {
        qWarning("%sno socket for the unicast queries of the ranges: %s", qPrintable(logPrefix()),
                 qPrintable(m_unicastSocket->errorString()));
        delete m_unicastSocket;
        m_unicastSocket = nullptr;
        return;
    }
    enlargeReceiveBuffer(m_unicastSocket, logPrefix());
    connect(m_unicastSocket, &QUdpSocket::errorOccurred, this, &tcSpecificLocator::slot_SocketError);
    connect(m_unicastSocket, &QUdpSocket::readyRead, this, &tcSpecificLocator::slot_DatagramAvailable);
    // Each host gets the series' first query, built afresh (a Probe's MessageID is new for
    // every host, as for every multicast send).
    m_sweep = new tcRangeProbe(
        m_unicastSocket, m_ranges, port(), m_rate, [this, acFirstCount] { return query(acFirstCount); },
        logPrefix(), this);
    connect(m_sweep, &tcRangeProbe::sig_progress, this, &tcSpecificLocator::sig_sweepProgress);
    connect(m_sweep, &tcRangeProbe::sig_finished, this, [this] {
        if (running && !timer->isActive())
            endRun();
    });
    m_sweep->start();
}

void tcSpecificLocator::endRun()
{
    running = false;
    timer->stop();
    closeSockets();
}

void tcSpecificLocator::slot_timeout()
{
    // Stopped early (stop() released the sockets): the timer's next tick ends it.
    if (!running) {
        timer->stop();
        return;
    }
    if (remaining-- < 1) {
        // The sockets stay open while the sweep runs; its end closes them.
        timer->stop();
        if (!isSending())
            endRun();
        return;
    }
    const QByteArray bytes = query(remaining);
    const QList<QHostAddress> targets = destinations();
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        for (const QHostAddress& target : targets) {
            const qint64 written = socket->writeDatagram(bytes, target, port());
            if (written == bytes.size())
                sentQuery = true;
            else
                qDebug("%swriteDatagram() returned %lld expected %d from %s: %s", qPrintable(logPrefix()),
                       written, int(bytes.size()), qPrintable(socket->localAddress().toString()),
                       qPrintable(socket->errorString()));
        }
    }
}

void tcSpecificLocator::slot_DatagramAvailable()
{
    auto* socket = qobject_cast<QUdpSocket*>(sender());
    // A directly connected receiver may stop the locator while a reply is reported, and
    // a socket closed then must not be read again.
    const auto isOpen = [this, socket] {
        return socket && (socket == m_unicastSocket || m_sockets.contains(socket));
    };
    while (running && isOpen() && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid()) {
            qDebug("%sreading a datagram failed: %s", qPrintable(logPrefix()),
                   qPrintable(socket->errorString()));
            return;
        }
        // Replies to the sweep come back on whatever interface leads to their subnet.
        if (socket != m_unicastSocket && !m_interfaces.admits(int(datagram.interfaceIndex())))
            continue;
        tcDeviceRecords devices = parseReply(datagram.data(), datagram.senderAddress());
        if (!devices.empty())
            countReply(datagram, socket);
        for (auto& device : devices)
            reportDevice(device.release());
    }
}

void tcSpecificLocator::slot_SocketError(QAbstractSocket::SocketError acSocketError)
{
    qDebug("%sProblem with UDP connection: socket error %d", qPrintable(socketErrorPrefix()),
           int(acSocketError));
}

void tcSpecificLocator::closeSockets()
{
    if (m_sweep)
        m_sweep->stop();
    if (m_unicastSocket)
        m_sockets.append(m_unicastSocket);
    m_unicastSocket = nullptr;
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_sockets.clear();
}

void tcSpecificLocator::countReply(const QNetworkDatagram& datagram, const QUdpSocket* apSocket)
{
    // The arrival interface where the system tells it; else the one the socket is bound to.
    // Hundreds of replies arrive at once; the system is asked once per interface and run.
    QString interfaceName;
    if (datagram.interfaceIndex() > 0) {
        auto known = m_interfaceNames.find(datagram.interfaceIndex());
        if (known == m_interfaceNames.end())
            known = m_interfaceNames.insert(
                datagram.interfaceIndex(),
                QNetworkInterface::interfaceNameFromIndex(int(datagram.interfaceIndex())));
        interfaceName = *known;
    }
    if (interfaceName.isEmpty())
        interfaceName = apSocket->localAddress().toString();
    ++m_repliesByInterface[interfaceName];
}

void tcSpecificLocator::reportDevice(tcVideoDevice* apDevice)
{
    emit sig_found(tpVideoDevice(apDevice));
}

tcDeviceRecords tcSpecificLocator::records(std::unique_ptr<tcVideoDevice> apDevice)
{
    tcDeviceRecords result;
    if (apDevice)
        result.push_back(std::move(apDevice));
    return result;
}
