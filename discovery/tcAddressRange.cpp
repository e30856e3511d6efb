#include "tcAddressRange.h"

#include "tcIPv4.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr quint32 kLargestSpan = 65536; // a /16

struct tcReservedBlock
{
    quint32 first;
    quint32 last;
    const char* what;
};
const tcReservedBlock kReserved[] = {
    {0x00000000u, 0x00FFFFFFu, "the \"this network\" block 0.0.0.0/8"},
    {0x7F000000u, 0x7FFFFFFFu, "the loopback block 127.0.0.0/8"},
    {0xE0000000u, 0xEFFFFFFFu, "the multicast block 224.0.0.0/4"},
    {0xF0000000u, 0xFFFFFFFFu, "the reserved and broadcast block 240.0.0.0/4"},
};

} // namespace

bool tcAddressRange::contains(const QHostAddress& address) const
{
    bool isIPv4 = false;
    const quint32 value = address.toIPv4Address(&isIPv4);
    return isIPv4 && contains(value);
}

QString tcAddressRange::toString() const
{
    return first == last ? ipv4Text(first) : ipv4Text(first) + QLatin1Char('-') + ipv4Text(last);
}

std::optional<tcAddressRange> tcAddressRange::parse(const QString& rawText, QString* error)
{
    const QString text = rawText.trimmed();
    const auto fail = [&](const QString& why) -> std::optional<tcAddressRange> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto notAddress = [&](const QString& part) {
        return fail(QStringLiteral("'%1': '%2' is not an IPv4 address in dotted decimal").arg(text, part));
    };

    tcAddressRange range;
    quint64 span = 0; // addresses covered, network and broadcast address included
    if (text.contains(QLatin1Char('/'))) {
        const QString base = text.section(QLatin1Char('/'), 0, 0);
        const QString prefixText = text.section(QLatin1Char('/'), 1);
        const auto address = parseIPv4(base);
        if (!address)
            return notAddress(base);
        bool ok = false;
        const int prefix = prefixText.toInt(&ok);
        if (!ok || prefix < 0 || prefix > 32 || prefixText.size() > 2 || !prefixText.at(0).isDigit())
            return fail(QStringLiteral("'%1': the prefix length must be a number from 16 to 32").arg(text));
        span = quint64(1) << (32 - prefix);
        if (span > kLargestSpan)
            return fail(QStringLiteral("'%1' is larger than a /16 (%2 addresses); split it into /16 networks")
                            .arg(text)
                            .arg(span));
        // Host bits set in the base address are cleared, as a netmask would.
        range.first = *address & ~quint32(span - 1);
        range.last = range.first + quint32(span - 1);
        if (span > 2) { // network and broadcast address are no hosts
            ++range.first;
            --range.last;
        }
    } else if (text.contains(QLatin1Char('-'))) {
        const QString from = text.section(QLatin1Char('-'), 0, 0).trimmed();
        const QString to = text.section(QLatin1Char('-'), 1).trimmed();
        const auto first = parseIPv4(from);
        if (!first)
            return notAddress(from);
        const auto last = parseIPv4(to);
        if (!last)
            return notAddress(to);
        if (*last < *first)
            return fail(QStringLiteral("'%1' holds no host address: its last address comes before its first")
                            .arg(text));
        span = quint64(*last) - *first + 1;
        if (span > kLargestSpan)
            return fail(QStringLiteral("'%1' is larger than a /16 (%2 addresses); split it into /16 networks")
                            .arg(text)
                            .arg(span));
        range.first = *first;
        range.last = *last;
    } else if (!text.isEmpty() && parseIPv4(text)) {
        range.first = range.last = *parseIPv4(text);
    } else {
        return fail(QStringLiteral("'%1' is not a range: write a network as 10.20.0.0/22, or first and last "
                                   "address as 10.20.0.1-10.20.3.254")
                        .arg(text));
    }

    for (const tcReservedBlock& block : kReserved) {
        if (range.first <= block.last && range.last >= block.first)
            return fail(QStringLiteral("'%1' reaches into %2, where no device can be probed")
                            .arg(text, QLatin1String(block.what)));
    }
    return range;
}

std::optional<tcAddressRanges> tcAddressRanges::parse(const QStringList& texts, QString* error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QList<tcAddressRange> ranges;
    for (const QString& text : texts) {
        // "a - b" with blanks around the dash is one range, not three pieces.
        QString joined = text;
        joined.replace(QRegularExpression(QStringLiteral("\\s*-\\s*")), QStringLiteral("-"));
        const QStringList pieces = joined.split(separators, Qt::SkipEmptyParts);
        if (pieces.isEmpty()) {
            if (error)
                *error = QStringLiteral("an empty range: write a network as 10.20.0.0/22, or first and last "
                                        "address as 10.20.0.1-10.20.3.254");
            return std::nullopt;
        }
        for (const QString& piece : pieces) {
            const auto range = tcAddressRange::parse(piece, error);
            if (!range)
                return std::nullopt;
            ranges.append(*range);
        }
    }

    std::sort(ranges.begin(), ranges.end(),
              [](const tcAddressRange& a, const tcAddressRange& b) { return a.first < b.first; });
    tcAddressRanges result;
    quint64 hosts = 0;
    for (const tcAddressRange& range : qAsConst(ranges)) {
        // No range reaches 255.255.255.255 (refused above), so last + 1 cannot wrap.
        if (!result.m_ranges.isEmpty() && range.first <= result.m_ranges.last().last + 1) {
            tcAddressRange& previous = result.m_ranges.last();
            if (range.last > previous.last) {
                hosts += range.last - previous.last;
                previous.last = range.last;
            }
            continue;
        }
        result.m_ranges.append(range);
        hosts += range.count();
    }
    if (hosts > kMaxHosts) {
        if (error)
            *error = QStringLiteral("the ranges hold %1 host addresses together; at most %2 can be probed in "
                                    "one run")
                         .arg(hosts)
                         .arg(kMaxHosts);
        return std::nullopt;
    }
    result.m_hosts = quint32(hosts);
    quint32 index = 0;
    for (const tcAddressRange& range : qAsConst(result.m_ranges)) {
        result.m_firstIndex.append(index);
        index += range.count();
    }
    return result;
}

quint32 tcAddressRanges::hostAt(quint32 index) const
{
    // The last range whose first host comes at or before index.
    const auto after = std::upper_bound(m_firstIndex.cbegin(), m_firstIndex.cend(), index);
    if (after == m_firstIndex.cbegin() || index >= m_hosts)
        return 0;
    const int range = int(after - m_firstIndex.cbegin()) - 1;
    return m_ranges[range].first + (index - m_firstIndex[range]);
}

bool tcAddressRanges::contains(const QHostAddress& address) const
{
    return std::any_of(m_ranges.cbegin(), m_ranges.cend(),
                       [&address](const tcAddressRange& range) { return range.contains(address); });
}
