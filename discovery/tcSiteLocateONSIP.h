#pragma once
// The Norvo 1.0 locator: broadcasts the 48-byte request to port 65534 from a socket bound
// to that port and reports every acceptable reply as a Norvo1Cam device.

#include "tcSpecificLocator.h"

class tcSiteLocateONSIP : public tcSpecificLocator
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 65534;

    tcSiteLocateONSIP(QObject* apParent, QSharedPointer<tcLocateParams> apParams);

    QString name() const override { return QStringLiteral("Norvo 1.0"); }

protected:
    // Keeps its cycle even when the bind fails.
    bool openSockets(QList<QUdpSocket*>& sockets) override;
    // Unlike the other locators it does not ignore a start while running: it rebinds and
    // restarts the cycle.
    tcStartRule startRule() const override { return tcStartRule::Restart; }
    QHostAddress destination() const override { return QHostAddress(QHostAddress::Broadcast); }
    // Kept to chosen interfaces, the request goes to each one's own broadcast address: the
    // limited broadcast leaves by whatever interface the system picks.
    QList<QHostAddress> destinations() const override;
    quint16 port() const override { return kPort; }
    QByteArray query(int acCount) const override;
    tcDeviceRecords parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const override;
};
