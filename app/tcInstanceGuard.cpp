#include "tcInstanceGuard.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#elif defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace {
// A message is a 32-bit big-endian byte count and that many bytes of UTF-8; the first
// copy answers a complete message with this one byte.
constexpr char kAck = 'A';
constexpr quint32 kMaxMessage = 64 * 1024;
constexpr int kReadTimeoutMs = 2000;
} // namespace

tcInstanceGuard::tcInstanceGuard(const QString& programPath, const QString& directory, QObject* apParent)
    : QObject(apParent)
{
    const QString key = keyFor(programPath);
    m_socketPath = QDir(directory).absoluteFilePath(key);
    m_lock.reset(new QLockFile(m_socketPath + QStringLiteral(".lock")));
    // Staleness is decided by whether the process named in the lock still runs, never
    // by age: a copy may run for weeks.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_otherRuns = m_lock->error() == QLockFile::LockFailedError;
        if (!m_otherRuns)
            qWarning("single instance: cannot create the lock file %s (error %d); starting anyway",
                     qPrintable(m_socketPath + QStringLiteral(".lock")), int(m_lock->error()));
        return;
    }
    m_primary = true;
    // A socket file left by a copy that was killed would make listen() fail.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &tcInstanceGuard::slot_newConnection);
    if (!m_server->listen(m_socketPath))
        qWarning("single instance: cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
}

tcInstanceGuard::~tcInstanceGuard()
{
    if (m_server)
        m_server->close();
}

QString tcInstanceGuard::currentUser()
{
#if defined(Q_OS_WIN)
    // The account the process runs as, from the system rather than from the environment,
    // which a start script may change.
    wchar_t name[256 + 1];
    DWORD length = DWORD(sizeof name / sizeof name[0]);
    if (::GetUserNameW(name, &length) && length > 0)
        return QString::fromWCharArray(name, int(length) - 1);
    return qEnvironmentVariable("USERNAME");
#elif defined(Q_OS_UNIX)
    return QString::number(::getuid());
#else
    return QDir::homePath();
#endif
}

QString tcInstanceGuard::keyFor(const QString& programPath, const QString& user)
{
    // A user name may hold characters that a file or pipe name cannot.
    const QByteArray hash = QCryptographicHash::hash(
        QDir::cleanPath(programPath).toUtf8() + '\n' + user.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("zephyrlock-%1").arg(QString::fromLatin1(hash.toHex().left(24)));
}

bool tcInstanceGuard::sendMessage(const QString& message, int timeoutMs)
{
    if (!m_otherRuns)
        return false;
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The first copy takes its lock a moment before it listens; keep trying until then.
    for (;;) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
        if (deadline.hasExpired())
            return false;
    }
    const QByteArray payload = message.toUtf8();
    QByteArray frame;
    QDataStream(&frame, QIODevice::WriteOnly) << quint32(payload.size());
    frame += payload;
    if (socket.write(frame) != frame.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char ack = 0;
    return socket.getChar(&ack) && ack == kAck;
}

void tcInstanceGuard::slot_newConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() < 4)
                return;
            quint32 size = 0;
            QDataStream(socket->peek(4)) >> size;
            if (size > kMaxMessage) {
                qWarning("single instance: dropped a message of %u bytes", size);
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < qint64(4 + size))
                return;
            socket->skip(4);
            const QString message = QString::fromUtf8(socket->read(size));
            socket->putChar(kAck);
            socket->flush();
            emit messageReceived(message);
        });
        // A sender that connects and never completes its message is dropped.
        QTimer::singleShot(kReadTimeoutMs, socket, &QLocalSocket::abort);
    }
}
