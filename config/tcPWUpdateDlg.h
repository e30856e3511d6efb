#pragma once
// Changes one device user's password on the chosen cameras, one site after another.
// Each site gets /ModifyIntegrateUser as the administrator, then /ModifyPassword as the
// user with the current password; either one reporting success counts the site as
// updated. The outcome of every site goes into the caller's status column.

#include "tcHttpAuth.h"

#include <QDialog>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

class QTreeWidgetItem;

namespace Ui {
class tcPWUpdateDlg;
}

class tcPWUpdateDlg : public QDialog
{
    Q_OBJECT
public:
    // A camera that accepts the connection and never answers must not hold the run.
    static constexpr int kTransferTimeoutMs = 15000;

    // items is read in place and must outlive the dialog; every item carries its device
    // as a tpVideoDevice in column 0 under Qt::UserRole.
    tcPWUpdateDlg(QWidget* parent, const QList<QTreeWidgetItem*>& items, int statusColumn);
    ~tcPWUpdateDlg() override;

public slots:
    void slot_showPasswords(bool afChecked);
    void slot_closeClicked();
    void slot_updateClicked();
    void slot_requestFinished(QNetworkReply* apReply);

private:
    void sendUserRequest();
    void sendPasswordRequest();
    void continueRun();

    // True when the repeated request went out, false when no Authorization could be built.
    bool repeatWithAuthorization(QNetworkReply* apReply);
    void loginRefused();
    // "Success" or "Failed" from the body, "Network Error" for any transfer failure.
    void takeOutcome(const QNetworkReply* apReply, const QByteArray& abaBody);
    void finishSite();
    void postToSite(const QString& path, const QByteArray& body);
    void post(const QNetworkRequest& request, const QString& path, const QByteArray& content, bool retry);

    Ui::tcPWUpdateDlg* ui;
    qint32 nextIndex = 0;
    qint32 successCount = 0;
    qint32 requestKind = 0; // 1 /ModifyIntegrateUser, 0 /ModifyPassword
    qint32 nonceCount = 0;
    qint32 statusColumn;
    bool running = false;
    bool siteOk = false;
    QString resultText;
    QString adminUser;
    QString adminPassword;
    QString targetUser;
    QString oldPassword;
    QString newPassword;
    QString oldPasswordB64;
    QString newPasswordB64;
    QByteArray passwordBody;
    QByteArray userBody;
    QByteArray clientNonce;
    QNetworkAccessManager network;
    const QList<QTreeWidgetItem*>* items;
    tcHttpAuth::Challenge challenge;
};
