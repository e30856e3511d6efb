#pragma once
// The Norvo 1.0 locator: broadcasts the 48-byte request to port 65534 from a socket bound
// to that port and reports every acceptable reply as a Norvo1Cam device.

#include "tcSpecificLocator.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>

#include <memory>

class QUdpSocket;

// The device a received datagram describes, or null when the datagram is skipped (its
// reason logged, except for requests, which are the locator's own broadcast coming back).
// Pure: the locator and the fuzzer hand it bytes.
std::unique_ptr<tcVideoDevice> parseNorvoReply(const QByteArray& abaDatagram, const tcLocateParams* apParams);

class tcSiteLocateONSIP : public tcSpecificLocator
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 65534;

    tcSiteLocateONSIP(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams);
    ~tcSiteLocateONSIP() override;

    // Unlike the other locators it does not ignore a start while running: it rebinds and
    // restarts the cycle, and keeps the cycle even when the bind fails.
    void start(int repeats, int intervalMs) override;

public slots:
    void slot_timeout() override;
    void slot_DataAvailable();
    void slot_SocketError(QAbstractSocket::SocketError acSocketError);

private:
    void closeSockets();

    QList<QUdpSocket*> m_sockets;
    QByteArray m_request;
};
