#pragma once
// One configuration command (set-network, set-password, sync-time, reboot, info) from start to exit status: a
// discovery cycle, the selection and its plan, the confirmation, and the batch job that changes the devices
// and checks that each change took effect.

#include "tcScanConfigure.h"

#include <QObject>

#include <memory>

class tcScanRun;

class tcScanConfigureRun : public QObject
{
    Q_OBJECT
public:
    enum tcExit { ExitDone = 0, ExitNoNetwork = 1, ExitUsage = 2, ExitNotDone = 3 };

    tcScanConfigureRun(const tcConfigureOptions& options, const tcConfigCredentials& secrets,
                       QObject* apParent = nullptr);
    ~tcScanConfigureRun() override;

public slots:
    void slot_start();

signals:
    void sig_finished(int exitCode);

private:
    void discovered(bool querySent);
    void finish();

    tcConfigureOptions options;
    tcConfigCredentials secrets;
    std::unique_ptr<tcScanRun> discovery;
    QVector<tcSelected> selected;
    QVector<tcDeviceReport> reports; // one per selected device, in the same order
    QVector<int> runIndex;           // report of each device in the run
};

// Prints the command's lines (plan and prompts on standard error, results on standard
// output), reads the secrets, and runs it; the process exit status.
int runConfigureCommand(const QStringList& args);
