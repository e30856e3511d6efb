#pragma once
// Changes the network settings of the chosen list rows, one device after another: the
// form, its confirmation and the rows are here; the checks, the exchange with each
// device and the proof that it took effect are a tcBatchJob, whose outcomes go into the
// rows' status, address and mode columns.

#include "tcAddressChecks.h"
#include "tcBatchJob.h"

#include <QDialog>
#include <QList>
#include <QSet>

#include <array>

class QTreeWidgetItem;
class tcIpInput;

namespace Ui {
class tcIPUpdateDlg;
}

class tcIPUpdateDlg : public QDialog
{
    Q_OBJECT
public:
    // apItems belongs to the caller and must outlive the dialog; every item carries its
    // tpVideoDevice in column 0 under Qt::UserRole.
    tcIPUpdateDlg(QWidget* apParent, const QList<QTreeWidgetItem*>& apItems, int aiIpColumn,
                  int aiStatusColumn);
    ~tcIPUpdateDlg() override;

    // The listed devices that are not being changed; a static plan that would hand out
    // one of their addresses is shown before the run is confirmed.
    void setListedDevices(const QVector<tcHeldAddress>& devices) { listedDevices = devices; }

    // Every request of the exchange gives up after this long without progress, so a
    // device that accepts the connection and never answers ends its site.
    static constexpr int kTransferTimeoutMs = tcConfigRun::kTransferTimeoutMs;

    // The run; its discovery may be set up as the list's own before Update is pressed.
    tcBatchJob* job() const { return run; }

private slots:
    void slot_enableDHCP(bool afChecked);
    void slot_enableDNSViaDHCP(bool afChecked);
    void slot_closeClicked();
    void slot_showPW(bool afChecked);
    void slot_updateClicked();

private:
    bool readPlan(); // checks the form; false after telling the user what is wrong
    bool refuse(const QString& title, const QString& text, QWidget* focus);
    bool acceptPlanConflicts(); // true when there are none or the user goes on
    // The run's reports.
    void slot_siteStarted(int aiIndex);
    void slot_siteEnded(int aiIndex, const tcConfigOutcome& aOutcome);
    void slot_verified(int aiIndex, const tcVerification& aVerification);
    void slot_runFinished();

    Ui::tcIPUpdateDlg* ui;
    qint32 siteCount;
    qint32 nextIndex = 0;
    qint32 successCount = 0;
    qint32 doneCount = 0;
    qint32 ipColumn;
    qint32 statusColumn;
    bool running = false;
    bool dhcp = false;
    bool dnsViaDhcp = false;
    QString adminUser;
    QString adminPassword;
    tcNetworkPlan plan; // the addresses read when Update was pressed
    const QList<QTreeWidgetItem*>* items;
    tcBatchJob* run;
    // The changed devices by the state of their verification.
    std::array<int, 3> verified{};
    QSet<int> changedRows;
    QVector<tcHeldAddress> listedDevices;
};
