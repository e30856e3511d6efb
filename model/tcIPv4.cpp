#include "tcIPv4.h"

#include <QHostAddress>

std::optional<quint32> parseIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.startsWith(QLatin1Char('0'))))
            return std::nullopt;
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        const uint value = part.toUInt();
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | value;
    }
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
