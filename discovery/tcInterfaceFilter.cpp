#include "tcInterfaceFilter.h"

#include <algorithm>

QString interfaceSkipReason(const tcInterfaceInfo& info)
{
    if (!(info.flags & QNetworkInterface::IsUp))
        return QStringLiteral("down");
    if (info.flags & QNetworkInterface::IsLoopBack)
        return QStringLiteral("loopback");
    if (info.flags & QNetworkInterface::IsPointToPoint)
        return QStringLiteral("point-to-point");
    // Hypervisor and tunnel adapters lead to no camera and would only add noise.
    for (const char* word : {"vmware", "virtual", "loopback", "pseudo"}) {
        if (info.humanReadableName.contains(QLatin1String(word), Qt::CaseInsensitive))
            return QStringLiteral("virtual adapter (name contains \"%1\")").arg(QLatin1String(word));
    }
    const bool hasIpv4 =
        std::any_of(info.entries.cbegin(), info.entries.cend(), [](const QNetworkAddressEntry& e) {
            return e.ip().protocol() == QAbstractSocket::IPv4Protocol;
        });
    return hasIpv4 ? QString() : QStringLiteral("no IPv4 address");
}

namespace {

// Whether `only` names the interface (an empty `only` admits every interface).
bool interfaceAdmitted(const QStringList& only, const tcInterfaceInfo& info)
{
    return only.isEmpty() || only.contains(info.humanReadableName) ||
           (!info.name.isEmpty() && only.contains(info.name));
}

} // namespace

QList<tcInterfaceChoice> chooseInterfaces(const QList<tcInterfaceInfo>& interfaces, const QStringList& only)
{
    QList<tcInterfaceChoice> choices;
    for (const tcInterfaceInfo& info : interfaces) {
        tcInterfaceChoice choice{info, interfaceSkipReason(info), {}};
        if (choice.skipReason.isEmpty() && !interfaceAdmitted(only, info))
            choice.skipReason = QStringLiteral("not among the chosen interfaces");
        if (choice.skipReason.isEmpty()) {
            for (const QNetworkAddressEntry& entry : info.entries) {
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                    choice.ipv4.append(entry);
            }
        }
        choices.append(choice);
    }
    return choices;
}

QList<QHostAddress> chosenAddresses(const QList<tcInterfaceChoice>& choices)
{
    QList<QHostAddress> addresses;
    for (const tcInterfaceChoice& choice : choices) {
        for (const QNetworkAddressEntry& entry : choice.ipv4)
            addresses.append(entry.ip());
    }
    return addresses;
}

QVector<tcSubnet> chosenSubnets(const QList<tcInterfaceChoice>& choices)
{
    QVector<tcSubnet> subnets;
    for (const tcInterfaceChoice& choice : choices) {
        for (const QNetworkAddressEntry& entry : choice.ipv4)
            subnets.append({entry.ip().toIPv4Address(), entry.prefixLength()});
    }
    return subnets;
}

QList<tcInterfaceInfo> hostInterfaces()
{
    QList<tcInterfaceInfo> result;
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        const QString name = iface.name() == iface.humanReadableName() ? QString() : iface.name();
        result.append(
            {iface.humanReadableName(), iface.flags(), iface.addressEntries(), name, iface.index()});
    }
    return result;
}

tcInterfaceSnapshot tcInterfaceSnapshot::of(const QList<tcInterfaceChoice>& choices, bool restricted)
{
    tcInterfaceSnapshot snapshot;
    snapshot.restricted = restricted;
    snapshot.addresses = chosenAddresses(choices);
    snapshot.subnets = chosenSubnets(choices);
    for (const tcInterfaceChoice& choice : choices) {
        if (!choice.skipReason.isEmpty())
            continue;
        for (const QNetworkAddressEntry& entry : choice.ipv4) {
            if (!entry.broadcast().isNull())
                snapshot.broadcasts.append(entry.broadcast());
        }
        if (restricted) {
            snapshot.admitted.insert(choice.info.index);
            snapshot.chosen.append(QNetworkInterface::interfaceFromIndex(choice.info.index));
        }
    }
    return snapshot;
}

tcInterfaceSnapshot tcInterfaceSnapshot::take(const QStringList& names)
{
    return of(chooseInterfaces(hostInterfaces(), names), !names.isEmpty());
}
