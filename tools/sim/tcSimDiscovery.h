#pragma once
// What the simulated devices recognise as discovery queries and the replies they send,
// written from the protocols' byte layouts (independently of the scanner's parsers, so
// that each checks the other). Pure functions over bytes.

#include "tcSimDevice.h"

#include <QByteArray>
#include <QPair>
#include <QString>

// WS-Discovery (April 2005) over SOAP 1.2.
namespace tcSimOnvif {
extern const char kDiscoveryNs[];
extern const char kAddressingNs[];
extern const char kNetworkWsdlNs[];
extern const char kDeviceWsdlNs[];

struct Probe
{
    QString messageId;
    QList<QPair<QString, QString>> types; // (namespace URI, local name)
    QStringList scopes;
};

// True for a well-formed Probe; fills *probe.
bool parseProbe(const QByteArray& datagram, Probe* probe);
// Whether a device matches a Probe: every probed type is one of its types, every probed
// scope is a segment-wise prefix of one of its scopes.
bool matches(const tcSimDevice& device, const Probe& probe);
// The device's scopes (percent-encoded values).
QStringList scopes(const tcSimDevice& device);
QByteArray probeMatches(const tcSimDevice& device, const QString& relatesTo, const QString& messageId);
// A Hello (with the device's types, scopes and service address) or a Bye.
QByteArray announcement(const tcSimDevice& device, bool hello, const QString& messageId);
} // namespace tcSimOnvif

namespace tcSimBridge {
bool isRequest(const QByteArray& datagram);
QByteArray reply(const tcSimDevice& device);
} // namespace tcSimBridge

// Norvo 1.0: 48-byte "iCanIPinstaller" header, big-endian type-length-value tags.
namespace tcSimNorvo {
constexpr int kHeaderSize = 48;
bool isRequest(const QByteArray& datagram);
QByteArray reply(const tcSimDevice& device);
} // namespace tcSimNorvo

// PQ series: "MHED" query and little-endian reply.
namespace tcSimPq {
constexpr int kReplySize = 256;
bool isQuery(const QByteArray& datagram);
QByteArray reply(const tcSimDevice& device);
// The kind byte at offset 64.
quint8 kindByte(tcSimKind kind);
} // namespace tcSimPq
