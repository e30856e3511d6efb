#include "tcScanWatch.h"

#include "tcSiteLocate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<int> g_interrupted{0};

void onInterrupt(int)
{
    g_interrupted = 1;
}

void write(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

tcWatchOptions failure(tcWatchOptions options, const QString& error)
{
    options.error = error;
    return options;
}

} // namespace

bool isWatchCommand(const QStringList& args)
{
    return args.value(1) == QLatin1String("watch");
}

tcWatchOptions parseWatchArguments(const QStringList& args)
{
    tcWatchOptions options;
    const auto valued = [](const char* name, const char* value) {
        return QCommandLineOption(QLatin1String(name), QString(), QLatin1String(value));
    };
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption interval = valued("interval", "s"), duration = valued("duration", "s"),
                             range = valued("range", "r"), rate = valued("rate", "n"),
                             interface = valued("interface", "name"), json(QStringLiteral("json"));
    QCommandLineParser parser;
    parser.addOptions({help, interval, duration, range, rate, interface, json});
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
    const auto number = [&parser](const QCommandLineOption& option, int low, int high, int* out) {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < low || value > high)
            return false;
        *out = value;
        return true;
    };
    if (parser.isSet(interval) && !number(interval, 5, 600, &options.intervalSecs))
        return failure(
            options,
            QStringLiteral("--interval must be 5 to 600 seconds, not '%1'").arg(parser.value(interval)));
    if (parser.isSet(duration) && !number(duration, 1, 7 * 24 * 3600, &options.durationSecs))
        return failure(options, QStringLiteral("--duration must be a whole number of seconds, not '%1'")
                                    .arg(parser.value(duration)));
    if (parser.isSet(rate) && !number(rate, 1, 100000, &options.rate))
        return failure(options,
                       QStringLiteral("--rate must be 1 to 100000, not '%1'").arg(parser.value(rate)));
    QString error;
    const auto ranges = tcAddressRanges::parse(parser.values(range), &error);
    if (!ranges)
        return failure(options, error);
    options.ranges = *ranges;
    options.interfaces = parser.values(interface);
    options.json = parser.isSet(json);
    return options;
}

QString watchHelpText()
{
    return QStringLiteral(
        "Usage: zephyrlock-scan watch [--interval S] [--duration S] [--json] [--range RANGE]...\n"
        "                             [--rate N] [--interface NAME]...\n\n"
        "Watches the site: a discovery cycle every interval, and one line per event as it\n"
        "happens: a device found, offline (not heard in three intervals in a row), online\n"
        "again, moved (its MAC or endpoint reference heard at another address) or changed.\n"
        "Ends on Ctrl+C or SIGTERM, or after --duration, with a summary, exit status 0.\n\n"
        "  --interval S   seconds between cycles, 5 to 600 (15)\n"
        "  --duration S   end by itself after S seconds\n"
        "  --json         JSON Lines: one object per event\n"
        "  --range, --rate, --interface  as for the list (zephyrlock-scan --help)\n");
}

QByteArray formatWatchEvent(const tcWatchEvent& event, const tcWatchState& state, bool json)
{
    const tcWatchState::tcEntry& entry = state.entries().at(event.entry);
    const tcVideoDevice& device = *entry.device;
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    if (json) {
        QJsonObject object{{QStringLiteral("event"), watchEventText(event.kind)},
                           {QStringLiteral("time"), time},
                           {QStringLiteral("ip_address"), event.address},
                           {QStringLiteral("mac_address"), macText(device.macAddress)},
                           {QStringLiteral("site_name"), device.siteName},
                           {QStringLiteral("model"), device.model},
                           {QStringLiteral("protocol"), protocolText(device.type)},
                           {QStringLiteral("firmware"), device.firmware},
                           {QStringLiteral("address_conflict"), entry.conflict}};
        if (!event.oldAddress.isEmpty())
            object.insert(QStringLiteral("old_address"), event.oldAddress);
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    QStringList words{time, watchEventText(event.kind), event.address};
    if (!event.oldAddress.isEmpty())
        words << QStringLiteral("(from %1)").arg(event.oldAddress);
    words << (device.macAddress.isEmpty() ? QStringLiteral("-") : macText(device.macAddress));
    if (!device.siteName.isEmpty())
        words << device.siteName;
    words << protocolText(device.type);
    // names come from the network: one line per event whatever they hold
    return words.join(QLatin1Char(' ')).simplified().toUtf8() + '\n';
}

tcScanWatch::tcScanWatch(const tcWatchOptions& options, QObject* apParent)
    : QObject(apParent), m_options(options), m_announcements(m_session.params())
{
    m_session.setInterfaceNames(options.interfaces);
    m_session.setRanges(options.ranges, options.rate);
    // A reply after a cycle's final tick is heard all the same.
    m_session.setMergeLateReports(true);
    connect(&m_session, &tcDiscoverySession::sig_reported, this,
            [this](tpVideoDevice device) { print(m_state.report(device, m_clock.elapsed())); });
    // A device that comes up says Hello: listed at once, not at the next cycle.
    connect(&m_announcements, &tcAnnouncementListener::sig_hello, this,
            [this](tpVideoDevice device) { print(m_state.report(device, m_clock.elapsed())); });
    connect(&m_announcements, &tcAnnouncementListener::sig_bye, this,
            [this](const QString& endpoint) { print(m_state.bye(endpoint, m_clock.elapsed())); });
    m_interval.setInterval(options.intervalSecs * 1000);
    connect(&m_interval, &QTimer::timeout, this, &tcScanWatch::nextPeriod);
}

void tcScanWatch::slot_start()
{
    m_clock.start();
    m_anyQuery = m_session.startCycle();
    m_announcements.start(m_session.coordinator()->interfaces());
    m_interval.start();
    if (m_options.durationSecs > 0)
        QTimer::singleShot(m_options.durationSecs * 1000, this, &tcScanWatch::slot_stop);
}

void tcScanWatch::nextPeriod()
{
    print(m_state.endPeriod(m_clock.elapsed()));
    // A sweep of large ranges may outlast the interval: it is not cut short.
    if (!m_session.isRunning())
        m_anyQuery = m_session.startCycle() || m_anyQuery;
}

void tcScanWatch::slot_stop()
{
    m_interval.stop();
    m_announcements.stop();
    m_session.cancel();
    write(stderr, summary());
    emit sig_finished(m_anyQuery ? 0 : 1);
}

QByteArray tcScanWatch::summary() const
{
    return QStringLiteral("watched %1 s: %2 device(s), %3 online\n")
        .arg((m_clock.elapsed() + 500) / 1000)
        .arg(m_state.entries().size())
        .arg(m_state.onlineCount())
        .toUtf8();
}

void tcScanWatch::print(const QVector<tcWatchEvent>& events)
{
    for (const tcWatchEvent& event : events)
        write(stdout, formatWatchEvent(event, m_state, m_options.json));
}

int runWatchCommand(const QStringList& args)
{
    const tcWatchOptions options = parseWatchArguments(args);
    if (options.help) {
        write(stdout, watchHelpText().toUtf8());
        return 0;
    }
    if (!options.error.isEmpty()) {
        write(stderr, QStringLiteral("zephyrlock-scan: %1\nTry 'zephyrlock-scan watch --help'.\n")
                          .arg(options.error)
                          .toUtf8());
        return 2;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    tcScanWatch watch(options);
    int exitCode = 0;
    QObject::connect(&watch, &tcScanWatch::sig_finished, qApp, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    // Ctrl+C and SIGTERM end the watch with its summary (std::signal is in C and in
    // Windows' runtime alike); the handler only sets a flag the event loop reads.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &watch, [&watch, &poll] {
        if (g_interrupted) {
            poll.stop();
            watch.slot_stop();
        }
    });
    poll.start(100);
    QTimer::singleShot(0, &watch, &tcScanWatch::slot_start);
    QCoreApplication::exec();
    return exitCode;
}
