#include "zltest.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include <sys/stat.h>

namespace zltest {

QString sandboxProblem()
{
    const QString scan = qEnvironmentVariable("ZL_SCAN_NS");
    if (scan.isEmpty() || qEnvironmentVariableIsEmpty("ZL_SITE_NS"))
        return QStringLiteral("not inside the test namespaces: run through ./scripts/test");
    // The namespace this process is in must be the scan side, never the host's own.
    struct stat own {}, named {};
    const QByteArray namedPath = QByteArrayLiteral("/run/netns/") + scan.toLocal8Bit();
    if (::stat("/proc/self/ns/net", &own) != 0 || ::stat(namedPath.constData(), &named) != 0)
        return QStringLiteral("namespace %1 does not exist").arg(scan);
    if (own.st_ino != named.st_ino || own.st_dev != named.st_dev)
        return QStringLiteral("this process does not run inside namespace %1").arg(scan);
    return QString();
}

QString siteNamespace() { return qEnvironmentVariable("ZL_SITE_NS"); }
QString farNamespace() { return qEnvironmentVariable("ZL_FAR_NS"); }
QString scanAddress() { return qEnvironmentVariable("ZL_SCAN_ADDR", QStringLiteral("10.99.0.1")); }
QString siteAddress() { return qEnvironmentVariable("ZL_SITE_ADDR", QStringLiteral("10.99.0.2")); }

QString binPath(const QString& name)
{
#ifdef ZL_BIN_DIR
    return QStringLiteral(ZL_BIN_DIR "/") + name;
#else
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
#endif
}

tcSiteProcess::~tcSiteProcess() { stop(); }

bool tcSiteProcess::start(const QString& program, const QStringList& args, const QString& readyLine,
                          int timeoutMs)
{
    if (!sandboxProblem().isEmpty())
        return false;
    m_output.clear();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("ip"),
                    QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                                m_namespace.isEmpty() ? siteNamespace() : m_namespace, program} +
                        args);
    if (!m_process.waitForStarted(5000))
        return false;
    if (readyLine.isEmpty())
        return true;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_output.contains(readyLine.toUtf8()))
            return true;
        if (m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        m_output += m_process.readAllStandardOutput();
    }
    return m_output.contains(readyLine.toUtf8());
}

QByteArray tcSiteProcess::output()
{
    m_output += m_process.readAllStandardOutput();
    return m_output;
}

void tcSiteProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

} // namespace zltest
