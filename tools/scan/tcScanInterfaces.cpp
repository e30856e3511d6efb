#include "tcScanInterfaces.h"

#include <QVector>

#include <algorithm>

namespace {

QString displayName(const tcInterfaceInfo& info)
{
    return info.name.isEmpty() ? info.humanReadableName
                               : QStringLiteral("%1 (%2)").arg(info.humanReadableName, info.name);
}

// Rows of cells, each column as wide as its widest cell, two blanks between columns.
QString columns(const QVector<QStringList>& rows)
{
    QVector<int> widths;
    for (const QStringList& cells : rows) {
        widths.resize(std::max(widths.size(), cells.size()));
        for (int column = 0; column < cells.size(); ++column)
            widths[column] = std::max(widths[column], int(cells[column].size()));
    }
    QString out;
    for (const QStringList& cells : rows) {
        QStringList padded;
        for (int column = 0; column < cells.size(); ++column)
            padded << cells[column].leftJustified(widths[column]);
        out += QStringLiteral("  ") + padded.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
    }
    return out;
}

} // namespace

QString interfacesText(const QList<tcInterfaceChoice>& choices)
{
    QVector<QStringList> picked, skipped;
    for (const tcInterfaceChoice& choice : choices) {
        if (!choice.skipReason.isEmpty()) {
            skipped.append({displayName(choice.info), choice.skipReason});
            continue;
        }
        for (const QNetworkAddressEntry& entry : choice.ipv4)
            picked.append({displayName(choice.info), entry.ip().toString(), entry.netmask().toString()});
    }
    return QStringLiteral("Picked:\n") + (picked.isEmpty() ? QStringLiteral("  none\n") : columns(picked)) +
           QStringLiteral("Skipped:\n") + (skipped.isEmpty() ? QStringLiteral("  none\n") : columns(skipped));
}

QString checkInterfaceNames(const QStringList& names, const QList<tcInterfaceChoice>& choices)
{
    for (const QString& name : names) {
        const auto found =
            std::find_if(choices.cbegin(), choices.cend(), [&name](const tcInterfaceChoice& c) {
                return c.info.humanReadableName == name || c.info.name == name;
            });
        if (found == choices.cend())
            return QStringLiteral("no interface is named '%1' (see --interfaces)").arg(name);
        if (!found->skipReason.isEmpty())
            return QStringLiteral("interface '%1' is skipped: %2").arg(name, found->skipReason);
    }
    return QString();
}
