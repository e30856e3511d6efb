#pragma once
// Serves the configuration paths and the ONVIF device service of every simulated device
// on its own address(es) and port, playing its login mode and fault. Socket work only;
// the decisions are in tcSimLogin, tcSimConfigApi and tcSimOnvifService.

#include "tcSimDevice.h"

#include <QObject>
#include <QSet>
#include <QTimer>

class QTcpServer;
class QTcpSocket;

struct tcSimHttpOptions
{
    bool logRequests = false;
    int timeoutMs = 10000;     // an idle or unfinished request is dropped after this
    int maxConnections = 4096; // beyond this, new connections are closed at once
    int replyDelayMs = 0;      // every reply this much later, as a camera's processing time
};

class tcSimHttpServer : public QObject
{
    Q_OBJECT
public:
    tcSimHttpServer(const tcSimDevices& devices, const tcSimHttpOptions& options, QObject* parent = nullptr);

    // Listens for every device that serves HTTP (a device playing "closed-port" gets no
    // listener). False, with the reason in *error, when an address cannot be bound.
    bool listen(QString* error);
    // Also serves the device on this address (one it moved to); true when it already did.
    bool listenOn(tcSimDevice* device, const QHostAddress& address, QString* error);
    int listenerCount() const { return m_listeners; }

signals:
    // The device went down for a reboot (its connections are closed); whoever owns the
    // clock brings it back with finishReboot after its rebootMs.
    void deviceRebooting(tcSimDevice* device);
    // An accepted write changed the device's state (its address, perhaps).
    void deviceChanged(tcSimDevice* device);

private:
    void accept(QTcpServer* server, tcSimDevice* device);

    const tcSimDevices& m_devices;
    tcSimHttpOptions m_options;
    int m_listeners = 0;
    int m_connections = 0;
    QSet<QString> m_served; // "address:port" listened on
};

// One client connection to one device: parses requests as they arrive and answers them
// in order (persistent connections and pipelining as HTTP/1.1 has them).
class tcSimHttpConnection : public QObject
{
    Q_OBJECT
public:
    tcSimHttpConnection(QTcpSocket* socket, tcSimDevice* device, const tcSimHttpOptions& options,
                        QObject* parent);

    // Closes the connection at once when its device is down for a reboot.
    void dropIfRebooting();

signals:
    void rebootRequested();
    // An accepted write changed the device's state.
    void changed();

private slots:
    void slot_readyRead();

private:
    // False when the connection takes no further requests.
    bool answer(const struct tcHttpRequest& request);
    void fail(int status);

    QTcpSocket* m_socket;
    tcSimDevice* m_device;
    const tcSimHttpOptions& m_options;
    QByteArray m_buffer;
    QTimer m_timer;
    bool m_continueSent = false;
    bool m_silent = false; // playing "no-answer": reads and discards, never replies
    void streamForever();  // playing "endless-body"
    bool m_closing = false;
    bool m_busy = false; // a delayed reply is still to go out
};
