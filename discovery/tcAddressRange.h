#pragma once
// IPv4 address ranges given by the user for unicast probing beyond the local segment,
// written as a network (10.20.0.0/22), as first and last address (10.20.0.1-10.20.3.254)
// or as one address. Pure: text in, host addresses or a message out.
//
// Which addresses a range holds:
// - a network of prefix /16 to /30: every address but the network and broadcast address;
// - a /31: both addresses (a point-to-point link has no broadcast address, RFC 3021);
// - a /32 or a single address: that host;
// - first-last: every address from first to last, both included (no subnet is implied).
// Refused: malformed text, more than 65,536 addresses (larger than a /16), a last address
// before the first (no host address), and anything reaching into 0.0.0.0/8, the loopback
// 127.0.0.0/8, the multicast 224.0.0.0/4 or the reserved and broadcast space
// 240.0.0.0/4 (255.255.255.255 included): a unicast query there never reaches a device.

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

struct tcAddressRange
{
    quint32 first = 0; // host addresses, both included
    quint32 last = 0;

    quint32 count() const { return last - first + 1; }
    bool contains(quint32 address) const { return address >= first && address <= last; }
    bool contains(const QHostAddress& address) const;
    QString toString() const; // "first-last", or the one address

    // The range the text holds, or nothing with a one-line reason in *error.
    static std::optional<tcAddressRange> parse(const QString& text, QString* error);
};

// The hosts one run probes: the union of the ranges given, each host once.
class tcAddressRanges
{
public:
    // At most this many hosts per run: a /16 without its network and broadcast address.
    static constexpr quint32 kMaxHosts = 65534;

    tcAddressRanges() = default;

    // Every text is one range; a text may also hold several separated by commas or
    // blanks. Nothing, with the reason of the first fault in *error, when a range is
    // refused or the ranges hold more than kMaxHosts hosts together.
    static std::optional<tcAddressRanges> parse(const QStringList& texts, QString* error);

    bool isEmpty() const { return m_ranges.isEmpty(); }
    quint32 hostCount() const { return m_hosts; }
    // The index-th host in ascending order, index below hostCount().
    quint32 hostAt(quint32 index) const;
    bool contains(const QHostAddress& address) const;
    // Sorted, overlapping and adjacent ranges joined.
    const QList<tcAddressRange>& ranges() const { return m_ranges; }

private:
    QList<tcAddressRange> m_ranges;
    QVector<quint32> m_firstIndex; // per range, the host index of its first address
    quint32 m_hosts = 0;
};
