#include "tcSpecificLocator.h"

#include "tcSiteLocate.h"

#include <QTimer>
#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

QList<QHostAddress> filterInterfaceAddresses(const QList<tcInterfaceInfo>& interfaces)
{
    static const char* const kVirtualNames[] = {"vmware", "virtual", "loopback", "pseudo"};
    const QNetworkInterface::InterfaceFlags mask =
        QNetworkInterface::IsUp | QNetworkInterface::IsLoopBack | QNetworkInterface::IsPointToPoint;

    QList<QHostAddress> result;
    for (const tcInterfaceInfo& iface : interfaces) {
        if ((iface.flags & mask) != QNetworkInterface::IsUp)
            continue;
        bool isVirtual = false;
        for (const char* name : kVirtualNames)
            isVirtual = isVirtual || iface.humanReadableName.contains(QLatin1String(name), Qt::CaseInsensitive);
        if (isVirtual)
            continue;
        for (const QHostAddress& address : iface.addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                result.append(address);
        }
    }
    return result;
}

QList<tcInterfaceInfo> hostInterfaces()
{
    QList<tcInterfaceInfo> result;
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        tcInterfaceInfo info{iface.humanReadableName(), iface.flags(), {}};
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            info.addresses.append(entry.ip());
        result.append(info);
    }
    return result;
}

QList<QHostAddress> locatorAddresses()
{
    return filterInterfaceAddresses(hostInterfaces());
}

QVector<tcSubnet> probedSubnets()
{
    const QList<QHostAddress> chosen = locatorAddresses();
    QVector<tcSubnet> subnets;
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && chosen.contains(entry.ip()))
                subnets.append({entry.ip().toIPv4Address(), entry.prefixLength()});
        }
    }
    return subnets;
}

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

tcSpecificLocator::tcSpecificLocator(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams)
    : QObject(apOwner), owner(apOwner), params(std::move(apParams)), timer(new QTimer)
{
    // A coarse timer may fire 5% early; the query spacing is a protocol promise.
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &tcSpecificLocator::slot_timeout);
}

tcSpecificLocator::~tcSpecificLocator()
{
    delete timer;
}

void tcSpecificLocator::reportDevice(tcVideoDevice* apDevice)
{
    emit owner->sig_locateFoundSite(tpVideoDevice(apDevice));
}
