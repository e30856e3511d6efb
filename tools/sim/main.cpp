// zephyrlock-sim: plays a whole site of devices for the scanner and its dialogs. Runs on
// the site side of the test namespaces (see tools/sim/README.md for the contract).

#include "tcSimDevice.h"
#include "tcSimDiscoveryServer.h"
#include "tcSimHttpServer.h"
#include "tcSimOnvifService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kDescription[] = R"(Simulated site of Zephyrlock devices: discovery responders and the cameras'
HTTP configuration service. Run it as root on the site side of the test namespaces.

Devices come from --site FILE and/or the count options (deterministic for --seed).
Site file: {"devices": [ {...}, ... ]}, each device an object with
  kind        onvif | norvo2 | norvo1 | pq-recorder | pq-camera | pq-decoder |
              pq-storage | bridge                                     (required)
  address     IPv4 address the device answers on                     (required)
  altAddress  second address (PQ reply field; HTTP is served there too)
  port        HTTP port (80); name, model, firmware ("A.B.C build"), cloudId, mac
  protocols   ["onvif","norvo","pq","bridge"]: override the kind's protocols
  http        false: no HTTP service
  auth        none | basic | digest | basic+digest                    (digest)
  algorithm   MD5 | MD5-sess (MD5);  qop true|false (true);  userhash (false)
  authversion true: challenge says authversion="1.1" and HA1 is taken over the
              upper-case hex MD5 of the password (false)
  realm       ("Zephyrlock");  users {"name": "password"} ({"admin": "7093"})
  fault       none | wrong-credentials | no-answer | closed-port | malformed-xml |
              failed (with errorCode) | endless-body;  faultPaths ["/SetNetBasicConfig", ...]
              limits a fault to those paths (not closed-port)
  moveOnWrite true: as --move-on-write, for this device alone (false)
  schedule    [{"at": seconds, "do": "silent" | "back" | "hello" | "bye"}, ...]: from the
              start, the device stops answering discovery, answers again, or multicasts
              a WS-Discovery Hello (answering again) or Bye (silent after it);
              {"at": seconds, "do": "move", "to": address} moves it to that address
              (added to the interface at the start); each step prints
              {"event":"schedule",...}
  successStatus  status text of an accepted write's reply ("success"; "SUCCESS"
              as some firmware writes it)
  network     {"ipSettingMode": "staticIp", "staticIp": ..., "staticIpRoute",
              "staticIpMask", "dhcpIp", "dhcpIpRoute", "dhcpIpMask",
              "dnsFromDhcpSwitch", "dnsServer1", "dnsServer2"}: replaces the default
              (static plan around the address); null leaves the element out.
ONVIF devices also serve POST /onvif/device_service (device management):
  onvifAuth   token (WS-UsernameToken digest) | digest (HTTP) | both | none (token)
  clockOffset seconds the device's clock is off (0);  onvifNoUsers true: no users
              and no login until CreateUsers (false)
  rebootNeeded true: SetNetworkInterfaces takes effect after SystemReboot (false);
              keepsAddress true: it answers success and changes nothing (false)
  rebootSecs  how long SystemReboot keeps the device down (3); it prints
              {"event":"reboot","do":"down"|"up",...}
stdout carries one JSON object per line:
  {"event":"ready",...}       every socket is bound and listening
  {"event":"request",...}     with --log-requests: one per HTTP request (method, path,
                              contentType, headers, body, authorization {scheme,
                              username, digest parameters, verdict}, status; ONVIF:
                              onvif {operation, login, username}, passwords left out)
  {"event":"state",...}       after each accepted write, and for every device on
                              SIGUSR1, on SIGTERM/SIGINT (before exiting) and at start
                              with --print-site)";

// Self-pipe: the signal handler only writes a byte; the event loop does the work.
int g_signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    if (::write(g_signalPipe[1], &byte, 1) < 0) {
        // nothing useful can be done inside a signal handler
    }
}

void raiseFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = std::max<rlim_t>(limit.rlim_max, 65536);
    rlimit raised{wanted, wanted};
    if (::setrlimit(RLIMIT_NOFILE, &raised) != 0) {
        raised = {limit.rlim_max, limit.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &raised);
    }
}

// Runs `ip -force -batch -` with one command per line; false when ip cannot run.
bool runIpBatch(const QStringList& lines)
{
    if (lines.isEmpty())
        return true;
    QProcess ip;
    ip.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ip.start(QStringLiteral("ip"), {QStringLiteral("-force"), QStringLiteral("-batch"), QStringLiteral("-")});
    if (!ip.waitForStarted(5000))
        return false;
    ip.write(lines.join(QLatin1Char('\n')).toLatin1() + '\n');
    ip.closeWriteChannel();
    return ip.waitForFinished(60000);
}

QSet<quint32> localAddresses()
{
    QSet<quint32> set;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            set.insert(a.toIPv4Address());
    return set;
}

void dumpState(const tcSimDevices& devices)
{
    for (const auto& d : devices)
        emitJsonLine(d->stateJson());
}

int fail(const QString& message)
{
    std::fprintf(stderr, "zephyrlock-sim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zephyrlock-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    const QList<QPair<QString, QString>> countOptions = {
        {QStringLiteral("onvif"), QStringLiteral("Third-party ONVIF cameras.")},
        {QStringLiteral("norvo2"), QStringLiteral("Second-generation cameras (MAC 0a:3d:91, ONVIF and PQ).")},
        {QStringLiteral("norvo1"), QStringLiteral("Norvo 1.0 cameras.")},
        {QStringLiteral("pq-recorders"), QStringLiteral("PQ-series recorders.")},
        {QStringLiteral("pq-cameras"), QStringLiteral("PQ-series cameras (OEM, also ONVIF).")},
        {QStringLiteral("pq-decoders"), QStringLiteral("PQ-series decoders.")},
        {QStringLiteral("pq-storage"), QStringLiteral("PQ-series storage servers.")},
        {QStringLiteral("bridges"), QStringLiteral("Bridges.")},
    };
    for (const auto& option : countOptions)
        parser.addOption({option.first, option.second, QStringLiteral("N"), QStringLiteral("0")});
    parser.addOptions({
        {QStringLiteral("site"), QStringLiteral("JSON file describing devices (see above)."),
         QStringLiteral("FILE")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generated devices."), QStringLiteral("S"),
         QStringLiteral("1")},
        {QStringLiteral("base"), QStringLiteral("First address of generated devices."),
         QStringLiteral("ADDR"), QStringLiteral("10.99.1.1")},
        {QStringLiteral("password"), QStringLiteral("admin password of generated devices."),
         QStringLiteral("PW"), QStringLiteral("7093")},
        {QStringLiteral("interface"), QStringLiteral("Interface of the site (must exist)."),
         QStringLiteral("IF"), QStringLiteral("zlsite0")},
        {QStringLiteral("prefix"), QStringLiteral("Prefix length of added addresses."), QStringLiteral("N"),
         QStringLiteral("16")},
        {QStringLiteral("no-add-addresses"),
         QStringLiteral("Do not add missing device addresses to the interface (the launcher did).")},
        {QStringLiteral("http-timeout"), QStringLiteral("Drop an idle or unfinished HTTP request after MS."),
         QStringLiteral("MS"), QStringLiteral("10000")},
        {QStringLiteral("http-delay"),
         QStringLiteral("Answer every HTTP request MS later, as a camera's processing time."),
         QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("log-requests"), QStringLiteral("Print one JSON line per HTTP request.")},
        {QStringLiteral("onvif-max-delay"),
         QStringLiteral("Largest random wait before answering a WS-Discovery Probe (APP_MAX_DELAY)."),
         QStringLiteral("MS"), QStringLiteral("500")},
        {QStringLiteral("spread"), QStringLiteral("Spread the other protocols' replies over MS."),
         QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("no-http"), QStringLiteral("No HTTP service (discovery only).")},
        {QStringLiteral("no-discovery"), QStringLiteral("No discovery responders (HTTP only).")},
        {QStringLiteral("print-site"), QStringLiteral("Print every device's state line before ready.")},
        {QStringLiteral("move-on-write"),
         QStringLiteral("Discovery replies name the static address last written, as a camera that moved "
                        "would (HTTP stays on the first address).")},
    });
    parser.process(app);

    tcSimDevices devices;
    if (parser.isSet(QStringLiteral("site"))) {
        QFile file(parser.value(QStringLiteral("site")));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        QString error;
        if (!loadSiteJson(file.readAll(), devices, &error))
            return fail(QStringLiteral("%1: %2").arg(file.fileName(), error));
    }
    tcSimCounts counts;
    int* const countFields[] = {&counts.onvif,     &counts.norvo2,     &counts.norvo1,    &counts.pqRecorders,
                                &counts.pqCameras, &counts.pqDecoders, &counts.pqStorage, &counts.bridges};
    for (int i = 0; i < countOptions.size(); ++i) {
        bool ok = false;
        *countFields[i] = parser.value(countOptions[i].first).toInt(&ok);
        if (!ok || *countFields[i] < 0 || *countFields[i] > 60000)
            return fail(QStringLiteral("--%1 needs a count from 0 to 60000").arg(countOptions[i].first));
    }
    const QHostAddress base(parser.value(QStringLiteral("base")));
    if (base.protocol() != QAbstractSocket::IPv4Protocol)
        return fail(QStringLiteral("--base needs an IPv4 address"));
    generateSite(counts, parser.value(QStringLiteral("seed")).toUInt(), base,
                 parser.value(QStringLiteral("password")), devices);
    if (devices.empty())
        return fail(QStringLiteral("no devices: give --site or a count option (see --help)"));

    // The interface must exist: in the machine's own namespace there is no zlsite0, so a
    // simulator started there by mistake stops before it sends anything.
    const QString interfaceName = parser.value(QStringLiteral("interface"));
    const QNetworkInterface interface = QNetworkInterface::interfaceFromName(interfaceName);
    if (!interface.isValid())
        return fail(
            QStringLiteral("interface %1 not found; run inside the site namespace").arg(interfaceName));

    raiseFileLimit();
    for (const auto& d : devices)
        d->moveOnWrite = d->moveOnWrite || parser.isSet(QStringLiteral("move-on-write"));

    QStringList added;
    if (!parser.isSet(QStringLiteral("no-add-addresses"))) {
        const QSet<quint32> present = localAddresses();
        QStringList commands;
        for (const auto& d : devices)
            for (const QHostAddress& a : d->addresses())
                if (!a.isNull() && !present.contains(a.toIPv4Address()) && !added.contains(a.toString())) {
                    added << a.toString();
                    commands << QStringLiteral("address add %1/%2 dev %3")
                                    .arg(a.toString(), parser.value(QStringLiteral("prefix")), interfaceName);
                }
        if (!runIpBatch(commands))
            return fail(QStringLiteral("cannot run ip to add the device addresses"));
        const QSet<quint32> now = localAddresses();
        for (const QString& a : added)
            if (!now.contains(QHostAddress(a).toIPv4Address()))
                return fail(QStringLiteral("address %1 could not be added to %2").arg(a, interfaceName));
    }
    auto removeAdded = [&] {
        QStringList commands;
        for (const QString& a : added)
            commands << QStringLiteral("address del %1/%2 dev %3")
                            .arg(a, parser.value(QStringLiteral("prefix")), interfaceName);
        runIpBatch(commands);
        added.clear();
    };

    tcSimHttpOptions httpOptions;
    httpOptions.logRequests = parser.isSet(QStringLiteral("log-requests"));
    httpOptions.timeoutMs = qMax(100, parser.value(QStringLiteral("http-timeout")).toInt());
    httpOptions.replyDelayMs = qBound(0, parser.value(QStringLiteral("http-delay")).toInt(), 60000);
    tcSimHttpServer http(devices, httpOptions);
    QString error;
    if (!parser.isSet(QStringLiteral("no-http")) && !http.listen(&error)) {
        removeAdded();
        return fail(error);
    }
    // A device that took a new address answers there too from then on, as a camera
    // that moved would (its old address stays served: clients may still hold it).
    const auto serveMoved = [&](tcSimDevice* device) {
        const QHostAddress to = device->reportedAddress();
        if (parser.isSet(QStringLiteral("no-http")) || !device->http || to.isNull() || to == device->address)
            return;
        if (!localAddresses().contains(to.toIPv4Address())) {
            if (parser.isSet(QStringLiteral("no-add-addresses")) ||
                !runIpBatch({QStringLiteral("address add %1/%2 dev %3")
                                 .arg(to.toString(), parser.value(QStringLiteral("prefix")), interfaceName)}))
                return;
            added << to.toString();
        }
        QString why;
        if (!http.listenOn(device, to, &why))
            qWarning("zephyrlock-sim: %s", qUtf8Printable(why));
    };
    QObject::connect(&http, &tcSimHttpServer::deviceChanged, &app, serveMoved);

    tcSimDiscoveryOptions discoveryOptions;
    discoveryOptions.interface = interface;
    discoveryOptions.onvifMaxDelayMs = qMax(0, parser.value(QStringLiteral("onvif-max-delay")).toInt());
    discoveryOptions.spreadMs = qMax(0, parser.value(QStringLiteral("spread")).toInt());
    discoveryOptions.seed = parser.value(QStringLiteral("seed")).toUInt();
    discoveryOptions.sendFromDeviceAddress = !parser.isSet(QStringLiteral("no-add-addresses"));
    tcSimDiscoveryServer discovery(devices, discoveryOptions);
    if (!parser.isSet(QStringLiteral("no-discovery")) && !discovery.start(&error)) {
        removeAdded();
        return fail(error);
    }

    // The devices' own doings, at their times from now.
    for (const auto& d : devices) {
        for (const tcSimDevice::tcStep& step : d->schedule) {
            tcSimDevice* device = d.get();
            QTimer::singleShot(step.atMs, &app, [device, step, &discovery] {
                QJsonObject event{
                    {QStringLiteral("event"), QStringLiteral("schedule")},
                    {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                    {QStringLiteral("device"), device->address.toString()},
                    {QStringLiteral("do"), QLatin1String(tcSimDevice::kStepNames[step.what])}};
                if (step.what == tcSimDevice::tcStep::Move) {
                    // A re-patched or re-addressed device: the same MAC and endpoint answer
                    // from the new address, and its HTTP service follows.
                    device->address = step.to;
                    event.insert(QStringLiteral("to"), step.to.toString());
                } else {
                    device->silent =
                        step.what == tcSimDevice::tcStep::Silent || step.what == tcSimDevice::tcStep::Bye;
                }
                if (step.what == tcSimDevice::tcStep::Hello || step.what == tcSimDevice::tcStep::Bye)
                    discovery.announce(*device, step.what == tcSimDevice::tcStep::Hello);
                emitJsonLine(event);
            });
        }
    }

    // A device that reboots is down for its rebootMs, then says Hello as it joins again.
    QObject::connect(&http, &tcSimHttpServer::deviceRebooting, &app,
                     [&app, &discovery, &serveMoved](tcSimDevice* device) {
                         const auto event = [device](const char* what) {
                             return QJsonObject{{QStringLiteral("event"), QStringLiteral("reboot")},
                                                {QStringLiteral("time"),
                                                 QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                                                {QStringLiteral("device"), device->address.toString()},
                                                {QStringLiteral("do"), QLatin1String(what)}};
                         };
                         QJsonObject down = event("down");
                         down.insert(QStringLiteral("secs"), device->rebootMs / 1000.0);
                         emitJsonLine(down);
                         QTimer::singleShot(device->rebootMs, &app, [device, &discovery, event, &serveMoved] {
                             finishReboot(*device);
                             serveMoved(device);
                             emitJsonLine(event("up"));
                             emitJsonLine(device->stateJson());
                             if (!device->silent)
                                 discovery.announce(*device, true);
                         });
                     });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        removeAdded();
        return fail(QStringLiteral("cannot create the signal pipe"));
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char number = 0;
        if (::read(g_signalPipe[0], &number, 1) != 1)
            return;
        dumpState(devices);
        if (number != SIGUSR1) {
            removeAdded();
            app.quit();
        }
    });
    for (int number : {SIGTERM, SIGINT, SIGUSR1})
        std::signal(number, onSignal);

    if (parser.isSet(QStringLiteral("print-site")))
        dumpState(devices);
    emitJsonLine({{QStringLiteral("event"), QStringLiteral("ready")},
                  {QStringLiteral("devices"), int(devices.size())},
                  {QStringLiteral("httpListeners"), http.listenerCount()},
                  {QStringLiteral("discovery"), QJsonArray::fromStringList(discovery.protocols())}});
    return app.exec();
}
