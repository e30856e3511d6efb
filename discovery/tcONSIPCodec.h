#pragma once
// Norvo 1.0 discovery datagrams: the 48-byte "iCanIPinstaller" header followed by
// big-endian type-length-value tags, held in the packet record tcONSIPPacket, and the
// reading of a reply into a device. Pure functions over bytes; the locator only moves
// bytes.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QByteArray>
#include <QSharedDataPointer>
#include <QString>

#include <memory>

class tcONSIPPacketData;

class tcONSIPPacket
{
public:
    // Tag numbers the locator reads; every other known tag is only stored.
    enum Tag : quint16 {
        TagIpMode = 1,
        TagName = 2,
        TagWebPort = 3, // a pair of 16-bit numbers: web port, then a second value
        TagStaticAddress = 4,
        TagPppAddress = 9,
        TagDhcpAddress = 16,
        TagPort = 28,
        TagModel = 39,
    };
    enum IpMode : quint32 { ModeStatic = 1, ModePpp = 2, ModeDhcp = 4 };
    enum PacketType : qint32 { TypeRequest = 1, TypeReply = 2 };

    static constexpr int kHeaderSize = 48;

    tcONSIPPacket(); // the defaults: version 3, a request, MAC and address all ones
    tcONSIPPacket(const tcONSIPPacket& other);
    tcONSIPPacket& operator=(const tcONSIPPacket& other);
    ~tcONSIPPacket();

    // Resets the record to its defaults, then fills it from a received datagram. False
    // (with the reason logged) when the datagram is not a valid Norvo 1.0 datagram.
    // Reads nothing beyond abaDatagram.
    bool parse(const QByteArray& abaDatagram);
    // The 48-byte header of this record: the request when the record is at its defaults.
    QByteArray buildRequest() const;

    // Four bytes as dotted decimal; any other count is logged and gives an empty text.
    static QString formatAddress(const QByteArray& abaBytes);
    // Six bytes as lower-case two-digit hex joined by ":"; any other count is logged and
    // gives an empty text.
    static QString formatMac(const QByteArray& abaBytes);

    qint32 version() const;
    qint32 headerWord() const;
    qint32 packetType() const;
    qint32 headerByte22() const;
    qint32 headerByte23() const;
    QString mac() const;
    QString address() const;

    // Presence flag of a tag that carries one (not 38, 39 and 40).
    bool hasTag(quint16 tag) const;
    // Value of a 32-bit tag (1, 28, 30, 38); for tag 3 its first 16-bit number.
    quint32 number(quint16 tag) const;
    // Value of a text, address or MAC tag.
    QString text(quint16 tag) const;
    quint16 tag3Second() const;
    // Tag 39 held a model text that does not name the maker's own series.
    bool foreignModel() const;

    quint32 ipMode() const { return number(TagIpMode); }
    QString name() const { return text(TagName); }
    quint16 webPort() const { return quint16(number(TagWebPort)); }
    quint32 port() const { return number(TagPort); }
    QString model() const { return text(TagModel); }

private:
    void storeTag(quint16 tag, const QByteArray& abaDatagram, int valueIndex, int valueLength);

    QSharedDataPointer<tcONSIPPacketData> d;
};

// The request the locator broadcasts: the header of a record at its defaults.
QByteArray buildONSIPRequest();

// The device a received datagram describes, or null when the datagram is skipped (its
// reason logged, except for requests, which are the locator's own broadcast coming back).
std::unique_ptr<tcVideoDevice> parseONSIPReply(const QByteArray& abaDatagram, const tcLocateParams* apParams);
