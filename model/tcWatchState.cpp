#include "tcWatchState.h"

#include <algorithm>

QString watchEventText(tcWatchEvent::Kind kind)
{
    switch (kind) {
    case tcWatchEvent::Found: return QStringLiteral("found");
    case tcWatchEvent::Offline: return QStringLiteral("offline");
    case tcWatchEvent::Online: return QStringLiteral("online");
    case tcWatchEvent::Moved: return QStringLiteral("moved");
    case tcWatchEvent::Changed: return QStringLiteral("changed");
    }
    return QString();
}

int tcWatchState::onlineCount() const
{
    return int(
        std::count_if(m_entries.cbegin(), m_entries.cend(), [](const tcEntry& e) { return e.online; }));
}

QString tcWatchState::keyOf(const tcVideoDevice& device)
{
    if (!device.macAddress.isEmpty())
        return QLatin1String("mac:") + macText(device.macAddress);
    if (!device.endpoint.isEmpty())
        return QLatin1String("ep:") + device.endpoint;
    return QLatin1String("ip:") + device.ipAddress;
}

bool tcWatchState::toldOtherwise(tcEntry& entry, const tcVideoDevice& report)
{
    // Only what the report carries counts: a reply without a firmware text or an address
    // mode says nothing about them. The web port is left out: the protocols of one device
    // name different ones.
    tcTold& told = entry.told;
    bool changed = false;
    const auto text = [&changed](QString& known, const QString& now) {
        if (now.isEmpty())
            return;
        changed = changed || (!known.isEmpty() && known != now);
        known = now;
    };
    text(told.siteName, report.siteName);
    text(told.model, report.model);
    text(told.firmware, report.firmware);
    if (report.addressMode != kAddressModeUnknown) {
        changed =
            changed || (told.addressMode != kAddressModeUnknown && told.addressMode != report.addressMode);
        told.addressMode = report.addressMode;
    }
    return changed;
}

int tcWatchState::addEntry(const QString& key, const tpVideoDevice& device, qint64 now)
{
    tcEntry entry;
    entry.key = key;
    entry.device = device;
    entry.address = device->ipAddress;
    entry.endpoint = device->endpoint;
    entry.firstSeen = entry.lastSeen = now;
    entry.heard = true;
    toldOtherwise(entry, *device);
    m_entries.append(entry);
    m_byKey.insert(key, m_entries.size() - 1);
    return m_entries.size() - 1;
}

QVector<tcWatchEvent> tcWatchState::report(const tpVideoDevice& device, qint64 now)
{
    QVector<tcWatchEvent> events;
    if (!device)
        return events;
    const QString key = keyOf(*device);
    const auto known = m_byKey.constFind(key);
    if (known == m_byKey.cend()) {
        const int index = addEntry(key, device, now);
        events.append({tcWatchEvent::Found, index, device->ipAddress, QString(), now});
        return events;
    }
    const int index = *known;
    tcEntry& entry = m_entries[index];
    if (device->ipAddress != entry.address && !device->ipAddress.isEmpty()) {
        // The same MAC at another address: decided at the period's end.
        m_elsewhere.insert(index, device);
        return events;
    }
    if (!entry.online) {
        entry.online = true;
        events.append({tcWatchEvent::Online, index, entry.address, QString(), now});
    }
    if (toldOtherwise(entry, *device))
        events.append({tcWatchEvent::Changed, index, entry.address, QString(), now});
    hear(entry, device, now);
    return events;
}

void tcWatchState::hear(tcEntry& entry, const tpVideoDevice& device, qint64 now)
{
    entry.device = device;
    entry.lastSeen = now;
    entry.missed = 0;
    entry.heard = true;
    if (!device->endpoint.isEmpty())
        entry.endpoint = device->endpoint;
}

QVector<tcWatchEvent> tcWatchState::bye(const QString& endpoint, qint64 now)
{
    QVector<tcWatchEvent> events;
    for (int index = 0; index < m_entries.size(); ++index) {
        tcEntry& entry = m_entries[index];
        if (entry.online && !endpoint.isEmpty() && entry.endpoint == endpoint) {
            entry.online = false;
            entry.heard = false;
            events.append({tcWatchEvent::Offline, index, entry.address, QString(), now});
        }
    }
    return events;
}

QVector<tcWatchEvent> tcWatchState::endPeriod(qint64 now)
{
    QVector<tcWatchEvent> events;
    for (auto it = m_elsewhere.cbegin(); it != m_elsewhere.cend(); ++it) {
        tcEntry& entry = m_entries[it.key()];
        const tpVideoDevice& report = it.value();
        const QString twinKey = entry.key + QLatin1Char('@') + report->ipAddress;
        const auto twin = m_byKey.constFind(twinKey);
        if (twin != m_byKey.cend()) {
            // The second device of a conflict, heard again: whether or not the first one
            // is, nothing has moved.
            hear(m_entries[*twin], report, now);
        } else if (entry.heard) {
            // Heard at its own address too: a second device with the same MAC, listed
            // apart and marked, never a move.
            entry.conflict = true;
            const int index = addEntry(twinKey, report, now);
            m_entries[index].conflict = true;
            events.append({tcWatchEvent::Found, index, report->ipAddress, QString(), now});
        } else {
            const QString from = entry.address;
            entry.address = report->ipAddress;
            hear(entry, report, now);
            entry.online = true;
            events.append({tcWatchEvent::Moved, it.key(), entry.address, from, now});
        }
    }
    m_elsewhere.clear();
    for (int index = 0; index < m_entries.size(); ++index) {
        tcEntry& entry = m_entries[index];
        if (!entry.heard && entry.online && ++entry.missed >= kMissedPeriods) {
            entry.online = false;
            events.append({tcWatchEvent::Offline, index, entry.address, QString(), now});
        }
        entry.heard = false;
    }
    return events;
}
