// The configuration commands of zephyrlock-scan as values: their options, the secret
// lines, the devices a selection picks, the address plan and the printed results.
#include "tcScanConfigure.h"

#include <QBuffer>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

tcConfigureOptions parse(const QString& line)
{
    return parseConfigureArguments(QStringList{QStringLiteral("zephyrlock-scan")} +
                                   line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

// A list as discovery leaves it: three PQ cameras, one ONVIF-only camera, one recorder.
tcSiteList site()
{
    tcSiteList list;
    const struct
    {
        const char* address;
        const char* mac;
        qint32 type;
        bool pqCamera;
    } devices[] = {
        {"10.99.1.3", "0a:3d:91:00:00:03", Norvo2Cam, true},
        {"10.99.1.1", "0a:3d:91:00:00:01", Norvo2Cam, true},
        {"10.99.1.9", "00:1e:00:00:00:09", Onvif, false},
        {"10.99.1.2", "0a:3d:91:00:00:02", PQSeries, false},
        {"10.99.1.10", "0a:3d:91:00:00:10", Norvo2Cam, true},
    };
    for (const auto& d : devices) {
        auto device = tpVideoDevice::create(nullptr);
        device->ipAddress = QLatin1String(d.address);
        device->macAddress = QLatin1String(d.mac);
        device->type = d.type;
        device->pqCamera = d.pqCamera;
        list.merge(device);
    }
    return list;
}

} // namespace

class tst_ScanConfigure : public QObject
{
    Q_OBJECT
private slots:
    void options_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error"); // empty: accepted
        const QString plan = QStringLiteral(" --start 10.99.3.20 --mask 255.255.0.0 --gateway 10.99.0.1");

        QTest::newRow("no selection") << "set-network --dhcp"
                                      << "choose the devices with --mac, --ip or --all";
        QTest::newRow("two selections") << "set-network --dhcp --all --ip 10.99.1.1"
                                        << "--mac, --ip and --all exclude each other";
        QTest::newRow("an empty list") << "set-network --dhcp --mac ,"
                                       << "the selection names no device";
        QTest::newRow("parallel 0") << "set-network --dhcp --all --parallel 0"
                                    << "--parallel must be a whole number from 1 to 32, not '0'";
        QTest::newRow("parallel 33") << "set-network --dhcp --all --parallel 33"
                                     << "--parallel must be a whole number from 1 to 32, not '33'";
        QTest::newRow("parallel 32") << "set-network --dhcp --all --parallel 32"
                                     << "";
        QTest::newRow("DHCP with a static option") << "set-network --dhcp --all --dns1 10.0.0.1"
                                                   << "--dhcp takes no static plan options";
        QTest::newRow("static without a gateway")
            << "set-network --all --start 10.99.3.20 --mask 255.255.0.0"
            << "set-network needs --dhcp, or --start, --mask and --gateway";
        QTest::newRow("a leading zero is no address") << "set-network --all --start 10.99.3.020 --mask "
                                                         "255.255.0.0 --gateway 10.99.0.1"
                                                      << "Please enter a valid starting IP address.";
        QTest::newRow("gateway on another /24")
            << "set-network --all --start 192.168.1.10 --mask 255.255.255.0 --gateway 192.168.2.1"
            << "Starting IP address and gateway address must be on the same subnet.";
        QTest::newRow("the same gateway inside a /16")
            << "set-network --all --start 192.168.1.10 --mask 255.255.0.0 --gateway 192.168.2.1"
            << "";
        QTest::newRow("a bad alternate DNS") << "set-network --all" + plan + " --dns2 1.2.3"
                                             << "Please enter a valid alternate DNS address or 0.0.0.0.";
        QTest::newRow("a password option is unknown to set-network")
            << "set-network --all --user admin" + plan << "Unknown option 'user'.";
        QTest::newRow("set-password without a user") << "set-password --all"
                                                     << "set-password needs --user NAME";
        QTest::newRow("an address option is unknown to set-password") << "set-password --user op --all --dhcp"
                                                                      << "Unknown option 'dhcp'.";
        QTest::newRow("a stray word") << "set-password --user op --all now"
                                      << "unexpected argument 'now'";
        QTest::newRow("NTP servers by name and address") << "sync-time --all --ntp 10.99.0.123,ntp.example"
                                                         << "";
        QTest::newRow("an NTP server that is no host") << "sync-time --all --ntp 10.99.0.1@evil"
                                                       << "--ntp takes a host name or IPv4 address, not "
                                                          "'10.99.0.1@evil'";
        QTest::newRow("a time zone") << "sync-time --all --tz CET-1CEST,M3.5.0,M10.5.0/3"
                                     << "";
        QTest::newRow("the time options are sync-time's") << "reboot --all --ntp 10.99.0.123"
                                                          << "Unknown option 'ntp'.";
        QTest::newRow("--onvif only where the family's cameras are changed too") << "info --all --onvif"
                                                                                 << "Unknown option 'onvif'.";
        QTest::newRow("a kind") << "set-network --dhcp --all --kind recorders"
                                << "";
        QTest::newRow("an unknown kind")
            << "reboot --all --kind lamps"
            << "--kind must be bridges, recorders, cameras, speakers, other or all, not 'lamps'";
    }
    void options()
    {
        QFETCH(QString, line);
        QFETCH(QString, error);
        QCOMPARE(parse(line).error, error);
    }

    void plan()
    {
        tcConfigureOptions options = parse(QStringLiteral(
            "set-network --mac 0a-3d-91-00-00-10,0A:3D:91:00:00:01 --start 10.99.3.254 --mask 255.255.0.0 "
            "--gateway 10.99.0.1 --dns1 10.99.0.53 --yes --parallel 8 --json --no-verify"));
        QCOMPARE(options.error, QString());
        QCOMPARE(options.macs, (QStringList{"0A:3D:91:00:00:10", "0A:3D:91:00:00:01"}));
        QVERIFY(options.plan.fixed && !options.plan.dhcp && !options.plan.keepDeviceDns);
        QCOMPARE(QHostAddress(options.plan.dns2).toString(), QStringLiteral("0.0.0.0"));
        QVERIFY(options.yes && options.json && !options.verify);
        QCOMPARE(options.parallel, 8);
        // Addresses go in list order, not selection order; .254 leaves room for two.
        QVector<tcSelected> selected = selectDevices(site(), options);
        QCOMPARE(checkPlanSize(options.plan, 2), tcBatchCheck::Ok);
        QCOMPARE(checkPlanSize(options.plan, 3), tcBatchCheck::StartTooHigh);
        planAddresses(options, selected);
        QCOMPARE(QString::fromUtf8(formatPlan(options, selected)),
                 QStringLiteral("0A:3D:91:00:00:01  10.99.1.1 -> 10.99.3.254\n"
                                "0A:3D:91:00:00:10  10.99.1.10 -> 10.99.3.255\n"));
        // Without DNS entries each device keeps its own servers.
        QVERIFY(parse(QStringLiteral(
                          "set-network --all --start 10.99.3.2 --mask 255.255.0.0 --gateway 10.99.0.1"))
                    .plan.keepDeviceDns);
    }

    void selection_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("picked"); // "<key> <problem>" per selected device

        const QString password = QStringLiteral("set-password --user op ");
        QTest::newRow("all: the PQ cameras in list order")
            << password + "--all" << QStringList{"10.99.1.1 ", "10.99.1.3 ", "10.99.1.10 "};
        QTest::newRow("by address, one missing and one no camera")
            << password + "--ip 10.99.1.10,10.99.7.7,10.99.1.9,10.99.1.1"
            << QStringList{"10.99.1.1 ", "10.99.1.10 ", "10.99.7.7 not found",
                           "10.99.1.9 not eligible for an update"};
        QTest::newRow("by MAC in any letter case, a recorder not eligible")
            << password + "--mac 0a:3d:91:00:00:03,0a:3d:91:00:00:02"
            << QStringList{"0A:3D:91:00:00:03 ", "0A:3D:91:00:00:02 not eligible for an update"};
        QTest::newRow("with --onvif the other makers' camera too")
            << password + "--all --onvif"
            << QStringList{"10.99.1.1 ", "10.99.1.3 ", "10.99.1.9 ", "10.99.1.10 "};
        QTest::newRow("the clock: ONVIF cameras alone") << "sync-time --all" << QStringList{"10.99.1.9 "};
        QTest::newRow("information of one of ours")
            << "info --ip 10.99.1.9,10.99.1.1"
            << QStringList{"10.99.1.9 ", "10.99.1.1 not eligible: no ONVIF device service"};
        QTest::newRow("a kind with no camera of it") << "reboot --all --kind recorders" << QStringList{};
    }
    void selection()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, picked);
        const tcConfigureOptions options = parse(line);
        QCOMPARE(options.error, QString());
        QStringList seen;
        for (const tcSelected& s : selectDevices(site(), options)) {
            QCOMPARE(bool(s.device), s.problem.isEmpty());
            seen << s.key + QLatin1Char(' ') + s.problem;
        }
        QCOMPARE(seen, picked);
    }

    void secrets_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("read");

        QTest::newRow("network: user and password, CR LF and blanks as the dialog reads them")
            << "set-network --dhcp --all" << QByteArray(" admin \r\n  70   93\r\nignored\n") << ""
            << QStringList{"admin", "70 93", "", ""};
        QTest::newRow("network: the password line missing")
            << "set-network --dhcp --all" << QByteArray("admin\n") << "the secrets end after 1 of 2 lines"
            << QStringList{"admin", "", "", ""};
        QTest::newRow("network: an empty password")
            << "set-network --dhcp --all" << QByteArray("admin\n\n")
            << "Please enter the password for the admin user." << QStringList{"admin", "", "", ""};
        // cut at the limit, its rest would have been read as the next secret
        QTest::newRow("network: a password line past the limit")
            << "set-network --dhcp --all" << QByteArray("admin\n" + QByteArray(4095, 'x') + "\n")
            << "line 2 of the secrets is longer than 4094 bytes" << QStringList{"admin", "", "", ""};
        QTest::newRow("network: a password line at the limit")
            << "set-network --dhcp --all" << QByteArray("admin\n" + QByteArray(4094, 'x') + "\n") << ""
            << QStringList{"admin", QString(4094, QLatin1Char('x')), "", ""};
        QTest::newRow("password: four lines")
            << "set-password --user op --all" << QByteArray("admin\n7093\nold\nnew") << ""
            << QStringList{"admin", "7093", "old", "new"};
        QTest::newRow("password: the new one the same as the old")
            << "set-password --user op --all" << QByteArray("admin\n7093\nsame\nsame\n")
            << "The new password must not be the same as the old password."
            << QStringList{"admin", "7093", "same", "same"};
        QTest::newRow("password: letter case makes it another")
            << "set-password --user op --all" << QByteArray("admin\n7093\nsame\nSame\n") << ""
            << QStringList{"admin", "7093", "same", "Same"};
    }
    void secrets()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, lines);
        QFETCH(QString, error);
        QFETCH(QStringList, read);
        QBuffer in(&lines);
        QVERIFY(in.open(QIODevice::ReadOnly));
        tcConfigCredentials secrets;
        QCOMPARE(readSecretLines(in, parse(command), &secrets), error);
        QCOMPARE(
            (QStringList{secrets.adminUser, secrets.adminPassword, secrets.oldPassword, secrets.newPassword}),
            read);
    }

    // A device counts as done when it changed and no check of it failed.
    void reports()
    {
        QVector<tcDeviceReport> reports(3);
        reports[0] = {"0A:3D:91:00:00:01", "10.99.1.1",
                      "10.99.3.20",        tcConfigOutcome::of(tcConfigOutcome::Success),
                      "verified",          true};
        reports[1] = {"0A:3D:91:00:00:02",
                      "10.99.1.2",
                      "10.99.3.21",
                      tcConfigOutcome::of(tcConfigOutcome::Success),
                      "not seen at 10.99.3.21",
                      false};
        reports[2] = {"",   "10.99.7.7", "", tcConfigOutcome::of(tcConfigOutcome::LoginFailed), "not checked",
                      false};
        QCOMPARE(QString::fromUtf8(formatReports(reports, false)),
                 QStringLiteral("0A:3D:91:00:00:01\t10.99.1.1\t10.99.3.20\tSuccess\tverified\t-\n"
                                "0A:3D:91:00:00:02\t10.99.1.2\t10.99.3.21\tSuccess\tnot seen at "
                                "10.99.3.21\tnot-confirmed\n"
                                "-\t10.99.7.7\t-\tLogin Failed\tnot checked\tnot-authorized\n"));
        QCOMPARE((QList<bool>{reports[0].failed(), reports[1].failed(), reports[2].failed()}),
                 (QList<bool>{false, true, true}));
        tcDeviceReport unchecked = reports[0];
        unchecked.verification = QStringLiteral("not checked");
        unchecked.verified = false;
        QVERIFY(!unchecked.failed());

        const QJsonArray array = QJsonDocument::fromJson(formatReports(reports, true)).array();
        QCOMPARE(array.size(), 3);
        QCOMPARE(array[1].toObject(), (QJsonObject{{"mac", "0A:3D:91:00:00:02"},
                                                   {"old_address", "10.99.1.2"},
                                                   {"new_address", "10.99.3.21"},
                                                   {"outcome", "Success"},
                                                   {"success", true},
                                                   {"verification", "not seen at 10.99.3.21"},
                                                   {"verified", false},
                                                   {"reason", "not-confirmed"}}));
    }

    // info prints what the camera told instead of the plan's address.
    void informationReports()
    {
        tcDeviceReport report;
        report.mac = QStringLiteral("00:1E:00:00:00:09");
        report.oldAddress = QStringLiteral("10.99.1.9");
        report.outcome = tcConfigOutcome::of(tcConfigOutcome::Success);
        report.outcome.information = {"Acme", "IPC-2", "V5.1", "SN0009", "HW1"};
        report.outcome.hasInformation = true;
        report.verification = QStringLiteral("not checked");
        tcDeviceReport unreachable = report;
        unreachable.outcome = tcConfigOutcome::of(tcConfigOutcome::NetworkError);
        QCOMPARE(QString::fromUtf8(formatReports({report, unreachable}, false, tcConfigureOptions::Info)),
                 QStringLiteral(
                     "00:1E:00:00:00:09\t10.99.1.9\tAcme\tIPC-2\tV5.1\tSN0009\tSuccess\tnot checked\t-\n"
                     "00:1E:00:00:00:09\t10.99.1.9\t-\t-\t-\t-\tNetwork Error\tnot checked\tunreachable\n"));
        const QJsonObject o = QJsonDocument::fromJson(formatReports({report}, true, tcConfigureOptions::Info))
                                  .array()[0]
                                  .toObject();
        QCOMPARE(o.value("serial").toString(), QStringLiteral("SN0009"));
        QCOMPARE(o.value("hardware_id").toString(), QStringLiteral("HW1"));
        QCOMPARE(o.value("reason").toString(), QString());
    }
};

QTEST_GUILESS_MAIN(tst_ScanConfigure)
#include "tst_scanconfigure.moc"
