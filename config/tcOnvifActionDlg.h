#pragma once
// One ONVIF action on the chosen cameras: read their information, set their clock, or
// restart them. The administrator's login is asked once for all of them; each row of
// the caller's list shows its device's outcome and whether the device showed the change
// (the clock read back, the camera answering after its restart). The exchange and its
// proof are a tcBatchJob.

#include "tcBatchJob.h"

#include <QDialog>
#include <QList>
#include <QSet>

#include <array>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;

class tcOnvifActionDlg : public QDialog
{
    Q_OBJECT
public:
    // kind is Information, Time or Reboot. items is read in place and must outlive the
    // dialog; every item carries its device as a tpVideoDevice in column 0 under
    // Qt::UserRole. The information read fills the model and firmware columns.
    tcOnvifActionDlg(QWidget* parent, tcConfigKind kind, const QList<QTreeWidgetItem*>& items,
                     int statusColumn, int modelColumn, int firmwareColumn);
    ~tcOnvifActionDlg() override;

    tcBatchJob* job() const { return run; }

private:
    void startClicked();
    void siteEnded(int index, const tcConfigOutcome& outcome);
    void verified(int index, const tcVerification& verification);
    void finished();

    tcConfigKind kind;
    const QList<QTreeWidgetItem*>* items;
    int statusColumn, modelColumn, firmwareColumn;
    tcBatchJob* run;
    QLineEdit* edtAdminUser;
    QLineEdit* edtAdminPass;
    QRadioButton* radUtc = nullptr;
    QRadioButton* radNtp = nullptr;
    QLineEdit* edtNtpServers = nullptr;
    QLineEdit* edtTimeZone = nullptr;
    QProgressBar* progressBar;
    QLabel* lblResults;
    QLabel* lblVerified;
    QPushButton* btnStart;
    QPushButton* btnClose;
    bool running = false;
    int ended = 0, succeeded = 0;
    std::array<int, 3> checks{};
    QSet<int> changed; // the sites whose exchange succeeded
};
