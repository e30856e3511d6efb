#pragma once
// The configuration commands of zephyrlock-scan as values: set-network and set-password,
// and for ONVIF cameras sync-time, reboot and info. Their options, the secrets read from standard input or a
// file, the devices a selection picks from a discovered list, and the printed plan and results. Nothing here
// prints or touches the network, so every rule can be tested as a value.

#include "tcBatchJob.h"
#include "tcSiteList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

struct tcConfigureOptions
{
    enum Command { SetNetwork, SetPassword, SyncTime, Reboot, Info };
    Command command = SetNetwork;
    bool help = false;
    QString error; // a usage error: one line saying what is wrong

    tcNetworkPlan plan;    // set-network; fixed, so completion order never moves an address
    QString user;          // set-password: the user whose password changes
    tcTimeSetting time;    // sync-time
    QStringList macs, ips; // the selection, upper-case MACs and addresses
    bool all = false;
    // The kind button the selection is taken from, as the list command's --kind.
    std::optional<tcKindFilter> kind = tcKindFilter();
    // set-network and set-password: other makers' ONVIF cameras take part too.
    bool onvif = false;
    QString secretsFile;
    bool yes = false, dryRun = false, json = false, verify = true;
    int parallel = 1;
};

// True when args[1] names one of the commands.
bool isConfigureCommand(const QStringList& args);
// args[0] is the program, args[1] the command.
tcConfigureOptions parseConfigureArguments(const QStringList& args);
QString configureHelpText(tcConfigureOptions::Command command);

// The lines a command reads: administrator user and password, and for set-password the
// user's current password and the new password; checked as the dialogs check their
// fields. The text of the first failure, or empty. The user whose password changes is
// the option's.
QString readSecretLines(QIODevice& in, const tcConfigureOptions& options, tcConfigCredentials* secrets);
tcConfigKind kindOf(const tcConfigureOptions& options);

// One selected device: found in the list (device set) or not.
struct tcSelected
{
    QString key; // the MAC or address as selected, or the row's MAC for --all
    QString mac, address;
    tpVideoDevice device;
    QString problem;    // "not found" or "not eligible for an update"
    QString newAddress; // the plan: an address, "DHCP", or empty for set-password
};

// The devices the window would let the user pick for the command, in the order the
// window lists them.
QVector<int> eligibleRows(const tcSiteList& list, const tcConfigureOptions& options);
// The selection, eligible devices first in list order, then those with a problem.
QVector<tcSelected> selectDevices(const tcSiteList& list, const tcConfigureOptions& options);
void planAddresses(const tcConfigureOptions& options, QVector<tcSelected>& selected);

QByteArray formatPlan(const tcConfigureOptions& options, const QVector<tcSelected>& selected);

struct tcDeviceReport
{
    QString mac, oldAddress, newAddress;
    tcConfigOutcome outcome;
    QString verification; // "verified", "not seen at ...", "not checked", ...
    bool verified = false;
    bool failed() const
    {
        return !outcome.success() || (!verified && verification != QLatin1String("not checked"));
    }
    // What a failure is named by: the outcome's reason, "not-confirmed", or empty.
    QString reason() const;
};
QByteArray formatReports(const QVector<tcDeviceReport>& reports, bool json,
                         tcConfigureOptions::Command command = tcConfigureOptions::SetNetwork);
