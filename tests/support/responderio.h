#pragma once
// What socket tests exchange with zl-udp-responder: reply files it sends, and the
// "recv <sender>:<port> <hex>" lines it prints for every datagram it receives.

#include <QByteArray>
#include <QFile>
#include <QStringList>

namespace zltest {

inline QStringList recvLines(const QByteArray& output)
{
    QStringList lines;
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("recv "))
            lines << QString::fromLatin1(line);
    }
    return lines;
}

inline bool writeFixture(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace zltest
