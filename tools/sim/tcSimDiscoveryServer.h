#pragma once
// The discovery side of the site: one socket per protocol, every device answering every
// query with its own reply, sent from its own address. Replies go through one send
// queue so that delayed answers (WS-Discovery) and bursts of thousands keep their order
// and survive a full send buffer. Socket work only; the bytes come from tcSimDiscovery.

#include "tcSimDevice.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <map>

class QNetworkDatagram;
class QUdpSocket;

struct tcSimDiscoveryOptions
{
    QNetworkInterface interface;
    // WS-Discovery (April 2005) APP_MAX_DELAY: a target waits a random time up to this
    // before it answers a multicast Probe.
    int onvifMaxDelayMs = 500;
    int spreadMs = 0; // the other protocols' replies spread over this window
    quint32 seed = 1; // for the delays
    bool sendFromDeviceAddress = true;
    int bufferBytes = 8 * 1024 * 1024;
};

class tcSimDiscoveryServer : public QObject
{
    Q_OBJECT
public:
    tcSimDiscoveryServer(const tcSimDevices& devices, const tcSimDiscoveryOptions& options,
                         QObject* parent = nullptr);

    // Binds and joins what the site's devices need. False, with the reason in *error.
    bool start(QString* error);
    // A WS-Discovery Hello or Bye of the device, to the group.
    void announce(const tcSimDevice& device, bool hello);
    QStringList protocols() const { return m_protocols; }

private slots:
    void slot_onvif();
    void slot_bridge();
    void slot_norvo();
    void slot_pq();
    void slot_flush();

private:
    QUdpSocket* open(quint16 port, const QHostAddress& group, QString* error);
    void schedule(QUdpSocket* socket, const tcSimDevice& device, const QByteArray& bytes,
                  const QHostAddress& to, quint16 port, int delayMs);
    int spread();
    // The devices of a protocol that answer a query: all of them for a multicast or
    // broadcast query, the device owning the address for a unicast one.
    QVector<const tcSimDevice*> addressees(const QNetworkDatagram& query, unsigned protocol) const;

    struct Pending
    {
        QUdpSocket* socket;
        QByteArray bytes;
        QHostAddress to;
        quint16 port;
        QHostAddress source; // null: the kernel picks
        int tries;
    };

    const tcSimDevices& m_devices;
    QHash<quint32, QVector<const tcSimDevice*>> m_byAddress; // by address and second address
    tcSimDiscoveryOptions m_options;
    QStringList m_protocols;
    QUdpSocket* m_onvif = nullptr;
    QUdpSocket* m_bridge = nullptr;
    QUdpSocket* m_norvo = nullptr;
    QUdpSocket* m_pq = nullptr;
    QRandomGenerator m_random;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::multimap<qint64, Pending> m_queue; // by due time (ms since start), then by order
    QStringList m_recentProbes;             // message IDs already answered
    quint64 m_dropped = 0;
};
