#include "tcScanConfigureRun.h"

#include "tcScanRun.h"
#include "tcScanTerminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

namespace {

void write(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void say(const QString& text)
{
    write(stderr, QStringLiteral("zephyrlock-scan: %1\n").arg(text).toLocal8Bit());
}

// The answer to a question on the terminal.
bool confirmed(const QString& question)
{
    write(stderr, question.toLocal8Bit());
    const std::optional<QString> answer = readStdinLine(false);
    return answer && (answer->trimmed().compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 ||
                      answer->trimmed().compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0);
}

} // namespace

tcScanConfigureRun::tcScanConfigureRun(const tcConfigureOptions& options, const tcConfigCredentials& secrets,
                                       QObject* apParent)
    : QObject(apParent), options(options), secrets(secrets)
{
}

tcScanConfigureRun::~tcScanConfigureRun() = default;

void tcScanConfigureRun::slot_start()
{
    discovery = std::make_unique<tcScanRun>(1);
    connect(discovery.get(), &tcScanRun::sig_finished, this, &tcScanConfigureRun::discovered);
    discovery->slot_start();
}

void tcScanConfigureRun::discovered(bool querySent)
{
    if (!querySent) {
        say(QStringLiteral("no discovery query could be sent: no socket could be bound, or no network "
                           "interface is up"));
        emit sig_finished(ExitNoNetwork);
        return;
    }
    selected = selectDevices(discovery->sites(), options);
    int found = 0;
    for (const tcSelected& s : selected)
        found += s.device ? 1 : 0;
    const tcBatchCheck size = options.command == tcConfigureOptions::SetNetwork
                                  ? checkPlanSize(options.plan, found)
                                  : tcBatchCheck::Ok;
    if (size != tcBatchCheck::Ok) {
        say(batchCheckText(size));
        emit sig_finished(ExitUsage);
        return;
    }
    planAddresses(options, selected);
    const QByteArray plan = formatPlan(options, selected);
    if (options.dryRun) {
        write(stdout, plan);
        emit sig_finished(ExitDone);
        return;
    }
    write(stderr, plan);
    // a read changes nothing: nothing to confirm
    const bool read = options.command == tcConfigureOptions::Info;
    if (found > 0 && !options.yes && !read &&
        !confirmed(QStringLiteral("Change %1 device(s)? [y/N] ").arg(found))) {
        say(QStringLiteral("nothing changed"));
        emit sig_finished(ExitNotDone);
        return;
    }

    QVector<tpVideoDevice> devices;
    for (int i = 0; i < selected.size(); ++i) {
        const tcSelected& s = selected[i];
        tcDeviceReport report;
        report.mac = s.mac;
        report.oldAddress = s.address;
        report.newAddress = s.newAddress;
        report.verification = QStringLiteral("not checked");
        if (s.device) {
            runIndex << i;
            devices << s.device;
        } else {
            report.outcome.text = s.problem;
        }
        reports << report;
    }
    auto* job = new tcBatchJob(kindOf(options), this);
    job->setDevices(devices);
    job->setCredentials(secrets);
    job->setPlan(options.plan);
    job->setTime(options.time);
    job->setParallel(options.parallel);
    job->setVerify(options.verify);
    connect(job, &tcBatchJob::sig_siteEnded, this, [this](int index, const tcConfigOutcome& outcome) {
        reports[runIndex[index]].outcome = outcome;
    });
    connect(job, &tcBatchJob::sig_verified, this, [this](int index, const tcVerification& v) {
        tcDeviceReport& r = reports[runIndex[index]];
        r.verified = v.state == tcVerification::Confirmed;
        r.verification = v.state == tcVerification::Confirmed      ? QStringLiteral("verified")
                         : v.state == tcVerification::NotConfirmed ? v.reason
                                                                   : QStringLiteral("not checked");
    });
    connect(job, &tcBatchJob::sig_finished, this, &tcScanConfigureRun::finish);
    job->start();
}

void tcScanConfigureRun::finish()
{
    write(stdout, formatReports(reports, options.json, options.command));
    const bool allDone =
        std::none_of(reports.cbegin(), reports.cend(), [](const tcDeviceReport& r) { return r.failed(); });
    emit sig_finished(allDone ? ExitDone : ExitNotDone);
}

int runConfigureCommand(const QStringList& args)
{
    const tcConfigureOptions options = parseConfigureArguments(args);
    if (options.help) {
        write(stdout, configureHelpText(options.command).toUtf8());
        return tcScanConfigureRun::ExitDone;
    }
    if (!options.error.isEmpty()) {
        say(options.error);
        write(stderr, QByteArray("Try 'zephyrlock-scan ") + args.value(1).toUtf8() + " --help'.\n");
        return tcScanConfigureRun::ExitUsage;
    }
    if (!options.dryRun && !options.yes && options.command != tcConfigureOptions::Info &&
        !isTerminal(stdin)) {
        say(QStringLiteral("the confirmation needs a terminal; --yes confirms without one"));
        return tcScanConfigureRun::ExitUsage;
    }

    tcConfigCredentials secrets;
    secrets.targetUser = options.user;
    if (!options.dryRun) {
        QString problem;
        if (!options.secretsFile.isEmpty()) {
            QFile file(options.secretsFile);
            problem = file.open(QIODevice::ReadOnly)
                          ? readSecretLines(file, options, &secrets)
                          : QStringLiteral("cannot read %1: %2").arg(options.secretsFile, file.errorString());
        } else if (isTerminal(stdin)) {
            const bool password = options.command == tcConfigureOptions::SetPassword;
            const struct
            {
                const char* prompt;
                QString* field;
                bool secret;
            } asked[] = {{"Admin user name: ", &secrets.adminUser, false},
                         {"Admin password: ", &secrets.adminPassword, true},
                         {"Current password: ", &secrets.oldPassword, true},
                         {"New password: ", &secrets.newPassword, true}};
            for (const auto& a : asked) {
                if (!password && a.field == &secrets.oldPassword)
                    break;
                write(stderr, a.prompt);
                *a.field = readStdinLine(a.secret).value_or(QString()).simplified();
            }
            QString confirmation;
            if (password) {
                write(stderr, "Confirm new password: ");
                confirmation = readStdinLine(true).value_or(QString()).simplified();
            }
            problem = batchCheckText(
                checkCredentials(kindOf(options), secrets, password ? &confirmation : nullptr));
        } else {
            QFile in;
            problem = in.open(stdin, QIODevice::ReadOnly) ? readSecretLines(in, options, &secrets)
                                                          : QStringLiteral("cannot read standard input");
        }
        if (!problem.isEmpty()) {
            say(problem);
            return tcScanConfigureRun::ExitUsage;
        }
    }

    // As for the list: the locators' debug lines are for developers, and the exchange's
    // debug lines name only addresses and outcomes.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    tcScanConfigureRun command(options, secrets);
    int exitCode = tcScanConfigureRun::ExitNotDone;
    QObject::connect(&command, &tcScanConfigureRun::sig_finished, qApp, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QTimer::singleShot(0, &command, &tcScanConfigureRun::slot_start);
    QCoreApplication::exec();
    return exitCode;
}
