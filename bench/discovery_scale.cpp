// zl-bench-scale: one discovery cycle against a large simulated site, through the same
// engine as the window (tcSiteLocate reporting into tcSiteList, counted at the window's
// cycle end), or with --window through the window itself (offscreen, counted when
// its cycle ends). Prints the share of the site's devices listed, per kind, and the CPU
// time the cycle cost. Runs on the scan side; scripts/bench-scale starts the site and
// this program. Not a test: it asserts nothing and is not registered with CTest.

#include "MainWindow.h"
#include "tcDiscoveryCycle.h"
#include "tcLocateParams.h"
#include "tcSiteList.h"
#include "tcSiteLocate.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuMs(const rusage& r, bool system)
{
    const timeval& t = system ? r.ru_stime : r.ru_utime;
    return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
}

// UDP counters of this network namespace (/proc/net/snmp), by name.
QMap<QString, qint64> udpCounters()
{
    QMap<QString, qint64> counters;
    QFile file(QStringLiteral("/proc/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return counters;
    QList<QByteArray> names;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Udp: "))
            continue;
        const QList<QByteArray> fields = line.mid(5).split(' ');
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        for (int i = 0; i < fields.size() && i < names.size(); ++i)
            counters.insert(QString::fromLatin1(names[i]), fields[i].toLongLong());
        break;
    }
    return counters;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("One discovery cycle against a simulated site."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("site-state"),
                      QStringLiteral("The simulator's output with a state line per device (--print-site)."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("window"), QStringLiteral("Run the cycle in the main window (offscreen).")});
    parser.process(app);
    const bool inWindow = parser.isSet(QStringLiteral("window"));

    // The site: address -> kind, from the simulator's own description.
    QHash<QString, QString> site;
    QSet<QString> onvifDevices;
    QFile stateFile(parser.value(QStringLiteral("site-state")));
    if (!stateFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zl-bench-scale: cannot read the site state (--site-state FILE)\n");
        return 2;
    }
    for (const QByteArray& line : stateFile.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QLatin1String("event")).toString() == QLatin1String("state")) {
            const QString address = o.value(QLatin1String("device")).toString();
            site.insert(address, o.value(QLatin1String("kind")).toString());
            if (o.value(QLatin1String("protocols")).toArray().contains(QLatin1String("onvif")))
                onvifDevices.insert(address);
        }
    }
    if (site.isEmpty()) {
        std::fprintf(stderr, "zl-bench-scale: no state lines in %s\n", qPrintable(stateFile.fileName()));
        return 2;
    }

    QMap<QString, int> reportsByProtocol;
    QSet<QString> foundByWsDiscovery; // for the comparison with another WS-Discovery client
    QElapsedTimer clock;
    rusage before{}, after{};
    QMap<QString, qint64> udpBefore, udpAfter;
    qint64 cycleMs = 0;
    auto endCycle = [&] {
        ::getrusage(RUSAGE_SELF, &after);
        cycleMs = clock.elapsed();
        udpAfter = udpCounters();
        app.quit();
    };
    qint64 lastNewRowMs = 0;
    int rowsSeen = 0;
    const tcSiteList* list = nullptr;
    // Called after the report has been merged.
    auto countReport = [&](const tpVideoDevice& apDvc) {
        if (list->count() > rowsSeen) {
            rowsSeen = list->count();
            lastNewRowMs = clock.elapsed();
        }
        ++reportsByProtocol[protocolText(apDvc->type)];
        // Only the PQ-series locator reports an address mode; the ONVIF one leaves it unset.
        if ((apDvc->type == Onvif || apDvc->type == Norvo2Cam) && apDvc->addressMode == 2)
            foundByWsDiscovery.insert(apDvc->ipAddress);
    };

    udpBefore = udpCounters();
    ::getrusage(RUSAGE_SELF, &before);
    clock.start();
    tcSiteList engineList;
    list = &engineList;
    QScopedPointer<tcSiteLocate> engine;
    QScopedPointer<tcDiscoveryCycle> cycle;
    QScopedPointer<MainWindow> window;
    QTimer ticks;
    if (inWindow) {
        // The window starts its cycle in its constructor; nothing is read before the
        // event loop runs, so this counter misses no report.
        window.reset(new MainWindow);
        list = &window->sites();
        QObject::connect(window->coordinator(), &tcSiteLocate::sig_locateFoundSite, &app, countReport);
        auto* refresh = window->findChild<QPushButton*>(QStringLiteral("btnRefresh"));
        // The cycle ends when Refresh can be pressed again.
        ticks.setInterval(10);
        QObject::connect(&ticks, &QTimer::timeout, &app, [&, refresh] {
            if (refresh->isEnabled()) {
                ticks.stop();
                endCycle();
            }
        });
        ticks.start();
    } else {
        engine.reset(new tcSiteLocate(nullptr, QSharedPointer<tcLocateParams>::create()));
        QObject::connect(engine.data(), &tcSiteLocate::sig_locateFoundSite, &app, [&](tpVideoDevice apDvc) {
            engineList.merge(apDvc);
            countReport(apDvc);
        });
        // Counted as the window counts: when its discovery cycle's list is final.
        cycle.reset(new tcDiscoveryCycle(engine.data()));
        QObject::connect(cycle.data(), &tcDiscoveryCycle::sig_final, &app, endCycle);
        cycle->start();
    }
    app.exec();

    QMap<QString, int> siteByKind, listedByKind;
    for (auto it = site.constBegin(); it != site.constEnd(); ++it)
        ++siteByKind[it.value()];
    int listed = 0;
    for (int row = 0; row < list->count(); ++row) {
        const auto kind = site.constFind(list->address(row));
        if (kind == site.constEnd())
            continue;
        ++listed;
        ++listedByKind[kind.value()];
    }
    const double userMs = cpuMs(after, false) - cpuMs(before, false);
    const double systemMs = cpuMs(after, true) - cpuMs(before, true);
    int reports = 0;
    for (int n : qAsConst(reportsByProtocol))
        reports += n;

    std::printf("site of %d devices, %s: %d listed after one cycle (%.2f%%), %d rows in all\n",
                int(site.size()), inWindow ? "main window" : "engine", listed, 100.0 * listed / site.size(),
                list->count());
    std::printf("  scanner CPU for the cycle: %.0f ms (user %.0f, system %.0f) in %lld ms\n",
                userMs + systemMs, userMs, systemMs, cycleMs);
    std::printf("  %d reports merged, last new row at %lld ms; UDP receive errors %lld, buffer drops %lld\n",
                reports, lastNewRowMs,
                udpAfter.value(QStringLiteral("InErrors")) - udpBefore.value(QStringLiteral("InErrors")),
                udpAfter.value(QStringLiteral("RcvbufErrors")) -
                    udpBefore.value(QStringLiteral("RcvbufErrors")));
    QStringList kinds;
    for (auto it = siteByKind.constBegin(); it != siteByKind.constEnd(); ++it)
        kinds << QStringLiteral("%1 %2/%3").arg(it.key()).arg(listedByKind.value(it.key())).arg(it.value());
    std::printf("  listed per kind: %s\n", qPrintable(kinds.join(QStringLiteral(", "))));
    QStringList protocols;
    for (auto it = reportsByProtocol.constBegin(); it != reportsByProtocol.constEnd(); ++it)
        protocols << QStringLiteral("\"%1\" %2").arg(it.key()).arg(it.value());
    std::printf("  found by WS-Discovery: %d of %d ONVIF devices\n",
                int(foundByWsDiscovery.intersect(onvifDevices).size()), int(onvifDevices.size()));
    std::printf("  reports by type: %s\n", qPrintable(protocols.join(QStringLiteral(", "))));

    const QJsonObject summary{
        {QStringLiteral("devices"), int(site.size())},
        {QStringLiteral("listed"), listed},
        {QStringLiteral("cpuMs"), qRound(userMs + systemMs)},
        {QStringLiteral("cycleMs"), cycleMs},
        {QStringLiteral("reports"), reports},
        {QStringLiteral("bufferDrops"),
         udpAfter.value(QStringLiteral("RcvbufErrors")) - udpBefore.value(QStringLiteral("RcvbufErrors"))}};
    std::printf("%s\n", QJsonDocument(summary).toJson(QJsonDocument::Compact).constData());
    return 0;
}
