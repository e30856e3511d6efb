#include "tcOnvifActionDlg.h"

#include "tcVerificationMark.h"
#include "tcVideoDevice.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

tcOnvifActionDlg::tcOnvifActionDlg(QWidget* parent, tcConfigKind kind, const QList<QTreeWidgetItem*>& items,
                                   int statusColumn, int modelColumn, int firmwareColumn)
    : QDialog(parent), kind(kind), items(&items), statusColumn(statusColumn), modelColumn(modelColumn),
      firmwareColumn(firmwareColumn), run(new tcBatchJob(kind, this))
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setObjectName(QStringLiteral("tcOnvifActionDlg"));
    setWindowTitle(kind == tcConfigKind::Time     ? tr("Set Time")
                   : kind == tcConfigKind::Reboot ? tr("Reboot")
                                                  : tr("Read Information"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        kind == tcConfigKind::Time
            ? tr("Sets the clock of %n ONVIF camera(s) and reads it back.", "", items.size())
        : kind == tcConfigKind::Reboot
            ? tr("Restarts %n ONVIF camera(s) and waits for each to answer again.", "", items.size())
            : tr("Reads maker, model, firmware and serial number of %n ONVIF camera(s).", "", items.size()),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    edtAdminUser = new QLineEdit(QStringLiteral("admin"), this);
    edtAdminUser->setObjectName(QStringLiteral("edtAdminUser"));
    edtAdminPass = new QLineEdit(this);
    edtAdminPass->setObjectName(QStringLiteral("edtAdminPass"));
    edtAdminPass->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Admin User Name:"), edtAdminUser);
    form->addRow(tr("Admin Password:"), edtAdminPass);
    if (kind == tcConfigKind::Time) {
        radUtc = new QRadioButton(tr("The workstation's clock (UTC)"), this);
        radUtc->setObjectName(QStringLiteral("radUtc"));
        radUtc->setChecked(true);
        radNtp = new QRadioButton(tr("NTP"), this);
        radNtp->setObjectName(QStringLiteral("radNtp"));
        edtNtpServers = new QLineEdit(this);
        edtNtpServers->setObjectName(QStringLiteral("edtNtpServers"));
        edtNtpServers->setPlaceholderText(tr("servers, comma-separated; empty: from DHCP"));
        edtNtpServers->setEnabled(false);
        connect(radNtp, &QRadioButton::toggled, edtNtpServers, &QLineEdit::setEnabled);
        edtTimeZone = new QLineEdit(this);
        edtTimeZone->setObjectName(QStringLiteral("edtTimeZone"));
        edtTimeZone->setPlaceholderText(tr("e.g. CET-1CEST,M3.5.0,M10.5.0/3; empty: each keeps its own"));
        form->addRow(tr("Set To:"), radUtc);
        form->addRow(QString(), radNtp);
        form->addRow(tr("NTP Servers:"), edtNtpServers);
        form->addRow(tr("Time Zone:"), edtTimeZone);
    }
    layout->addLayout(form);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, items.size());
    progressBar->setValue(0);
    layout->addWidget(progressBar);
    lblResults = new QLabel(this);
    lblResults->setObjectName(QStringLiteral("lblResults"));
    lblVerified = new QLabel(this);
    lblVerified->setObjectName(QStringLiteral("lblVerified"));
    layout->addWidget(lblResults);
    layout->addWidget(lblVerified);
    auto* buttons = new QDialogButtonBox(this);
    btnStart = buttons->addButton(tr("Start"), QDialogButtonBox::ActionRole);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setDefault(true);
    btnClose = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    layout->addWidget(buttons);
    connect(btnStart, &QPushButton::clicked, this, &tcOnvifActionDlg::startClicked);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(run, &tcBatchJob::sig_siteEnded, this, &tcOnvifActionDlg::siteEnded);
    connect(run, &tcBatchJob::sig_verified, this, &tcOnvifActionDlg::verified);
    connect(run, &tcBatchJob::sig_finished, this, &tcOnvifActionDlg::finished);
    // room for the fields' hints in full
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 72);
    edtAdminPass->setFocus();
}

tcOnvifActionDlg::~tcOnvifActionDlg()
{
    // A camera still in flight must not report into the dialog once the form is gone.
    run->disconnect(this);
}

void tcOnvifActionDlg::startClicked()
{
    if (running) {
        run->stop();
        btnStart->setEnabled(false);
        return;
    }
    const tcConfigCredentials login{
        edtAdminUser->text().simplified(), edtAdminPass->text().simplified(), {}, {}, {}};
    const tcBatchCheck check = checkCredentials(kind, login);
    if (check != tcBatchCheck::Ok) {
        QMessageBox::information(this, batchCheckTitle(check), batchCheckText(check), QMessageBox::Ok);
        (check == tcBatchCheck::AdminUserMissing ? edtAdminUser : edtAdminPass)->setFocus();
        return;
    }
    tcTimeSetting time;
    if (kind == tcConfigKind::Time) {
        time.ntp = radNtp->isChecked();
        if (time.ntp) {
            for (const QString& server : edtNtpServers->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                if (!isPlainHost(server.trimmed())) {
                    QMessageBox::information(this, tr("Invalid Entry"),
                                             tr("Please enter NTP servers as host names or IPv4 addresses."));
                    edtNtpServers->setFocus();
                    return;
                }
                time.servers << server.trimmed();
            }
        }
        const QString tz = edtTimeZone->text().trimmed();
        if (!tz.isEmpty())
            time.timeZone = tz;
    }
    if (kind != tcConfigKind::Information &&
        QMessageBox::question(this, tr("Confirm Update"),
                              kind == tcConfigKind::Reboot
                                  ? tr("Are you sure you want to restart the selected cameras?")
                                  : tr("Are you sure you want to set the clock of the selected cameras?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;

    QVector<tpVideoDevice> devices;
    for (QTreeWidgetItem* item : *items) {
        devices << item->data(0, Qt::UserRole).value<tpVideoDevice>();
        item->setText(statusColumn, QStringLiteral("---"));
    }
    ended = succeeded = 0;
    checks = {};
    changed.clear();
    progressBar->setValue(0);
    lblResults->clear();
    lblVerified->clear();
    running = true;
    btnStart->setText(tr("Stop"));
    btnClose->setEnabled(false);
    run->setDevices(devices);
    run->setCredentials(login);
    run->setTime(time);
    run->setParallel(8);
    run->start();
}

void tcOnvifActionDlg::siteEnded(int index, const tcConfigOutcome& outcome)
{
    QTreeWidgetItem* item = items->at(index);
    item->setText(statusColumn, outcome.text);
    if (outcome.hasInformation) {
        if (const auto device = item->data(0, Qt::UserRole).value<tpVideoDevice>()) {
            device->model = outcome.information.model;
            device->firmware = outcome.information.firmware;
        }
        item->setText(modelColumn, outcome.information.model);
        item->setText(firmwareColumn, outcome.information.firmware);
        item->setToolTip(modelColumn, tr("%1 %2, serial number %3")
                                          .arg(outcome.information.manufacturer, outcome.information.model,
                                               outcome.information.serial));
    }
    progressBar->setValue(++ended);
    if (outcome.success()) {
        ++succeeded;
        changed.insert(index);
    }
}

void tcOnvifActionDlg::verified(int index, const tcVerification& verification)
{
    if (kind == tcConfigKind::Information)
        return;
    showVerification(items->at(index), statusColumn, -1, verification);
    if (changed.contains(index))
        ++checks[size_t(verification.state)];
}

void tcOnvifActionDlg::finished()
{
    running = false;
    lblResults->setText(tr("%1 of %2 camera(s) succeeded.").arg(succeeded).arg(items->size()));
    lblVerified->setText(verificationSummary(checks[tcVerification::Confirmed],
                                             checks[tcVerification::NotConfirmed],
                                             checks[tcVerification::NotChecked]));
    btnStart->setText(tr("Done"));
    btnStart->setEnabled(false);
    btnClose->setEnabled(true);
}
