#pragma once
// Finds ONVIF devices (and the maker's second-generation cameras, which answer ONVIF
// too) by multicasting WS-Discovery Probes and reading the unicast ProbeMatches.

#include "tcSpecificLocator.h"

#include <QAbstractSocket>
#include <QList>

class tcSiteLocateOnvif : public tcSpecificLocator
{
    Q_OBJECT
public:
    tcSiteLocateOnvif(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams);
    ~tcSiteLocateOnvif() override;

    // At least 6 Probes at most 500 ms apart, whatever is asked: devices miss single
    // multicasts. A start while running rebinds and counts afresh.
    void start(int repeats, int intervalMs) override;

public slots:
    void slot_timeout() override;
    void slot_DatagramAvailable();
    void slot_SocketError(QAbstractSocket::SocketError acSocketError);

private:
    QList<QUdpSocket*> m_sockets;
};
