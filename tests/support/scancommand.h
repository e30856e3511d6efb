#pragma once
// zephyrlock-scan's configuration commands as a script runs them, against a simulated
// site: secrets on standard input, the exit status and output, and what the process
// showed of itself (command line, environment) while it ran, for the secret checks.

#include "simsite.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

namespace zltest {

struct tcCommand
{
    int exitCode = -1;
    QByteArray out, err, cmdline, environ;
};

// Runs zephyrlock-scan on the scan side with `secrets` on its standard input, and reads
// its command line and environment while it runs. Debug lines are switched on, so
// that the log a developer would see is checked too.
inline tcCommand runScan(const QStringList& args, const QByteArray& secrets)
{
    qRegisterMetaType<QProcess::ExitStatus>();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true"));
    process.setProcessEnvironment(env);
    process.start(zltest::binPath(QStringLiteral("zephyrlock-scan")), args);
    tcCommand result;
    if (!process.waitForStarted())
        return result;
    const QString proc = QStringLiteral("/proc/%1/").arg(process.processId());
    for (const char* name : {"cmdline", "environ"}) {
        QFile file(proc + QLatin1String(name));
        if (file.open(QIODevice::ReadOnly))
            (QByteArray(name) == "cmdline" ? result.cmdline : result.environ) = file.readAll();
    }
    process.write(secrets);
    process.closeWriteChannel();
    // The event loop runs meanwhile: the simulator's output is read only then, and it
    // stops serving while nobody reads it.
    QSignalSpy finished(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
    if (!finished.wait(120000)) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The last state line of every device, by its address.
inline QMap<QString, QJsonObject> siteState(zltest::tcSim& sim)
{
    ::kill(pid_t(sim.process().process().processId()), SIGUSR1);
    QMap<QString, QJsonObject> state;
    QTest::qWait(300);
    for (const QJsonObject& o : sim.events("state"))
        state[o.value(QLatin1String("device")).toString()] = o;
    return state;
}

inline QByteArray sha256(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}

// No secret in any of the texts, nor the Basic form of a login with it.
inline void requireNoSecret(const QList<QByteArray>& texts, const QList<QByteArray>& secrets)
{
    for (const QByteArray& secret : secrets) {
        const QByteArray basic = ("admin:" + secret).toBase64();
        for (const QByteArray& text : texts) {
            QVERIFY2(!text.contains(secret), text.constData());
            QVERIFY2(!text.contains(basic), text.constData());
        }
    }
}

} // namespace zltest
