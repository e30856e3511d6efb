#include "tcAddressChecks.h"

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

// The address as a host-order number, or nothing for anything but a dotted IPv4 text.
bool ipv4(const QString& text, quint32& host)
{
    bool ok = false;
    const QHostAddress address(text);
    host = address.toIPv4Address(&ok);
    return ok && !text.isEmpty();
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
    quint32 host = 0;
    if (!ipv4(address, host))
        return false;
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
    // The plan never carries into the third byte, so it ends at .255 at the latest.
    const quint32 lastByte = std::min<quint32>(0xff, (first & 0xff) + quint32(count) - 1);
    const quint32 last = (first & ~0xffu) | lastByte;
    QVector<QPair<quint32, tcHeldAddress>> found;
    for (const tcHeldAddress& device : held) {
        quint32 host = 0;
        if (ipv4(device.address, host) && host >= first && host <= last)
            found.append({host, device});
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
