#pragma once
// Unicast probing of address ranges: one query to one port of every host, at a steady
// pace, through a socket a locator owns, so that the replies reach that locator's reading
// and are parsed and merged like replies to its multicast. Multicast and broadcast stop at
// the first router; a unicast query is routed like any other packet.

#include "tcAddressRange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

#include <QUdpSocket>

class tcRangeProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultRate = 1000; // hosts per second
    static constexpr int kMaxRate = 100000;
    // How long the replies to the last query are waited for.
    static constexpr int kReplyWaitMs = 1000;

    // query is asked once per host, so each can carry fresh bytes (a Probe's MessageID).
    // The socket stays the caller's; should it go during the sweep, the hosts left are
    // given up.
    tcRangeProbe(QUdpSocket* apSocket, const tcAddressRanges& ranges, quint16 port, int hostsPerSecond,
                 std::function<QByteArray()> query, const QString& logPrefix, QObject* apParent = nullptr);

    void start();
    // Ends the sweep at once, without the wait for replies; no signal follows.
    void stop();

    // From start() until one second after the last query (or stop()).
    bool isActive() const { return m_active; }
    quint32 sentHosts() const { return m_next; }
    quint32 hostCount() const { return m_ranges.hostCount(); }

signals:
    // Queries sent so far (written or given up), at most once per pacing tick.
    void sig_progress(quint32 done, quint32 total);
    // One second after the last query.
    void sig_finished();

private slots:
    void slot_tick();

private:
    void nextHost();

    QPointer<QUdpSocket> m_socket;
    tcAddressRanges m_ranges;
    quint16 m_port;
    int m_rate;
    std::function<QByteArray()> m_query;
    QString m_logPrefix;
    QTimer m_tick;
    QTimer m_replyWait;
    QElapsedTimer m_clock;
    quint32 m_next = 0;     // index of the next host
    quint32 m_paceBase = 0; // the host index at which m_clock was last started
    bool m_active = false;
    QByteArray m_pendingQuery; // the next host's query, null until built
    QElapsedTimer m_stalled;   // since the send buffer was first found full for the next host
    int m_failures = 0;
};
