#pragma once
// Changes one device user's password on the chosen cameras, one site after another.
// The form, its confirmation and the rows are here; the checks, the exchange with each
// site (/ModifyIntegrateUser as the administrator, then /ModifyPassword as the user) and
// the login that proves the new password are a tcBatchJob, whose outcome of every site
// goes into the caller's status column.

#include "tcBatchJob.h"

#include <QDialog>
#include <QList>
#include <QSet>

#include <array>

class QTreeWidgetItem;

namespace Ui {
class tcPWUpdateDlg;
}

class tcPWUpdateDlg : public QDialog
{
    Q_OBJECT
public:
    // A camera that accepts the connection and never answers must not hold the run.
    static constexpr int kTransferTimeoutMs = tcConfigRun::kTransferTimeoutMs;

    // items is read in place and must outlive the dialog; every item carries its device
    // as a tpVideoDevice in column 0 under Qt::UserRole.
    tcPWUpdateDlg(QWidget* parent, const QList<QTreeWidgetItem*>& items, int statusColumn);
    ~tcPWUpdateDlg() override;

    tcBatchJob* job() const { return run; }

public slots:
    void slot_showPasswords(bool afChecked);
    void slot_closeClicked();
    void slot_updateClicked();

private:
    void continueRun();
    // The run's reports.
    void slot_siteEnded(int aiIndex, const tcConfigOutcome& aOutcome);
    void slot_verified(int aiIndex, const tcVerification& aVerification);

    Ui::tcPWUpdateDlg* ui;
    qint32 nextIndex = 0;
    qint32 successCount = 0;
    qint32 statusColumn;
    bool running = false;
    QString adminUser;
    QString adminPassword;
    QString targetUser;
    QString oldPassword;
    QString newPassword;
    const QList<QTreeWidgetItem*>* items;
    tcBatchJob* run;
    // The changed sites by the state of their verification.
    std::array<int, 3> verified{};
    QSet<int> changedRows;
};
