#include "tcSiteLocateOnvif.h"

#include "tcInterfaceSockets.h"
#include "tcOnvifCodec.h"

#include <QTimer>
#include <QUdpSocket>
#include <QUuid>

namespace {
const QString kLogPrefix = QStringLiteral("ONVIF discovery: ");
const QHostAddress kGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 kPort = 3702;
constexpr int kMinimumSends = 6;
constexpr int kLargestIntervalMs = 500;
} // namespace

tcSiteLocateOnvif::tcSiteLocateOnvif(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apOwner, std::move(apParams))
{
}

tcSiteLocateOnvif::~tcSiteLocateOnvif()
{
    qDeleteAll(m_sockets);
}

void tcSiteLocateOnvif::start(int repeats, int intervalMs)
{
    closeSockets(m_sockets);
    m_sockets = openInterfaceSockets(this, kLogPrefix);
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        connect(socket, &QUdpSocket::errorOccurred, this, &tcSiteLocateOnvif::slot_SocketError);
        connect(socket, &QUdpSocket::readyRead, this, &tcSiteLocateOnvif::slot_DatagramAvailable);
    }
    sentQuery = false;
    running = true;
    remaining = qMax(repeats, kMinimumSends);
    slot_timeout();
    timer->start(qMin(intervalMs, kLargestIntervalMs));
}

void tcSiteLocateOnvif::slot_timeout()
{
    const qint32 before = remaining--;
    if (before < 1) {
        running = false;
        timer->stop();
        closeSockets(m_sockets);
        return;
    }
    const QByteArray probe = buildProbe(probeTypeForCount(remaining), QUuid::createUuid());
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        if (socket->writeDatagram(probe, kGroup, kPort) == probe.size())
            sentQuery = true;
        else
            qDebug("%sProbe not sent from %s: %s", qPrintable(kLogPrefix),
                   qPrintable(socket->localAddress().toString()), qPrintable(socket->errorString()));
    }
}

void tcSiteLocateOnvif::slot_DatagramAvailable()
{
    auto* socket = qobject_cast<QUdpSocket*>(sender());
    QByteArray datagram;
    while (running && nextDatagram(socket, datagram, kLogPrefix)) {
        for (auto& device : parseProbeMatches(datagram, params.data()))
            reportDevice(device.release());
    }
}

void tcSiteLocateOnvif::slot_SocketError(QAbstractSocket::SocketError acSocketError)
{
    qDebug("Problem with UDP connection: socket error %d", int(acSocketError));
}
