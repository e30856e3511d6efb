#include "tcAddressChecks.h"

#include "tcIPv4.h"

#include <QHostAddress>

#include <algorithm>

namespace {

quint32 prefixMask(int prefixLength)
{
    if (prefixLength <= 0)
        return 0;
    if (prefixLength >= 32)
        return 0xffffffffu;
    return ~0u << (32 - prefixLength);
}

} // namespace

bool tcSubnet::contains(quint32 host) const
{
    const quint32 mask = prefixMask(prefixLength);
    return (host & mask) == (address & mask);
}

QString tcSubnet::text() const
{
    return QStringLiteral("%1/%2")
        .arg(QHostAddress(address & prefixMask(prefixLength)).toString())
        .arg(prefixLength);
}

bool isOtherSubnet(const QString& address, const tcProbedNetworks& networks)
{
    const std::optional<quint32> parsed = parseIPv4(address);
    if (!parsed)
        return false;
    const quint32 host = *parsed;
    const bool inSubnet = std::any_of(networks.subnets.cbegin(), networks.subnets.cend(),
                                      [host](const tcSubnet& subnet) { return subnet.contains(host); });
    const bool inRange = std::any_of(networks.ranges.cbegin(), networks.ranges.cend(),
                                     [host](const tcAddressRange& range) { return range.contains(host); });
    return !inSubnet && !inRange;
}

QVector<tcHeldAddress> planConflicts(quint32 first, int count, const QVector<tcHeldAddress>& held)
{
    QVector<tcHeldAddress> conflicts;
    if (count <= 0)
        return conflicts;
    // A plan too long for its last byte is refused before it runs; until then it ends at .255.
    const quint32 last =
        planFits(first, quint32(count)) ? planAddress(first, quint32(count) - 1) : first | 0xffu;
    QVector<QPair<quint32, tcHeldAddress>> found;
    for (const tcHeldAddress& device : held) {
        const std::optional<quint32> host = parseIPv4(device.address);
        if (host && *host >= first && *host <= last)
            found.append({*host, device});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : qAsConst(found))
        conflicts.append(entry.second);
    return conflicts;
}

QString deviceLabel(const QString& name, const QString& mac)
{
    if (name.isEmpty() && mac.isEmpty())
        return QStringLiteral("(no name)");
    if (mac.isEmpty())
        return name;
    if (name.isEmpty())
        return mac;
    return QStringLiteral("%1 (%2)").arg(name, mac);
}
