#include "tcScanConfigure.h"

#include "tcScanRun.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kSetNetwork = QStringLiteral("set-network");
const QString kSetPassword = QStringLiteral("set-password");

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
    return args.size() > 1 && (args[1] == kSetNetwork || args[1] == kSetPassword);
}

tcConfigureOptions parseConfigureArguments(const QStringList& args)
{
    tcConfigureOptions options;
    options.command =
        args.value(1) == kSetPassword ? tcConfigureOptions::SetPassword : tcConfigureOptions::SetNetwork;
    const bool network = options.command == tcConfigureOptions::SetNetwork;
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
    QCommandLineParser parser;
    parser.addOptions({help, mac, ip, all, secrets, parallel, yes, dryRun, json, noVerify});
    if (network)
        parser.addOptions({dhcp, dnsDhcp, start, mask, gateway, dns1, dns2});
    else
        parser.addOption(user);
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
    if (parser.isSet(parallel)) {
        bool ok = false;
        options.parallel = parser.value(parallel).toInt(&ok);
        if (!ok || options.parallel < 1 || options.parallel > 32)
            return failure(options, QStringLiteral("--parallel must be a whole number from 1 to 32, not '%1'")
                                        .arg(parser.value(parallel)));
    }

    if (!network) {
        options.user = parser.value(user).simplified();
        if (options.user.isEmpty())
            return failure(options, QStringLiteral("set-password needs --user NAME"));
        return options;
    }
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
                       "  --all            every device the window lets you pick for an update\n"
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
                       "Exit status: 0 every selected device changed (and verified), 3 any did not,\n"
                       "2 usage error, 1 no discovery query could be sent.\n");
    if (command == tcConfigureOptions::SetPassword)
        return QStringLiteral("Usage: zephyrlock-scan set-password --user NAME SELECTION [options]\n\n"
                              "Changes the password of user NAME on the selected cameras.\n\n") +
               selection.arg(QStringLiteral(", then the user's current password and the new password"));
    return QStringLiteral(
               "Usage: zephyrlock-scan set-network (--dhcp | --start A --mask M --gateway G [--dns1 D]\n"
               "                                    [--dns2 D] [--dns-dhcp]) SELECTION [options]\n\n"
               "Sets the selected cameras to DHCP, or gives them consecutive static addresses from A\n"
               "in the order they are listed. Without --dns1/--dns2 they keep their DNS servers.\n\n") +
           selection.arg(QString());
}

tcConfigKind kindOf(const tcConfigureOptions& options)
{
    return options.command == tcConfigureOptions::SetNetwork ? tcConfigKind::Network : tcConfigKind::Password;
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

QVector<int> eligibleRows(const tcSiteList& list)
{
    QVector<int> rows;
    for (int row : listedRows(list, tcKindFilter()))
        if (list.device(row) && isBatchEligible(*list.device(row)))
            rows << row;
    return rows;
}

QVector<tcSelected> selectDevices(const tcSiteList& list, const tcConfigureOptions& options)
{
    const QVector<int> eligible = eligibleRows(list);
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
        missing.problem =
            row < 0 ? QStringLiteral("not found") : QStringLiteral("not eligible for an update");
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
        else
            line += QStringLiteral("  password of user %1").arg(options.user);
        out += line + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray formatReports(const QVector<tcDeviceReport>& reports, bool json)
{
    if (json) {
        QJsonArray array;
        for (const tcDeviceReport& r : reports)
            array.append(QJsonObject{{QStringLiteral("mac"), r.mac},
                                     {QStringLiteral("old_address"), r.oldAddress},
                                     {QStringLiteral("new_address"), r.newAddress},
                                     {QStringLiteral("outcome"), r.outcome.text},
                                     {QStringLiteral("success"), r.outcome.success()},
                                     {QStringLiteral("verification"), r.verification},
                                     {QStringLiteral("verified"), r.verified}});
        return QJsonDocument(array).toJson(QJsonDocument::Indented);
    }
    QString out;
    for (const tcDeviceReport& r : reports) {
        const auto shown = [](const QString& text) { return text.isEmpty() ? QStringLiteral("-") : text; };
        out += QStringList{shown(r.mac), shown(r.oldAddress), shown(r.newAddress), r.outcome.text,
                           r.verification}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    }
    return out.toUtf8();
}
