#include "tcPWUpdateDlg.h"

#include "tcFormWidth.h"
#include "tcPasswordRequests.h"
#include "tcVideoDevice.h"
#include "ui_tcPWUpdateDlg.h"

#include <QDebug>
#include <QMessageBox>
#include <QTreeWidgetItem>
#include <QUrl>

namespace {

const QString kUserPath = QStringLiteral("/ModifyIntegrateUser");
const QString kPasswordPath = QStringLiteral("/ModifyPassword");

} // namespace

tcPWUpdateDlg::tcPWUpdateDlg(QWidget* parent, const QList<QTreeWidgetItem*>& items, int statusColumn)
    : QDialog(parent), ui(new Ui::tcPWUpdateDlg), statusColumn(statusColumn), items(&items)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    widenToLabelTexts(this);
    ui->edtAdminPass->setFocus();

    connect(ui->chkShowPasswords, SIGNAL(toggled(bool)), this, SLOT(slot_showPasswords(bool)));
    connect(ui->btnClose, SIGNAL(clicked()), this, SLOT(slot_closeClicked()));
    connect(ui->btnUpdate, SIGNAL(clicked()), this, SLOT(slot_updateClicked()));
    connect(&network, SIGNAL(finished(QNetworkReply*)), this, SLOT(slot_requestFinished(QNetworkReply*)));
}

tcPWUpdateDlg::~tcPWUpdateDlg()
{
    // network outlives this body; a reply it finishes while going must not reach the
    // slots once the form is gone.
    network.disconnect(this);
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

    const struct
    {
        bool failed;
        QString title;
        QString message;
        QLineEdit* field;
    } checks[] = {
        {adminUser.isEmpty(), tr("Entry Required"), tr("Please enter a user name with administrator access."),
         ui->edtAdminUser},
        {adminPassword.isEmpty(), tr("Entry Required"), tr("Please enter the password for the admin user."),
         ui->edtAdminPass},
        {targetUser.isEmpty(), tr("Entry Required"), tr("Please enter a user name."), ui->edtUserName},
        {oldPassword.isEmpty(), tr("Entry Required"), tr("Please enter the current password."),
         ui->edtOldPassword},
        {newPassword.isEmpty(), tr("Entry Required"), tr("Please enter a new password."), ui->edtNewPassword},
        {newPassword == oldPassword, tr("Invalid Entry"),
         tr("The new password must not be the same as the old password."), ui->edtNewPassword},
        {newPassword != ui->edtConfirmPassword->text().simplified(), tr("Invalid Entry"),
         tr("Passwords do not match."), ui->edtConfirmPassword},
    };
    for (const auto& check : checks) {
        if (check.failed) {
            QMessageBox::information(this, check.title, check.message, QMessageBox::Ok);
            check.field->setFocus();
            return;
        }
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
    running = true;
    nextIndex = 0;
    successCount = 0;
    oldPasswordB64 = tcPasswordRequests::passwordBase64(oldPassword);
    newPasswordB64 = tcPasswordRequests::passwordBase64(newPassword);
    passwordBody = tcPasswordRequests::modifyPasswordBody(oldPasswordB64, newPasswordB64);
    userBody = tcPasswordRequests::modifyIntegrateUserBody(targetUser, newPasswordB64);
    continueRun();
}

void tcPWUpdateDlg::continueRun()
{
    if (running && nextIndex < items->size()) {
        sendUserRequest();
        return;
    }
    ui->btnClose->setEnabled(true);
    ui->btnUpdate->setEnabled(false);
    ui->btnUpdate->setText(tr("Done"));
    ui->edtOldPassword->clear();
    ui->edtNewPassword->clear();
}

void tcPWUpdateDlg::sendUserRequest()
{
    requestKind = 1;
    postToSite(kUserPath, userBody);
}

void tcPWUpdateDlg::sendPasswordRequest()
{
    requestKind = 0;
    postToSite(kPasswordPath, passwordBody);
}

void tcPWUpdateDlg::postToSite(const QString& path, const QByteArray& body)
{
    const tpVideoDevice device = items->at(nextIndex)->data(0, Qt::UserRole).value<tpVideoDevice>();
    // A row without a device gets an empty URL, which the network manager fails like
    // any unreachable site.
    const QUrl url = device ? QUrl(QStringLiteral("http://%1:%2%3")
                                       .arg(device->ipAddress, QString::number(device->webPort), path))
                            : QUrl();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
    request.setTransferTimeout(kTransferTimeoutMs);
    post(request, path, body, false);
}

void tcPWUpdateDlg::post(const QNetworkRequest& request, const QString& path, const QByteArray& content,
                         bool retry)
{
    QNetworkReply* reply = network.post(request, content);
    reply->setProperty("path", path);
    reply->setProperty("content", content);
    if (retry)
        reply->setProperty("retry", true);
}

void tcPWUpdateDlg::slot_requestFinished(QNetworkReply* apReply)
{
    const QNetworkReply::NetworkError error = apReply->error();
    const QByteArray body = apReply->readAll();
    apReply->deleteLater();

    if (error == QNetworkReply::AuthenticationRequiredError) {
        // a 401 to a request that already carried credentials refuses the login
        if (apReply->property("retry").isValid() || !repeatWithAuthorization(apReply))
            loginRefused();
        return;
    }

    if (requestKind == 1) {
        siteOk = false;
        takeOutcome(apReply, body);
        sendPasswordRequest();
    } else {
        // once /ModifyIntegrateUser has succeeded the site is updated whatever follows
        if (!siteOk)
            takeOutcome(apReply, body);
        finishSite();
    }
}

bool tcPWUpdateDlg::repeatWithAuthorization(QNetworkReply* apReply)
{
    if (const auto digest = tcPasswordRequests::digestChallenge(apReply->rawHeader("www-authenticate"))) {
        challenge = tcHttpAuth::parseChallenge(*digest);
        nonceCount = 1;
        clientNonce = tcHttpAuth::makeCnonce();
        // The maker's hashed-password Digest ("authversion") is only answered with qop
        // auth, whatever the challenge offers.
        if (challenge.contains("authversion"))
            challenge.insert("qop", "auth");
    } else {
        nonceCount = 0;
    }

    const bool asAdmin = requestKind == 1;
    const QString path = apReply->property("path").toString();
    const QString value = tcHttpAuth::authorizationValue(
        nonceCount, clientNonce, challenge, tcHttpAuth::methodName(apReply->operation()), path,
        asAdmin ? adminUser : targetUser, asAdmin ? adminPassword : oldPassword);
    if (nonceCount != 0)
        ++nonceCount;

    QNetworkRequest request = apReply->request();
    request.setRawHeader("Authorization", value.toUtf8());
    if (!request.hasRawHeader("Authorization"))
        return false;
    post(request, path, apReply->property("content").toByteArray(), true);
    return true;
}

void tcPWUpdateDlg::loginRefused()
{
    if (requestKind == 1) {
        siteOk = false;
        resultText = QStringLiteral("Login Failed");
        sendPasswordRequest();
        return;
    }
    if (!siteOk)
        resultText = QStringLiteral("Login Failed");
    finishSite();
}

void tcPWUpdateDlg::takeOutcome(const QNetworkReply* apReply, const QByteArray& abaBody)
{
    if (apReply->error() != QNetworkReply::NoError) {
        // the user sees only the outcome text; the reason goes to the debug log
        qDebug().noquote() << "Password update:" << apReply->url().toString(QUrl::RemoveUserInfo)
                           << apReply->errorString();
        resultText = QStringLiteral("Network Error");
        return;
    }
    siteOk = tcPasswordRequests::isSuccess(abaBody);
    resultText = siteOk ? QStringLiteral("Success") : QStringLiteral("Failed");
}

void tcPWUpdateDlg::finishSite()
{
    items->at(nextIndex)->setText(statusColumn, resultText);
    ++nextIndex;
    ui->progressBar->setValue(nextIndex);
    if (siteOk)
        ++successCount;
    if (nextIndex >= items->size()) {
        running = false;
        ui->lblResults->setText(tr("%1 site(s) successfully updated.").arg(successCount));
    }
    continueRun();
}
