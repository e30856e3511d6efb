#include "tcRangeProbe.h"

#include <QUdpSocket>

namespace {
// The pace is kept by sending what is due every few milliseconds: at 1,000 hosts per
// second that is 5 queries a tick, small enough for no switch or device to see a burst.
constexpr int kTickMs = 5;
constexpr int kCatchUpTicks = 4;
constexpr int kStallLimitMs = 10000;
} // namespace

tcRangeProbe::tcRangeProbe(QUdpSocket* apSocket, const tcAddressRanges& ranges, quint16 port,
                           int hostsPerSecond, std::function<QByteArray()> query, const QString& logPrefix,
                           QObject* apParent)
    : QObject(apParent), m_socket(apSocket), m_ranges(ranges), m_port(port),
      m_rate(qBound(1, hostsPerSecond, kMaxRate)), m_query(std::move(query)), m_logPrefix(logPrefix)
{
    m_tick.setTimerType(Qt::PreciseTimer);
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, &tcRangeProbe::slot_tick);
    m_replyWait.setSingleShot(true);
    m_replyWait.setTimerType(Qt::PreciseTimer);
    m_replyWait.setInterval(kReplyWaitMs);
    connect(&m_replyWait, &QTimer::timeout, this, [this] {
        m_active = false;
        if (m_failures > 0)
            qDebug("%s%d of %u unicast queries could not be sent", qPrintable(m_logPrefix), m_failures,
                   hostCount());
        emit sig_finished();
    });
}

void tcRangeProbe::start()
{
    stop();
    m_next = 0;
    m_paceBase = 0;
    m_failures = 0;
    m_stalled.invalidate();
    m_pendingQuery = QByteArray();
    m_active = true;
    m_clock.start();
    m_tick.start();
    slot_tick();
}

void tcRangeProbe::stop()
{
    m_tick.stop();
    m_replyWait.stop();
    m_active = false;
}

void tcRangeProbe::nextHost()
{
    ++m_next;
    m_pendingQuery = QByteArray();
    m_stalled.invalidate();
}

void tcRangeProbe::slot_tick()
{
    const quint32 total = hostCount();
    const quint32 before = m_next;
    if (!m_socket) { // closed under the sweep: nothing more can be sent
        m_failures += int(total - m_next);
        m_next = total;
    }
    // Hosts due by now at the steady pace, the first at once.
    const quint64 due = qMin<quint64>(
        total, m_paceBase + quint64(m_clock.nsecsElapsed()) * quint64(m_rate) / 1000000000u + 1);
    // A late tick makes up for a few ticks at most: a longer stall of the event loop is
    // not made up for with a burst, the pace restarts from where the sweep is.
    const quint32 burst = quint32(qMax(1, m_rate * kCatchUpTicks * kTickMs / 1000));
    const quint32 end = quint32(qMin<quint64>(due, quint64(m_next) + burst));
    while (m_next < end) {
        if (m_pendingQuery.isNull()) // a host tried again gets the same bytes
            m_pendingQuery = m_query();
        const QHostAddress host(m_ranges.hostAt(m_next));
        if (m_socket->writeDatagram(m_pendingQuery, host, m_port) == m_pendingQuery.size()) {
            nextHost();
            continue;
        }
        // A full send buffer is back-pressure, not a fault: queries to hosts of the local
        // link wait in the kernel until their address is resolved or found absent (about
        // 3 s). The host is tried again next tick, and given up only when the buffer
        // stays full for far longer than that.
        if (m_socket->error() == QAbstractSocket::TemporaryError) {
            if (!m_stalled.isValid())
                m_stalled.start();
            if (!m_stalled.hasExpired(kStallLimitMs))
                break;
        }
        if (m_failures++ == 0)
            qDebug("%sunicast query to %s:%u not sent: %s", qPrintable(m_logPrefix),
                   qPrintable(host.toString()), m_port, qPrintable(m_socket->errorString()));
        nextHost();
    }
    if (due > end) {
        m_paceBase = m_next;
        m_clock.restart();
    }
    if (m_next != before)
        emit sig_progress(m_next, total);
    if (m_next >= total && m_tick.isActive()) {
        m_tick.stop();
        m_replyWait.start();
    }
}
