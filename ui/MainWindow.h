#pragma once
// The application's only window: runs a discovery cycle at start-up and on Refresh,
// lists every reported device once (the merge and the kind filter live in tcSiteList,
// this class mirrors its rows in a tree), and starts the actions on selected devices.
// Besides, it finds text in the list, copies and exports rows, and marks addresses that
// are in conflict or outside the probed networks.

#include "tcConfigRun.h"
#include "tcScanFormat.h"
#include "tcSiteList.h"
#include "tcSiteLocateItem.h"
#include "tcVideoDevice.h"
#include "tcWatchState.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QVector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class tcDiscoverySession;
class tcRangeEntry;
class tcSiteLocate;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* apParent = nullptr);
    ~MainWindow() override;

    // The tree as it shows the list, with every merge so far drawn; null until the first
    // device is reported.
    QTreeWidget* deviceTree()
    {
        showPendingMerges();
        return siteTree;
    }
    const tcSiteList& sites() const;
    // The tree row that shows row `row` of sites().
    // Merges not yet shown are shown first.
    tcSiteLocateItem* itemOf(int row)
    {
        showPendingMerges();
        return items.value(row);
    }
    tcSiteLocate* coordinator() const { return locate; }
    tcDiscoverySession* discovery() const { return session; }

    // Writes the rows in the order shown, either those shown or all of them, with the
    // scan command's fields. Never leaves a partial file; false with `error` set when
    // the file could not be written.
    bool exportRows(const QString& fileName, bool afAllRows, tcScanFormat format, QString* error);

public slots:
    void slot_closeClicked();
    void slot_itemDoubleClicked(const QModelIndex& index);
    void slot_locateFoundSite(tpVideoDevice apDvc);
    void slot_refreshClicked();
    void slot_typeToggled(bool afChecked);
    void slot_selectAllClicked();
    void slot_updateAddresses();
    void slot_updatePasswords();
    // One tick of the discovery cycle's wait timer (the cycle's timer ticks on its own).
    void slot_waitTimer();
    void slot_findTextChanged(const QString& text);
    void slot_exportClicked(bool afAllRows);
    void slot_copyRows();
    void slot_watchToggled(bool afOn);

private:
    void slot_cycleTick(int count);
    void slot_cycleFinal();
    // Repeats the session's last merge on the tree.
    void showMerge();
    void createSiteTree();
    // The merges noted since the tree was last drawn, shown at once.
    void showPendingMerges();
    // The watch mode's view of the site: greyed offline rows, new and moved rows marked.
    void slot_watchEvent(const tcWatchEvent& event);
    void slot_watchCycle();
    void showWatchState(tcSiteLocateItem* item, bool online, const QString& status);
    // A tree row for list row `row`, appended to items.
    tcSiteLocateItem* newItem(int row);
    // Shown when its kind is and it holds the find text.
    void applyVisibility(int row);
    bool matchesFind(int row) const;
    // "Sites found (shown / listed)".
    void showSitesFound();
    // Marks the rows an update may work on with "---" and clears every other status.
    QList<QTreeWidgetItem*> chooseRowsForUpdate(tcConfigKind kind);
    void showSelectionRequired();
    // Run an update dialog modally over the chosen rows, which outlive it.
    void runAddressDialog(const QList<QTreeWidgetItem*>& rows);
    void runPasswordDialog(const QList<QTreeWidgetItem*>& rows);
    // Information, Time or Reboot on the selected ONVIF rows.
    void runOnvifAction(tcConfigKind kind);

    // The find field and the export button, added beside the form's own widgets.
    void createListTools();
    // The list rows in the tree's order; only those not hidden when afShownOnly.
    QVector<int> rowsInTreeOrder(bool afShownOnly) const;
    // The warning icon and tooltip in the address column of `row` and of every row
    // listed at the same address.
    // afRedraw: even when neither the conflict nor the subnet state changed.
    void markAddresses(int row, bool afRedraw = false);
    void markAddress(int row, bool afRedraw = false);
    // Every listed device outside `chosen`, with the address its row shows.
    QVector<tcHeldAddress> otherDevices(const QList<QTreeWidgetItem*>& chosen) const;

    Ui::MainWindow* ui;
    qint32 ipColumn = -1;
    qint32 statusColumn = -1;
    qint32 sortColumn = -1;
    QTreeWidget* siteTree = nullptr;
    tcSiteLocate* locate = nullptr;
    // What each row shows beside its texts, so a merge that changes none of it leaves
    // the tree be: hidden or not, and what its address mark says.
    struct tcRowState
    {
        bool hidden = false;
        bool otherSubnet = false;
        bool conflict = false;
        // merged but not shown yet
        bool pending = false;
        bool typeChanged = false;
        quint32 changedColumns = 0;
    };
    QVector<int> pendingRows;
    bool flushQueued = false;
    QVector<tcRowState> rowStates;
    QVector<QIcon> noteIcons; // information, warning
    tcSiteLocateItem::tcNoteSource noteSource;
    tcDiscoverySession* session = nullptr;
    class tcListWatch* watch = nullptr;
    class QCheckBox* chkWatch = nullptr; // the list, and the cycle's wait timer
    // Other makers' ONVIF cameras take part in the address and password updates.
    class QAction* actOnvifInUpdates = nullptr;
    tcRangeEntry* rangeEntry = nullptr; // other subnets to sweep, for this session
    tcKindFilter shown;                 // the checked kind button
    bool selectAllNext = true;

    QVector<tcSiteLocateItem*> items; // items[row] shows list row `row`
    QLineEdit* edtFind = nullptr;
};
