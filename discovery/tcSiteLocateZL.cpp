#include "tcSiteLocateZL.h"

#include "tcInterfaceSockets.h"
#include "tcSiteLocate.h"
#include "tcZLCodec.h"

tcSiteLocateZL::tcSiteLocateZL(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apParent, std::move(apParams))
{
}

bool tcSiteLocateZL::openSockets(QList<QUdpSocket*>& sockets)
{
    // Opening counts as done even when no socket could be bound.
    sockets = openInterfaceSockets(this, interfaces().addresses, logPrefix());
    return true;
}

QHostAddress tcSiteLocateZL::destination() const
{
    return QHostAddress(QStringLiteral("239.255.255.250"));
}

QByteArray tcSiteLocateZL::query(int) const
{
    return buildZLRequest();
}

tcDeviceRecords tcSiteLocateZL::parseReply(const QByteArray& abaDatagram, const QHostAddress&) const
{
    return records(parseZLReply(abaDatagram, params.data()));
}
