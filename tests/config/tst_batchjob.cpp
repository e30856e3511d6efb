// The batch job: the entry checks and their texts, and whole runs against the simulator
// with the verification that follows them (a discovery cycle hears a moved camera by
// its MAC; a login tries the new password).
#include "simsite.h"
#include "tcBatchJob.h"
#include "tcDiscoverySession.h"
#include "tcIPv4.h"

#include <QtTest>

using namespace zltest;

namespace {

std::array<QString, PlanFieldCount> fields(const char* start, const char* mask = "255.255.255.0",
                                           const char* gateway = "10.99.3.1", const char* dns1 = nullptr,
                                           const char* dns2 = nullptr)
{
    const auto text = [](const char* t) { return t ? QString::fromLatin1(t) : QString(); };
    return {text(start), text(mask), text(gateway), text(dns1), text(dns2)};
}

quint32 ip(const char* text)
{
    return parseIPv4(QLatin1String(text)).value_or(0);
}

// A PQ camera of the site file with a MAC of its own, and the record discovery would
// have given the job for it.
QByteArray simDevice(int n, const QByteArray& more = QByteArray())
{
    return QStringLiteral("{\"kind\": \"pq-camera\", \"address\": \"10.99.2.%1\", \"mac\": "
                          "\"0a:3d:91:00:00:%2\"")
               .arg(20 + n)
               .arg(n, 2, 10, QLatin1Char('0'))
               .toUtf8() +
           (more.isEmpty() ? QByteArray() : ", " + more) + '}';
}
tpVideoDevice record(int n)
{
    auto d = tpVideoDevice::create(nullptr);
    d->ipAddress = QStringLiteral("10.99.2.%1").arg(20 + n);
    d->macAddress = QStringLiteral("0A:3D:91:00:00:%1").arg(n, 2, 10, QLatin1Char('0'));
    d->pqCamera = true;
    return d;
}

const char* const kStateNames[] = {"not checked", "confirmed", "not confirmed"};

} // namespace

class tst_BatchJob : public QObject
{
    Q_OBJECT
private slots:
    // What the dialogs and the command refuse, in the order they check, with the texts
    // both show.
    void credentials_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("entry"); // admin user, password, user, old, new, confirmation
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const int network = int(tcConfigKind::Network), password = int(tcConfigKind::Password);

        QTest::newRow("network: no admin user") << network << QStringList{"", "7093"} << "Entry Required"
                                                << "Please enter a user name with administrator access.";
        QTest::newRow("network: no admin password") << network << QStringList{"admin", ""} << "Entry Required"
                                                    << "Please enter the password for the admin user.";
        QTest::newRow("network: the user fields are not its business")
            << network << QStringList{"admin", "7093", "", "", ""} << ""
            << "";
        QTest::newRow("password: no user")
            << password << QStringList{"admin", "7093", "", "a", "b", "b"} << "Entry Required"
            << "Please enter a user name.";
        QTest::newRow("password: no current password")
            << password << QStringList{"admin", "7093", "op", "", "b", "b"} << "Entry Required"
            << "Please enter the current password.";
        QTest::newRow("password: no new password")
            << password << QStringList{"admin", "7093", "op", "a", "", ""} << "Entry Required"
            << "Please enter a new password.";
        QTest::newRow("password: the same again, checked before the confirmation")
            << password << QStringList{"admin", "7093", "op", "a", "a", "x"} << "Invalid Entry"
            << "The new password must not be the same as the old password.";
        QTest::newRow("password: a typo in the confirmation")
            << password << QStringList{"admin", "7093", "op", "a", "b", "c"} << "Invalid Entry"
            << "Passwords do not match.";
        QTest::newRow("password: letter case makes another password")
            << password << QStringList{"admin", "7093", "op", "same", "Same", "Same"} << ""
            << "";
        QTest::newRow("password: no confirmation typed (a secrets file)")
            << password << QStringList{"admin", "7093", "op", "a", "b"} << ""
            << "";
    }
    void credentials()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, entry);
        QFETCH(QString, title);
        QFETCH(QString, text);
        const tcConfigCredentials c{entry.value(0), entry.value(1), entry.value(2), entry.value(3),
                                    entry.value(4)};
        const QString confirmation = entry.value(5);
        const tcBatchCheck check =
            checkCredentials(tcConfigKind(kind), c, entry.size() > 5 ? &confirmation : nullptr);
        QCOMPARE(batchCheckTitle(check), title);
        QCOMPARE(batchCheckText(check), text);
    }

    void plan_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("devices");
        QTest::addColumn<QString>("text");     // empty: accepted
        QTest::addColumn<QStringList>("plan"); // the addresses handed out, in order

        const auto list = [](const std::array<QString, PlanFieldCount>& a) {
            return QStringList(a.begin(), a.end());
        };
        QTest::newRow("an empty octet, checked before the mask")
            << list(fields("10.99.3.", "")) << 1 << "Please enter a valid starting IP address."
            << QStringList();
        QTest::newRow("a leading zero is no address")
            << list(fields("10.99.3.020")) << 1 << "Please enter a valid starting IP address."
            << QStringList();
        QTest::newRow("a short address as QHostAddress would take it")
            << list(fields("10.99.3.20", "255.255.255.0", "10.99.3.1", "10.1")) << 1
            << "Please enter a valid primary DNS address." << QStringList();
        QTest::newRow("the alternate DNS out of range")
            << list(fields("10.99.3.20", "255.255.255.0", "10.99.3.1", "10.99.0.53", "10.99.0.256")) << 1
            << "Please enter a valid alternate DNS address or 0.0.0.0." << QStringList();
        QTest::newRow("gateway on another /24")
            << list(fields("10.99.3.20", "255.255.255.0", "10.99.4.1")) << 1
            << "Starting IP address and gateway address must be on the same subnet." << QStringList();
        QTest::newRow("the same gateway inside a /16")
            << list(fields("10.99.3.20", "255.255.0.0", "10.99.4.1")) << 2 << ""
            << QStringList{"10.99.3.20", "10.99.3.21"};
        QTest::newRow(".250 with 6 devices ends at .255")
            << list(fields("10.99.3.250")) << 6 << ""
            << QStringList{"10.99.3.250", "10.99.3.251", "10.99.3.252",
                           "10.99.3.253", "10.99.3.254", "10.99.3.255"};
        QTest::newRow(".250 with 7 devices is too high")
            << list(fields("10.99.3.250")) << 7
            << "Starting IP address is too high for the number of sites selected." << QStringList();
        QTest::newRow("options not given keep their zero")
            << list(fields("10.99.3.20", "255.255.255.0", "10.99.3.1")) << 1 << ""
            << QStringList{"10.99.3.20"};
    }
    void plan()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, devices);
        QFETCH(QString, text);
        QFETCH(QStringList, plan);
        std::array<QString, PlanFieldCount> entry;
        std::copy(texts.cbegin(), texts.cend(), entry.begin());
        tcNetworkPlan p;
        tcBatchCheck check = readPlanAddresses(entry, &p);
        if (check == tcBatchCheck::Ok)
            check = checkPlanSize(p, devices);
        QCOMPARE(batchCheckText(check), text);
        if (check != tcBatchCheck::Ok)
            return;
        QStringList handedOut;
        for (int i = 0; i < devices; ++i)
            handedOut << p.address(quint32(i));
        QCOMPARE(handedOut, plan);
        // One more than fits is none, not a wrap to .0 and on.
        QCOMPARE(p.address(quint32(256 - (p.start & 0xff))), QString());
        if (entry[PlanDns1].isNull())
            QCOMPARE(p.dns1, 0u);
    }

    // Whole runs: each device ends as "<outcome> / <verification>: <reason>".
    void run_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("devices");
        QTest::addColumn<bool>("dhcp");
        QTest::addColumn<QString>("user"); // password runs: whose password changes
        QTest::addColumn<bool>("verify");
        QTest::addColumn<QStringList>("ends");
        const int network = int(tcConfigKind::Network), password = int(tcConfigKind::Password);

        QTest::newRow("network: the moved camera is heard at its new address, the other is not")
            << network << simDevice(1, "\"moveOnWrite\": true") + ',' + simDevice(2) << false << "" << true
            << QStringList{"Success / confirmed: seen at 10.99.3.20",
                           "Success / not confirmed: not seen at 10.99.3.21"};
        QTest::newRow("network: a refused login is not checked")
            << network << simDevice(1, "\"users\": {\"admin\": \"other\"}, \"auth\": \"basic\"") << false
            << "" << true << QStringList{"Login Failed / not checked: the change did not succeed"};
        QTest::newRow("network: DHCP is confirmed when the camera reports DHCP")
            << network << simDevice(1) << true << "" << true
            << QStringList{"Success / confirmed: seen with DHCP at 10.99.2.21"};
        QTest::newRow("network: the check turned off")
            << network << simDevice(1, "\"moveOnWrite\": true") << false << "" << false
            << QStringList{"Success / not checked: the check is turned off"};
        QTest::newRow("password: the administrator's new password logs in")
            << password << simDevice(1) << false << "admin" << true
            << QStringList{"Success / confirmed: the new password logs in"};
        QTest::newRow("password: another user's password is not tried")
            << password << simDevice(1, "\"users\": {\"admin\": \"7093\", \"op\": \"old\"}") << false << "op"
            << true
            << QStringList{"Success / not checked: only the administrator's own new password can be tried"};
    }
    void run()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, devices);
        QFETCH(bool, dhcp);
        QFETCH(QString, user);
        QFETCH(bool, verify);
        QFETCH(QStringList, ends);
        ZL_REQUIRE_SANDBOX();

        tcSim sim;
        QVERIFY(sim.start('[' + devices + ']', {QStringLiteral("--http-timeout"), QStringLiteral("60000")}));
        QVector<tpVideoDevice> records;
        for (int i = 0; i < ends.size(); ++i)
            records << record(i + 1);

        tcBatchJob job{tcConfigKind(kind)};
        job.setDevices(records);
        job.setVerify(verify);
        // A camera that has not moved when the first cycle after its write ends never will.
        job.setSettleMs(0);
        tcNetworkPlan plan;
        plan.dhcp = dhcp;
        plan.start = ip("10.99.3.20");
        plan.mask = ip("255.255.0.0");
        plan.gateway = ip("10.99.0.1");
        plan.fixed = true;
        job.setPlan(plan);
        const QString old = user == QLatin1String("op") ? QStringLiteral("old") : QStringLiteral("7093");
        job.setCredentials(
            {QStringLiteral("admin"), QStringLiteral("7093"), user, old, QStringLiteral("n3w")});

        QVector<QString> seen(ends.size());
        QVector<int> verifiedOrder;
        bool changesEndedFirst = false;
        connect(&job, &tcBatchJob::sig_siteEnded, this,
                [&](int i, const tcConfigOutcome& outcome) { seen[i] = outcome.text; });
        connect(&job, &tcBatchJob::sig_changesEnded, this, [&] { changesEndedFirst = !job.isChanging(); });
        connect(&job, &tcBatchJob::sig_verified, this, [&](int i, const tcVerification& v) {
            QVERIFY2(!seen[i].isEmpty(), "verified before its exchange ended");
            seen[i] += QStringLiteral(" / %1: %2").arg(QLatin1String(kStateNames[v.state]), v.reason);
            verifiedOrder << i;
            if (v.state == tcVerification::Confirmed && kind == int(tcConfigKind::Network))
                QCOMPARE(v.seen->macAddress.toUpper(), records[i]->macAddress);
        });
        QSignalSpy finished(&job, &tcBatchJob::sig_finished);
        job.start();
        QVERIFY(finished.wait(40000));
        QCOMPARE(QStringList(seen.toList()), ends);
        // Every device told once, and the job idle again.
        std::sort(verifiedOrder.begin(), verifiedOrder.end());
        QCOMPARE(verifiedOrder.size(), ends.size());
        QVERIFY(std::adjacent_find(verifiedOrder.cbegin(), verifiedOrder.cend()) == verifiedOrder.cend());
        QVERIFY(changesEndedFirst);
        QVERIFY(!job.isRunning());
    }

    // Stopped while it waits to hear a camera: the job ends at once, the camera not checked.
    void stopDuringVerification()
    {
        ZL_REQUIRE_SANDBOX();
        tcSim sim;
        QVERIFY(sim.start('[' + simDevice(1) + ']'));
        tcBatchJob job{tcConfigKind::Network};
        job.setDevices({record(1)});
        tcNetworkPlan plan;
        plan.start = ip("10.99.3.20");
        plan.mask = ip("255.255.0.0");
        plan.gateway = ip("10.99.0.1");
        job.setPlan(plan);
        job.setCredentials({QStringLiteral("admin"), QStringLiteral("7093"), {}, {}, {}});
        QString note;
        connect(&job, &tcBatchJob::sig_verified, this, [&](int, const tcVerification& v) {
            note = QStringLiteral("%1: %2").arg(QLatin1String(kStateNames[v.state]), v.reason);
        });
        QSignalSpy finished(&job, &tcBatchJob::sig_finished);
        connect(&job, &tcBatchJob::sig_changesEnded, &job, &tcBatchJob::stop, Qt::QueuedConnection);
        job.start();
        QVERIFY(finished.wait(20000));
        QCOMPARE(note, QStringLiteral("not checked: stopped before the check"));
        QVERIFY(!job.isRunning());
    }

    // Which rows a run may take: the family's cameras for the address and password runs,
    // other makers' ONVIF cameras there only when asked for, and alone in the runs that
    // only the ONVIF service has.
    void eligible_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected"); // family camera, ONVIF camera, recorder; without/with ONVIF
        QTest::newRow("network") << int(tcConfigKind::Network) << "100 110";
        QTest::newRow("password") << int(tcConfigKind::Password) << "100 110";
        QTest::newRow("time") << int(tcConfigKind::Time) << "010 010";
        QTest::newRow("reboot") << int(tcConfigKind::Reboot) << "010 010";
        QTest::newRow("information") << int(tcConfigKind::Information) << "010 010";
    }
    void eligible()
    {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        auto family = record(1);
        family->type = Norvo2Cam;
        auto onvif = tpVideoDevice::create(nullptr);
        onvif->type = Onvif;
        auto recorder = tpVideoDevice::create(nullptr);
        recorder->type = PQSeries;
        QString seen;
        for (bool withOnvif : {false, true}) {
            if (withOnvif)
                seen += QLatin1Char(' ');
            for (const tpVideoDevice& d : {family, onvif, recorder})
                seen +=
                    isBatchEligible(*d, tcConfigKind(kind), withOnvif) ? QLatin1Char('1') : QLatin1Char('0');
        }
        QCOMPARE(seen, expected);
    }
};

QTEST_GUILESS_MAIN(tst_BatchJob)
#include "tst_batchjob.moc"
