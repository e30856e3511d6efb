#pragma once
// Shared by the fuzz targets: the input as a QByteArray without a spare byte, quiet
// logging (libFuzzer's initialize hook), and the property checks. A violated property
// calls abort(), which libFuzzer records as a finding together with the input.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QXmlStreamReader>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zlfuzz {

[[noreturn]] inline void violated(const char* property, const QString& detail)
{
    std::fprintf(stderr, "==zlfuzz== property violated: %s\n==zlfuzz== %s\n", property,
                 qUtf8Printable(detail));
    std::abort();
}

// libFuzzer's buffer holds exactly the input, so wrapping it without a copy turns a read
// of even one byte past the end (the terminating zero of a copy included) into a report.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(qMin<size_t>(size, INT_MAX)));
}

inline QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

// A text decoded from input bytes: every run between replacement characters (what
// QString::fromUtf8 puts where a sequence is invalid) stands in the input as UTF-8.
inline bool textFrom(const QByteArray& input, const QString& text)
{
    for (const QString& piece : text.split(QChar(QChar::ReplacementCharacter))) {
        if (!input.contains(piece.toUtf8()))
            return false;
    }
    return true;
}

// A text of `count` numbers joined by `separator` (in `base`, each below 256) whose
// bytes stand in the input in that order: a formatted address or MAC.
inline bool formattedFrom(const QByteArray& input, const QString& text, QChar separator, int count, int base)
{
    const QStringList parts = text.split(separator);
    if (parts.size() != count)
        return false;
    QByteArray raw;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, base);
        if (!ok || value > 255)
            return false;
        raw += char(value);
    }
    return input.contains(raw);
}

// For the text formats (XML, JSON), whose codecs cut texts into pieces and join them
// again: every word of a text (split at blanks, ':' and '/') stands, in any case, in
// the input's decoded texts (the case-folded sources joined by line breaks).
inline bool wordsFrom(const QString& foldedSources, const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s:/]+"));
    for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
        if (!foldedSources.contains(word.toCaseFolded()))
            return false;
    }
    return true;
}

inline bool fromInput(const QByteArray& input, const QString& text)
{
    return text.isEmpty() || textFrom(input, text) || formattedFrom(input, text, QLatin1Char('.'), 4, 10) ||
           formattedFrom(input, text, QLatin1Char(':'), 6, 16);
}

#define ZL_FUZZ_REQUIRE(condition, detail)                                                                   \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            zlfuzz::violated(#condition, (detail));                                                          \
    } while (0)

// The parameters every target hands the parsers, and a record made from them alone.
inline const tcLocateParams& params()
{
    static const tcLocateParams instance;
    return instance;
}
inline const tcVideoDevice& freshDevice()
{
    static const tcVideoDevice instance(&params());
    return instance;
}

// Every text of a record a parser filled is the fresh record's, one of the parser's own
// constants, or made of the input: `fromInput` says which texts are. The time stamps
// are the record's own; the uuid may also be one the record generated.
template <typename FromInput>
void requireDeviceFrom(const tcVideoDevice& device, const QStringList& constants, FromInput fromInput)
{
    const tcVideoDevice& fresh = freshDevice();
    const struct
    {
        const char* name;
        const QString& value;
        const QString& initial;
    } fields[] = {
        {"reserved2", device.reserved2, fresh.reserved2},
        {"siteName", device.siteName, fresh.siteName},
        {"model", device.model, fresh.model},
        {"reserved3", device.reserved3, fresh.reserved3},
        {"cloudId", device.cloudId, fresh.cloudId},
        {"macAddress", device.macAddress, fresh.macAddress},
        {"ipAddress", device.ipAddress, fresh.ipAddress},
        {"altAddress", device.altAddress, fresh.altAddress},
        {"firmware", device.firmware, fresh.firmware},
        {"userName", device.userName, fresh.userName},
        {"password", device.password, fresh.password},
        {"servicePath", device.servicePath, fresh.servicePath},
    };
    for (const auto& field : fields) {
        if (field.value == field.initial || constants.contains(field.value) || fromInput(field.value))
            continue;
        violated("a record field carries bytes that were not in the input",
                 QStringLiteral("%1 = \"%2\"").arg(QLatin1String(field.name), field.value));
    }
    const bool generatedUuid = device.uuid == QUuid(device.uuid).toString() && !QUuid(device.uuid).isNull();
    ZL_FUZZ_REQUIRE(generatedUuid || fromInput(device.uuid), device.uuid);
}

// For binary replies: texts, addresses and MACs made of input bytes.
inline void requireDeviceFromInput(const tcVideoDevice& device, const QByteArray& input,
                                   const QStringList& constants)
{
    requireDeviceFrom(device, constants, [&](const QString& text) { return fromInput(input, text); });
}

// For XML replies, read by a reader independent of the codecs: the character data of
// every element (its children's left out, and kept when the XML breaks off) and every
// attribute value. Namespace processing is off, so an undeclared prefix does not end the
// reading before a codec's does.
inline QStringList xmlTexts(const QByteArray& input)
{
    QStringList texts;
    QStringList open;
    QXmlStreamReader xml(input);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            open << QString();
            for (const QXmlStreamAttribute& attribute : xml.attributes())
                texts << attribute.value().toString();
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (!open.isEmpty())
                open.last() += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (!open.isEmpty())
                texts << open.takeLast();
            break;
        default: break;
        }
    }
    return texts << open;
}

// For text replies: the words of every text stand in the decoded sources.
inline QString foldedSources(const QStringList& sources)
{
    return sources.join(QLatin1Char('\n')).toCaseFolded();
}
inline void requireDeviceFromSources(const tcVideoDevice& device, const QString& foldedSources,
                                     const QStringList& constants)
{
    requireDeviceFrom(device, constants, [&](const QString& text) { return wordsFrom(foldedSources, text); });
}

} // namespace zlfuzz

// Every target is its own program including this header once. The parsers log every
// datagram they refuse; at thousands of inputs a second that is noise. Fatal messages (a
// failed Q_ASSERT among them) still reach stderr before the abort.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    });
    return 0;
}
