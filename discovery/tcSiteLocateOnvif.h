#pragma once
// Finds ONVIF devices (and the maker's second-generation cameras, which answer ONVIF
// too) by multicasting WS-Discovery Probes and reading the unicast ProbeMatches.

#include "tcSpecificLocator.h"

class tcSiteLocateOnvif : public tcSpecificLocator
{
    Q_OBJECT
public:
    tcSiteLocateOnvif(QObject* apParent, QSharedPointer<tcLocateParams> apParams);

    // Devices answer a query sent to their own address too.
    bool reachesOtherSubnets() const override { return true; }
    QString name() const override { return QStringLiteral("ONVIF"); }

protected:
    bool openSockets(QList<QUdpSocket*>& sockets) override;
    // A start while running rebinds and counts afresh.
    tcStartRule startRule() const override { return tcStartRule::Restart; }
    QHostAddress destination() const override;
    quint16 port() const override { return 3702; }
    QByteArray query(int acCount) const override;
    tcDeviceRecords parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const override;
    // At least 6 Probes at most 500 ms apart, whatever is asked: devices miss single
    // multicasts.
    int sendCount(int repeats) const override { return qMax(repeats, 6); }
    int sendIntervalMs(int intervalMs) const override { return qMin(intervalMs, 500); }
    QString socketErrorPrefix() const override { return QString(); }
};
