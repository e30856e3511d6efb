// zephyrlock-scan: runs the window's discovery cycles without a window and prints the
// merged device list (see --help).

#include "tcScanConfigureRun.h"
#include "tcScanFormat.h"
#include "tcScanInterfaces.h"
#include "tcScanOptions.h"
#include "tcScanRun.h"
#include "tcScanTerminal.h"
#include "tcScanWatch.h"
#include "tcSiteLocate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// 1 also when no discovery query could be sent at all.
enum tcExitCode { ExitDone = 0, ExitFailure = 1, ExitUsage = 2 };

bool writeAll(std::FILE* apStream, const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), apStream) == size_t(bytes.size()) &&
           std::fflush(apStream) == 0;
}

void say(const QString& text)
{
    writeAll(stderr, QStringLiteral("zephyrlock-scan: %1\n").arg(text).toLocal8Bit());
}

// One line, rewritten in place a few times a second, while the ranges are swept.
void showSweepProgress(const tcSiteLocate& locate)
{
    static QElapsedTimer shown;
    const quint32 total = locate.ranges().hostCount();
    const quint32 done = locate.sweptHosts();
    if (done < total && shown.isValid() && !shown.hasExpired(200))
        return;
    shown.start();
    writeAll(stderr, QStringLiteral("\rQuerying the ranges: %1 of %2 hosts%3")
                         .arg(done)
                         .arg(total)
                         .arg(QLatin1String(done < total ? "" : "\n"))
                         .toLocal8Bit());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const tcUtf8Console console;
    if (isConfigureCommand(app.arguments()))
        return runConfigureCommand(app.arguments());
    if (isWatchCommand(app.arguments()))
        return runWatchCommand(app.arguments());
    const tcScanOptions options = parseScanArguments(app.arguments());
    switch (options.action) {
    case tcScanOptions::ShowHelp: return writeAll(stdout, scanHelpText().toUtf8()) ? ExitDone : ExitFailure;
    case tcScanOptions::ShowVersion:
        return writeAll(stdout, scanVersionText().toUtf8()) ? ExitDone : ExitFailure;
    case tcScanOptions::Fail:
        say(options.error);
        writeAll(stderr, "Try 'zephyrlock-scan --help'.\n");
        return ExitUsage;
    case tcScanOptions::ListInterfaces:
        return writeAll(stdout,
                        interfacesText(chooseInterfaces(hostInterfaces(), options.interfaces)).toUtf8())
                   ? ExitDone
                   : ExitFailure;
    case tcScanOptions::Run: break;
    }
    const QString interfaceError =
        checkInterfaceNames(options.interfaces, chooseInterfaces(hostInterfaces(), options.interfaces));
    if (!interfaceError.isEmpty()) {
        say(interfaceError);
        return ExitUsage;
    }

    // The locators' debug lines are for developers (QT_LOGGING_RULES brings them back);
    // their warnings, such as a port that cannot be bound, stay.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    tcScanRun run(options.cycles);
    run.coordinator()->setInterfaceNames(options.interfaces);
    run.coordinator()->setRanges(options.ranges, options.rate);
    // Progress lines are for a person watching; a file or pipe gets the final line only.
    if (!options.ranges.isEmpty() && isTerminal(stderr))
        QObject::connect(run.coordinator(), &tcSiteLocate::sig_sweepProgress, &app,
                         [&run] { showSweepProgress(*run.coordinator()); });
    QObject::connect(&run, &tcScanRun::sig_finished, &app, [&](bool querySent) {
        if (!querySent) {
            say(QStringLiteral("no discovery query could be sent: no socket could be bound, or no "
                               "network interface is up"));
            app.exit(ExitFailure);
            return;
        }
        const tcSiteList& list = run.sites();
        const QVector<int> shown = listedRows(list, options.kind);
        if (!writeAll(stdout, formatRows(options.format, scanRows(list, shown)))) {
            say(QStringLiteral("cannot write the list: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            app.exit(ExitFailure);
            return;
        }
        writeAll(stderr, (sitesFoundText(shown.size(), list.count()) + QLatin1Char('\n')).toUtf8());
        if (options.verbose)
            writeAll(stderr, (replyCountsText(run.replyCounts(), run.coordinator()->protocolNames()) +
                              QLatin1Char('\n'))
                                 .toUtf8());
        app.exit(ExitDone);
    });
    QTimer::singleShot(0, &run, &tcScanRun::slot_start);
    return app.exec();
}
