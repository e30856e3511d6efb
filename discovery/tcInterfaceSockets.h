#pragma once
// The UDP sockets of the locators that query from every chosen local interface (ONVIF
// and bridge).

#include <QHostAddress>
#include <QList>
#include <QString>

class QObject;
class QUdpSocket;

// One socket per address, bound to that address (or, failing that, to 0.0.0.0) on a free
// port, with an enlarged receive buffer. A socket that binds nowhere is dropped with a
// warning; the result may be empty.
QList<QUdpSocket*> openInterfaceSockets(QObject* apParent, const QList<QHostAddress>& addresses,
                                        const QString& logPrefix);
