#include "MainWindow.h"

#include "tcDiscoverySession.h"
#include "tcIPUpdateDlg.h"
#include "tcPWUpdateDlg.h"
#include "tcRangeEntry.h"
#include "tcRangeProbe.h"
#include "tcSiteLocate.h"
#include "tcSiteLocateItem.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QSet>
#include <QShortcut>
#include <QStyle>
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

    session = new tcDiscoverySession(this);
    // A reply that comes after the count is listed all the same.
    session->setMergeLateReports(true);
    // Rows are matched in the order they are shown, which sorting changes.
    session->setRowPrecedes([this](int a, int b) {
        return siteTree->indexOfTopLevelItem(items[a]) < siteTree->indexOfTopLevelItem(items[b]);
    });
    locate = session->coordinator();

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

void MainWindow::addItem(int row)
{
    const tcSiteList::Texts& texts = sites().texts(row);
    auto* item = new tcSiteLocateItem(QStringList(texts.begin(), texts.end()));
    item->setData(0, tcSiteLocateItem::DeviceRole, QVariant::fromValue(sites().device(row)));
    item->setData(0, tcSiteLocateItem::MacRole, sites().mac(row));
    item->setData(0, tcSiteLocateItem::AddressRole, sites().address(row));
    item->setData(0, tcSiteLocateItem::TypeRole, sites().type(row));
    item->setData(0, tcSiteLocateItem::ModelRole, sites().model(row));
    siteTree->addTopLevelItem(item);
    items.append(item);
}

void MainWindow::applyVisibility(int row)
{
    items[row]->setHidden(!sites().isVisible(row, shown) || !matchesFind(row));
}

void MainWindow::slot_locateFoundSite(tpVideoDevice apDvc)
{
    session->slot_report(apDvc);
}

void MainWindow::showMerge()
{
    if (!siteTree)
        createSiteTree();
    const tcSiteList::tcMerge& merge = session->lastMerge();
    if (merge.added) {
        addItem(merge.row);
    } else {
        tcSiteLocateItem* item = items[merge.row];
        const tcSiteList::Texts& texts = sites().texts(merge.row);
        for (int column = 0; column < tcSiteList::columnCount; ++column) {
            if (merge.changedColumns & (1u << column))
                item->setText(column, texts[column]);
        }
        if (merge.typeChanged)
            item->setData(0, tcSiteLocateItem::TypeRole, sites().type(merge.row));
    }
    // A row that became a recorder is shown exactly when recorders are; a filled-in
    // text may now hold the find text. Any new name or MAC shows in the conflict marks.
    applyVisibility(merge.row);
    markAddresses(merge.row);
}

void MainWindow::slot_refreshClicked()
{
    if (siteTree) {
        sortColumn = siteTree->sortColumn();
        siteTree->setSortingEnabled(false);
        siteTree->clear();
        items.clear();
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
    // What is shown, after the kind and the find text alike.
    const int total = siteTree ? siteTree->topLevelItemCount() : 0;
    int visible = 0;
    for (int i = 0; i < total; ++i)
        visible += siteTree->topLevelItem(i)->isHidden() ? 0 : 1;
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
        if (device && isBatchEligible(*device) && item->isSelected() && !item->isHidden()) {
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

QString MainWindow::exportFileName(const QDateTime& when, tcScanFormat format)
{
    return QStringLiteral("zephyrlock-devices-%1.%2")
        .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")),
             format == tcScanFormat::Json ? QStringLiteral("json") : QStringLiteral("csv"));
}

bool MainWindow::exportRows(const QString& fileName, bool afAllRows, tcScanFormat format,
                            QString* error) const
{
    QVector<tcScanRow> rows;
    for (int row : rowsInTreeOrder(!afAllRows)) {
        tcScanRow out = scanRow(sites(), row);
        // The row as shown: the update dialogs write results and new addresses into it.
        for (int column = 0; column < tcSiteList::columnCount; ++column)
            out.texts[column] = items[row]->text(column);
        rows.append(out);
    }
    // Written to a temporary file and renamed over the target only when complete.
    QSaveFile file(fileName);
    const QByteArray bytes = formatRows(format, rows);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

void MainWindow::slot_exportClicked(bool afAllRows)
{
    const QString csvFilter = tr("CSV files (*.csv)");
    const QString jsonFilter = tr("JSON files (*.json)");
    const QDateTime now = QDateTime::currentDateTime();
    QFileDialog dialog(this, afAllRows ? tr("Export All Rows") : tr("Export Shown Rows"));
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({csvFilter, jsonFilter});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(exportFileName(now, tcScanFormat::Csv));
    // Choosing the other format renames the proposal to match.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const tcScanFormat format = filter == jsonFilter ? tcScanFormat::Json : tcScanFormat::Csv;
        dialog.setDefaultSuffix(format == tcScanFormat::Json ? QStringLiteral("json")
                                                             : QStringLiteral("csv"));
        dialog.selectFile(exportFileName(now, format));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    // A typed extension wins over the filter left selected.
    tcScanFormat format = dialog.selectedNameFilter() == jsonFilter ? tcScanFormat::Json : tcScanFormat::Csv;
    if (fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        format = tcScanFormat::Json;
    else if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        format = tcScanFormat::Csv;
    QString error;
    if (!exportRows(fileName, afAllRows, format, &error))
        QMessageBox::warning(
            this, tr("Export Failed"),
            tr("The list could not be saved as %1:\n%2").arg(QDir::toNativeSeparators(fileName), error));
}

void MainWindow::slot_copyRows()
{
    if (!siteTree)
        return;
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
    for (int column = 0; column < siteTree->columnCount(); ++column)
        header << cell(siteTree->headerItem()->text(column));
    lines << header.join(QLatin1Char('\t'));
    for (int i = 0; i < siteTree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = siteTree->topLevelItem(i);
        if (!item->isSelected() || item->isHidden())
            continue;
        QStringList cells;
        for (int column = 0; column < siteTree->columnCount(); ++column)
            cells << cell(item->text(column));
        lines << cells.join(QLatin1Char('\t'));
    }
    if (lines.size() > 1)
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void MainWindow::markAddresses(int row)
{
    markAddress(row);
    for (int other : sites().conflictingRows(row))
        markAddress(other);
}

void MainWindow::markAddress(int row)
{
    const QVector<int> others = sites().conflictingRows(row);
    const bool otherSubnet = sites().isOtherSubnet(row);
    QStringList notes;
    if (!others.isEmpty()) {
        QStringList labels;
        for (int other : others) {
            const tcSiteList::Texts& texts = sites().texts(other);
            labels << deviceLabel(texts[tcSiteList::colSiteName], texts[tcSiteList::colMac]);
        }
        notes << tr("Address conflict: %1 is also used by %2. Only one of the devices can be reached "
                    "at this address.")
                     .arg(sites().address(row), labels.join(QStringLiteral(", ")));
    }
    if (otherSubnet) {
        QStringList subnets;
        for (const tcSubnet& subnet : sites().probedNetworks().subnets)
            subnets << subnet.text();
        notes << tr("Other subnet: this device answered, but its web page may not open from this "
                    "workstation. %1 lies in no subnet of the interfaces the scanner probed (%2) and in "
                    "no range swept; "
                    "discovery replies reach this workstation on the same cable by broadcast or "
                    "multicast, while a web page needs a route to the device's subnet.")
                     .arg(sites().address(row),
                          subnets.isEmpty() ? tr("none") : subnets.join(QStringLiteral(", ")));
    }
    QTreeWidgetItem* item = items[row];
    if (notes.isEmpty()) {
        item->setIcon(tcSiteList::colAddress, QIcon());
        item->setToolTip(tcSiteList::colAddress, QString());
        return;
    }
    const QStyle::StandardPixmap icon =
        others.isEmpty() ? QStyle::SP_MessageBoxInformation : QStyle::SP_MessageBoxWarning;
    item->setIcon(tcSiteList::colAddress, style()->standardIcon(icon));
    // As paragraphs of rich text, which a tooltip wraps; names come from the network.
    QString tip;
    for (const QString& note : qAsConst(notes))
        tip += QStringLiteral("<p>%1</p>").arg(note.toHtmlEscaped());
    item->setToolTip(tcSiteList::colAddress, tip);
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
