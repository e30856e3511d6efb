// Digest challenges (what follows "Digest " in WWW-Authenticate): parseChallenge, and the
// Authorization value built from what it returns.

#include "fuzzcheck.h"
#include "tcHttpAuth.h"

#include <cctype>

namespace {

// The bytes of part stand in whole in the input, in order, though not side by side (a
// quoted-pair drops its backslash).
bool subsequenceOf(const QByteArray& input, const QByteArray& part)
{
    int at = 0;
    for (char byte : part) {
        at = input.indexOf(byte, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

void requireTableFromInput(const QByteArray& input, const tcHttpAuth::Challenge& table)
{
    const QByteArray lower = input.toLower();
    int used = 0;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        ZL_FUZZ_REQUIRE(lower.contains(it.key()), zlfuzz::hex(it.key()));
        ZL_FUZZ_REQUIRE(subsequenceOf(input, it.value()), zlfuzz::hex(it.value()));
        used += it.key().size() + it.value().size();
    }
    // Keys and values come from separate stretches of the input, and each key needs an
    // equals sign.
    ZL_FUZZ_REQUIRE(used <= input.size(), QStringLiteral("%1 of %2 bytes").arg(used).arg(input.size()));
    ZL_FUZZ_REQUIRE(table.size() <= input.count('='), QString::number(table.size()));
}

bool headerSafe(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (c != '\t' && (quint8(c) < 0x20 || c == 0x7f))
            return false;
    }
    return true;
}

// RFC 7230 section 3.2.6 tchar, and the comma of a list.
bool tokenList(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (!std::isalnum(quint8(c)) && !QByteArrayLiteral("!#$%&'*+-.^_`|~,").contains(c))
            return false;
    }
    return true;
}

// The Authorization value holds no byte that would end its header line, and the quoted
// parameters it echoes read back as the device sent them, whatever quotes and
// backslashes they hold.
void requireEchoedValues(const tcHttpAuth::Challenge& table)
{
    const QString authorization = tcHttpAuth::authorizationValue(
        1, "0a4f113b", table, QStringLiteral("GET"), QStringLiteral("/GetNetBasicConfig"),
        QStringLiteral("admin"), QStringLiteral("7093"));
    const QByteArray bytes = authorization.toUtf8();
    const QByteArray scheme = "Digest ";
    ZL_FUZZ_REQUIRE(bytes.startsWith(scheme) && headerSafe(bytes), zlfuzz::hex(bytes));
    const tcHttpAuth::Challenge echoed = tcHttpAuth::parseChallenge(bytes.mid(scheme.size()));
    // The devices' dialect writes algorithm and qop back unquoted as offered; only token
    // lists there leave the other parameters readable.
    if (!tokenList(table.value("algorithm")) || !tokenList(table.value("qop")))
        return;
    for (const char* key : {"realm", "nonce", "opaque"}) {
        // Values are bytes; the Authorization value is text made of their UTF-8 reading,
        // so only valid UTF-8 without control bytes can come back unchanged.
        const QByteArray value = table.value(key);
        if (QString::fromUtf8(value).toUtf8() != value || !headerSafe(value) ||
            (value.isEmpty() && QByteArray(key) == "opaque"))
            continue;
        ZL_FUZZ_REQUIRE(echoed.value(key) == value,
                        QStringLiteral("%1: %2 came back as %3")
                            .arg(QLatin1String(key), zlfuzz::hex(value), zlfuzz::hex(echoed.value(key))));
    }
    const QByteArray response = echoed.value("response");
    ZL_FUZZ_REQUIRE(response.size() == 32 && QByteArray::fromHex(response).toHex() == response,
                    authorization);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = zlfuzz::bytes(data, size);
    const tcHttpAuth::Challenge table = tcHttpAuth::parseChallenge(input);
    requireTableFromInput(input, table);
    requireEchoedValues(table);
    return 0;
}
