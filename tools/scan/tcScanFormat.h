#pragma once
// The printed forms of the device list: rows in, bytes out, nothing else.

#include "tcScanOptions.h"
#include "tcSiteList.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// One shown row: the list's ten texts and what a script needs besides them.
struct tcScanRow
{
    tcSiteList::Texts texts;
    qint32 deviceType = 0;
    QString webAddress;
    bool updateEligible = false; // the update actions work only on such devices
};

// The JSON keys and CSV header: the ten texts in column order, then the other three.
constexpr int kScanFieldCount = tcSiteList::columnCount + 3;
extern const char* const kScanFields[kScanFieldCount];

// The rows `shown` of `list`, in that order.
QVector<tcScanRow> scanRows(const tcSiteList& list, const QVector<int>& shown);

// The ten columns under the window's header labels, each as wide as its widest text.
QByteArray formatTable(const QVector<tcScanRow>& rows);
QByteArray formatJson(const QVector<tcScanRow>& rows);
// RFC 4180: CRLF line ends, a field with a comma, quote or line break quoted.
QByteArray formatCsv(const QVector<tcScanRow>& rows);
QByteArray formatRows(tcScanFormat format, const QVector<tcScanRow>& rows);

QString sitesFoundText(int visible, int total);
