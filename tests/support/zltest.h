#pragma once
// Test support shared by the test executables.
//
// Every test process runs on the scan side of a pair of private namespaces that CTest
// makes for it alone (scripts/lib/netns-run). Tests that need a device to talk to start it on the site side with
// tcSiteProcess; tests that open sockets call requireNamespaces() first, so that a
// run outside the sandbox fails loudly instead of sending packets into a real LAN.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zltest {

// Empty when the test runs inside the sandbox, otherwise the reason it does not.
QString sandboxProblem();

// Fails the current test function (QFAIL) when not inside the sandbox.
#define ZL_REQUIRE_SANDBOX()                                                        \
    do {                                                                            \
        const QString zlProblem = zltest::sandboxProblem();                          \
        if (!zlProblem.isEmpty())                                                   \
            QFAIL(qPrintable(zlProblem));                                           \
    } while (false)

QString siteNamespace();
// The far site behind a router (scripts/lib/netns.sh, zl_netns_routed_up), reached from
// the scan side by unicast only; empty when the run has no routed subnet.
QString farNamespace();
QString scanAddress();   // the scan side's address, e.g. 10.99.0.1
QString siteAddress();   // the site side's address, e.g. 10.99.0.2

// Path of a program built by this project (build/bin/<name>).
QString binPath(const QString& name);

// A program running on the site side. It is started with `ip netns exec` and ended
// (terminate, then kill) when the object goes away.
class tcSiteProcess
{
public:
    tcSiteProcess() = default;
    // Runs the program in another namespace of the sandbox (the far site) instead.
    explicit tcSiteProcess(const QString& netns) : m_namespace(netns) {}
    ~tcSiteProcess();
    tcSiteProcess(const tcSiteProcess&) = delete;
    tcSiteProcess& operator=(const tcSiteProcess&) = delete;

    // Starts program with args on the site side. When readyLine is not empty, waits
    // (up to timeoutMs) until the program prints a line containing it on stdout.
    bool start(const QString& program, const QStringList& args,
               const QString& readyLine = QString(), int timeoutMs = 10000);
    void stop();
    QProcess& process() { return m_process; }
    // Everything the program printed on stdout so far (including before readiness).
    QByteArray output();

private:
    QString m_namespace;
    QProcess m_process;
    QByteArray m_output;
};

} // namespace zltest
