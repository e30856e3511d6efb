#pragma once
// One row of the device list. Besides its column texts it carries, on column 0, the
// record and the values the filter and the dialogs read (see the roles below).

#include <QTreeWidgetItem>

#include <functional>

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

    // The tooltip of a marked address cell, built when it is asked for: a list of
    // thousands of rows has its notes read for a handful. The source outlives the item.
    using tcNoteSource = std::function<QString(int listRow)>;
    void setNote(const tcNoteSource* source, int column, int listRow);
    void clearNote() { m_noteSource = nullptr; }
    QVariant data(int column, int role) const override;

    // Orders by the list's sort column as tcSiteList::sortsBefore does, so the headless
    // scan command prints rows in the order the window shows them.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    const tcNoteSource* m_noteSource = nullptr;
    int m_noteColumn = -1;
    int m_listRow = -1;
};
