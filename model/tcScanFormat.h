#pragma once
// The printed forms of the device list: rows in, bytes out, nothing else. The scan
// command prints them and the window exports them, so a file is the same from either.

#include "tcSiteList.h"

#include <QByteArray>
#include <QString>
#include <QVector>

enum class tcScanFormat { Table, Json, Csv };

// One shown row: the list's ten texts and what a script needs besides them.
struct tcScanRow
{
    tcSiteList::Texts texts;
    qint32 deviceType = 0;
    QString webAddress;
    bool updateEligible = false;  // the update actions work only on such devices
    bool addressConflict = false; // another listed device has the same address
    bool otherSubnet = false;     // outside every network the discovery probed
};

// The JSON keys and CSV header: the ten texts in column order, then the other five.
constexpr int kScanFieldCount = tcSiteList::columnCount + 5;
extern const char* const kScanFields[kScanFieldCount];

// Row `index` of `list`, and the rows `shown` of `list` in that order.
tcScanRow scanRow(const tcSiteList& list, int index);
QVector<tcScanRow> scanRows(const tcSiteList& list, const QVector<int>& shown);

// The ten columns under the window's header labels, each as wide as its widest text.
QByteArray formatTable(const QVector<tcScanRow>& rows);
QByteArray formatJson(const QVector<tcScanRow>& rows);
// RFC 4180: CRLF line ends, a field with a comma, quote or line break quoted.
QByteArray formatCsv(const QVector<tcScanRow>& rows);
QByteArray formatRows(tcScanFormat format, const QVector<tcScanRow>& rows);

QString sitesFoundText(int visible, int total);
