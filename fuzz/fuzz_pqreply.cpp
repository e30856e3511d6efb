// PQ-series discovery replies: parsePQSeriesReply.

#include "fuzzcheck.h"
#include "tcPQSeriesCodec.h"

#include <QRegularExpression>

namespace {

constexpr int kMinReplySize = 240;

template <std::size_t N> QByteArray raw(const std::array<quint8, N>& field)
{
    return QByteArray(reinterpret_cast<const char*>(field.data()), int(N));
}

// "A.B.C build": the three version bytes stand in the input from C to A, the build as
// four little-endian bytes.
bool firmwareFrom(const QByteArray& input, const QString& firmware)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+) (\\d+)$"));
    const QRegularExpressionMatch match = form.match(firmware);
    if (!match.hasMatch())
        return false;
    QByteArray version;
    for (int part = 3; part >= 1; --part) {
        const uint value = match.captured(part).toUInt();
        if (value > 255)
            return false;
        version += char(value);
    }
    bool ok = false;
    const quint32 build = match.captured(4).toUInt(&ok);
    QByteArray buildBytes;
    for (int shift = 0; shift < 32; shift += 8)
        buildBytes += char(build >> shift);
    return ok && input.contains(version) && input.contains(buildBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    const std::unique_ptr<tcVideoDevice> device = parsePQSeriesReply(input, &zlfuzz::params());
    const bool reply = input.size() >= kMinReplySize && input.startsWith("MHED");
    ZL_FUZZ_REQUIRE(bool(device) == reply,
                    zlfuzz::hex(input.left(8)) + QStringLiteral(" of %1").arg(input.size()));
    if (!device)
        return 0;

    ZL_FUZZ_REQUIRE(firmwareFrom(input, device->firmware), device->firmware);
    zlfuzz::requireDeviceFromInput(*device, input,
                                   {QStringLiteral("DECODER"), QStringLiteral("STORAGE"), device->firmware});
    for (const QByteArray& field : {raw(device->rawMac), raw(device->rawAddress), raw(device->rawMask),
                                    raw(device->rawGateway), raw(device->rawExtra)})
        ZL_FUZZ_REQUIRE(input.contains(field), zlfuzz::hex(field));
    QByteArray port;
    port += char(device->webPort);
    port += char(device->webPort >> 8);
    ZL_FUZZ_REQUIRE(input.contains(port), QString::number(device->webPort));
    ZL_FUZZ_REQUIRE(device->addressMode <= 1, QString::number(device->addressMode));

    switch (device->type) {
    case Norvo2Cam:
    case Onvif: ZL_FUZZ_REQUIRE(device->pqCamera, QString::number(device->type)); break;
    case PQSeries:
    case OstraDecoder:
    case OstraServer: ZL_FUZZ_REQUIRE(!device->pqCamera, QString::number(device->type)); break;
    default: zlfuzz::violated("a known device type", QString::number(device->type));
    }
    return 0;
}
