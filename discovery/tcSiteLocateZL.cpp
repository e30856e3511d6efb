#include "tcSiteLocateZL.h"

#include "tcBridgeCodec.h"
#include "tcInterfaceSockets.h"

#include <QTimer>
#include <QUdpSocket>

namespace {
const QString kLogPrefix = QStringLiteral("Bridge discovery: ");
const QHostAddress kGroup(QStringLiteral("239.255.255.250"));
constexpr quint16 kPort = 3704;
} // namespace

tcSiteLocateZL::tcSiteLocateZL(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apOwner, std::move(apParams))
{
}

tcSiteLocateZL::~tcSiteLocateZL()
{
    qDeleteAll(m_sockets);
}

void tcSiteLocateZL::start(int repeats, int intervalMs)
{
    if (running)
        return;
    closeSockets(m_sockets);
    m_sockets = openInterfaceSockets(this, kLogPrefix);
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        connect(socket, &QUdpSocket::errorOccurred, this, &tcSiteLocateZL::slot_SocketError);
        connect(socket, &QUdpSocket::readyRead, this, &tcSiteLocateZL::slot_DatagramAvailable);
    }
    sentQuery = false;
    running = true;
    remaining = repeats;
    slot_timeout();
    timer->start(intervalMs);
}

void tcSiteLocateZL::slot_timeout()
{
    const qint32 before = remaining--;
    if (before < 1) {
        running = false;
        timer->stop();
        closeSockets(m_sockets);
        return;
    }
    const QByteArray request = bridgeRequest();
    for (QUdpSocket* socket : qAsConst(m_sockets)) {
        if (socket->writeDatagram(request, kGroup, kPort) == request.size())
            sentQuery = true;
        else
            qDebug("%srequest not sent from %s: %s", qPrintable(kLogPrefix),
                   qPrintable(socket->localAddress().toString()), qPrintable(socket->errorString()));
    }
}

void tcSiteLocateZL::slot_DatagramAvailable()
{
    auto* socket = qobject_cast<QUdpSocket*>(sender());
    QByteArray datagram;
    while (running && nextDatagram(socket, datagram, kLogPrefix)) {
        if (std::unique_ptr<tcVideoDevice> device = parseBridgeReply(datagram, params.data()))
            reportDevice(device.release());
    }
}

void tcSiteLocateZL::slot_SocketError(QAbstractSocket::SocketError acSocketError)
{
    qDebug("%sProblem with UDP connection: socket error %d", qPrintable(kLogPrefix), int(acSocketError));
}
