#pragma once
// What socket tests exchange with zl-udp-responder: reply files it sends, and the
// datagrams it received, read from its "recv <sender>:<port> <hex>" lines. tcRecvLog stamps
// each with the time the test saw the line, so a test can check the spacing of a
// locator's queries; the responder flushes every line at once.

#include "zltest.h"

#include <QElapsedTimer>
#include <QVector>

namespace zltest {

// The responder's "recv" lines as printed, for an exact comparison with what was sent.
inline QStringList recvLines(const QByteArray& output)
{
    QStringList lines;
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("recv "))
            lines << QString::fromLatin1(line);
    }
    return lines;
}

// Starts build/bin/zl-udp-responder on the site side: bound to port, member of group,
// further arguments (--reply FILE, --delay MS, ...) in extra. True once it is ready.
inline bool startUdpResponder(tcSiteProcess& responder, int port, const QString& group,
                              const QStringList& extra)
{
    return responder.start(
        binPath(QStringLiteral("zl-udp-responder")),
        QStringList{QStringLiteral("--port"), QString::number(port), QStringLiteral("--group"), group} +
            extra,
        QStringLiteral("ready"));
}

struct tcReceivedDatagram
{
    QString sender;
    quint16 port = 0;
    QByteArray data;
    qint64 seenAtMs = 0;
};

class tcRecvLog
{
public:
    explicit tcRecvLog(tcSiteProcess& responder) : m_responder(responder)
    {
        m_clock.start();
        QObject::connect(&responder.process(), &QProcess::readyReadStandardOutput, &m_context,
                         [this]() { collect(); });
    }

    const QVector<tcReceivedDatagram>& datagrams()
    {
        collect();
        return m_datagrams;
    }
    int count() { return datagrams().size(); }

private:
    void collect()
    {
        const QByteArray output = m_responder.output();
        int end;
        while ((end = output.indexOf('\n', m_parsed)) >= 0) {
            const QByteArray line = output.mid(m_parsed, end - m_parsed);
            m_parsed = end + 1;
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() != 3 || fields.at(0) != "recv")
                continue;
            const int colon = fields.at(1).lastIndexOf(':');
            m_datagrams.append({QString::fromLatin1(fields.at(1).left(colon)),
                                quint16(fields.at(1).mid(colon + 1).toUInt()),
                                QByteArray::fromHex(fields.at(2)), m_clock.elapsed()});
        }
    }

    tcSiteProcess& m_responder;
    QObject m_context; // ends the connection with the log
    QElapsedTimer m_clock;
    QVector<tcReceivedDatagram> m_datagrams;
    int m_parsed = 0;
};

} // namespace zltest
