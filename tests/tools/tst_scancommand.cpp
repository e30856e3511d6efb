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
