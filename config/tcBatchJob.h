#pragma once
// One batch change as the window's dialogs and zephyrlock-scan both run it: the checks
// of what the user entered, which devices may take part, the exchange with each device
// (tcConfigRun), and then the proof that each change took effect. A network change is
// confirmed when a discovery cycle hears the device by its MAC at its new address (or
// with DHCP); a password change when a login with the new password succeeds.

#include "tcConfigRun.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <memory>

class tcDiscoverySession;

// What is wrong with an entry, in the order the checks run. One table turns each into
// the title and text the dialogs show and the command prints.
enum class tcBatchCheck {
    Ok,
    AdminUserMissing,
    AdminPasswordMissing,
    UserMissing,
    OldPasswordMissing,
    NewPasswordMissing,
    NewPasswordUnchanged,
    ConfirmationDiffers,
    StartInvalid,
    MaskInvalid,
    GatewayInvalid,
    Dns1Invalid,
    Dns2Invalid,
    GatewayOnOtherSubnet,
    StartTooHigh,
};
QString batchCheckTitle(tcBatchCheck check); // "Entry Required" or "Invalid Entry"
QString batchCheckText(tcBatchCheck check);

// The secrets of a run, as the fields hold them (simplified); `confirmation` is the
// new password typed again, or null where nobody typed it twice.
tcBatchCheck checkCredentials(tcConfigKind kind, const tcConfigCredentials& credentials,
                              const QString* confirmation = nullptr);

// The static plan's address texts in the form's order; a null text is an entry the
// user did not give and keeps its zero.
enum tcPlanField { PlanStart, PlanMask, PlanGateway, PlanDns1, PlanDns2, PlanFieldCount };
tcBatchCheck readPlanAddresses(const std::array<QString, PlanFieldCount>& texts, tcNetworkPlan* plan);
// The check that needs the number of devices: the plan must fit in its last byte.
tcBatchCheck checkPlanSize(const tcNetworkPlan& plan, int deviceCount);

// The devices a batch change may be run on: the family's cameras that answered the
// PQ-series discovery (the only ones that speak its configuration API), and with
// `withOnvif` other makers' ONVIF cameras too. The clock, restart and information runs
// are for ONVIF cameras alone.
bool isBatchEligible(const tcVideoDevice& device, tcConfigKind kind = tcConfigKind::Network,
                     bool withOnvif = false);

// Whether a change was seen to take effect, and why (or why it could not be checked).
struct tcVerification
{
    enum State { NotChecked, Confirmed, NotConfirmed };
    State state = NotChecked;
    QString reason;
    tpVideoDevice seen; // network changes: the report that confirmed it
};

class tcBatchJob : public QObject
{
    Q_OBJECT
public:
    // How long after its write a device may take to be heard at its new address: a
    // camera restarts its network stack after the change. Discovery cycles run back to
    // back until every changed device is heard or this has passed for it.
    static constexpr int kSettleMs = 10000;
    // A camera that restarts to take its new address is given this long: ONVIF cameras
    // take from half a minute to two to come back.
    static constexpr int kRebootSettleMs = 150000;

    // Without a transport the run makes its own HTTP one.
    explicit tcBatchJob(tcConfigKind kind, QObject* apParent = nullptr,
                        tcHttpTransport* apTransport = nullptr);
    ~tcBatchJob() override;

    void setDevices(const QVector<tpVideoDevice>& devices);
    void setCredentials(const tcConfigCredentials& credentials);
    void setPlan(const tcNetworkPlan& plan);
    void setTime(const tcTimeSetting& setting);
    void setParallel(int parallel);
    void setVerify(bool afVerify) { verify = afVerify; }
    void setSettleMs(int ms) { settleMs = ms; }
    void setRebootSettleMs(int ms) { rebootSettleMs = ms; }
    // The run's own engine, e.g. to shorten the wait for restarted cameras in tests.
    tcConfigRun& configRun() { return *run; }
    // The discovery that confirms network changes; its ranges and interfaces may be set
    // as the list's own were, so a device on a routed subnet is heard again.
    tcDiscoverySession& discovery();

    bool isRunning() const { return running; }
    // The exchange is over; the verification may still run.
    bool isChanging() const { return changing; }

public slots:
    void start();
    // No further device starts; a verification in progress ends at once, leaving what
    // it has not confirmed not checked.
    void stop();

signals:
    void sig_siteStarted(int index);
    void sig_siteEnded(int index, const tcConfigOutcome& outcome);
    // The last device's exchange ended; the verification follows.
    void sig_changesEnded();
    void sig_verified(int index, const tcVerification& verification);
    // Every device has its outcome and its verification.
    void sig_finished();

private:
    struct tcPending
    {
        int index;
        qint64 writtenAt;
        QString mac, endpoint; // what a report must carry to be this device
        int settleMs;
    };

    void siteEnded(int index, const tcConfigOutcome& outcome);
    void changesEnded();
    void startCycle();
    void heard(const tpVideoDevice& report);
    void cycleFinal();
    void cycleClosed();
    void endCycleIfHeard();
    bool waitingToBeHeard() const;
    void checkPasswords();
    void settle(int index, const tcVerification& verification);
    void finishIfDone();

    tcConfigKind kind;
    tcConfigRun* run;
    QVector<tpVideoDevice> devices;
    tcConfigCredentials login;
    tcNetworkPlan plan;
    int parallel = 1;
    bool verify = true;
    int settleMs = kSettleMs;
    int rebootSettleMs = kRebootSettleMs;
    bool running = false;
    bool changing = false;
    bool stopped = false;
    QVector<tcConfigOutcome> outcomes;
    QVector<bool> settled, ended;
    QVector<tcPending> pending; // network changes waiting to be heard
    std::unique_ptr<tcDiscoverySession> session;
    bool cycleRunning = false;
    qint64 cycleStartedAt = 0;
    QElapsedTimer clock;
    tcConfigRun* check = nullptr;
};

Q_DECLARE_METATYPE(tcVerification)
