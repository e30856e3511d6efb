#pragma once
// The PQ-series locator: multicasts the 140-byte "MHED" query to 234.55.55.55:23456 and
// listens on port 23456 as a member of 234.55.55.56 for replies of at least 240 bytes.

#include "tcSpecificLocator.h"

#include <QAbstractSocket>
#include <QByteArray>

#include <memory>

class QUdpSocket;

// The query, a constant.
QByteArray buildPQQuery();
// The device a reply describes, or null for a datagram that is not a reply (shorter than
// 240 bytes or not starting with "MHED"; the query itself is one). Logs nothing. Pure.
std::unique_ptr<tcVideoDevice> parsePQReply(const QByteArray& abaDatagram, const tcLocateParams* apParams);

class tcSiteLocatePQSeries : public tcSpecificLocator
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 23456;
    static const char kQueryGroup[]; // where the query goes
    static const char kReplyGroup[]; // where the replies come from

    tcSiteLocatePQSeries(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams);
    ~tcSiteLocatePQSeries() override;

    void start(int repeats, int intervalMs) override;
    // Releases the socket at once so the devices can be reconfigured; the timer's next
    // tick, finding no socket, stops the timer.
    void stop() override;

public slots:
    void slot_timeout() override;
    void slot_DataAvailable();
    void slot_SocketError(QAbstractSocket::SocketError acSocketError);

private:
    bool openSocket();
    void closeSocket();

    QUdpSocket* m_socket = nullptr;
};
