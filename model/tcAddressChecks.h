#pragma once
// Address mistakes an installer should see before they cost a site visit: a device whose
// address no probed network reaches, and a static plan that hands out an address another
// listed device already holds. Pure functions over addresses, no sockets.

#include "tcAddressRange.h"

#include <QList>
#include <QString>
#include <QVector>

// An IPv4 subnet of a local interface: its address (host order) and prefix length.
struct tcSubnet
{
    quint32 address = 0;
    int prefixLength = 32;

    bool contains(quint32 host) const;
    QString text() const; // "10.99.0.0/16"
};

// The networks a discovery cycle reached: the subnets of the interfaces it queried on,
// and the ranges it probed by unicast (reached through a router).
struct tcProbedNetworks
{
    QVector<tcSubnet> subnets;
    QList<tcAddressRange> ranges;
};

// Whether a device at `address` answered from outside every probed subnet and range: a
// multicast or broadcast reply crosses subnets on one cable, but without a route the
// device's web page and configuration requests do not. An address that is not a valid
// IPv4 address is never flagged; there is nothing to say about it.
bool isOtherSubnet(const QString& address, const tcProbedNetworks& networks);

// A listed device as the plan check sees it.
struct tcHeldAddress
{
    QString address;
    QString name;
    QString mac;
};

// The devices of `held` whose address is one a static plan may hand out: `count`
// consecutive addresses from `first` (host order), advancing the last byte only, as the
// network settings dialog does. In address order, then in the given order.
QVector<tcHeldAddress> planConflicts(quint32 first, int count, const QVector<tcHeldAddress>& held);

// "Name (MAC)", leaving out what is unknown; "(no name)" when both are.
QString deviceLabel(const QString& name, const QString& mac);
