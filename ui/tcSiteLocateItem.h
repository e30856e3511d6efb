#pragma once
// One row of the device list. Besides its column texts it carries, on column 0, the
// record and the values the filter and the dialogs read (see the roles below).

#include <QTreeWidgetItem>

class tcSiteLocateItem : public QTreeWidgetItem
{
public:
    enum DataRole {
        DeviceRole = Qt::UserRole,      // the record, a tpVideoDevice
        MacRole = Qt::UserRole + 1,     // the MAC text, upper-cased
        AddressRole = Qt::UserRole + 2, // the address text
        TypeRole = Qt::UserRole + 3,    // the device type as an integer
        ModelRole = Qt::UserRole + 4,   // the model text as shown
    };

    explicit tcSiteLocateItem(const QStringList& texts = QStringList());

    // "IP Address" sorts by the 32-bit address when both rows hold a valid one (so
    // 10.0.0.9 comes before 10.0.0.10), "Port" by number; everything else by text.
    bool operator<(const QTreeWidgetItem& other) const override;
};
