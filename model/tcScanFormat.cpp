#include "tcScanFormat.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

const char* const kScanFields[kScanFieldCount] = {
    "site_name",   "cloud_id",    "model",           "ip_address",       "address_type",
    "port",        "mac",         "protocol",        "fw_ver",           "status",
    "device_type", "web_address", "update_eligible", "address_conflict", "other_subnet",
};

namespace {

constexpr int kDeviceTypeField = tcSiteList::columnCount;
constexpr int kWebAddressField = kDeviceTypeField + 1;
constexpr int kEligibleField = kWebAddressField + 1;
constexpr int kConflictField = kEligibleField + 1;
constexpr int kOtherSubnetField = kConflictField + 1;

// The fields after the ten texts, as JSON values; CSV writes their JSON text.
QJsonValue extraField(const tcScanRow& row, int field)
{
    switch (field) {
    case kDeviceTypeField: return row.deviceType;
    case kWebAddressField: return row.webAddress;
    case kEligibleField: return row.updateEligible;
    case kConflictField: return row.addressConflict;
    case kOtherSubnetField: return row.otherSubnet;
    default: return QJsonValue();
    }
}

QString fieldText(const tcScanRow& row, int field)
{
    if (field < tcSiteList::columnCount)
        return row.texts[field];
    const QJsonValue value = extraField(row, field);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toInt());
    return value.toString();
}

// Names and models come from the network; a control character in one would move the
// cursor, recolour or clear the terminal, or break the table's lines.
QString printable(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return result;
}

QString csvField(const QString& text)
{
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return kSpecial.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

tcScanRow scanRow(const tcSiteList& list, int index)
{
    const tcVideoDevice& device = *list.device(index);
    return {list.texts(index),
            list.type(index),
            device.webAddress(),
            device.pqCamera,
            list.hasAddressConflict(index),
            list.isOtherSubnet(index)};
}

QVector<tcScanRow> scanRows(const tcSiteList& list, const QVector<int>& shown)
{
    QVector<tcScanRow> rows;
    rows.reserve(shown.size());
    for (int index : shown)
        rows.append(scanRow(list, index));
    return rows;
}

QByteArray formatTable(const QVector<tcScanRow>& rows)
{
    QVector<QStringList> lines;
    QStringList header;
    for (const char* label : tcSiteList::headerLabels)
        header << QCoreApplication::translate("MainWindow", label);
    // The window marks these rows with an icon; a terminal needs words.
    header << QStringLiteral("Notes");
    lines << header;
    for (const tcScanRow& row : rows) {
        QStringList cells;
        for (const QString& text : row.texts)
            cells << printable(text);
        QStringList notes;
        if (row.addressConflict)
            notes << QStringLiteral("address conflict");
        if (row.otherSubnet)
            notes << QStringLiteral("other subnet");
        cells << notes.join(QStringLiteral(", "));
        lines << cells;
    }
    QVector<int> widths(tcSiteList::columnCount + 1, 0);
    for (const QStringList& cells : qAsConst(lines)) {
        for (int column = 0; column < cells.size(); ++column)
            widths[column] = std::max(widths[column], int(cells[column].size()));
    }
    QString out;
    for (const QStringList& cells : qAsConst(lines)) {
        QString line;
        for (int column = 0; column < cells.size(); ++column) {
            if (column > 0)
                line += QLatin1String("  ");
            line += cells[column].leftJustified(widths[column]);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray formatJson(const QVector<tcScanRow>& rows)
{
    QJsonArray array;
    for (const tcScanRow& row : rows) {
        QJsonObject object;
        for (int field = 0; field < kScanFieldCount; ++field) {
            object.insert(QLatin1String(kScanFields[field]), field < tcSiteList::columnCount
                                                                 ? QJsonValue(row.texts[field])
                                                                 : extraField(row, field));
        }
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QByteArray formatCsv(const QVector<tcScanRow>& rows)
{
    QStringList header;
    for (const char* field : kScanFields)
        header << QLatin1String(field);
    QString out = header.join(QLatin1Char(',')) + QLatin1String("\r\n");
    for (const tcScanRow& row : rows) {
        QStringList cells;
        for (int field = 0; field < kScanFieldCount; ++field)
            cells << csvField(fieldText(row, field));
        out += cells.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return out.toUtf8();
}

QByteArray formatRows(tcScanFormat format, const QVector<tcScanRow>& rows)
{
    switch (format) {
    case tcScanFormat::Json: return formatJson(rows);
    case tcScanFormat::Csv: return formatCsv(rows);
    case tcScanFormat::Table: break;
    }
    return formatTable(rows);
}

QString sitesFoundText(int visible, int total)
{
    return QCoreApplication::translate("MainWindow", "Sites found (%1 / %2)").arg(visible).arg(total);
}
