#include "tcInterfaceSockets.h"

#include "tcSpecificLocator.h"

#include <QUdpSocket>

QList<QUdpSocket*> openInterfaceSockets(QObject* apParent, const QList<QHostAddress>& addresses,
                                        const QString& logPrefix)
{
    QList<QUdpSocket*> sockets;
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
