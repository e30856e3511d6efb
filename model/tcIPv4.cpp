#include "tcIPv4.h"

#include <QHostAddress>

std::optional<quint32> parseIPv4(const QString& text)
{
    // One pass over the characters: this runs for every listed address.
    quint32 address = 0;
    int octets = 0, digits = 0;
    uint value = 0;
    for (int i = 0; i <= text.size(); ++i) {
        const ushort c = i < text.size() ? text.at(i).unicode() : ushort('.');
        if (c >= '0' && c <= '9') {
            // no leading zero, at most three digits
            if ((digits == 1 && value == 0) || digits == 3)
                return std::nullopt;
            value = value * 10 + (c - '0');
            ++digits;
            continue;
        }
        if (c != '.' || digits == 0 || value > 255 || octets == 4)
            return std::nullopt;
        address = (address << 8) | value;
        ++octets;
        digits = 0;
        value = 0;
    }
    if (octets != 4)
        return std::nullopt;
    return address;
}

QString ipv4Text(quint32 address)
{
    return QHostAddress(address).toString();
}

quint32 planAddress(quint32 start, quint32 n)
{
    return (start & 0xffffff00u) | ((start + n) & 0xffu);
}

bool planFits(quint32 start, quint32 count)
{
    return (start & 0xffu) + quint64(count) <= 256;
}
