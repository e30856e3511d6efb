#pragma once
// The common frame of every discovery locator: the owner coordinator, the shared
// parameter record, the repeat timer, and the helpers every locator's sockets share.

#include "tcAddressChecks.h"
#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>
#include <QObject>
#include <QSharedPointer>

class QTimer;
class QUdpSocket;
class tcSiteLocate;

// One network interface as the interface filter sees it; QNetworkInterface is turned
// into this so the rule can be tested with made-up adapters.
struct tcInterfaceInfo
{
    QString humanReadableName;
    QNetworkInterface::InterfaceFlags flags;
    QList<QHostAddress> addresses;
};

// The local IPv4 addresses on which per-interface sockets bind: interfaces that are up,
// neither loopback nor point-to-point, and not named like a virtual or pseudo adapter.
QList<QHostAddress> filterInterfaceAddresses(const QList<tcInterfaceInfo>& interfaces);
QList<tcInterfaceInfo> hostInterfaces();
QList<QHostAddress> locatorAddresses(); // filterInterfaceAddresses(hostInterfaces())
// The subnets of the addresses locatorAddresses() chooses: the networks a cycle reaches
// without a router.
QVector<tcSubnet> probedSubnets();

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
    tcSpecificLocator(tcSiteLocate* apOwner, QSharedPointer<tcLocateParams> apParams);
    ~tcSpecificLocator() override;

    virtual void start(int repeats, int intervalMs) = 0;
    // Only the PQ-series locator has something to release early.
    virtual void stop() {}

    bool isRunning() const { return running; }
    // Whether, since the last start, a query has left one of this locator's sockets. A
    // bind to the wildcard address succeeds even where no network interface is up, so a
    // bound socket alone does not tell that the locator can reach any device.
    bool hasSentQuery() const { return sentQuery; }

public slots:
    virtual void slot_timeout() = 0;

protected:
    // Wraps the record and reports it through the coordinator's sig_locateFoundSite.
    void reportDevice(tcVideoDevice* apDevice);

    tcSiteLocate* owner;
    QSharedPointer<tcLocateParams> params;
    QTimer* timer;
    bool running = false;
    qint32 remaining = 0;
    bool sentQuery = false; // cleared by start, set by every query written in full
};
