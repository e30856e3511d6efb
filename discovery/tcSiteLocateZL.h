#pragma once
// Finds the maker's bridges: a fixed request multicast from every interface, answered by
// one JSON object per bridge.

#include "tcSpecificLocator.h"

#include <QAbstractSocket>
#include <QList>

class tcSiteLocateZL : public tcSpecificLocator
{
    Q_OBJECT
public:
    tcSiteLocateZL(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams);
    ~tcSiteLocateZL() override;

    // Ignored while running, so one discovery cycle sends one series of requests.
    void start(int repeats, int intervalMs) override;

public slots:
    void slot_timeout() override;
    void slot_DatagramAvailable();
    void slot_SocketError(QAbstractSocket::SocketError acSocketError);

private:
    QList<QUdpSocket*> m_sockets;
};
