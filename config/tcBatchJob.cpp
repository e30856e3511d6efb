#include "tcBatchJob.h"

#include "tcDiscoverySession.h"
#include "tcIPv4.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The dialogs' texts; translated in one context so that the window and the command
// say the same.
struct tcCheckText
{
    tcBatchCheck check;
    const char* title;
    const char* text;
};

const char* const kEntryRequired = QT_TRANSLATE_NOOP("tcBatchJob", "Entry Required");
const char* const kInvalidEntry = QT_TRANSLATE_NOOP("tcBatchJob", "Invalid Entry");

const tcCheckText kCheckTexts[] = {
    {tcBatchCheck::AdminUserMissing, kEntryRequired,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a user name with administrator access.")},
    {tcBatchCheck::AdminPasswordMissing, kEntryRequired,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter the password for the admin user.")},
    {tcBatchCheck::UserMissing, kEntryRequired, QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a user name.")},
    {tcBatchCheck::OldPasswordMissing, kEntryRequired,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter the current password.")},
    {tcBatchCheck::NewPasswordMissing, kEntryRequired,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a new password.")},
    {tcBatchCheck::NewPasswordUnchanged, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "The new password must not be the same as the old password.")},
    {tcBatchCheck::ConfirmationDiffers, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Passwords do not match.")},
    {tcBatchCheck::StartInvalid, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a valid starting IP address.")},
    {tcBatchCheck::MaskInvalid, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a valid subnet mask.")},
    {tcBatchCheck::GatewayInvalid, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a valid gateway address.")},
    {tcBatchCheck::Dns1Invalid, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a valid primary DNS address.")},
    {tcBatchCheck::Dns2Invalid, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Please enter a valid alternate DNS address or 0.0.0.0.")},
    {tcBatchCheck::GatewayOnOtherSubnet, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Starting IP address and gateway address must be on the same subnet.")},
    {tcBatchCheck::StartTooHigh, kInvalidEntry,
     QT_TRANSLATE_NOOP("tcBatchJob", "Starting IP address is too high for the number of sites selected.")},
};

const tcCheckText* textOf(tcBatchCheck check)
{
    const auto found = std::find_if(std::begin(kCheckTexts), std::end(kCheckTexts),
                                    [check](const tcCheckText& entry) { return entry.check == check; });
    return found == std::end(kCheckTexts) ? nullptr : found;
}

bool sameMac(const QString& a, const QString& b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

tcVerification verification(tcVerification::State state, const QString& reason,
                            const tpVideoDevice& seen = tpVideoDevice())
{
    tcVerification v;
    v.state = state;
    v.reason = reason;
    v.seen = seen;
    return v;
}

} // namespace

QString batchCheckTitle(tcBatchCheck check)
{
    const tcCheckText* entry = textOf(check);
    return entry ? QCoreApplication::translate("tcBatchJob", entry->title) : QString();
}

QString batchCheckText(tcBatchCheck check)
{
    const tcCheckText* entry = textOf(check);
    return entry ? QCoreApplication::translate("tcBatchJob", entry->text) : QString();
}

tcBatchCheck checkCredentials(tcConfigKind kind, const tcConfigCredentials& c, const QString* confirmation)
{
    if (c.adminUser.isEmpty())
        return tcBatchCheck::AdminUserMissing;
    if (c.adminPassword.isEmpty())
        return tcBatchCheck::AdminPasswordMissing;
    if (kind != tcConfigKind::Password)
        return tcBatchCheck::Ok;
    if (c.targetUser.isEmpty())
        return tcBatchCheck::UserMissing;
    if (c.oldPassword.isEmpty())
        return tcBatchCheck::OldPasswordMissing;
    if (c.newPassword.isEmpty())
        return tcBatchCheck::NewPasswordMissing;
    if (c.newPassword == c.oldPassword)
        return tcBatchCheck::NewPasswordUnchanged;
    if (confirmation && *confirmation != c.newPassword)
        return tcBatchCheck::ConfirmationDiffers;
    return tcBatchCheck::Ok;
}

tcBatchCheck readPlanAddresses(const std::array<QString, PlanFieldCount>& texts, tcNetworkPlan* plan)
{
    static const tcBatchCheck invalid[PlanFieldCount] = {
        tcBatchCheck::StartInvalid, tcBatchCheck::MaskInvalid, tcBatchCheck::GatewayInvalid,
        tcBatchCheck::Dns1Invalid, tcBatchCheck::Dns2Invalid};
    std::array<quint32, PlanFieldCount> values{};
    for (int i = 0; i < PlanFieldCount; ++i) {
        if (texts[size_t(i)].isNull())
            continue;
        const std::optional<quint32> value = parseIPv4(texts[size_t(i)]);
        if (!value)
            return invalid[i];
        values[size_t(i)] = *value;
    }
    const auto [start, mask, gateway, dns1, dns2] = values;
    if ((mask & (start ^ gateway)) != 0)
        return tcBatchCheck::GatewayOnOtherSubnet;
    plan->start = start;
    plan->mask = mask;
    plan->gateway = gateway;
    plan->dns1 = dns1;
    plan->dns2 = dns2;
    return tcBatchCheck::Ok;
}

tcBatchCheck checkPlanSize(const tcNetworkPlan& plan, int deviceCount)
{
    return plan.dhcp || planFits(plan.start, quint32(std::max(deviceCount, 0))) ? tcBatchCheck::Ok
                                                                                : tcBatchCheck::StartTooHigh;
}

bool isBatchEligible(const tcVideoDevice& device, tcConfigKind kind, bool withOnvif)
{
    switch (kind) {
    case tcConfigKind::Time:
    case tcConfigKind::Reboot:
    case tcConfigKind::Information: return usesOnvifService(device);
    case tcConfigKind::Network:
    case tcConfigKind::Password:
    case tcConfigKind::Check: break;
    }
    return device.pqCamera || (withOnvif && usesOnvifService(device));
}

tcBatchJob::tcBatchJob(tcConfigKind kind, QObject* apParent, tcHttpTransport* apTransport)
    : QObject(apParent), kind(kind), run(new tcConfigRun(kind, this, apTransport))
{
    qRegisterMetaType<tcVerification>();
    connect(run, &tcConfigRun::sig_siteStarted, this, &tcBatchJob::sig_siteStarted);
    connect(run, &tcConfigRun::sig_siteEnded, this, &tcBatchJob::siteEnded);
    connect(run, &tcConfigRun::sig_finished, this, &tcBatchJob::changesEnded);
}

tcBatchJob::~tcBatchJob() = default;

void tcBatchJob::setDevices(const QVector<tpVideoDevice>& list)
{
    devices = list;
}

void tcBatchJob::setCredentials(const tcConfigCredentials& credentials)
{
    login = credentials;
}

void tcBatchJob::setPlan(const tcNetworkPlan& networkPlan)
{
    plan = networkPlan;
}

void tcBatchJob::setTime(const tcTimeSetting& setting)
{
    run->setTime(setting);
}

void tcBatchJob::setParallel(int n)
{
    parallel = std::max(1, n);
}

tcDiscoverySession& tcBatchJob::discovery()
{
    if (!session) {
        session = std::make_unique<tcDiscoverySession>();
        connect(session.get(), &tcDiscoverySession::sig_reported, this, &tcBatchJob::heard);
        connect(session.get(), &tcDiscoverySession::sig_final, this, &tcBatchJob::cycleFinal);
        connect(session.get(), &tcDiscoverySession::sig_closed, this, &tcBatchJob::cycleClosed);
    }
    return *session;
}

void tcBatchJob::start()
{
    if (running)
        return;
    running = true;
    changing = true;
    stopped = false;
    outcomes = QVector<tcConfigOutcome>(devices.size());
    settled = QVector<bool>(devices.size(), false);
    ended = QVector<bool>(devices.size(), false);
    pending.clear();
    clock.start();
    run->setDevices(devices);
    run->setCredentials(login);
    run->setPlan(plan);
    run->setParallel(parallel);
    run->setVerify(verify);
    run->start();
}

void tcBatchJob::stop()
{
    if (!running)
        return;
    stopped = true;
    run->stop();
    if (check)
        check->stop();
    if (cycleRunning) {
        session->cancel();
        cycleRunning = false;
    }
    for (const tcPending& p : qAsConst(pending))
        settle(p.index, verification(tcVerification::NotChecked, tr("stopped before the check")));
    finishIfDone();
}

void tcBatchJob::siteEnded(int index, const tcConfigOutcome& outcome)
{
    outcomes[index] = outcome;
    ended[index] = true;
    emit sig_siteEnded(index, outcome);
    if (!outcome.success()) {
        settle(index, verification(tcVerification::NotChecked, tr("the change did not succeed")));
    } else if (!verify) {
        settle(index, verification(tcVerification::NotChecked, tr("the check is turned off")));
    } else if (outcome.proof != tcConfigOutcome::NoProof) {
        // the device showed it itself
        settle(index, verification(outcome.proof == tcConfigOutcome::Proven ? tcVerification::Confirmed
                                                                            : tcVerification::NotConfirmed,
                                   outcome.proofText));
    } else if (kind == tcConfigKind::Information) {
        settle(index, verification(tcVerification::NotChecked, tr("a read changes nothing")));
    } else if (stopped) {
        settle(index, verification(tcVerification::NotChecked, tr("stopped before the check")));
    } else if (kind == tcConfigKind::Network) {
        const tcVideoDevice& device = *devices[index];
        const QString mac = device.macAddress.isEmpty() ? macText(outcome.mac) : device.macAddress;
        if (mac.isEmpty() && device.endpoint.isEmpty()) {
            settle(index,
                   verification(tcVerification::NotChecked, tr("the device names no MAC to find it by")));
            return;
        }
        // Heard as soon as a cycle hears it: the next cycle starts while the other
        // devices are still being changed.
        pending << tcPending{index, clock.elapsed(), mac, device.endpoint,
                             outcome.rebooted ? rebootSettleMs : settleMs};
        if (!cycleRunning)
            startCycle();
    }
}

void tcBatchJob::changesEnded()
{
    changing = false;
    emit sig_changesEnded();
    // Devices a stop kept from starting have nothing to check and no row to tell.
    for (int i = 0; i < settled.size(); ++i)
        settled[i] = settled[i] || !ended[i];
    if (kind == tcConfigKind::Password && verify && !stopped)
        checkPasswords();
    endCycleIfHeard();
    finishIfDone();
}

void tcBatchJob::startCycle()
{
    tcDiscoverySession& cycle = discovery();
    cycleRunning = true;
    cycleStartedAt = clock.elapsed();
    if (!cycle.startCycle()) {
        cycle.cancel();
        cycleRunning = false;
        for (const tcPending& p : qAsConst(pending))
            settle(p.index, verification(tcVerification::NotChecked, tr("no discovery query could be sent")));
        finishIfDone();
    }
}

void tcBatchJob::heard(const tpVideoDevice& report)
{
    if (!cycleRunning || !report)
        return;
    for (const tcPending& p : qAsConst(pending)) {
        const bool same =
            sameMac(report->macAddress, p.mac) || (!p.endpoint.isEmpty() && report->endpoint == p.endpoint);
        if (settled[p.index] || !same)
            continue;
        if (plan.dhcp && report->addressMode == 1)
            settle(p.index, verification(tcVerification::Confirmed,
                                         tr("seen with DHCP at %1").arg(report->ipAddress), report));
        else if (plan.dhcp && report->addressMode == 2)
            // WS-Discovery never tells how a device got its address: heard, not proven
            settle(p.index,
                   verification(tcVerification::NotChecked,
                                tr("heard again at %1; its reply does not tell DHCP").arg(report->ipAddress),
                                report));
        else if (!plan.dhcp && report->ipAddress == outcomes[p.index].address)
            settle(p.index,
                   verification(tcVerification::Confirmed, tr("seen at %1").arg(report->ipAddress), report));
    }
    endCycleIfHeard();
    finishIfDone();
}

void tcBatchJob::endCycleIfHeard()
{
    if (!cycleRunning || changing || waitingToBeHeard())
        return;
    // Nothing left to hear: the rest of the cycle would only be waited out.
    session->cancel();
    cycleRunning = false;
}

bool tcBatchJob::waitingToBeHeard() const
{
    return std::any_of(pending.cbegin(), pending.cend(),
                       [this](const tcPending& p) { return !settled[p.index]; });
}

void tcBatchJob::cycleFinal()
{
    if (!cycleRunning)
        return;
    const qint64 now = clock.elapsed();
    for (const tcPending& p : qAsConst(pending)) {
        // Only a cycle whose queries went out after the write can miss the device, and
        // only once it has had its time to come up.
        if (settled[p.index] || p.writtenAt > cycleStartedAt || now - p.writtenAt < p.settleMs)
            continue;
        settle(p.index, verification(tcVerification::NotConfirmed,
                                     plan.dhcp ? tr("not seen with DHCP")
                                               : tr("not seen at %1").arg(outcomes[p.index].address)));
    }
}

void tcBatchJob::cycleClosed()
{
    if (!cycleRunning)
        return;
    cycleRunning = false;
    if (waitingToBeHeard() && !stopped)
        startCycle();
    else
        finishIfDone();
}

void tcBatchJob::checkPasswords()
{
    QVector<tpVideoDevice> checked;
    QVector<int> indexes;
    for (int i = 0; i < outcomes.size(); ++i) {
        if (settled[i] || !outcomes[i].success())
            continue;
        // A login proves only the password of the user who logs in; another user's may
        // lack the rights to read the settings the check reads.
        if (login.targetUser != login.adminUser) {
            settle(i, verification(tcVerification::NotChecked,
                                   tr("only the administrator's own new password can be tried")));
            continue;
        }
        indexes << i;
        checked << devices[i];
    }
    if (checked.isEmpty())
        return;
    check = new tcConfigRun(tcConfigKind::Check, this);
    check->setDevices(checked);
    check->setCredentials({login.targetUser, login.newPassword, {}, {}, {}});
    check->setParallel(parallel);
    connect(check, &tcConfigRun::sig_siteEnded, this, [this, indexes](int i, const tcConfigOutcome& outcome) {
        settle(indexes[i], outcome.success()
                               ? verification(tcVerification::Confirmed, tr("the new password logs in"))
                               : verification(tcVerification::NotConfirmed,
                                              tr("login with the new password: %1").arg(outcome.text)));
    });
    connect(check, &tcConfigRun::sig_finished, this, [this, indexes] {
        // Devices a stop kept from being tried.
        for (int i : indexes)
            settle(i, verification(tcVerification::NotChecked, tr("stopped before the check")));
        check->deleteLater();
        check = nullptr;
        finishIfDone();
    });
    check->start();
}

void tcBatchJob::settle(int index, const tcVerification& v)
{
    if (index < 0 || index >= settled.size() || settled[index])
        return;
    settled[index] = true;
    emit sig_verified(index, v);
}

void tcBatchJob::finishIfDone()
{
    if (!running || changing || cycleRunning || check || waitingToBeHeard())
        return;
    running = false;
    emit sig_finished();
}
