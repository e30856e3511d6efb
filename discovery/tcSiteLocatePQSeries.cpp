#include "tcSiteLocatePQSeries.h"

#include "tcPQSeriesCodec.h"
#include "tcSiteLocate.h"

#include <QDebug>
#include <QUdpSocket>

const char tcSiteLocatePQSeries::kQueryGroup[] = "234.55.55.55";
const char tcSiteLocatePQSeries::kReplyGroup[] = "234.55.55.56";

tcSiteLocatePQSeries::tcSiteLocatePQSeries(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apParent, std::move(apParams))
{
}

bool tcSiteLocatePQSeries::openSockets(QList<QUdpSocket*>& sockets)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress)) {
        qWarning().noquote() << QStringLiteral("%1Unable to bind to address: 0.0.0.0:%2 / %3:%4")
                                    .arg(logPrefix())
                                    .arg(kPort)
                                    .arg(int(socket->error()))
                                    .arg(socket->errorString());
        delete socket;
        return false;
    }
    enlargeReceiveBuffer(socket, logPrefix());
    const QHostAddress group{QLatin1String(kReplyGroup)};
    // Joined without naming an interface, unless discovery is kept to chosen ones: then
    // on each of them, and the query leaves by the first.
    const QList<QNetworkInterface>& chosen = interfaces().chosen;
    if (!chosen.isEmpty())
        socket->setMulticastInterface(chosen.first());
    bool joined = chosen.isEmpty() ? socket->joinMulticastGroup(group) : true;
    for (const QNetworkInterface& iface : chosen)
        joined = socket->joinMulticastGroup(group, iface) && joined;
    if (!joined)
        qWarning().noquote()
            << QStringLiteral("%1Unable to join multicast group: %2").arg(logPrefix(), group.toString());
    sockets.append(socket);
    return true;
}

void tcSiteLocatePQSeries::stop()
{
    running = false;
    closeSockets();
}

QByteArray tcSiteLocatePQSeries::query(int) const
{
    return buildPQSeriesQuery();
}

tcDeviceRecords tcSiteLocatePQSeries::parseReply(const QByteArray& abaDatagram, const QHostAddress&) const
{
    return records(parsePQSeriesReply(abaDatagram, params.data()));
}
