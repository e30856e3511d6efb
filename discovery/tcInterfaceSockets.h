#pragma once
// The UDP sockets of the locators that query from every local interface (ONVIF and
// bridge): opening one per address, reading, and closing them at the end of a run.

#include <QByteArray>
#include <QList>
#include <QString>

class QObject;
class QUdpSocket;

// One socket per address that locatorAddresses() chooses, bound to that address (or,
// failing that, to 0.0.0.0) on a free port, with an enlarged receive buffer. A socket that
// binds nowhere is dropped with a warning; the result may be empty. The caller connects
// the sockets' signals.
QList<QUdpSocket*> openInterfaceSockets(QObject* apParent, const QString& logPrefix);

// Aborts every socket and schedules it for deletion, so datagrams still queued are never
// read; the list is emptied.
void closeSockets(QList<QUdpSocket*>& sockets);

// Takes the next pending datagram whole. False when none is pending or reading failed
// (logged with logPrefix), so a drain loop always ends.
bool nextDatagram(QUdpSocket* apSocket, QByteArray& abaDatagram, const QString& logPrefix);
