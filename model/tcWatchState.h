#pragma once
// What a watch of the site knows of each device between discovery cycles, and the events
// a new report, a Bye or the end of a cycle's period make: found, offline, online, moved,
// changed. Pure over reports and times, so the rules are tested over scripted cycles.
//
// A device is known by its MAC, else by its endpoint reference, else by its address. A
// period runs from one cycle's start to the next one's; reports between cycles (a Hello)
// count for the period they arrive in.

#include "tcVideoDevice.h"

#include <QHash>
#include <QString>
#include <QVector>

struct tcWatchEvent
{
    enum Kind { Found, Offline, Online, Moved, Changed };
    Kind kind = Found;
    int entry = -1; // index into tcWatchState::entries()
    QString address;
    QString oldAddress; // Moved: where it was
    qint64 at = 0;
};
// "found", "offline", "online", "moved", "changed".
QString watchEventText(tcWatchEvent::Kind kind);

class tcWatchState
{
public:
    // Periods in a row without a word from a device before it counts as offline.
    static constexpr int kMissedPeriods = 3;

    static constexpr quint8 kAddressModeUnknown = 2;
    struct tcTold
    {
        QString siteName, model, firmware;
        quint8 addressMode = kAddressModeUnknown;
    };
    struct tcEntry
    {
        QString key;
        tpVideoDevice device; // the last report
        QString address;
        // Kept from the reply that carried it: a Bye names the device by it, and the
        // device's other protocols do not report it.
        QString endpoint;
        qint64 firstSeen = 0, lastSeen = 0;
        bool online = true;
        // Another device answers with this MAC at another address at the same time:
        // two devices, not one that moved.
        bool conflict = false;
        int missed = 0;
        bool heard = false; // in the current period
        // What the device's replies have told, field by field: a device that answers two
        // protocols tells some fields in one only, and that is no change.
        tcTold told;
    };

    const QVector<tcEntry>& entries() const { return m_entries; }
    int onlineCount() const;

    // A report of a device. A new device is found at once, a known one back online at
    // once; a move is only told at the period's end, once it is clear that the old
    // address has gone quiet (else both are heard: a conflict).
    QVector<tcWatchEvent> report(const tpVideoDevice& device, qint64 now);
    // A WS-Discovery Bye: the device of that endpoint reference is offline at once.
    QVector<tcWatchEvent> bye(const QString& endpoint, qint64 now);
    // Closes the period: moves, and devices not heard for kMissedPeriods periods.
    QVector<tcWatchEvent> endPeriod(qint64 now);

private:
    static QString keyOf(const tcVideoDevice& device);
    // Notes what the report tells; true when a field it carries was told otherwise before.
    static bool toldOtherwise(tcEntry& entry, const tcVideoDevice& report);
    int addEntry(const QString& key, const tpVideoDevice& device, qint64 now);
    // A report of the entry's device at its own address.
    static void hear(tcEntry& entry, const tpVideoDevice& device, qint64 now);

    QVector<tcEntry> m_entries;
    QHash<QString, int> m_byKey;
    // Known devices heard at another address in this period, by entry: the last report.
    QHash<int, tpVideoDevice> m_elsewhere;
};
