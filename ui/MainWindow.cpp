#include "MainWindow.h"

#include "tcAddressNotes.h"
#include "tcDiscoverySession.h"
#include "tcIPUpdateDlg.h"
#include "tcListExport.h"
#include "tcListWatch.h"
#include "tcOnvifActionDlg.h"
#include "tcPWUpdateDlg.h"
#include "tcRangeEntry.h"
#include "tcRangeProbe.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSet>
#include <QShortcut>
#include <QStyle>
#include <QTime>
#include <QTreeWidget>
#include <QUrl>

MainWindow::MainWindow(QWidget* apParent) : QMainWindow(apParent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->radShowBridges->setChecked(shown.bridges);
    ui->radShowRecorders->setChecked(shown.recorders);
    ui->radShowCameras->setChecked(shown.cameras);
    ui->radShowSpeakers->setChecked(shown.speakers);
    ui->radShowOther->setChecked(shown.other);
    ui->btnSelect->setVisible(shown.cameras);
    ui->btnUpdatePasswords->setVisible(shown.cameras);
    ui->btnUpdateAddresses->setVisible(shown.cameras);
    setWindowTitle(tr("Zephyrlock Scanner V%1").arg(QStringLiteral(ZL_VERSION)));
    createListTools();

    // Beside Refresh, whose next press sweeps the ranges entered.
    rangeEntry = new tcRangeEntry(this);
    ui->hlTopBar->insertWidget(ui->hlTopBar->indexOf(ui->btnRefresh), rangeEntry);

    noteSource = [this](int row) {
        return row < sites().count() ? addressNote(sites(), row).tip : QString();
    };
    session = new tcDiscoverySession(this);
    // A reply that comes after the count is listed all the same.
    session->setMergeLateReports(true);
    // Rows are matched in the order they are shown, which sorting changes.
    // Rows not on the tree yet come after every shown one, in the order they came.
    session->setRowPrecedes([this](int a, int b) {
        const auto position = [this](int row) {
            return row < items.size() ? siteTree->indexOfTopLevelItem(items[row]) : items.size() + row;
        };
        return position(a) < position(b);
    });
    locate = session->coordinator();
    watch = new tcListWatch(session, this);
    connect(watch, &tcListWatch::sig_event, this, &MainWindow::slot_watchEvent);
    connect(watch, &tcListWatch::sig_cycleWanted, this, &MainWindow::slot_watchCycle);

    connect(session, &tcDiscoverySession::sig_merged, this, &MainWindow::showMerge);
    connect(ui->btnRefresh, &QPushButton::clicked, this, &MainWindow::slot_refreshClicked);
    connect(ui->btnSelect, &QPushButton::clicked, this, &MainWindow::slot_selectAllClicked);
    connect(ui->btnClose, &QPushButton::clicked, this, &MainWindow::slot_closeClicked);
    connect(ui->btnUpdatePasswords, &QPushButton::clicked, this, &MainWindow::slot_updatePasswords);
    connect(ui->btnUpdateAddresses, &QPushButton::clicked, this, &MainWindow::slot_updateAddresses);
    for (QRadioButton* button : {ui->radShowBridges, ui->radShowRecorders, ui->radShowCameras,
                                 ui->radShowSpeakers, ui->radShowOther})
        connect(button, &QRadioButton::toggled, this, &MainWindow::slot_typeToggled);
    connect(session, &tcDiscoverySession::sig_tick, this, &MainWindow::slot_cycleTick);
    connect(locate, &tcSiteLocate::sig_sweepProgress, this,
            [this] { ui->prgDiscovery->setValue(int(locate->sweptHosts())); });
    connect(session, &tcDiscoverySession::sig_final, this, &MainWindow::slot_cycleFinal);
    // Counted once the locators have closed, as the scan command counts them.
    connect(session, &tcDiscoverySession::sig_closed, this, [this] {
        ui->lblProgress->setToolTip(replyCountsText(locate->repliesByInterface(), locate->protocolNames()));
    });

    slot_refreshClicked();
}

MainWindow::~MainWindow()
{
    session->cancel();
    delete ui;
}

const tcSiteList& MainWindow::sites() const
{
    return session->sites();
}

void MainWindow::slot_closeClicked()
{
    close();
}

void MainWindow::slot_itemDoubleClicked(const QModelIndex&)
{
    if (!siteTree || !siteTree->currentItem())
        return;
    const auto device = siteTree->currentItem()->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>();
    if (device)
        QDesktopServices::openUrl(QUrl(device->webAddress()));
}

void MainWindow::createSiteTree()
{
    siteTree = new QTreeWidget(this);
    siteTree->setColumnCount(tcSiteList::columnCount);
    QStringList labels;
    for (const char* label : tcSiteList::headerLabels)
        labels << tr(label);
    siteTree->setHeaderLabels(labels);
    siteTree->setSelectionMode(shown.cameras ? QAbstractItemView::ExtendedSelection
                                             : QAbstractItemView::SingleSelection);
    ipColumn = tcSiteList::colAddress;
    statusColumn = tcSiteList::colStatus;
    sortColumn = tcSiteList::colAddress;
    connect(siteTree, &QTreeWidget::doubleClicked, this, &MainWindow::slot_itemDoubleClicked);
    // The list takes the place of the spacer that fills the group box until then.
    delete ui->vlDiscovered->takeAt(1);
    ui->vlDiscovered->insertWidget(1, siteTree);
    auto* copy =
        new QShortcut(QKeySequence::Copy, siteTree, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(copy, &QShortcut::activated, this, &MainWindow::slot_copyRows);
}

tcSiteLocateItem* MainWindow::newItem(int row)
{
    const tcSiteList::Texts& texts = sites().texts(row);
    auto* item = new tcSiteLocateItem(QStringList(texts.begin(), texts.end()));
    item->setData(0, tcSiteLocateItem::DeviceRole, QVariant::fromValue(sites().device(row)));
    item->setData(0, tcSiteLocateItem::MacRole, sites().mac(row));
    item->setData(0, tcSiteLocateItem::AddressRole, sites().address(row));
    item->setData(0, tcSiteLocateItem::TypeRole, sites().type(row));
    item->setData(0, tcSiteLocateItem::ModelRole, sites().model(row));
    items.append(item);
    return item;
}

void MainWindow::applyVisibility(int row)
{
    const bool hide = !sites().isVisible(row, shown) || !matchesFind(row);
    // Each change of a hidden flag has the view lay its rows out again.
    if (rowStates[row].hidden != hide) {
        rowStates[row].hidden = hide;
        items[row]->setHidden(hide);
    }
}

void MainWindow::slot_locateFoundSite(tpVideoDevice apDvc)
{
    session->slot_report(apDvc);
}

void MainWindow::showMerge()
{
    if (!siteTree)
        createSiteTree();
    // Noted here, shown once the burst of replies in hand is merged: a device reported by
    // four protocols, twice each, is drawn once rather than eight times.
    const tcSiteList::tcMerge& merge = session->lastMerge();
    if (rowStates.size() <= merge.row)
        rowStates.resize(merge.row + 1);
    tcRowState& state = rowStates[merge.row];
    state.changedColumns |= merge.changedColumns;
    state.typeChanged = state.typeChanged || merge.typeChanged;
    if (!state.pending) {
        state.pending = true;
        pendingRows.append(merge.row);
    }
    if (!flushQueued) {
        flushQueued = true;
        QMetaObject::invokeMethod(this, &MainWindow::showPendingMerges, Qt::QueuedConnection);
    }
}

void MainWindow::showPendingMerges()
{
    flushQueued = false;
    if (pendingRows.isEmpty())
        return;
    const int shownRows = items.size();
    QList<QTreeWidgetItem*> added;
    for (int row = shownRows; row < sites().count(); ++row)
        added.append(newItem(row));
    const QVector<int> rows = std::exchange(pendingRows, {});
    for (int row : rows) {
        tcRowState& state = rowStates[row];
        if (row < shownRows) {
            tcSiteLocateItem* item = items[row];
            const tcSiteList::Texts& texts = sites().texts(row);
            for (int column = 0; column < tcSiteList::columnCount; ++column) {
                if (state.changedColumns & (1u << column))
                    item->setText(column, texts[column]);
            }
            if (state.typeChanged)
                item->setData(0, tcSiteLocateItem::TypeRole, sites().type(row));
        }
        state.changedColumns = 0;
        state.typeChanged = false;
        // Any new name or MAC shows in the conflict marks. Marked before the new rows
        // join the tree, which then has no change to tell its view about.
        markAddresses(row);
    }
    siteTree->addTopLevelItems(added);
    for (int row : rows) {
        rowStates[row].pending = false;
        // A row that became a recorder is shown exactly when recorders are; a filled-in
        // text may now hold the find text. (An item hides only once it is in the tree.)
        applyVisibility(row);
    }
}

void MainWindow::slot_refreshClicked()
{
    // A refresh starts the list afresh: the watch ends first.
    if (chkWatch && chkWatch->isChecked())
        chkWatch->setChecked(false);
    if (siteTree) {
        sortColumn = siteTree->sortColumn();
        siteTree->setSortingEnabled(false);
        siteTree->clear();
        items.clear();
        rowStates.clear();
        pendingRows.clear();
    }
    ui->btnRefresh->setEnabled(false);
    ui->lblProgress->setText(tr("Locating sites, please wait..."));
    // A sweep of other subnets outlasts the three ticks: the bar then counts its hosts.
    session->setRanges(rangeEntry->ranges(), tcRangeProbe::kDefaultRate);
    ui->prgDiscovery->setRange(0, locate->ranges().isEmpty() ? tcDiscoveryCycle::kTicks
                                                             : int(locate->ranges().hostCount()));
    ui->prgDiscovery->setValue(0);
    ui->prgDiscovery->show();
    session->startCycle();
}

void MainWindow::slot_waitTimer()
{
    session->slot_tick();
}

void MainWindow::slot_cycleTick(int count)
{
    if (locate->ranges().isEmpty())
        ui->prgDiscovery->setValue(count);
}

void MainWindow::slot_cycleFinal()
{
    showPendingMerges();
    if (siteTree) {
        siteTree->setSortingEnabled(true);
        siteTree->sortByColumn(sortColumn, Qt::AscendingOrder);
        for (int column = 0; column < siteTree->columnCount(); ++column)
            siteTree->resizeColumnToContents(column);
    }
    showSitesFound();
    ui->prgDiscovery->hide();
    ui->btnRefresh->setEnabled(true);
}

void MainWindow::showSitesFound()
{
    showPendingMerges();
    // What is shown, after the kind and the find text alike.
    const int total = siteTree ? siteTree->topLevelItemCount() : 0;
    int visible = 0;
    for (int i = 0; i < total; ++i)
        visible += siteTree->topLevelItem(i)->isHidden() ? 0 : 1;
    ui->lblProgress->setText(tr("Sites found (%1 / %2)").arg(visible).arg(total));
    // The count online goes on the box: a longer label would cut the kind buttons' texts.
    if (chkWatch)
        chkWatch->setText(watch && watch->isOn() ? tr("Watch (%1 online)").arg(watch->state().onlineCount())
                                                 : tr("Watch"));
}

void MainWindow::slot_typeToggled(bool afChecked)
{
    showPendingMerges();
    if (!afChecked)
        return;
    shown.bridges = ui->radShowBridges->isChecked();
    shown.recorders = ui->radShowRecorders->isChecked();
    shown.cameras = ui->radShowCameras->isChecked();
    shown.speakers = ui->radShowSpeakers->isChecked();
    shown.other = ui->radShowOther->isChecked();
    ui->btnSelect->setVisible(shown.cameras);
    ui->btnUpdatePasswords->setVisible(shown.cameras);
    ui->btnUpdateAddresses->setVisible(shown.cameras);
    if (!siteTree)
        return;

    QString idHeader = tr("QR Code");
    if (shown.bridges)
        idHeader = tr("Cloud ID");
    else if (shown.other)
        idHeader = tr("Device Type");
    siteTree->headerItem()->setText(tcSiteList::colCloudId, idHeader);

    siteTree->setSelectionMode(shown.cameras ? QAbstractItemView::ExtendedSelection
                                             : QAbstractItemView::SingleSelection);
    if (shown.cameras && !selectAllNext)
        slot_selectAllClicked();
    for (int row = 0; row < items.size(); ++row)
        applyVisibility(row);
    for (int column = 0; column < siteTree->columnCount(); ++column)
        siteTree->resizeColumnToContents(column);
    showSitesFound();
}

void MainWindow::slot_selectAllClicked()
{
    showPendingMerges();
    if (!siteTree)
        return;
    if (!selectAllNext) {
        selectAllNext = true;
        ui->btnSelect->setText(tr("Select All"));
        siteTree->clearSelection();
    } else {
        selectAllNext = false;
        ui->btnSelect->setText(tr("Deselect All"));
        siteTree->selectAll();
    }
}

QList<QTreeWidgetItem*> MainWindow::chooseRowsForUpdate(tcConfigKind kind)
{
    const bool withOnvif = actOnvifInUpdates && actOnvifInUpdates->isChecked();
    QList<QTreeWidgetItem*> chosen;
    for (int i = 0; i < siteTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = siteTree->topLevelItem(i);
        const auto device = item->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>();
        // A selection can take in rows the filter hides (a range selection spans them);
        // a device the user cannot see is never reconfigured.
        if (device && isBatchEligible(*device, kind, withOnvif) && item->isSelected() && !item->isHidden()) {
            item->setText(statusColumn, QStringLiteral("---"));
            chosen.append(item);
        } else {
            item->setText(statusColumn, QString());
        }
    }
    return chosen;
}

void MainWindow::showSelectionRequired()
{
    QMessageBox::information(this, tr("Selection Required"), tr("Please select one or more items to update."),
                             QMessageBox::Ok);
}

void MainWindow::slot_updateAddresses()
{
    showPendingMerges();
    if (!siteTree || siteTree->topLevelItemCount() == 0)
        return;
    locate->stop();
    const QList<QTreeWidgetItem*> rows = chooseRowsForUpdate(tcConfigKind::Network);
    if (rows.isEmpty())
        showSelectionRequired();
    else
        runAddressDialog(rows);
}

void MainWindow::slot_updatePasswords()
{
    showPendingMerges();
    if (!siteTree || siteTree->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> rows = chooseRowsForUpdate(tcConfigKind::Password);
    if (rows.isEmpty())
        showSelectionRequired();
    else
        runPasswordDialog(rows);
}

void MainWindow::runOnvifAction(tcConfigKind kind)
{
    showPendingMerges();
    if (!siteTree || siteTree->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> rows = chooseRowsForUpdate(kind);
    if (rows.isEmpty()) {
        QMessageBox::information(this, tr("Selection Required"),
                                 tr("Please select one or more ONVIF cameras of other makers."),
                                 QMessageBox::Ok);
        return;
    }
    // a restart takes the cameras off the list's discovery for a while: no cycle meanwhile
    if (kind == tcConfigKind::Reboot)
        locate->stop();
    tcOnvifActionDlg dialog(this, kind, rows, statusColumn, tcSiteList::colModel, tcSiteList::colFirmware);
    dialog.exec();
}

void MainWindow::runAddressDialog(const QList<QTreeWidgetItem*>& rows)
{
    tcIPUpdateDlg dialog(this, rows, ipColumn, statusColumn);
    dialog.setListedDevices(otherDevices(rows));
    // The check hears the cameras again where the list heard them, routed subnets too.
    dialog.job()->discovery().setRanges(rangeEntry->ranges(), tcRangeProbe::kDefaultRate);
    dialog.exec();
}

void MainWindow::runPasswordDialog(const QList<QTreeWidgetItem*>& rows)
{
    tcPWUpdateDlg dialog(this, rows, statusColumn);
    dialog.exec();
}

void MainWindow::createListTools()
{
    edtFind = new QLineEdit(ui->grpDiscovered);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setPlaceholderText(tr("Find in list"));
    edtFind->setToolTip(
        tr("Shows only the rows that contain this text in any column (Ctrl+F); Escape clears it"));
    edtFind->setClearButtonEnabled(true);
    edtFind->setMinimumWidth(160);
    edtFind->setMaximumWidth(260);
    ui->hlTopBar->insertWidget(1, edtFind);
    auto* clearFind =
        new QShortcut(QKeySequence(Qt::Key_Escape), edtFind, nullptr, nullptr, Qt::WidgetShortcut);
    connect(clearFind, &QShortcut::activated, edtFind, &QLineEdit::clear);
    connect(edtFind, &QLineEdit::textChanged, this, &MainWindow::slot_findTextChanged);
    auto* goToFind = new QShortcut(QKeySequence::Find, this);
    connect(goToFind, &QShortcut::activated, edtFind, [this] {
        edtFind->setFocus(Qt::ShortcutFocusReason);
        edtFind->selectAll();
    });

    auto* exportButton = new QPushButton(tr("Export"), ui->centralwidget);
    exportButton->setObjectName(QStringLiteral("btnExport"));
    exportButton->setToolTip(tr("Save the list as a CSV or JSON file"));
    auto* menu = new QMenu(exportButton);
    QAction* shownRows = menu->addAction(tr("Shown Rows..."));
    shownRows->setObjectName(QStringLiteral("actExportShown"));
    QAction* allRows = menu->addAction(tr("All Rows..."));
    allRows->setObjectName(QStringLiteral("actExportAll"));
    connect(shownRows, &QAction::triggered, this, [this] { slot_exportClicked(false); });
    connect(allRows, &QAction::triggered, this, [this] { slot_exportClicked(true); });
    exportButton->setMenu(menu);
    // Beside Close, after the spacer: it stays when the update buttons are hidden.
    ui->hlBottomBar->insertWidget(ui->hlBottomBar->indexOf(ui->btnClose), exportButton);

    chkWatch = new QCheckBox(tr("Watch"), ui->centralwidget);
    chkWatch->setObjectName(QStringLiteral("chkWatch"));
    chkWatch->setToolTip(tr("Keep the list live: search again every 15 seconds, hear devices announce "
                            "themselves, grey out devices that go quiet and show devices that move (Alt+W)"));
    // Beside Export: the bar above holds the kind buttons' texts in full.
    ui->hlBottomBar->insertWidget(ui->hlBottomBar->indexOf(exportButton), chkWatch);
    connect(chkWatch, &QCheckBox::toggled, this, &MainWindow::slot_watchToggled);
    // A key as well, so that a watch can be started without the mouse (and by the demo).
    auto* watchKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_W), this);
    connect(watchKey, &QShortcut::activated, chkWatch, &QCheckBox::toggle);

    auto* onvifButton = new QPushButton(tr("ONVIF"), ui->centralwidget);
    onvifButton->setObjectName(QStringLiteral("btnOnvif"));
    onvifButton->setToolTip(tr("Actions on the selected ONVIF cameras of other makers"));
    auto* onvifMenu = new QMenu(onvifButton);
    const struct
    {
        const char* name;
        QString text;
        tcConfigKind kind;
    } actions[] = {{"actOnvifInfo", tr("Read Information..."), tcConfigKind::Information},
                   {"actOnvifTime", tr("Set Time..."), tcConfigKind::Time},
                   {"actOnvifReboot", tr("Reboot..."), tcConfigKind::Reboot}};
    for (const auto& a : actions) {
        QAction* action = onvifMenu->addAction(a.text);
        action->setObjectName(QLatin1String(a.name));
        const tcConfigKind kind = a.kind;
        connect(action, &QAction::triggered, this, [this, kind] { runOnvifAction(kind); });
    }
    onvifMenu->addSeparator();
    actOnvifInUpdates = onvifMenu->addAction(tr("Include in Address and Password Updates"));
    actOnvifInUpdates->setObjectName(QStringLiteral("actOnvifInUpdates"));
    actOnvifInUpdates->setCheckable(true);
    actOnvifInUpdates->setToolTip(tr("Update IP Addresses and Update Passwords change the selected ONVIF "
                                     "cameras of other makers too, through their ONVIF device service"));
    onvifButton->setMenu(onvifMenu);
    ui->hlBottomBar->insertWidget(ui->hlBottomBar->indexOf(chkWatch), onvifButton);
}

void MainWindow::slot_watchToggled(bool afOn)
{
    if (afOn) {
        // Later cycles merge into the rows shown instead of starting empty.
        session->setKeepList(true);
        watch->start();
    } else {
        watch->stop();
        session->setKeepList(false);
        // The marks of a watch that has ended would only be stale.
        for (tcSiteLocateItem* item : qAsConst(items))
            showWatchState(item, true, QString());
    }
    showSitesFound();
}

void MainWindow::slot_watchCycle()
{
    if (session->isRunning())
        return;
    ui->btnRefresh->setEnabled(false);
    session->setRanges(rangeEntry->ranges(), tcRangeProbe::kDefaultRate);
    session->startCycle();
}

void MainWindow::showWatchState(tcSiteLocateItem* item, bool online, const QString& status)
{
    const QBrush brush = online ? QBrush() : palette().brush(QPalette::Disabled, QPalette::Text);
    for (int column = 0; column < tcSiteList::columnCount; ++column)
        item->setForeground(column, brush);
    item->setText(statusColumn, status);
}

void MainWindow::slot_watchEvent(const tcWatchEvent& event)
{
    showPendingMerges();
    const tcWatchState::tcEntry& entry = watch->state().entries().at(event.entry);
    const QString mac = entry.device ? entry.device->macAddress : QString();
    const int row =
        sites().findMatch(event.kind == tcWatchEvent::Moved ? event.oldAddress : event.address, mac);
    if (row < 0 || row >= items.size())
        return;
    tcSiteLocateItem* item = items[row];
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    switch (event.kind) {
    case tcWatchEvent::Offline: showWatchState(item, false, tr("last seen %1").arg(time)); break;
    case tcWatchEvent::Online: showWatchState(item, true, QString()); break;
    case tcWatchEvent::Found: showWatchState(item, true, tr("new at %1").arg(time)); break;
    case tcWatchEvent::Moved:
        session->moveRow(row, event.address);
        item->setText(tcSiteList::colAddress, event.address);
        item->setData(0, tcSiteLocateItem::AddressRole, event.address);
        showWatchState(item, true, tr("moved from %1").arg(event.oldAddress));
        // Its address is new: the mark is judged afresh.
        markAddresses(row, true);
        break;
    case tcWatchEvent::Changed: break;
    }
    // Watching, the label is never "Locating...": it counts what is online as it changes.
    showSitesFound();
}

bool MainWindow::matchesFind(int row) const
{
    const QString needle = edtFind ? edtFind->text() : QString();
    if (needle.isEmpty())
        return true;
    const tcSiteLocateItem* item = items[row];
    for (int column = 0; column < tcSiteList::columnCount; ++column) {
        if (item->text(column).contains(needle, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void MainWindow::slot_findTextChanged(const QString&)
{
    showPendingMerges();
    if (!siteTree)
        return;
    for (int row = 0; row < items.size(); ++row)
        applyVisibility(row);
    // While a cycle runs the label says so; its count comes at the end.
    if (!session->isMerging())
        showSitesFound();
}

QVector<int> MainWindow::rowsInTreeOrder(bool afShownOnly) const
{
    QVector<int> rows;
    if (!siteTree)
        return rows;
    QHash<const QTreeWidgetItem*, int> rowOf;
    for (int row = 0; row < items.size(); ++row)
        rowOf.insert(items[row], row);
    for (int i = 0; i < siteTree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = siteTree->topLevelItem(i);
        if (!afShownOnly || !item->isHidden())
            rows.append(rowOf.value(item, -1));
    }
    rows.removeAll(-1);
    return rows;
}

bool MainWindow::exportRows(const QString& fileName, bool afAllRows, tcScanFormat format, QString* error)
{
    showPendingMerges();
    QVector<tcScanRow> rows;
    for (int row : rowsInTreeOrder(!afAllRows)) {
        tcScanRow out = scanRow(sites(), row);
        // The row as shown: the update dialogs write results and new addresses into it.
        for (int column = 0; column < tcSiteList::columnCount; ++column)
            out.texts[column] = items[row]->text(column);
        rows.append(out);
    }
    return writeRowsFile(fileName, format, rows, error);
}

void MainWindow::slot_exportClicked(bool afAllRows)
{
    QString fileName;
    tcScanFormat format = tcScanFormat::Csv;
    if (!askExportFile(this, afAllRows, &fileName, &format))
        return;
    QString error;
    if (!exportRows(fileName, afAllRows, format, &error))
        QMessageBox::warning(
            this, tr("Export Failed"),
            tr("The list could not be saved as %1:\n%2").arg(QDir::toNativeSeparators(fileName), error));
}

void MainWindow::slot_copyRows()
{
    showPendingMerges();
    const QString text = siteTree ? selectedRowsText(*siteTree) : QString();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void MainWindow::markAddresses(int row, bool afRedraw)
{
    markAddress(row, afRedraw);
    for (int other : sites().conflictingRows(row))
        markAddress(other);
}

void MainWindow::markAddress(int row, bool afRedraw)
{
    const QVector<int> others = sites().conflictingRows(row);
    const bool otherSubnet = sites().isOtherSubnet(row);
    // The note's text is built when it is read; the mark changes only with these two.
    tcRowState& state = rowStates[row];
    if (!afRedraw && state.conflict == !others.isEmpty() && state.otherSubnet == otherSubnet)
        return;
    state.otherSubnet = otherSubnet;
    state.conflict = !others.isEmpty();
    tcSiteLocateItem* item = items[row];
    if (!state.otherSubnet && !state.conflict) {
        item->setIcon(tcSiteList::colAddress, QIcon());
        item->clearNote();
        return;
    }
    // Looked up once: a style builds its icon anew on every call.
    if (noteIcons.isEmpty())
        noteIcons = {style()->standardIcon(QStyle::SP_MessageBoxInformation),
                     style()->standardIcon(QStyle::SP_MessageBoxWarning)};
    item->setIcon(tcSiteList::colAddress, noteIcons[state.conflict ? 1 : 0]);
    // The text names the other devices as they are listed when it is read.
    item->setNote(&noteSource, tcSiteList::colAddress, row);
}

QVector<tcHeldAddress> MainWindow::otherDevices(const QList<QTreeWidgetItem*>& chosen) const
{
    const QSet<QTreeWidgetItem*> changing(chosen.cbegin(), chosen.cend());
    QVector<tcHeldAddress> devices;
    for (tcSiteLocateItem* item : items) {
        if (!changing.contains(item))
            devices.append({item->text(tcSiteList::colAddress), item->text(tcSiteList::colSiteName),
                            item->text(tcSiteList::colMac)});
    }
    return devices;
}
