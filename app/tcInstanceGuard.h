#pragma once
// One running copy per program and user: the first copy takes a lock file and listens
// on a local socket; a later copy finds the lock taken and hands its message to the
// first one through the socket. A first copy that died leaves its lock and socket
// behind; the lock names its process, so the next start sees it is stale and takes over.

#include <QObject>
#include <QScopedPointer>
#include <QString>

class QLocalServer;
class QLockFile;

class tcInstanceGuard : public QObject
{
    Q_OBJECT
public:
    // programPath decides what counts as the same program; directory holds the lock
    // file and the socket.
    tcInstanceGuard(const QString& programPath, const QString& directory, QObject* apParent = nullptr);
    ~tcInstanceGuard() override;

    // The name shared by the lock file and the socket: derived from the program path
    // and the user, so two users or two installed copies never meet.
    static QString keyFor(const QString& programPath, const QString& user = currentUser());

    // Who runs this process: the user id where there is one, else the account name.
    static QString currentUser();

    // True when this copy is the first one (holds the lock).
    bool isPrimary() const { return m_primary; }

    // Sends message to the first copy; true only when it acknowledged it within
    // timeoutMs. Always false in the first copy itself, and when the lock could not be
    // checked at all (no other copy can be told then).
    bool sendMessage(const QString& message, int timeoutMs);

signals:
    void messageReceived(const QString& message);

private:
    void slot_newConnection();

    QString m_socketPath;
    QScopedPointer<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_primary = false;
    bool m_otherRuns = false; // the lock is held by a running copy
};
