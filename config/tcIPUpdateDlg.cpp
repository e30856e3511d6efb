#include "tcIPUpdateDlg.h"

#include "tcFormWidth.h"
#include "tcIpInput.h"
#include "tcVideoDevice.h"
#include "ui_tcIPUpdateDlg.h"

#include <QHostAddress>
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
      statusColumn(aiStatusColumn), items(&apItems), run(new tcConfigRun(tcConfigKind::Network, this))
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
    connect(run, &tcConfigRun::sig_siteStarted, this, &tcIPUpdateDlg::slot_siteStarted);
    connect(run, &tcConfigRun::sig_siteEnded, this, &tcIPUpdateDlg::slot_siteEnded);
    connect(run, &tcConfigRun::sig_finished, this, &tcIPUpdateDlg::slot_runFinished);
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
    if (!readPlan())
        return;
    const QString question =
        siteCount < 2 ? tr("Are you sure you want to update network settings for the selected site?")
                      : tr("Are you sure you want to update network settings for all the selected sites?");
    if (QMessageBox::question(this, tr("Confirm Update"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;

    ui->lblResults->clear();
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

bool tcIPUpdateDlg::readPlan()
{
    adminUser = ui->edtAdminUser->text().simplified();
    adminPassword = ui->edtAdminPass->text().simplified();
    dhcp = ui->chkEnableDHCP->isChecked();
    if (adminUser.isEmpty())
        return refuse(tr("Entry Required"), tr("Please enter a user name with administrator access."),
                      ui->edtAdminUser);
    if (adminPassword.isEmpty())
        return refuse(tr("Entry Required"), tr("Please enter the password for the admin user."),
                      ui->edtAdminPass);
    if (dhcp)
        return true;

    const std::array<std::pair<tcIpInput*, QString>, 5> fields{{
        {ui->frmIPAddrBegin, tr("Please enter a valid starting IP address.")},
        {ui->frmSubnetMask, tr("Please enter a valid subnet mask.")},
        {ui->frmGateway, tr("Please enter a valid gateway address.")},
        {ui->frmPrefDNS, tr("Please enter a valid primary DNS address.")},
        {ui->frmAltDNS, tr("Please enter a valid alternate DNS address or 0.0.0.0.")},
    }};
    std::array<quint32, 5> values{};
    for (size_t i = 0; i < fields.size(); ++i) {
        const QString text = fields[i].first->text();
        if (!tcIpInput::isValidAddress(text))
            return refuse(tr("Invalid Entry"), fields[i].second, entryOf(fields[i].first));
        values[i] = QHostAddress(text).toIPv4Address();
    }
    const auto [start, mask, gw, dns1, dns2] = values;
    if ((mask & (start ^ gw)) != 0)
        return refuse(tr("Invalid Entry"),
                      tr("Starting IP address and gateway address must be on the same subnet."),
                      ui->frmGateway);
    plan.start = start;
    plan.mask = mask;
    plan.gateway = gw;
    plan.dns1 = dns1;
    plan.dns2 = dns2;
    // Only the last byte advances, so the plan must end at .255 at the latest.
    if ((start & 0xffu) + siteCount > 256)
        return refuse(tr("Invalid Entry"),
                      tr("Starting IP address is too high for the number of sites selected."),
                      ui->frmIPAddrBegin);
    return true;
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
    if (aOutcome.success())
        ++successCount;
    if (aOutcome.written) {
        item->setData(ipColumn, Qt::DisplayRole, aOutcome.address);
        item->setData(ipColumn + 1, Qt::DisplayRole,
                      dhcp ? QStringLiteral("dhcp") : QStringLiteral("static"));
    }
    item->setData(statusColumn, Qt::DisplayRole, aOutcome.text);
}

void tcIPUpdateDlg::slot_runFinished()
{
    ui->lblResults->setText(tr("%1 site(s) successfully updated.").arg(successCount));
    ui->btnClose->setEnabled(true);
    ui->btnUpdate->setEnabled(!running);
    ui->btnUpdate->setText(running ? tr("Done") : tr("Update"));
    ui->progressBar->setValue(2 * siteCount);
    running = false;
}
