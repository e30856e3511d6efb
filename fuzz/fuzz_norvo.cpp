// Norvo 1.0 datagrams: the packet parser, the reply reading of the locator and the
// request builder fed back through the parser.

#include "fuzzcheck.h"
#include "tcONSIPCodec.h"

namespace {

using zlfuzz::hex;

constexpr int kTagsSeen = 64; // beyond the highest tag the record keeps
constexpr int kMaxText = 80;  // the longest text a tag may carry

QByteArray be(quint32 value, int size)
{
    QByteArray bytes;
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
        bytes += char(value >> shift);
    return bytes;
}

// A number read from the input: its big-endian bytes stand there (16 bits suffice
// for a small one, since tag 3 holds two 16-bit numbers).
bool numberFrom(const QByteArray& input, quint32 value)
{
    return input.contains(be(value, value > 0xffff ? 4 : 2));
}

QString headerText(const tcONSIPPacket& p)
{
    return QStringLiteral("v%1 w%2 t%3 %4 %5 %6 %7")
        .arg(p.version())
        .arg(p.headerWord())
        .arg(p.packetType())
        .arg(p.headerByte22())
        .arg(p.headerByte23())
        .arg(p.mac(), p.address());
}

// A parsed header builds into the header it came from, with the total length of a bare
// header, and that request parses into the same fields and builds into the same bytes.
void requireRoundTrip(const QByteArray& input, const tcONSIPPacket& packet)
{
    const QByteArray request = packet.buildRequest();
    const QByteArray expected = input.left(24) + be(tcONSIPPacket::kHeaderSize, 2) + input.mid(26, 22);
    ZL_FUZZ_REQUIRE(request == expected, hex(request) + QStringLiteral(" from ") + hex(input.left(48)));
    tcONSIPPacket again;
    ZL_FUZZ_REQUIRE(again.parse(request), hex(request));
    ZL_FUZZ_REQUIRE(headerText(again) == headerText(packet), headerText(again) + " vs " + headerText(packet));
    ZL_FUZZ_REQUIRE(again.buildRequest() == request, hex(again.buildRequest()));
    for (int tag = 0; tag < kTagsSeen; ++tag)
        ZL_FUZZ_REQUIRE(!again.hasTag(quint16(tag)), QString::number(tag));
}

void requireTagsFromInput(const QByteArray& input, const tcONSIPPacket& packet)
{
    ZL_FUZZ_REQUIRE(zlfuzz::fromInput(input, packet.mac()), packet.mac());
    ZL_FUZZ_REQUIRE(zlfuzz::fromInput(input, packet.address()), packet.address());
    for (int tag = 0; tag < kTagsSeen; ++tag) {
        const QString text = packet.text(quint16(tag));
        ZL_FUZZ_REQUIRE(text.size() <= kMaxText && zlfuzz::fromInput(input, text),
                        QStringLiteral("tag %1: \"%2\"").arg(tag).arg(text));
        const quint32 number = packet.number(quint16(tag));
        const bool initial =
            number == 0 || (tag == tcONSIPPacket::TagIpMode && number == tcONSIPPacket::ModeStatic);
        ZL_FUZZ_REQUIRE(initial || numberFrom(input, number),
                        QStringLiteral("tag %1: %2").arg(tag).arg(number));
    }
    ZL_FUZZ_REQUIRE(packet.tag3Second() == 0 || numberFrom(input, packet.tag3Second()),
                    QString::number(packet.tag3Second()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    tcONSIPPacket packet;
    const bool valid = packet.parse(input);
    const std::unique_ptr<tcVideoDevice> device = parseONSIPReply(input, &zlfuzz::params());
    ZL_FUZZ_REQUIRE(valid || !device, QStringLiteral("device from a refused datagram"));
    if (!valid)
        return 0;
    ZL_FUZZ_REQUIRE(input.size() >= tcONSIPPacket::kHeaderSize, QString::number(input.size()));
    requireRoundTrip(input, packet);
    requireTagsFromInput(input, packet);
    if (!device)
        return 0;
    // A device needs the mode, name and port tags, each at least a tag header.
    ZL_FUZZ_REQUIRE(input.size() >= tcONSIPPacket::kHeaderSize + 3 * 4, QString::number(input.size()));
    ZL_FUZZ_REQUIRE(device->type == Norvo1Cam, QString::number(device->type));
    ZL_FUZZ_REQUIRE(device->siteName == packet.name(), device->siteName);
    ZL_FUZZ_REQUIRE(device->macAddress == packet.mac(), device->macAddress);
    zlfuzz::requireDeviceFromInput(*device, input, {protocolText(Norvo1Cam)});
    return 0;
}
