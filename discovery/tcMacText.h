#pragma once
// MAC address texts as the discovery replies give them.

#include <QString>

// "0a3d91a1b2c3" -> "0a:3d:91:a1:b2:c3": a ':' after every second character but the last.
inline QString macWithColons(const QString& twelveChars)
{
    QString result;
    for (int i = 0; i < twelveChars.size(); i += 2) {
        if (i > 0)
            result += QLatin1Char(':');
        result += twelveChars.midRef(i, 2);
    }
    return result;
}
