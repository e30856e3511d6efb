#pragma once
// The list leaving the window: saved as a CSV or JSON file with the scan command's
// fields, or copied as tab-separated text for a spreadsheet or a ticket.

#include "tcScanFormat.h"

#include <QString>
#include <QVector>

class QDateTime;
class QTreeWidget;
class QWidget;

// The name the export proposes, e.g. "zephyrlock-devices-20261206-184500.csv".
QString exportFileName(const QDateTime& when, tcScanFormat format);
// Asks where to save; the proposed name follows the chosen format, and a typed
// extension wins over the filter left selected. False when the user cancels.
bool askExportFile(QWidget* parent, bool allRows, QString* fileName, tcScanFormat* format);
// Never leaves a partial file: written aside and renamed over the target when complete.
bool writeRowsFile(const QString& fileName, tcScanFormat format, const QVector<tcScanRow>& rows,
                   QString* error);
// The header and the selected rows that are shown, tab-separated; empty when no row is.
QString selectedRowsText(const QTreeWidget& tree);
