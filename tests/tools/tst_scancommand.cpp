#include "zltest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct tcResult
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end on the scan side (the test's own namespace).
tcResult run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    tcResult result;
    result.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished)
        process.kill();
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

tcResult scan(const QStringList& args)
{
    return run(zltest::binPath("zephyrlock-scan"), args);
}

// A second interface on the scan side that leads nowhere: a veth pair whose other end
// stays in this namespace. Removed again when the object goes away.
class tcDeadEndInterface
{
public:
    bool add()
    {
        return ip({"link", "add", "zlextra0", "type", "veth", "peer", "name", "zlextra1"}) &&
               ip({"addr", "add", "10.96.0.1/24", "dev", "zlextra0"}) &&
               ip({"link", "set", "zlextra1", "up"}) &&
               ip({"link", "set", "zlextra0", "up", "multicast", "on"});
    }
    ~tcDeadEndInterface() { ip({"link", "del", "zlextra0"}); }

private:
    static bool ip(const QStringList& args) { return run("ip", args).finished; }
};

// stderr after the "Sites found" line: the reply counts of --verbose.
QString replyCounts(const tcResult& result)
{
    return QString::fromUtf8(result.err).section(QLatin1Char('\n'), 1).trimmed();
}

} // namespace

class tst_ScanCommand : public QObject
{
    Q_OBJECT
private slots:
    void init() { ZL_REQUIRE_SANDBOX(); }

    void usageError()
    {
        const tcResult result = scan({"--kind", "doors"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        const QString err = QString::fromUtf8(result.err);
        QVERIFY2(err.startsWith("zephyrlock-scan: ") && err.contains("not 'doors'") &&
                     err.endsWith("\nTry 'zephyrlock-scan --help'.\n"),
                 qPrintable(err));
    }

    // A namespace of its own with no interface but loopback: binding the wildcard
    // address still works there, but no query can leave, so no discovery can happen.
    void noNetwork()
    {
        const tcResult result =
            run("unshare", {"--net", "sh", "-c", "ip link set lo up && exec \"$0\" \"$@\"",
                            zltest::binPath("zephyrlock-scan"), "--json"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains("zephyrlock-scan: no discovery query could be sent"),
                 result.err.constData());
        QVERIFY(!result.err.contains("Sites found"));
    }

    // With a second interface that leads nowhere: the listing shows it; restricted to it
    // nothing is found; restricted to the scan side's own, as much as with both, and with
    // both no query leaves twice by the same interface, so every device answers once per
    // query as with one.
    void interfaces()
    {
        tcDeadEndInterface extra;
        QVERIFY(extra.add());
        const tcResult listing = scan({"--interfaces"});
        QCOMPARE(listing.exitCode, 0);
        const QString text = QString::fromUtf8(listing.out);
        for (const QString& line :
             {QStringLiteral("  zlscan0   10.99.0.1  255.255.0.0\n"),
              QStringLiteral("  zlextra0  10.96.0.1  255.255.255.0\n"),
              QStringLiteral("  lo        loopback\n"), QStringLiteral("  zlextra1  no IPv4 address\n")})
            QVERIFY2(text.contains(line), qPrintable(text));

        zltest::tcSiteProcess sim;
        QVERIFY(sim.start(zltest::binPath("zephyrlock-sim"),
                          {"--no-http", "--seed", "5", "--onvif", "2", "--norvo1", "1", "--pq-recorders", "1",
                           "--bridges", "1"},
                          "\"event\":\"ready\""));
        const QStringList all{"--kind", "all", "--json", "--verbose"};
        const tcResult both = scan(all);
        const tcResult own = scan(all + QStringList{"--interface", "zlscan0"});
        const tcResult deadEnd = scan(all + QStringList{"--interface", "zlextra0"});
        QCOMPARE(QJsonDocument::fromJson(both.out).array().size(), 5);
        QCOMPARE(own.out, both.out);
        QCOMPARE(replyCounts(own), replyCounts(both));
        QCOMPARE(replyCounts(both), QStringLiteral("Replies per interface and protocol:\n"
                                                   "zlscan0: Norvo 1.0 2, ONVIF 8, PQ 2, Bridge 2"));
        QCOMPARE(QJsonDocument::fromJson(deadEnd.out).array(), QJsonArray());
        QCOMPARE(replyCounts(deadEnd), QStringLiteral("Replies per interface and protocol: none"));
    }

    void unusableInterface_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("no such interface") << "zlnone0"
                                           << "no interface is named 'zlnone0' (see --interfaces)";
        QTest::newRow("loopback") << "lo"
                                  << "interface 'lo' is skipped: loopback";
    }
    void unusableInterface()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        const tcResult result = scan({"--interface", name});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QCOMPARE(QString::fromUtf8(result.err), "zephyrlock-scan: " + error + "\n");
    }

    void emptySite()
    {
        const tcResult result = scan({"--json", "--kind", "all"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(result.out).array(), QJsonArray());
        QCOMPARE(result.err, QByteArray("Sites found (0 / 0)\n"));
    }
};

QTEST_GUILESS_MAIN(tst_ScanCommand)
#include "tst_scancommand.moc"
