#include "tcIPUpdateDlg.h"

#include "tcFormWidth.h"
#include "tcIpInput.h"
#include "tcVerificationMark.h"
#include "tcVideoDevice.h"
#include "ui_tcIPUpdateDlg.h"

#include <QMessageBox>
#include <QTreeWidgetItem>

#include <array>

namespace {

// Where a field's entry starts: its first octet box.
QWidget* entryOf(tcIpInput* field)
{
    QWidget* first = field->findChild<QLineEdit*>();
    return first ? first : field;
}

} // namespace

tcIPUpdateDlg::tcIPUpdateDlg(QWidget* apParent, const QList<QTreeWidgetItem*>& apItems, int aiIpColumn,
                             int aiStatusColumn)
    : QDialog(apParent), ui(new Ui::tcIPUpdateDlg), siteCount(apItems.size()), ipColumn(aiIpColumn),
      statusColumn(aiStatusColumn), items(&apItems), run(new tcBatchJob(tcConfigKind::Network, this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    widenToLabelTexts(this);
    ui->chkShowPW->setChecked(false);
    ui->chkEnableDHCP->setChecked(dhcp);
    ui->chkDNSViaDHCP->setChecked(dnsViaDhcp);
    ui->edtAdminPass->setFocus();
    ui->lblResults->setText(tr("%1 item(s) selected.").arg(siteCount));
    // DNS always follows the address mode; the box only carries that state.
    ui->chkDNSViaDHCP->hide();

    connect(ui->chkEnableDHCP, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_enableDHCP);
    connect(ui->chkDNSViaDHCP, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_enableDNSViaDHCP);
    connect(ui->btnClose, &QPushButton::clicked, this, &tcIPUpdateDlg::slot_closeClicked);
    connect(ui->chkShowPW, &QCheckBox::toggled, this, &tcIPUpdateDlg::slot_showPW);
    connect(ui->btnUpdate, &QPushButton::clicked, this, &tcIPUpdateDlg::slot_updateClicked);
    connect(run, &tcBatchJob::sig_siteStarted, this, &tcIPUpdateDlg::slot_siteStarted);
    connect(run, &tcBatchJob::sig_siteEnded, this, &tcIPUpdateDlg::slot_siteEnded);
    connect(run, &tcBatchJob::sig_changesEnded, this,
            [this] { ui->lblVerified->setText(tr("Checking that the changes took effect...")); });
    connect(run, &tcBatchJob::sig_verified, this, &tcIPUpdateDlg::slot_verified);
    connect(run, &tcBatchJob::sig_finished, this, &tcIPUpdateDlg::slot_runFinished);
}

tcIPUpdateDlg::~tcIPUpdateDlg()
{
    // A site still in flight must not report into a dialog that is half destroyed.
    run->disconnect(this);
    delete ui;
}

void tcIPUpdateDlg::slot_enableDHCP(bool afChecked)
{
    const bool wasBlocked = ui->chkDNSViaDHCP->blockSignals(true);
    for (QWidget* widget :
         {static_cast<QWidget*>(ui->frmIPAddrBegin), static_cast<QWidget*>(ui->frmSubnetMask),
          static_cast<QWidget*>(ui->frmGateway), static_cast<QWidget*>(ui->chkDNSViaDHCP)})
        widget->setEnabled(!afChecked);
    if (afChecked)
        ui->chkDNSViaDHCP->setChecked(true);
    else
        ui->chkDNSViaDHCP->setChecked(dnsViaDhcp);
    const bool dnsEntered = !afChecked && !dnsViaDhcp;
    ui->frmPrefDNS->setEnabled(dnsEntered);
    ui->frmAltDNS->setEnabled(dnsEntered);
    ui->chkDNSViaDHCP->blockSignals(wasBlocked);
}

void tcIPUpdateDlg::slot_enableDNSViaDHCP(bool afChecked)
{
    dnsViaDhcp = afChecked;
    ui->frmPrefDNS->setEnabled(!afChecked);
    ui->frmAltDNS->setEnabled(!afChecked);
}

void tcIPUpdateDlg::slot_closeClicked()
{
    reject();
}

void tcIPUpdateDlg::slot_showPW(bool afChecked)
{
    ui->edtAdminPass->setEchoMode(afChecked ? QLineEdit::Normal : QLineEdit::Password);
}

void tcIPUpdateDlg::slot_updateClicked()
{
    if (running) {
        // Stop. The site in flight still ends on its own; until it has, a new run would
        // share its challenge, nonce count and address plan, so Update waits for it.
        running = false;
        run->stop();
        ui->btnUpdate->setText(tr("Update"));
        ui->btnUpdate->setEnabled(false);
        return;
    }
    if (!readPlan() || !acceptPlanConflicts())
        return;
    const QString question =
        siteCount < 2 ? tr("Are you sure you want to update network settings for the selected site?")
                      : tr("Are you sure you want to update network settings for all the selected sites?");
    if (QMessageBox::question(this, tr("Confirm Update"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;

    ui->lblResults->clear();
    ui->lblVerified->clear();
    verified = {};
    changedRows.clear();
    ui->progressBar->setRange(0, 2 * siteCount);
    ui->progressBar->setValue(0);
    ui->btnClose->setEnabled(false);
    ui->btnUpdate->setText(tr("Stop"));
    running = true;
    nextIndex = 0;
    successCount = 0;
    doneCount = 0;
    QVector<tpVideoDevice> devices;
    for (const QTreeWidgetItem* item : *items)
        devices << item->data(0, Qt::UserRole).value<tpVideoDevice>();
    run->setDevices(devices);
    run->setCredentials({adminUser, adminPassword, {}, {}, {}});
    plan.dhcp = dhcp;
    plan.dnsViaDhcp = dnsViaDhcp;
    run->setPlan(plan);
    run->start();
}

bool tcIPUpdateDlg::refuse(const QString& title, const QString& text, QWidget* focus)
{
    QMessageBox::information(this, title, text, QMessageBox::Ok);
    focus->setFocus();
    return false;
}

bool tcIPUpdateDlg::acceptPlanConflicts()
{
    if (dhcp)
        return true;
    const QVector<tcHeldAddress> conflicts = planConflicts(plan.start, siteCount, listedDevices);
    if (conflicts.isEmpty())
        return true;
    QStringList lines;
    for (const tcHeldAddress& device : conflicts)
        lines << QStringLiteral("%1  %2").arg(device.address, deviceLabel(device.name, device.mac));
    QMessageBox box(QMessageBox::Warning, tr("Address Conflict"),
                    tr("These addresses of the plan are already used by other listed devices:\n\n%1\n\n"
                       "Two devices on one address cannot both be reached.")
                        .arg(lines.join(QLatin1Char('\n'))),
                    QMessageBox::Yes | QMessageBox::Cancel, this);
    box.button(QMessageBox::Yes)->setText(tr("Continue"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

bool tcIPUpdateDlg::readPlan()
{
    adminUser = ui->edtAdminUser->text().simplified();
    adminPassword = ui->edtAdminPass->text().simplified();
    dhcp = ui->chkEnableDHCP->isChecked();
    const tcBatchCheck login =
        checkCredentials(tcConfigKind::Network, {adminUser, adminPassword, {}, {}, {}});
    if (login != tcBatchCheck::Ok)
        return refuse(batchCheckTitle(login), batchCheckText(login),
                      login == tcBatchCheck::AdminUserMissing ? ui->edtAdminUser : ui->edtAdminPass);
    if (dhcp)
        return true;

    const std::array<tcIpInput*, PlanFieldCount> fields{ui->frmIPAddrBegin, ui->frmSubnetMask, ui->frmGateway,
                                                        ui->frmPrefDNS, ui->frmAltDNS};
    std::array<QString, PlanFieldCount> texts;
    // A field with an empty octet has no text; it is an entry all the same, and a wrong one.
    for (size_t i = 0; i < fields.size(); ++i)
        texts[i] = fields[i]->text().isNull() ? QLatin1String("") : fields[i]->text();
    tcBatchCheck check = readPlanAddresses(texts, &plan);
    if (check == tcBatchCheck::Ok)
        check = checkPlanSize(plan, siteCount);
    switch (check) {
    case tcBatchCheck::Ok: return true;
    case tcBatchCheck::GatewayOnOtherSubnet:
        return refuse(batchCheckTitle(check), batchCheckText(check), ui->frmGateway);
    case tcBatchCheck::StartTooHigh:
        return refuse(batchCheckTitle(check), batchCheckText(check), ui->frmIPAddrBegin);
    default: break;
    }
    // An address that is not one: the focus goes to the field's first octet.
    const int field = int(check) - int(tcBatchCheck::StartInvalid);
    return refuse(batchCheckTitle(check), batchCheckText(check), entryOf(fields[size_t(field)]));
}

void tcIPUpdateDlg::slot_siteStarted(int aiIndex)
{
    nextIndex = aiIndex + 1;
    items->at(aiIndex)->setData(statusColumn, Qt::DisplayRole, tr("Updating..."));
    ui->progressBar->setValue(doneCount + nextIndex);
}

void tcIPUpdateDlg::slot_siteEnded(int aiIndex, const tcConfigOutcome& aOutcome)
{
    QTreeWidgetItem* item = items->at(aiIndex);
    ++doneCount;
    if (aOutcome.success()) {
        ++successCount;
        changedRows.insert(aiIndex);
    }
    if (aOutcome.written) {
        item->setData(ipColumn, Qt::DisplayRole, aOutcome.address);
        item->setData(ipColumn + 1, Qt::DisplayRole,
                      dhcp ? QStringLiteral("dhcp") : QStringLiteral("static"));
    }
    item->setData(statusColumn, Qt::DisplayRole, aOutcome.text);
}

void tcIPUpdateDlg::slot_verified(int aiIndex, const tcVerification& aVerification)
{
    showVerification(items->at(aiIndex), statusColumn, ipColumn, aVerification);
    if (changedRows.contains(aiIndex))
        ++verified[size_t(aVerification.state)];
}

void tcIPUpdateDlg::slot_runFinished()
{
    ui->lblVerified->setText(verificationSummary(verified[tcVerification::Confirmed],
                                                 verified[tcVerification::NotConfirmed],
                                                 verified[tcVerification::NotChecked]));
    ui->lblResults->setText(tr("%1 site(s) successfully updated.").arg(successCount));
    ui->btnClose->setEnabled(true);
    ui->btnUpdate->setEnabled(!running);
    ui->btnUpdate->setText(running ? tr("Done") : tr("Update"));
    ui->progressBar->setValue(2 * siteCount);
    running = false;
}
