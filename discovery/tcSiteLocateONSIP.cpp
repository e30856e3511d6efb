#include "tcSiteLocateONSIP.h"

#include "tcONSIPCodec.h"

#include <QUdpSocket>

tcSiteLocateONSIP::tcSiteLocateONSIP(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : tcSpecificLocator(apParent, std::move(apParams))
{
}

bool tcSiteLocateONSIP::openSockets(QList<QUdpSocket*>& sockets)
{
    auto* socket = new QUdpSocket(this);
    if (socket->bind(QHostAddress::AnyIPv4, kPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        enlargeReceiveBuffer(socket, logPrefix());
        sockets.append(socket);
    } else {
        qWarning("%sUnable to bind to 0.0.0.0:%u", qPrintable(logPrefix()), unsigned(kPort));
        qDebug("%sbind error: %s", qPrintable(logPrefix()), qPrintable(socket->errorString()));
        delete socket;
    }
    return true;
}

QList<QHostAddress> tcSiteLocateONSIP::destinations() const
{
    return interfaces().restricted ? interfaces().broadcasts : QList<QHostAddress>{destination()};
}

QByteArray tcSiteLocateONSIP::query(int) const
{
    return buildONSIPRequest();
}

tcDeviceRecords tcSiteLocateONSIP::parseReply(const QByteArray& abaDatagram, const QHostAddress&) const
{
    return records(parseONSIPReply(abaDatagram, params.data()));
}
