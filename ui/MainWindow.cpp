#include "MainWindow.h"

#include "tcDiscoveryCycle.h"
#include "tcIPUpdateDlg.h"
#include "tcPWUpdateDlg.h"
#include "tcRangeEntry.h"
#include "tcRangeProbe.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "ui_MainWindow.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>
#include <QTreeWidget>
#include <QUrl>

namespace {
// Guards the device list against the found-device handler, the filter walk and the
// end-of-cycle count running into each other.
QMutex listMutex;
} // namespace

MainWindow::MainWindow(QWidget* apParent)
    : QMainWindow(apParent), ui(new Ui::MainWindow), params(QSharedPointer<tcLocateParams>::create())
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

    // Beside Refresh, whose next press sweeps the ranges entered.
    rangeEntry = new tcRangeEntry(this);
    ui->hlTopBar->insertWidget(ui->hlTopBar->indexOf(ui->btnRefresh), rangeEntry);

    locate = new tcSiteLocate(this, params);
    cycle = new tcDiscoveryCycle(locate, this);
    // Rows are matched in the order they are shown, which sorting changes.
    list.setRowPrecedes([this](int a, int b) {
        return siteTree->indexOfTopLevelItem(items[a]) < siteTree->indexOfTopLevelItem(items[b]);
    });

    connect(locate, &tcSiteLocate::sig_locateFoundSite, this, &MainWindow::slot_locateFoundSite);
    connect(ui->btnRefresh, &QPushButton::clicked, this, &MainWindow::slot_refreshClicked);
    connect(ui->btnSelect, &QPushButton::clicked, this, &MainWindow::slot_selectAllClicked);
    connect(ui->btnClose, &QPushButton::clicked, this, &MainWindow::slot_closeClicked);
    connect(ui->btnUpdatePasswords, &QPushButton::clicked, this, &MainWindow::slot_updatePasswords);
    connect(ui->btnUpdateAddresses, &QPushButton::clicked, this, &MainWindow::slot_updateAddresses);
    for (QRadioButton* button : {ui->radShowBridges, ui->radShowRecorders, ui->radShowCameras,
                                 ui->radShowSpeakers, ui->radShowOther})
        connect(button, &QRadioButton::toggled, this, &MainWindow::slot_typeToggled);
    connect(cycle, &tcDiscoveryCycle::sig_tick, this, &MainWindow::slot_cycleTick);
    connect(locate, &tcSiteLocate::sig_sweepProgress, this,
            [this] { ui->prgDiscovery->setValue(int(locate->sweptHosts())); });
    connect(cycle, &tcDiscoveryCycle::sig_final, this, &MainWindow::slot_cycleFinal);
    // Counted once the locators have closed, as the scan command counts them.
    connect(cycle, &tcDiscoveryCycle::sig_closed, this, [this] {
        ui->lblProgress->setToolTip(replyCountsText(locate->repliesByInterface(), locate->protocolNames()));
    });

    slot_refreshClicked();
}

MainWindow::~MainWindow()
{
    cycle->cancel();
    delete ui;
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
}

void MainWindow::addItem(int row)
{
    const tcSiteList::Texts& texts = list.texts(row);
    auto* item = new tcSiteLocateItem(QStringList(texts.begin(), texts.end()));
    item->setData(0, tcSiteLocateItem::DeviceRole, QVariant::fromValue(list.device(row)));
    item->setData(0, tcSiteLocateItem::MacRole, list.mac(row));
    item->setData(0, tcSiteLocateItem::AddressRole, list.address(row));
    item->setData(0, tcSiteLocateItem::TypeRole, list.type(row));
    item->setData(0, tcSiteLocateItem::ModelRole, list.model(row));
    siteTree->addTopLevelItem(item);
    items.append(item);
}

void MainWindow::applyVisibility(int row)
{
    items[row]->setHidden(!list.isVisible(row, shown));
}

void MainWindow::slot_locateFoundSite(tpVideoDevice apDvc)
{
    if (!apDvc)
        return;
    QMutexLocker lock(&listMutex);
    if (!siteTree)
        createSiteTree();
    const tcSiteList::tcMerge merge = list.merge(apDvc);
    if (merge.added) {
        addItem(merge.row);
        applyVisibility(merge.row);
        return;
    }
    tcSiteLocateItem* item = items[merge.row];
    const tcSiteList::Texts& texts = list.texts(merge.row);
    for (int column = 0; column < tcSiteList::columnCount; ++column) {
        if (merge.changedColumns & (1u << column))
            item->setText(column, texts[column]);
    }
    if (merge.typeChanged) {
        item->setData(0, tcSiteLocateItem::TypeRole, list.type(merge.row));
        // A row that became a recorder is shown exactly when recorders are.
        applyVisibility(merge.row);
    }
}

void MainWindow::slot_refreshClicked()
{
    if (siteTree) {
        sortColumn = siteTree->sortColumn();
        siteTree->setSortingEnabled(false);
        QMutexLocker lock(&listMutex);
        siteTree->clear();
        items.clear();
        list.clear();
    }
    ui->btnRefresh->setEnabled(false);
    ui->lblProgress->setText(tr("Locating sites, please wait..."));
    // A sweep of other subnets outlasts the three ticks: the bar then counts its hosts.
    locate->setRanges(rangeEntry->ranges(), tcRangeProbe::kDefaultRate);
    ui->prgDiscovery->setRange(0, locate->ranges().isEmpty() ? tcDiscoveryCycle::kTicks
                                                             : int(locate->ranges().hostCount()));
    ui->prgDiscovery->setValue(0);
    ui->prgDiscovery->show();
    cycle->start();
}

void MainWindow::slot_waitTimer()
{
    cycle->slot_tick();
}

void MainWindow::slot_cycleTick(int count)
{
    if (locate->ranges().isEmpty())
        ui->prgDiscovery->setValue(count);
}

void MainWindow::slot_cycleFinal()
{
    int visible = 0;
    if (siteTree) {
        {
            QMutexLocker lock(&listMutex);
            for (int i = 0; i < siteTree->topLevelItemCount(); ++i)
                visible += siteTree->topLevelItem(i)->isHidden() ? 0 : 1;
        }
        siteTree->setSortingEnabled(true);
        siteTree->sortByColumn(sortColumn, Qt::AscendingOrder);
        for (int column = 0; column < siteTree->columnCount(); ++column)
            siteTree->resizeColumnToContents(column);
    }
    showSitesFound(visible);
    ui->prgDiscovery->hide();
    ui->btnRefresh->setEnabled(true);
}

void MainWindow::showSitesFound(int visible)
{
    const int total = siteTree ? siteTree->topLevelItemCount() : 0;
    ui->lblProgress->setText(tr("Sites found (%1 / %2)").arg(visible).arg(total));
}

void MainWindow::slot_typeToggled(bool afChecked)
{
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

    int visible = 0;
    {
        QMutexLocker lock(&listMutex);
        siteTree->setSelectionMode(shown.cameras ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
        if (shown.cameras && !selectAllNext)
            slot_selectAllClicked();
        for (int row = 0; row < items.size(); ++row) {
            applyVisibility(row);
            visible += list.isVisible(row, shown) ? 1 : 0;
        }
        for (int column = 0; column < siteTree->columnCount(); ++column)
            siteTree->resizeColumnToContents(column);
    }
    showSitesFound(visible);
}

void MainWindow::slot_selectAllClicked()
{
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

QList<QTreeWidgetItem*> MainWindow::chooseRowsForUpdate()
{
    QList<QTreeWidgetItem*> chosen;
    for (int i = 0; i < siteTree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = siteTree->topLevelItem(i);
        const auto device = item->data(0, tcSiteLocateItem::DeviceRole).value<tpVideoDevice>();
        // A selection can take in rows the filter hides (a range selection spans them);
        // a device the user cannot see is never reconfigured.
        if (device && device->pqCamera && item->isSelected() && !item->isHidden()) {
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
    if (!siteTree || siteTree->topLevelItemCount() == 0)
        return;
    locate->stop();
    const QList<QTreeWidgetItem*> rows = chooseRowsForUpdate();
    if (rows.isEmpty())
        showSelectionRequired();
    else
        runAddressDialog(rows);
}

void MainWindow::slot_updatePasswords()
{
    if (!siteTree || siteTree->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> rows = chooseRowsForUpdate();
    if (rows.isEmpty())
        showSelectionRequired();
    else
        runPasswordDialog(rows);
}

void MainWindow::runAddressDialog(const QList<QTreeWidgetItem*>& rows)
{
    tcIPUpdateDlg dialog(this, rows, ipColumn, statusColumn);
    dialog.exec();
}

void MainWindow::runPasswordDialog(const QList<QTreeWidgetItem*>& rows)
{
    tcPWUpdateDlg dialog(this, rows, statusColumn);
    dialog.exec();
}
