#pragma once
// The interface filter rule: which local interfaces discovery uses, and why it skips the
// others. Pure over made-up adapters, so the rule is tested without a host's interfaces.

#include "tcAddressChecks.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QSet>
#include <QString>
#include <QStringList>

// One network interface as the filter sees it.
struct tcInterfaceInfo
{
    QString humanReadableName;
    QNetworkInterface::InterfaceFlags flags;
    QList<QNetworkAddressEntry> entries;
    QString name;  // the system's name (eth0); empty where it equals humanReadableName
    int index = 0; // the system's interface index
};

struct tcInterfaceChoice
{
    tcInterfaceInfo info;
    QString skipReason;               // empty when picked
    QList<QNetworkAddressEntry> ipv4; // the IPv4 entries discovery binds to, when picked
};

// Why the rule skips an interface, or an empty text when it keeps it: it must be up,
// neither loopback nor point-to-point, not named like a virtual or pseudo adapter, and
// hold an IPv4 address.
QString interfaceSkipReason(const tcInterfaceInfo& info);

// Every interface with the rule's verdict, in the host's order. A non-empty `only`
// (names or human-readable names) skips every interface it does not name as well.
QList<tcInterfaceChoice> chooseInterfaces(const QList<tcInterfaceInfo>& interfaces,
                                          const QStringList& only = QStringList());
// The IPv4 addresses of the picked interfaces, in order. (A socket bound to one of them
// sends its multicasts out of that address's interface.)
QList<QHostAddress> chosenAddresses(const QList<tcInterfaceChoice>& choices);
// Their subnets: the networks discovery reaches without a router.
QVector<tcSubnet> chosenSubnets(const QList<tcInterfaceChoice>& choices);

QList<tcInterfaceInfo> hostInterfaces();

// The host's interfaces as one discovery start sees them: listed once per start, so that
// every locator of a cycle sends on the same set and the list judges subnets by it.
struct tcInterfaceSnapshot
{
    QList<QHostAddress> addresses; // per-interface sockets bind to these
    QVector<tcSubnet> subnets;
    // With names given: the interfaces among them the rule picked, and their indexes.
    QList<QNetworkInterface> chosen;
    QSet<int> admitted;
    // Their IPv4 broadcast addresses, for a protocol that broadcasts.
    QList<QHostAddress> broadcasts;
    bool restricted = false;

    // Whether a reply that arrived on this interface (0: not known) is taken; replies that
    // reach the wildcard sockets from interfaces left out are not.
    bool admits(int interfaceIndex) const
    {
        return !restricted || interfaceIndex <= 0 || admitted.contains(interfaceIndex);
    }
    static tcInterfaceSnapshot of(const QList<tcInterfaceChoice>& choices, bool restricted);
    static tcInterfaceSnapshot take(const QStringList& names);
};
