#include "tcScanConfigure.h"

#include "tcScanOptions.h"
#include "tcScanRun.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The commands by name, in the order of tcConfigureOptions::Command.
const char* const kCommands[] = {"set-network", "set-password", "sync-time", "reboot", "info"};

int commandIndex(const QString& name)
{
    for (int i = 0; i < int(std::size(kCommands)); ++i)
        if (name == QLatin1String(kCommands[i]))
            return i;
    return -1;
}

tcConfigureOptions failure(tcConfigureOptions options, const QString& error)
{
    options.error = error;
    return options;
}

QStringList listValue(const QString& text, bool mac)
{
    QStringList items;
    for (QString item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        item = item.trimmed();
        if (mac)
            item = macText(item).replace(QLatin1Char('-'), QLatin1Char(':'));
        if (!item.isEmpty() && !items.contains(item))
            items << item;
    }
    return items;
}

} // namespace

bool isConfigureCommand(const QStringList& args)
{
    return args.size() > 1 && commandIndex(args[1]) >= 0;
}

tcConfigureOptions parseConfigureArguments(const QStringList& args)
{
    tcConfigureOptions options;
    options.command = tcConfigureOptions::Command(std::max(0, commandIndex(args.value(1))));
    const bool network = options.command == tcConfigureOptions::SetNetwork;
    const bool password = options.command == tcConfigureOptions::SetPassword;
    const auto valued = [](const char* name, const char* value) {
        return QCommandLineOption(QLatin1String(name), QString(), QLatin1String(value));
    };
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption mac = valued("mac", "list"), ip = valued("ip", "list"),
                             all(QStringLiteral("all"));
    const QCommandLineOption secrets = valued("secrets-file", "file"), parallel = valued("parallel", "n");
    const QCommandLineOption yes(QStringLiteral("yes")), dryRun(QStringLiteral("dry-run")),
        json(QStringLiteral("json")), noVerify(QStringLiteral("no-verify"));
    const QCommandLineOption dhcp(QStringLiteral("dhcp")), dnsDhcp(QStringLiteral("dns-dhcp"));
    const QCommandLineOption start = valued("start", "a"), mask = valued("mask", "m"),
                             gateway = valued("gateway", "g"), dns1 = valued("dns1", "d"),
                             dns2 = valued("dns2", "d");
    const QCommandLineOption user = valued("user", "name");
    const QCommandLineOption kind = valued("kind", "kind"), onvif(QStringLiteral("onvif"));
    const QCommandLineOption ntp = valued("ntp", "server"), timeZone = valued("tz", "tz");
    QCommandLineParser parser;
    parser.addOptions({help, mac, ip, all, secrets, parallel, yes, dryRun, json, noVerify, kind});
    if (network)
        parser.addOptions({dhcp, dnsDhcp, start, mask, gateway, dns1, dns2});
    if (password)
        parser.addOption(user);
    if (network || password)
        parser.addOption(onvif);
    if (options.command == tcConfigureOptions::SyncTime)
        parser.addOptions({ntp, timeZone});
    QStringList rest = args;
    rest.removeAt(1);
    if (!parser.parse(rest))
        return failure(options, parser.errorText());
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(options,
                       QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    const int selections = int(parser.isSet(mac)) + int(parser.isSet(ip)) + int(parser.isSet(all));
    if (selections != 1)
        return failure(options, selections == 0
                                    ? QStringLiteral("choose the devices with --mac, --ip or --all")
                                    : QStringLiteral("--mac, --ip and --all exclude each other"));
    options.all = parser.isSet(all);
    options.macs = listValue(parser.value(mac), true);
    options.ips = listValue(parser.value(ip), false);
    if (!options.all && options.macs.isEmpty() && options.ips.isEmpty())
        return failure(options, QStringLiteral("the selection names no device"));
    options.secretsFile = parser.value(secrets);
    options.yes = parser.isSet(yes);
    options.dryRun = parser.isSet(dryRun);
    options.json = parser.isSet(json);
    options.verify = !parser.isSet(noVerify);
    options.onvif = (network || password) && parser.isSet(onvif);
    if (parser.isSet(kind) && !parseKindName(parser.value(kind), &options.kind))
        return failure(options, kindError(parser.value(kind)));
    if (parser.isSet(parallel)) {
        bool ok = false;
        options.parallel = parser.value(parallel).toInt(&ok);
        if (!ok || options.parallel < 1 || options.parallel > 32)
            return failure(options, QStringLiteral("--parallel must be a whole number from 1 to 32, not '%1'")
                                        .arg(parser.value(parallel)));
    }

    if (options.command == tcConfigureOptions::SyncTime) {
        options.time.ntp = parser.isSet(ntp);
        for (const QString& value : parser.values(ntp))
            options.time.servers << listValue(value, false);
        for (const QString& server : qAsConst(options.time.servers))
            if (!isPlainHost(server))
                return failure(
                    options, QStringLiteral("--ntp takes a host name or IPv4 address, not '%1'").arg(server));
        if (parser.isSet(timeZone)) {
            const QString tz = parser.value(timeZone).trimmed();
            // a POSIX TZ text: printable ASCII without blanks, e.g. CET-1CEST,M3.5.0,M10.5.0/3
            const bool plain =
                !tz.isEmpty() && tz.size() <= 64 &&
                std::all_of(tz.cbegin(), tz.cend(), [](QChar c) { return c > u' ' && c < u'\x7f'; });
            if (!plain)
                return failure(options, QStringLiteral("--tz takes a POSIX time zone such as UTC0, not '%1'")
                                            .arg(parser.value(timeZone)));
            options.time.timeZone = tz;
        }
    }
    if (password) {
        options.user = parser.value(user).simplified();
        if (options.user.isEmpty())
            return failure(options, QStringLiteral("set-password needs --user NAME"));
    }
    if (!network)
        return options;
    options.plan.fixed = true;
    options.plan.dhcp = parser.isSet(dhcp);
    const bool staticGiven = parser.isSet(start) || parser.isSet(mask) || parser.isSet(gateway) ||
                             parser.isSet(dns1) || parser.isSet(dns2) || parser.isSet(dnsDhcp);
    if (options.plan.dhcp)
        return staticGiven ? failure(options, QStringLiteral("--dhcp takes no static plan options"))
                           : options;
    if (!parser.isSet(start) || !parser.isSet(mask) || !parser.isSet(gateway))
        return failure(options, QStringLiteral("set-network needs --dhcp, or --start, --mask and --gateway"));
    // The window's checks, in its order and with its texts; an option not given is no entry.
    std::array<QString, PlanFieldCount> texts;
    const QCommandLineOption* const fields[PlanFieldCount] = {&start, &mask, &gateway, &dns1, &dns2};
    for (int i = 0; i < PlanFieldCount; ++i) {
        if (parser.isSet(*fields[i]))
            texts[size_t(i)] = parser.value(*fields[i]);
    }
    const tcBatchCheck check = readPlanAddresses(texts, &options.plan);
    if (check != tcBatchCheck::Ok)
        return failure(options, batchCheckText(check));
    options.plan.dnsViaDhcp = parser.isSet(dnsDhcp);
    // Without DNS entries the devices keep the servers they have.
    options.plan.keepDeviceDns = !parser.isSet(dns1) && !parser.isSet(dns2);
    return options;
}

QString configureHelpText(tcConfigureOptions::Command command)
{
    const QString selection =
        QStringLiteral("Selection (one of):\n"
                       "  --mac LIST       MAC addresses, comma-separated\n"
                       "  --ip LIST        IP addresses, comma-separated\n"
                       "  --all            every device the window lets you pick for it\n"
                       "  --kind KIND      take the selection from bridges, recorders, cameras (the\n"
                       "                   default), speakers, other or all, as the list command\n"
                       "%2"
                       "\n"
                       "  --secrets-file FILE  read the secret lines from FILE instead of standard input\n"
                       "  --yes            do not ask for confirmation\n"
                       "  --dry-run        print the plan and stop\n"
                       "  --parallel N     up to N devices at once, 1 to 32 (1)\n"
                       "  --json           results as a JSON array\n"
                       "  --no-verify      skip the check that the change took effect\n"
                       "\n"
                       "One discovery cycle finds the devices first. Secrets are never options: standard\n"
                       "input (prompted without echo on a terminal) or the file give, one per line, the\n"
                       "administrator user name and the administrator password%1.\n"
                       "Results: one line per device with its outcome, its check and a reason code\n"
                       "(not-authorized, clock-skew, unreachable, invalid-reply, device-error, fault,\n"
                       "not-confirmed, ...).\n"
                       "Exit status: 0 every selected device changed (and verified), 3 any did not,\n"
                       "2 usage error, 1 no discovery query could be sent.\n");
    const QString withOnvif =
        QStringLiteral("  --onvif          other makers' ONVIF cameras take part too, through their ONVIF\n"
                       "                   device service\n");
    switch (command) {
    case tcConfigureOptions::SetPassword:
        return QStringLiteral("Usage: zephyrlock-scan set-password --user NAME SELECTION [options]\n\n"
                              "Changes the password of user NAME on the selected cameras. An ONVIF camera\n"
                              "without users gets NAME as its first administrator.\n\n") +
               selection.arg(QStringLiteral(", then the user's current password and the new password"),
                             withOnvif);
    case tcConfigureOptions::SetNetwork: break;
    case tcConfigureOptions::SyncTime:
        return QStringLiteral(
                   "Usage: zephyrlock-scan sync-time [--ntp SERVER]... [--tz TZ] SELECTION [options]\n\n"
                   "Sets the clock of the selected ONVIF cameras to the workstation's UTC, or with\n"
                   "--ntp (repeated or comma-separated) to NTP from those servers, and reads it\n"
                   "back. --tz sets a POSIX time zone (e.g. CET-1CEST,M3.5.0,M10.5.0/3); without\n"
                   "it each camera keeps its own.\n\n") +
               selection.arg(QString(), QString());
    case tcConfigureOptions::Reboot:
        return QStringLiteral("Usage: zephyrlock-scan reboot SELECTION [options]\n\n"
                              "Restarts the selected ONVIF cameras and waits for each to answer again.\n\n") +
               selection.arg(QString(), QString());
    case tcConfigureOptions::Info:
        return QStringLiteral("Usage: zephyrlock-scan info SELECTION [options]\n\n"
                              "Reads maker, model, firmware, serial number and hardware id of the selected\n"
                              "ONVIF cameras.\n\n") +
               selection.arg(QString(), QString());
    }
    return QStringLiteral(
               "Usage: zephyrlock-scan set-network (--dhcp | --start A --mask M --gateway G [--dns1 D]\n"
               "                                    [--dns2 D] [--dns-dhcp]) SELECTION [options]\n\n"
               "Sets the selected cameras to DHCP, or gives them consecutive static addresses from A\n"
               "in the order they are listed. Without --dns1/--dns2 they keep their DNS servers.\n\n") +
           selection.arg(QString(), withOnvif);
}

tcConfigKind kindOf(const tcConfigureOptions& options)
{
    switch (options.command) {
    case tcConfigureOptions::SetNetwork: break;
    case tcConfigureOptions::SetPassword: return tcConfigKind::Password;
    case tcConfigureOptions::SyncTime: return tcConfigKind::Time;
    case tcConfigureOptions::Reboot: return tcConfigKind::Reboot;
    case tcConfigureOptions::Info: return tcConfigKind::Information;
    }
    return tcConfigKind::Network;
}

constexpr int kMaxSecretLine = 4096;

QString readSecretLines(QIODevice& in, const tcConfigureOptions& options, tcConfigCredentials* secrets)
{
    secrets->targetUser = options.user;
    QString* const fields[] = {&secrets->adminUser, &secrets->adminPassword, &secrets->oldPassword,
                               &secrets->newPassword};
    const int needed = options.command == tcConfigureOptions::SetPassword ? 4 : 2;
    for (int i = 0; i < needed; ++i) {
        // A line longer than any password field is no secret of ours; cut, its rest would
        // be taken for the next secret.
        const QByteArray line = in.readLine(kMaxSecretLine);
        if (line.isEmpty() && in.atEnd())
            return QStringLiteral("the secrets end after %1 of %2 lines").arg(i).arg(needed);
        if (!line.endsWith('\n') && !in.atEnd())
            return QStringLiteral("line %1 of the secrets is longer than %2 bytes")
                .arg(i + 1)
                .arg(kMaxSecretLine - 2);
        QString text = QString::fromUtf8(line);
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        // as the dialogs read their fields
        *fields[i] = text.simplified();
    }
    return batchCheckText(checkCredentials(kindOf(options), *secrets));
}

QVector<int> eligibleRows(const tcSiteList& list, const tcConfigureOptions& options)
{
    QVector<int> rows;
    for (int row : listedRows(list, options.kind))
        if (list.device(row) && isBatchEligible(*list.device(row), kindOf(options), options.onvif))
            rows << row;
    return rows;
}

QVector<tcSelected> selectDevices(const tcSiteList& list, const tcConfigureOptions& options)
{
    const QVector<int> eligible = eligibleRows(list, options);
    const auto rowOf = [&](const QString& key, bool byMac) {
        for (int row = 0; row < list.count(); ++row) {
            const QString& text = list.texts(row)[byMac ? tcSiteList::colMac : tcSiteList::colAddress];
            if (!text.isEmpty() && text.compare(key, Qt::CaseInsensitive) == 0)
                return row;
        }
        return -1;
    };
    QVector<int> chosen;
    QVector<tcSelected> problems;
    const bool byMac = !options.macs.isEmpty();
    for (const QString& key : byMac ? options.macs : options.ips) {
        const int row = rowOf(key, byMac);
        if (row >= 0 && eligible.contains(row)) {
            if (!chosen.contains(row))
                chosen << row;
            continue;
        }
        tcSelected missing;
        missing.key = key;
        missing.mac = byMac ? key : (row >= 0 ? list.texts(row)[tcSiteList::colMac] : QString());
        missing.address = byMac ? (row >= 0 ? list.texts(row)[tcSiteList::colAddress] : QString()) : key;
        missing.problem = row < 0 ? QStringLiteral("not found")
                          : options.command == tcConfigureOptions::Info
                              ? QStringLiteral("not eligible: no ONVIF device service")
                              : QStringLiteral("not eligible for an update");
        problems << missing;
    }
    QVector<tcSelected> selected;
    for (int row : eligible) {
        if (!options.all && !chosen.contains(row))
            continue;
        tcSelected s;
        s.mac = list.texts(row)[tcSiteList::colMac];
        s.address = list.texts(row)[tcSiteList::colAddress];
        s.key = byMac ? s.mac : s.address;
        s.device = list.device(row);
        selected << s;
    }
    return selected + problems;
}

void planAddresses(const tcConfigureOptions& options, QVector<tcSelected>& selected)
{
    if (options.command != tcConfigureOptions::SetNetwork)
        return;
    quint32 index = 0;
    for (tcSelected& s : selected) {
        if (s.device)
            s.newAddress = options.plan.dhcp ? QStringLiteral("DHCP") : options.plan.address(index++);
    }
}

QByteArray formatPlan(const tcConfigureOptions& options, const QVector<tcSelected>& selected)
{
    QString out;
    for (const tcSelected& s : selected) {
        QString line = (s.mac.isEmpty() ? QStringLiteral("-") : s.mac) + QLatin1String("  ") +
                       (s.address.isEmpty() ? QStringLiteral("-") : s.address);
        if (!s.problem.isEmpty())
            line += QLatin1String("  ") + s.problem;
        else if (options.command == tcConfigureOptions::SetNetwork)
            line += QStringLiteral(" -> ") + s.newAddress;
        else if (options.command == tcConfigureOptions::SetPassword)
            line += QStringLiteral("  password of user %1").arg(options.user);
        else if (options.command == tcConfigureOptions::SyncTime)
            line += options.time.ntp ? QStringLiteral("  clock from NTP %1")
                                           .arg(options.time.servers.isEmpty()
                                                    ? QStringLiteral("(servers from DHCP)")
                                                    : options.time.servers.join(QLatin1Char(',')))
                                     : QStringLiteral("  clock to the workstation's UTC");
        else if (options.command == tcConfigureOptions::Reboot)
            line += QStringLiteral("  restart");
        else
            line += QStringLiteral("  read information");
        out += line + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QString tcDeviceReport::reason() const
{
    if (!outcome.success())
        return outcome.reason.isEmpty() ? QStringLiteral("not-done") : outcome.reason;
    return failed() ? QStringLiteral("not-confirmed") : QString();
}

QByteArray formatReports(const QVector<tcDeviceReport>& reports, bool json,
                         tcConfigureOptions::Command command)
{
    const bool info = command == tcConfigureOptions::Info;
    if (json) {
        QJsonArray array;
        for (const tcDeviceReport& r : reports) {
            QJsonObject o{{QStringLiteral("mac"), r.mac},
                          {QStringLiteral("old_address"), r.oldAddress},
                          {QStringLiteral("new_address"), r.newAddress},
                          {QStringLiteral("outcome"), r.outcome.text},
                          {QStringLiteral("success"), r.outcome.success()},
                          {QStringLiteral("verification"), r.verification},
                          {QStringLiteral("verified"), r.verified},
                          {QStringLiteral("reason"), r.reason()}};
            if (r.outcome.hasInformation) {
                const tcOnvifDevice::tcDeviceInformation& i = r.outcome.information;
                o.insert(QStringLiteral("manufacturer"), i.manufacturer);
                o.insert(QStringLiteral("model"), i.model);
                o.insert(QStringLiteral("firmware"), i.firmware);
                o.insert(QStringLiteral("serial"), i.serial);
                o.insert(QStringLiteral("hardware_id"), i.hardwareId);
            }
            array.append(o);
        }
        return QJsonDocument(array).toJson(QJsonDocument::Indented);
    }
    QString out;
    for (const tcDeviceReport& r : reports) {
        const auto shown = [](const QString& text) { return text.isEmpty() ? QStringLiteral("-") : text; };
        QStringList columns{shown(r.mac), shown(r.oldAddress)};
        if (info) {
            const tcOnvifDevice::tcDeviceInformation& i = r.outcome.information;
            columns << shown(i.manufacturer) << shown(i.model) << shown(i.firmware) << shown(i.serial);
        } else {
            columns << shown(r.newAddress);
        }
        columns << r.outcome.text << r.verification << shown(r.reason());
        out += columns.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out.toUtf8();
}
