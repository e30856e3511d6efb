#include "tcListExport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QSaveFile>
#include <QTreeWidget>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("tcListExport", text);
}

QString suffixOf(tcScanFormat format)
{
    return format == tcScanFormat::Json ? QStringLiteral("json") : QStringLiteral("csv");
}

} // namespace

QString exportFileName(const QDateTime& when, tcScanFormat format)
{
    return QStringLiteral("zephyrlock-devices-%1.%2")
        .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), suffixOf(format));
}

bool askExportFile(QWidget* parent, bool allRows, QString* fileName, tcScanFormat* format)
{
    const QString csvFilter = tr("CSV files (*.csv)");
    const QString jsonFilter = tr("JSON files (*.json)");
    const QDateTime now = QDateTime::currentDateTime();
    QFileDialog dialog(parent, allRows ? tr("Export All Rows") : tr("Export Shown Rows"));
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({csvFilter, jsonFilter});
    dialog.setDefaultSuffix(suffixOf(tcScanFormat::Csv));
    dialog.selectFile(exportFileName(now, tcScanFormat::Csv));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const tcScanFormat chosen = filter == jsonFilter ? tcScanFormat::Json : tcScanFormat::Csv;
        dialog.setDefaultSuffix(suffixOf(chosen));
        dialog.selectFile(exportFileName(now, chosen));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    *fileName = dialog.selectedFiles().constFirst();
    *format = dialog.selectedNameFilter() == jsonFilter ? tcScanFormat::Json : tcScanFormat::Csv;
    if (fileName->endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        *format = tcScanFormat::Json;
    else if (fileName->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        *format = tcScanFormat::Csv;
    return true;
}

bool writeRowsFile(const QString& fileName, tcScanFormat format, const QVector<tcScanRow>& rows,
                   QString* error)
{
    QSaveFile file(fileName);
    const QByteArray bytes = formatRows(format, rows);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

QString selectedRowsText(const QTreeWidget& tree)
{
    // Tabs and line breaks inside a text would move the cells of a pasted row.
    const auto cell = [](QString text) {
        for (QChar& c : text) {
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        }
        return text;
    };
    QStringList lines;
    QStringList header;
    for (int column = 0; column < tree.columnCount(); ++column)
        header << cell(tree.headerItem()->text(column));
    lines << header.join(QLatin1Char('\t'));
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree.topLevelItem(i);
        if (!item->isSelected() || item->isHidden())
            continue;
        QStringList cells;
        for (int column = 0; column < tree.columnCount(); ++column)
            cells << cell(item->text(column));
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.size() > 1 ? lines.join(QLatin1Char('\n')) + QLatin1Char('\n') : QString();
}
