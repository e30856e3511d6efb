#pragma once
// The PQ-series locator: multicasts the 140-byte "MHED" query to 234.55.55.55:23456 and
// listens on port 23456 as a member of 234.55.55.56 for replies of at least 240 bytes.

#include "tcSpecificLocator.h"

class tcSiteLocatePQSeries : public tcSpecificLocator
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 23456;
    static const char kQueryGroup[]; // where the query goes
    static const char kReplyGroup[]; // where the replies come from

    tcSiteLocatePQSeries(QObject* apParent, QSharedPointer<tcLocateParams> apParams);

    QString name() const override { return QStringLiteral("PQ"); }
    // Releases the socket at once so the devices can be reconfigured; the timer's next
    // tick stops the timer.
    void stop() override;

protected:
    // False when the port cannot be bound: the locator then stays idle.
    bool openSockets(QList<QUdpSocket*>& sockets) override;
    tcStartRule startRule() const override { return tcStartRule::IgnoreWhileRunning; }
    QHostAddress destination() const override { return QHostAddress(QLatin1String(kQueryGroup)); }
    quint16 port() const override { return kPort; }
    QByteArray query(int acCount) const override;
    tcDeviceRecords parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const override;
};
