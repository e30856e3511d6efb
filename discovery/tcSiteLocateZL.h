#pragma once
// Finds the maker's bridges: a fixed request multicast from every interface, answered by
// one JSON object per bridge.

#include "tcSpecificLocator.h"

class tcSiteLocateZL : public tcSpecificLocator
{
    Q_OBJECT
public:
    tcSiteLocateZL(QObject* apParent, QSharedPointer<tcLocateParams> apParams);

    // Devices answer a query sent to their own address too.
    bool reachesOtherSubnets() const override { return true; }
    QString name() const override { return QStringLiteral("Bridge"); }

protected:
    bool openSockets(QList<QUdpSocket*>& sockets) override;
    tcStartRule startRule() const override { return tcStartRule::IgnoreWhileRunning; }
    QHostAddress destination() const override;
    quint16 port() const override { return 3704; }
    QByteArray query(int acCount) const override;
    tcDeviceRecords parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const override;
};
