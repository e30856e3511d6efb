#pragma once
// IPv4 addresses as the installer types them and as the plans hand them out: one strict
// reader for every field and option, and the rule by which a plan advances.

#include <QString>

#include <optional>

// Dotted decimal, four numbers 0-255 without leading zeros and nothing around them.
// Some tools read "010" as octal and QHostAddress takes "10.1" or " 10.0.0.1", so
// anything but the plain form is refused rather than guessed.
std::optional<quint32> parseIPv4(const QString& text);
QString ipv4Text(quint32 address);

// The address a plan starting at `start` hands out as its n-th: only the last byte
// advances and it never carries into the third, so a plan ends at .255 at the latest.
quint32 planAddress(quint32 start, quint32 n);
// Whether `count` addresses from `start` stay within that last byte.
bool planFits(quint32 start, quint32 count);
