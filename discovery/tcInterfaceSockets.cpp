#include "tcInterfaceSockets.h"

#include "tcSpecificLocator.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

QList<QUdpSocket*> openInterfaceSockets(QObject* apParent, const QString& logPrefix)
{
    QList<QUdpSocket*> sockets;
    const QList<QHostAddress> addresses = locatorAddresses();
    for (const QHostAddress& address : addresses) {
        auto* socket = new QUdpSocket(apParent);
        if (!socket->bind(address, 0, QAbstractSocket::DontShareAddress)) {
            qDebug("%sbinding to %s failed (%s); trying 0.0.0.0", qPrintable(logPrefix),
                   qPrintable(address.toString()), qPrintable(socket->errorString()));
            if (!socket->bind(QHostAddress(QStringLiteral("0.0.0.0")), 0,
                              QAbstractSocket::DontShareAddress)) {
                qDebug("%sbinding to 0.0.0.0 failed (%s)", qPrintable(logPrefix),
                       qPrintable(socket->errorString()));
                qWarning("Unable to bind to local address: %s", qPrintable(address.toString()));
                delete socket;
                continue;
            }
        }
        enlargeReceiveBuffer(socket, logPrefix);
        sockets.append(socket);
    }
    return sockets;
}

void closeSockets(QList<QUdpSocket*>& sockets)
{
    for (QUdpSocket* socket : qAsConst(sockets)) {
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    }
    sockets.clear();
}

bool nextDatagram(QUdpSocket* apSocket, QByteArray& abaDatagram, const QString& logPrefix)
{
    if (!apSocket || !apSocket->hasPendingDatagrams())
        return false;
    const QNetworkDatagram datagram = apSocket->receiveDatagram();
    if (!datagram.isValid()) {
        qDebug("%sreading a datagram failed: %s", qPrintable(logPrefix), qPrintable(apSocket->errorString()));
        return false;
    }
    abaDatagram = datagram.data();
    return true;
}
