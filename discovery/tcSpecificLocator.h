#pragma once
// The common frame of every discovery locator: the interfaces of the start, the shared
// parameter record, and the repeat cycle (timer, remaining count, running and sent flags,
// the sockets and their drain loop). A protocol supplies only its sockets, destination,
// port, query, reply parser and its rule for a start while running.

#include "tcAddressRange.h"
#include "tcInterfaceFilter.h"
#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QAbstractSocket>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSharedPointer>

class QNetworkDatagram;
class QTimer;
class QUdpSocket;
class tcRangeProbe;

// Replies of hundreds of devices arrive in the same millisecond after one multicast
// query; a default-sized receive buffer overflows and devices silently go missing. Asks
// for room for 2,000 replies of 2 KB and logs (debug, with prefix) when the kernel grants
// less. Call after bind. Returns the size granted.
constexpr int kDiscoveryReceiveBuffer = 2000 * 2048;
int enlargeReceiveBuffer(QUdpSocket* apSocket, const QString& prefix);

class tcSpecificLocator : public QObject
{
    Q_OBJECT
public:
    tcSpecificLocator(QObject* apParent, QSharedPointer<tcLocateParams> apParams);
    ~tcSpecificLocator() override;

    // Opens the sockets, sends the query at once and then on every tick of `timer`, and
    // closes the sockets at the tick after the last send. A start while running follows
    // the protocol's startRule().
    virtual void start(int repeats, int intervalMs);
    // The interfaces the next start sends on, as the coordinator listed them once for all
    // its locators; a locator started without them lists the host's own.
    void setInterfaces(const tcInterfaceSnapshot& snapshot);
    // Only the PQ-series locator has something to release early.
    virtual void stop() {}

    // The protocol's name in log lines and reply counts ("ONVIF", "Bridge", ...).
    virtual QString name() const = 0;
    bool isRunning() const { return running; }
    // Whether, since the last start, a query has left one of this locator's sockets. A
    // bind to the wildcard address succeeds even where no network interface is up, so a
    // bound socket alone does not tell that the locator can reach any device.
    bool hasSentQuery() const { return sentQuery; }
    // Whether queries of the current run are still to go out after the repeat series, or
    // their replies still awaited: the unicast sweep of the ranges. The discovery cycle
    // waits for them.
    bool isSending() const;
    // Hosts beyond the local segment that each start also queries by unicast, one query
    // per host at hostsPerSecond; taken only by a protocol whose devices answer a unicast
    // query (reachesOtherSubnets()). From the next start.
    void setRanges(const tcAddressRanges& ranges, int hostsPerSecond);
    // Multicast and broadcast stop at the first router: only a protocol whose devices
    // answer a query sent to their own address reaches other subnets.
    virtual bool reachesOtherSubnets() const { return false; }
    // The sweep of the current or last run, null when it had none.
    const tcRangeProbe* sweep() const { return m_sweep; }
    // Replies that reported at least one device since the last start, by the name of the
    // interface they arrived on.
    const QMap<QString, int>& repliesByInterface() const { return m_repliesByInterface; }

signals:
    void sig_found(tpVideoDevice apDvc);
    // More hosts of the ranges were queried.
    void sig_sweepProgress();

public slots:
    virtual void slot_timeout();
    void slot_DatagramAvailable();
    void slot_SocketError(QAbstractSocket::SocketError acSocketError);

protected:
    enum class tcStartRule {
        IgnoreWhileRunning, // one discovery cycle sends one series
        Restart,            // rebinds and counts afresh
    };

    // Binds this protocol's sockets, children of the locator, into `sockets` (empty on
    // entry). False when the locator cannot run at all: start then leaves it idle.
    virtual bool openSockets(QList<QUdpSocket*>& sockets) = 0;
    virtual tcStartRule startRule() const = 0;
    virtual QHostAddress destination() const = 0;
    // Where each query goes; one destination unless the protocol sends several copies.
    virtual QList<QHostAddress> destinations() const { return {destination()}; }
    virtual quint16 port() const = 0;
    // The query sent when `remaining` has just been lowered to acCount.
    virtual QByteArray query(int acCount) const = 0;
    // The devices one received datagram reports; sender is its source address.
    virtual tcDeviceRecords parseReply(const QByteArray& abaDatagram, const QHostAddress& sender) const = 0;
    // How many sends and how far apart, for what the coordinator asks.
    virtual int sendCount(int repeats) const { return repeats; }
    virtual int sendIntervalMs(int intervalMs) const { return intervalMs; }
    // Before the socket error code; the ONVIF locator's line has none.
    virtual QString socketErrorPrefix() const { return logPrefix(); }

    QString logPrefix() const { return name() + QStringLiteral(" discovery: "); }
    // Aborts every socket and schedules it for deletion, so datagrams still queued are
    // never read.
    void closeSockets();
    // Wraps the record and reports it (sig_found).
    void reportDevice(tcVideoDevice* apDevice);
    // A parser's one record, or none, as the list parseReply returns.
    static tcDeviceRecords records(std::unique_ptr<tcVideoDevice> apDevice);

    const tcInterfaceSnapshot& interfaces() const { return m_interfaces; }

    QSharedPointer<tcLocateParams> params;
    QTimer* timer;
    bool running = false;
    qint32 remaining = 0;
    bool sentQuery = false; // cleared by start, set by every query written in full

private:
    void countReply(const QNetworkDatagram& datagram, const QUdpSocket* apSocket);
    // Opens the unicast socket and starts the sweep when there are ranges to take.
    void startSweep(int acFirstCount);
    // The end of a run: after the repeat series and the sweep, whichever ends last.
    void endRun();

    QList<QUdpSocket*> m_sockets;
    tcAddressRanges m_ranges;
    int m_rate = 0;
    // Bound to any address: the routing table chooses the way out and the source address,
    // so replies from beyond a router come back to it.
    QUdpSocket* m_unicastSocket = nullptr;
    tcRangeProbe* m_sweep = nullptr;
    QMap<QString, int> m_repliesByInterface;
    QHash<uint, QString> m_interfaceNames; // by index, for countReply
    tcInterfaceSnapshot m_interfaces;
    bool m_interfacesGiven = false;
};
