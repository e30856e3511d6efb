#include "tcScanOptions.h"

#include <QCommandLineParser>

#include <algorithm>
#include <iterator>

namespace {

const char kProgram[] = "zephyrlock-scan";

// The window's five kind buttons, by the names the command line uses.
struct tcKindName
{
    const char* name;
    bool tcKindFilter::*button;
};
const tcKindName kKinds[] = {
    {"bridges", &tcKindFilter::bridges}, {"recorders", &tcKindFilter::recorders},
    {"cameras", &tcKindFilter::cameras}, {"speakers", &tcKindFilter::speakers},
    {"other", &tcKindFilter::other},
};

tcScanOptions failure(const QString& error)
{
    tcScanOptions options;
    options.action = tcScanOptions::Fail;
    options.error = error;
    return options;
}

} // namespace

bool parseKindName(const QString& text, std::optional<tcKindFilter>* kind)
{
    const QString name = text.toLower();
    const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&name](const tcKindName& k) { return name == QLatin1String(k.name); });
    if (found != std::end(kKinds)) {
        tcKindFilter filter;
        filter.cameras = false;
        filter.*found->button = true;
        *kind = filter;
        return true;
    }
    if (name != QLatin1String("all"))
        return false;
    kind->reset();
    return true;
}

QString kindError(const QString& text)
{
    return QStringLiteral("--kind must be bridges, recorders, cameras, speakers, other or all, not '%1'")
        .arg(text);
}

tcScanOptions parseScanArguments(const QStringList& args)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption csv(QStringLiteral("csv"));
    const QCommandLineOption kind(QStringLiteral("kind"), QString(), QStringLiteral("kind"));
    const QCommandLineOption cycles(QStringLiteral("cycles"), QString(), QStringLiteral("n"));
    const QCommandLineOption range(QStringLiteral("range"), QString(), QStringLiteral("range"));
    const QCommandLineOption rate(QStringLiteral("rate"), QString(), QStringLiteral("n"));
    const QCommandLineOption interfaces(QStringLiteral("interfaces"));
    const QCommandLineOption interface(QStringLiteral("interface"), QString(), QStringLiteral("name"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    QCommandLineParser parser;
    parser.addOptions({help, version, json, csv, kind, cycles, range, rate, interfaces, interface, verbose});
    if (!parser.parse(args.isEmpty() ? QStringList{QLatin1String(kProgram)} : args))
        return failure(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    tcScanOptions options;
    if (parser.isSet(help)) {
        options.action = tcScanOptions::ShowHelp;
        return options;
    }
    if (parser.isSet(version)) {
        options.action = tcScanOptions::ShowVersion;
        return options;
    }
    options.interfaces = parser.values(interface);
    if (options.interfaces.contains(QString()))
        return failure(QStringLiteral("--interface needs the name of an interface"));
    options.verbose = parser.isSet(verbose);
    if (parser.isSet(interfaces)) {
        options.action = tcScanOptions::ListInterfaces;
        return options;
    }
    if (parser.isSet(json) && parser.isSet(csv))
        return failure(QStringLiteral("--json and --csv exclude each other"));
    if (parser.isSet(json))
        options.format = tcScanFormat::Json;
    else if (parser.isSet(csv))
        options.format = tcScanFormat::Csv;
    if (parser.isSet(kind) && !parseKindName(parser.value(kind), &options.kind))
        return failure(kindError(parser.value(kind)));
    if (parser.isSet(cycles)) {
        bool ok = false;
        options.cycles = parser.value(cycles).toInt(&ok);
        if (!ok || options.cycles < 1)
            return failure(QStringLiteral("--cycles must be a whole number of at least 1, not '%1'")
                               .arg(parser.value(cycles)));
    }
    if (parser.isSet(range)) {
        QString error;
        const auto ranges = tcAddressRanges::parse(parser.values(range), &error);
        if (!ranges)
            return failure(QStringLiteral("--range: %1").arg(error));
        options.ranges = *ranges;
    }
    if (parser.isSet(rate)) {
        bool ok = false;
        options.rate = parser.value(rate).toInt(&ok);
        if (!ok || options.rate < 1 || options.rate > tcRangeProbe::kMaxRate)
            return failure(
                QStringLiteral("--rate must be a whole number of hosts per second from 1 to %1, not '%2'")
                    .arg(tcRangeProbe::kMaxRate)
                    .arg(parser.value(rate)));
    }
    return options;
}

QString scanHelpText()
{
    return QStringLiteral(
        "Usage: zephyrlock-scan [--kind KIND] [--cycles N] [--range RANGE]... [--rate N]\n"
        "                       [--interface NAME]... [--verbose] [--json | --csv]\n"
        "       zephyrlock-scan --interfaces [--interface NAME]...\n"
        "       zephyrlock-scan set-network | set-password | sync-time | reboot | info | watch ...\n"
        "                       (each with --help)\n"
        "\n"
        "Finds the devices on the local network as the Zephyrlock Scanner window does and\n"
        "prints its device list. A discovery cycle takes three seconds.\n"
        "\n"
        "Discovery by multicast and broadcast stops at the first router. With --range the\n"
        "ONVIF and bridge discovery also query every host of the ranges by unicast, which\n"
        "reaches other subnets; Norvo 1.0 and PQ-series devices answer by broadcast or\n"
        "multicast only and are found on the local segment alone. The cycle then lasts\n"
        "until one second after the last host was queried.\n"
        "\n"
        "  --kind KIND   bridges, recorders, cameras (the default), speakers or other, as\n"
        "                the window's kind buttons; all lists every device found\n"
        "  --cycles N    run N discovery cycles back to back and merge them (default 1)\n"
        "  --range RANGE a network (10.20.0.0/22, network and broadcast address left out),\n"
        "                first and last address (10.20.0.1-10.20.3.254) or one address;\n"
        "                repeatable, or several separated by commas; at most a /16 each\n"
        "                and 65,534 hosts in all\n"
        "  --rate N      hosts queried per second by --range (default 1000)\n"
        "  --interface NAME\n"
        "                discover only through this interface (repeatable); ONVIF and\n"
        "                bridge queries leave from it, PQ-series queries leave by the\n"
        "                first one named, Norvo 1.0 broadcasts to its broadcast address;\n"
        "                replies that arrive on other interfaces are ignored\n"
        "  --interfaces  list the interfaces discovery uses (name, address, mask) and\n"
        "                the ones it skips, with the reason\n"
        "  --verbose     after the run, replies per interface and protocol to standard\n"
        "                error\n"
        "  --json        an array of objects: site_name, cloud_id, model, ip_address,\n"
        "                address_type, port, mac, protocol, fw_ver, status (the list's\n"
        "                texts), device_type (number), web_address, update_eligible,\n"
        "                address_conflict (another device listed at the same address),\n"
        "                other_subnet (in no subnet of the probed interfaces and in no\n"
        "                --range: its web page may not open from this machine)\n"
        "  --csv         the same fields, a header row and RFC 4180 quoting\n"
        "  --help        this text\n"
        "  --version     the version\n"
        "\n"
        "\"Sites found (shown / listed)\" goes to standard error, and on a terminal the\n"
        "progress of a range sweep.\n"
        "Exit status: 0 after a run (even when nothing was found), 1 when no discovery\n"
        "query could be sent (no socket, or no network interface up), 2 for a usage error\n"
        "or an --interface that names no interface discovery can use.\n");
}

QString scanVersionText()
{
    return QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QStringLiteral(ZL_VERSION));
}
