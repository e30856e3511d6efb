#include "tcPWUpdateDlg.h"

#include "tcFormWidth.h"
#include "tcVerificationMark.h"
#include "tcVideoDevice.h"
#include "ui_tcPWUpdateDlg.h"

#include <QMessageBox>
#include <QTreeWidgetItem>

tcPWUpdateDlg::tcPWUpdateDlg(QWidget* parent, const QList<QTreeWidgetItem*>& items, int statusColumn)
    : QDialog(parent), ui(new Ui::tcPWUpdateDlg), statusColumn(statusColumn), items(&items),
      run(new tcBatchJob(tcConfigKind::Password, this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    widenToLabelTexts(this);
    ui->edtAdminPass->setFocus();

    connect(ui->chkShowPasswords, SIGNAL(toggled(bool)), this, SLOT(slot_showPasswords(bool)));
    connect(ui->btnClose, SIGNAL(clicked()), this, SLOT(slot_closeClicked()));
    connect(ui->btnUpdate, SIGNAL(clicked()), this, SLOT(slot_updateClicked()));
    connect(run, &tcBatchJob::sig_siteEnded, this, &tcPWUpdateDlg::slot_siteEnded);
    connect(run, &tcBatchJob::sig_verified, this, &tcPWUpdateDlg::slot_verified);
    connect(run, &tcBatchJob::sig_finished, this, &tcPWUpdateDlg::continueRun);
}

tcPWUpdateDlg::~tcPWUpdateDlg()
{
    // A site still in flight must not report into the dialog once the form is gone.
    run->disconnect(this);
    delete ui;
}

void tcPWUpdateDlg::slot_showPasswords(bool afChecked)
{
    const QLineEdit::EchoMode mode = afChecked ? QLineEdit::Normal : QLineEdit::Password;
    // the confirmation stays masked so that it is typed, not copied from the field above
    for (QLineEdit* edit : {ui->edtAdminPass, ui->edtOldPassword, ui->edtNewPassword})
        edit->setEchoMode(mode);
}

void tcPWUpdateDlg::slot_closeClicked()
{
    reject();
}

void tcPWUpdateDlg::slot_updateClicked()
{
    if (running) {
        running = false;
        run->stop();
        ui->btnUpdate->setText(tr("Update"));
        // The reply in flight still belongs to the site at nextIndex: a new run started
        // before it arrives would credit it to its own first site.
        ui->btnUpdate->setEnabled(false);
        return;
    }

    adminUser = ui->edtAdminUser->text().simplified();
    adminPassword = ui->edtAdminPass->text().simplified();
    targetUser = ui->edtUserName->text().simplified();
    oldPassword = ui->edtOldPassword->text().simplified();
    newPassword = ui->edtNewPassword->text().simplified();

    const QString confirmation = ui->edtConfirmPassword->text().simplified();
    const tcBatchCheck check =
        checkCredentials(tcConfigKind::Password,
                         {adminUser, adminPassword, targetUser, oldPassword, newPassword}, &confirmation);
    if (check != tcBatchCheck::Ok) {
        QLineEdit* const fields[] = {ui->edtAdminUser,      ui->edtAdminPass,   ui->edtUserName,
                                     ui->edtOldPassword,    ui->edtNewPassword, ui->edtNewPassword,
                                     ui->edtConfirmPassword};
        QMessageBox::information(this, batchCheckTitle(check), batchCheckText(check), QMessageBox::Ok);
        fields[int(check) - int(tcBatchCheck::AdminUserMissing)]->setFocus();
        return;
    }

    const QString question =
        items->size() < 2 ? tr("Are you sure you want to change the password for the selected site?")
                          : tr("Are you sure you want to change the password for all the selected sites?");
    if (QMessageBox::question(this, tr("Confirm Update"), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;

    ui->progressBar->setRange(0, items->size());
    ui->btnClose->setEnabled(false);
    ui->btnUpdate->setText(tr("Stop"));
    ui->lblResults->clear();
    ui->lblVerified->clear();
    verified = {};
    changedRows.clear();
    running = true;
    nextIndex = 0;
    successCount = 0;
    QVector<tpVideoDevice> devices;
    for (const QTreeWidgetItem* item : *items)
        devices << item->data(0, Qt::UserRole).value<tpVideoDevice>();
    run->setDevices(devices);
    run->setCredentials({adminUser, adminPassword, targetUser, oldPassword, newPassword});
    run->start();
}

void tcPWUpdateDlg::continueRun()
{
    ui->lblVerified->setText(verificationSummary(verified[tcVerification::Confirmed],
                                                 verified[tcVerification::NotConfirmed],
                                                 verified[tcVerification::NotChecked]));
    ui->btnClose->setEnabled(true);
    ui->btnUpdate->setEnabled(false);
    ui->btnUpdate->setText(tr("Done"));
    ui->edtOldPassword->clear();
    ui->edtNewPassword->clear();
}

void tcPWUpdateDlg::slot_siteEnded(int aiIndex, const tcConfigOutcome& aOutcome)
{
    items->at(aiIndex)->setText(statusColumn, aOutcome.text);
    nextIndex = aiIndex + 1;
    ui->progressBar->setValue(nextIndex);
    if (aOutcome.success()) {
        ++successCount;
        changedRows.insert(aiIndex);
    }
    if (nextIndex >= items->size()) {
        running = false;
        ui->lblResults->setText(tr("%1 site(s) successfully updated.").arg(successCount));
    }
}

void tcPWUpdateDlg::slot_verified(int aiIndex, const tcVerification& aVerification)
{
    showVerification(items->at(aiIndex), statusColumn, -1, aVerification);
    if (changedRows.contains(aiIndex))
        ++verified[size_t(aVerification.state)];
}
