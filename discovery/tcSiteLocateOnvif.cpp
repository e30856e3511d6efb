#include "tcSiteLocateOnvif.h"

#include "tcInterfaceSockets.h"
#include "tcOnvifCodec.h"
#include "tcSiteLocate.h"

#include <QUuid>

tcSiteLocateOnvif::tcSiteLocateOnvif(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apParent, std::move(apParams))
{
}

bool tcSiteLocateOnvif::openSockets(QList<QUdpSocket*>& sockets)
{
    // Runs even with no socket bound: the count and the timer go on as usual.
    sockets = openInterfaceSockets(this, interfaces().addresses, logPrefix());
    return true;
}

QHostAddress tcSiteLocateOnvif::destination() const
{
    return QHostAddress(QStringLiteral("239.255.255.250"));
}

QByteArray tcSiteLocateOnvif::query(int acCount) const
{
    return buildProbe(probeTypeForCount(acCount), QUuid::createUuid());
}

tcDeviceRecords tcSiteLocateOnvif::parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const
{
    return parseProbeMatches(abaDatagram, params.data(), sender);
}
