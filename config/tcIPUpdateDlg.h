#pragma once
// Changes the network settings of the chosen list rows, one device after another: the
// form, its checks and the confirmation are here; the exchange with each device is a
// tcConfigRun, whose outcomes go into the rows' status, address and mode columns.

#include "tcConfigRun.h"

#include <QDialog>
#include <QList>

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

    // Every request of the exchange gives up after this long without progress, so a
    // device that accepts the connection and never answers ends its site.
    static constexpr int kTransferTimeoutMs = tcConfigRun::kTransferTimeoutMs;

private slots:
    void slot_enableDHCP(bool afChecked);
    void slot_enableDNSViaDHCP(bool afChecked);
    void slot_closeClicked();
    void slot_showPW(bool afChecked);
    void slot_updateClicked();

private:
    bool readPlan(); // checks the form; false after telling the user what is wrong
    bool refuse(const QString& title, const QString& text, QWidget* focus);
    // The run's reports.
    void slot_siteStarted(int aiIndex);
    void slot_siteEnded(int aiIndex, const tcConfigOutcome& aOutcome);
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
    tcConfigRun* run;
};
