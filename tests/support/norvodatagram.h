#pragma once
// Builds Norvo 1.0 datagrams for tests: a 48-byte header and big-endian tags, with every
// field open to change so a test can break exactly one thing.

#include <QByteArray>
#include <QString>

namespace zltest {

inline QByteArray be16Bytes(int value)
{
    return QByteArray(1, char(value >> 8)) + char(value);
}

inline QByteArray be32Bytes(quint32 value)
{
    return be16Bytes(int(value >> 16)) + be16Bytes(int(value & 0xffff));
}

// One tag; declaredLength < 0 declares the value's own size.
inline QByteArray norvoTag(int number, const QByteArray& value, int declaredLength = -1)
{
    return be16Bytes(number) + be16Bytes(declaredLength < 0 ? value.size() : declaredLength) + value;
}

inline QByteArray norvoTextTag(int number, const QString& text)
{
    return norvoTag(number, text.toUtf8());
}

struct tcNorvoHeader
{
    QByteArray magic = QByteArray("iCanIPinstaller", 16);
    int version = 3;
    int headerWord = 0;
    int headerLength = 48;
    int packetType = 2;
    int byte22 = 0;
    int byte23 = 0;
    int totalLength = -1; // -1: 48 plus the tags that follow
    QByteArray mac = QByteArray::fromHex("000a3d1d2e3f");
    QByteArray address = QByteArray::fromHex("0a63002a"); // 10.99.0.42
    QByteArray reserved = QByteArray(12, '\0');

    // The header followed by tags; the total length covers both unless set.
    QByteArray datagram(const QByteArray& tags = QByteArray()) const
    {
        const int total = totalLength < 0 ? 48 + tags.size() : totalLength;
        return magic + be16Bytes(version) + be16Bytes(headerWord) + char(headerLength) + char(packetType) +
               char(byte22) + char(byte23) + be16Bytes(total) + mac + address + reserved + tags;
    }
};

// A reply with the three tags every usable reply carries, plus extra tags.
inline QByteArray norvoReply(const QString& name, quint32 ipMode, const QByteArray& extraTags = QByteArray(),
                             quint32 port = 80)
{
    return tcNorvoHeader().datagram(norvoTag(1, be32Bytes(ipMode)) + norvoTextTag(2, name) +
                                    norvoTag(28, be32Bytes(port)) + extraTags);
}

} // namespace zltest
