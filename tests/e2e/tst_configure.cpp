// zephyrlock-scan's configuration commands against a simulated site, run as a script
// runs them: secrets on standard input, --yes, the exit status and one line per device.
// Afterwards the simulated cameras' own state must be what the plan meant, the faulty
// cameras must be reported and must not stop the others, and no password may show in
// the output, the logs, the process's command line or its environment.
#include "scancommand.h"

#include <QJsonArray>
#include <QtTest>

using namespace zltest;

namespace {

const QByteArray kPassword = "Kw9-secret-Pass";
const QByteArray kWrongPassword = "Not-the-0ne-x";

} // namespace

class tst_Configure : public QObject
{
    Q_OBJECT
private slots:
    void init() { ZL_REQUIRE_SANDBOX(); }

    // 20 cameras, one whose admin password is another, one that never answers: the other
    // 18 get their planned address (device i of the list start + i, whatever the faulty
    // ones do) and are seen there by the verifying discovery cycle.
    void staticPlan()
    {
        QByteArrayList devices;
        for (int i = 1; i <= 20; ++i) {
            QByteArray more = "\"users\": {\"admin\": \"" + (i == 5 ? kWrongPassword : kPassword) + "\"}";
            if (i == 12)
                more += ", \"fault\": \"no-answer\"";
            devices << "{\"kind\": \"" + QByteArray(i % 2 ? "pq-camera" : "norvo2") +
                           "\", \"address\": \"10.99.2." + QByteArray::number(i) + "\", " + more + '}';
        }
        zltest::tcSim sim;
        QVERIFY(sim.start('[' + devices.join(",\n") + ']',
                          {"--move-on-write", "--log-requests", "--http-timeout", "60000"}));

        const tcCommand run = runScan({"set-network", "--all", "--start", "10.99.3.1", "--mask",
                                       "255.255.0.0", "--gateway", "10.99.0.1", "--yes", "--parallel", "4"},
                                      "admin\n" + kPassword + '\n');
        QCOMPARE(run.exitCode, 3);
        QStringList expected;
        const QMap<QString, QJsonObject> state = siteState(sim);
        QCOMPARE(state.size(), 20);
        for (int i = 1; i <= 20; ++i) {
            const QString old = QStringLiteral("10.99.2.%1").arg(i);
            const QString planned = QStringLiteral("10.99.3.%1").arg(i);
            const QJsonObject device = state.value(old);
            const QString written = device["network"]["staticIp"].toString();
            const QString mac = device["mac"].toString().toUpper();
            if (i == 5)
                expected << mac + '\t' + old + '\t' + planned + "\tLogin Failed\tnot checked\tnot-authorized";
            else if (i == 12)
                expected << mac + '\t' + old + '\t' + planned + "\tNetwork Error\tnot checked\tunreachable";
            else
                expected << mac + '\t' + old + '\t' + planned + "\tSuccess\tverified\t-";
            QCOMPARE(written, i == 5 || i == 12 ? old : planned);
            if (i != 5 && i != 12) {
                QCOMPARE(device["network"]["staticIpMask"].toString(), QStringLiteral("255.255.0.0"));
                QCOMPARE(device["network"]["ipSettingMode"].toString(), QStringLiteral("staticIp"));
            }
        }
        QCOMPARE(QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts), expected);
        // the plan went to standard error before anything changed
        QVERIFY2(run.err.contains("10.99.2.20 -> 10.99.3.20\n"), run.err.constData());
        requireNoSecret({run.out, run.err, run.cmdline, run.environ, sim.process().output()},
                        {kPassword, kWrongPassword});
        QVERIFY(!run.cmdline.isEmpty() && !run.environ.isEmpty());
    }

    // A fresh login with the new password verifies a change of the user that logs in;
    // another user's change is not checked and counts as done.
    void password_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("verification");
        QTest::newRow("the administrator itself: verified by a login") << "admin"
                                                                       << "verified";
        QTest::newRow("another user: not checked") << "operator"
                                                   << "not checked";
    }
    void password()
    {
        QFETCH(QString, user);
        QFETCH(QString, verification);
        const QByteArray current = user == QLatin1String("admin") ? kPassword : QByteArray("op-Secret-1");
        const QByteArray fresh = "N3w-secret-Pw";
        QByteArrayList devices;
        for (int i = 1; i <= 3; ++i)
            devices << "{\"kind\": \"pq-camera\", \"address\": \"10.99.4." + QByteArray::number(i) +
                           "\", \"users\": {\"admin\": \"" + kPassword +
                           "\", \"operator\": \"op-Secret-1\"}" + (i == 2 ? ", \"authversion\": true" : "") +
                           '}';
        zltest::tcSim sim;
        QVERIFY(sim.start('[' + devices.join(',') + ']', {"--log-requests"}));

        const tcCommand run = runScan(
            {"set-password", "--user", user, "--ip", "10.99.4.3,10.99.4.1,10.99.4.2", "--yes", "--json"},
            "admin\n" + kPassword + '\n' + current + '\n' + fresh + '\n');
        QCOMPARE(run.exitCode, 0);
        const QJsonArray lines = QJsonDocument::fromJson(run.out).array();
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines[i]["old_address"].toString(), QStringLiteral("10.99.4.%1").arg(i + 1));
            QCOMPARE(lines[i]["outcome"].toString(), QStringLiteral("Success"));
            QCOMPARE(lines[i]["verification"].toString(), verification);
        }
        for (const QJsonObject& device : siteState(sim))
            QCOMPARE(device["passwordSha256"][user].toString(), QString::fromLatin1(sha256(fresh)));
        requireNoSecret({run.out, run.err, run.cmdline, run.environ, sim.process().output()},
                        {kPassword, current, fresh});
    }
};

QTEST_GUILESS_MAIN(tst_Configure)
#include "tst_configure.moc"
