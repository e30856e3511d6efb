// zephyrlock-scan on a mixed site: the family's own cameras beside other makers' ONVIF
// cameras of every login kind (WS-Security token on a clock an hour off, HTTP Digest,
// both), one that restarts to take its address, one whose write does not take, one
// factory-new without users, one that cannot be reached. Each command's results must
// match the cameras' own state afterwards, every change confirmed where it took, and
// no password may show anywhere.
#include "scancommand.h"

#include <QJsonArray>
#include <QtTest>

using namespace zltest;

namespace {

const QByteArray kPassword = "Kw9-secret-Pass";
const QByteArray kFresh = "N3w-secret-Pw";

QByteArray device(const char* kind, const char* address, const QByteArray& more = QByteArray())
{
    QByteArray text = QByteArray("{\"kind\": \"") + kind + "\", \"address\": \"" + address + '"';
    if (!more.contains("onvifNoUsers"))
        text += ", \"users\": {\"admin\": \"" + kPassword + "\"}";
    return text + (more.isEmpty() ? QByteArray() : ", " + more) + '}';
}

// The results by old address.
QMap<QString, QJsonObject> byAddress(const QByteArray& json)
{
    QMap<QString, QJsonObject> results;
    for (const QJsonValue& line : QJsonDocument::fromJson(json).array())
        results[line["old_address"].toString()] = line.toObject();
    return results;
}

QString shown(const QJsonObject& result)
{
    return QStringList{result["outcome"].toString(), result["verification"].toString(),
                       result["reason"].toString()}
        .join(QLatin1Char('/'));
}

} // namespace

class tst_OnvifBatch : public QObject
{
    Q_OBJECT
private slots:
    void init() { ZL_REQUIRE_SANDBOX(); }

    void network()
    {
        zltest::tcSim sim;
        QVERIFY(sim.start(
            '[' +
                QByteArrayList{
                    device("pq-camera", "10.99.6.1"), device("onvif", "10.99.6.11", "\"clockOffset\": 3600"),
                    device("onvif", "10.99.6.12", "\"onvifAuth\": \"digest\""),
                    device("onvif", "10.99.6.13", "\"onvifAuth\": \"both\", \"clockOffset\": -7200"),
                    device("onvif", "10.99.6.14", "\"rebootNeeded\": true, \"rebootSecs\": 2"),
                    device("onvif", "10.99.6.15", "\"keepsAddress\": true")}
                    .join(',') +
                ']',
            {"--move-on-write", "--log-requests"}));
        const tcCommand run =
            runScan({"set-network", "--onvif", "--all", "--start", "10.99.8.1", "--mask", "255.255.0.0",
                     "--gateway", "10.99.0.1", "--dns1", "10.99.0.53", "--yes", "--json", "--parallel", "8"},
                    "admin\n" + kPassword + '\n');
        // the camera whose write did not take is not confirmed
        QCOMPARE(run.exitCode, 3);
        const QMap<QString, QJsonObject> results = byAddress(run.out);
        QCOMPARE(results.size(), 6);
        const QMap<QString, QJsonObject> state = siteState(sim);
        for (const QString& old : results.keys()) {
            const QJsonObject r = results[old];
            const bool takes = old != QLatin1String("10.99.6.15");
            QCOMPARE(shown(r), takes ? QStringLiteral("Success/verified/")
                                     : QStringLiteral("Success/not seen at %1/not-confirmed")
                                           .arg(r["new_address"].toString()));
            const QJsonObject network = state.value(old)["network"].toObject();
            QCOMPARE(network["staticIp"].toString(), takes ? r["new_address"].toString() : old);
            if (takes)
                QCOMPARE(network["staticIpMask"].toString(), QStringLiteral("255.255.0.0"));
        }
        QCOMPARE(state.value("10.99.6.14")["reboots"].toInt(), 1);
        // the moved ONVIF cameras answer at their new addresses
        QStringList moved;
        for (const char* old : {"10.99.6.11", "10.99.6.12", "10.99.6.13", "10.99.6.14"})
            moved << results[old]["new_address"].toString();
        const tcCommand info =
            runScan({"info", "--ip", moved.join(','), "--json"}, "admin\n" + kPassword + '\n');
        QCOMPARE(info.exitCode, 0);
        moved.sort();
        QCOMPARE(byAddress(info.out).keys(), moved);
        requireNoSecret({run.out, run.err, run.cmdline, run.environ, sim.process().output()}, {kPassword});
    }

    // DHCP: the family's camera tells its mode when heard again, an ONVIF camera cannot,
    // so its change is heard but not called confirmed.
    void dhcp()
    {
        zltest::tcSim sim;
        QVERIFY(sim.start(
            '[' + QByteArrayList{device("pq-camera", "10.99.6.1"), device("onvif", "10.99.6.11")}.join(',') +
                ']',
            {"--move-on-write"}));
        const tcCommand run = runScan({"set-network", "--onvif", "--all", "--dhcp", "--yes", "--json"},
                                      "admin\n" + kPassword + '\n');
        QCOMPARE(run.exitCode, 0);
        const QMap<QString, QJsonObject> results = byAddress(run.out);
        QCOMPARE(shown(results["10.99.6.1"]), QStringLiteral("Success/verified/"));
        QCOMPARE(shown(results["10.99.6.11"]), QStringLiteral("Success/not checked/"));
        QCOMPARE(siteState(sim).value("10.99.6.11")["network"]["ipSettingMode"].toString(),
                 QStringLiteral("dhcp"));
    }

    // The administrator's own password everywhere; the camera without users gets it as
    // its first administrator.
    void password()
    {
        zltest::tcSim sim;
        QVERIFY(sim.start('[' +
                              QByteArrayList{device("pq-camera", "10.99.6.1"),
                                             device("onvif", "10.99.6.11", "\"clockOffset\": 3600"),
                                             device("onvif", "10.99.6.12", "\"onvifAuth\": \"digest\""),
                                             device("onvif", "10.99.6.13", "\"onvifAuth\": \"both\""),
                                             device("onvif", "10.99.6.16", "\"onvifNoUsers\": true")}
                                  .join(',') +
                              ']',
                          {"--log-requests"}));
        const tcCommand run = runScan(
            {"set-password", "--onvif", "--user", "admin", "--all", "--yes", "--json", "--parallel", "4"},
            "admin\n" + kPassword + '\n' + kPassword + '\n' + kFresh + '\n');
        QCOMPARE(run.exitCode, 0);
        const QMap<QString, QJsonObject> results = byAddress(run.out);
        QCOMPARE(results.size(), 5);
        for (const QJsonObject& r : results)
            QCOMPARE(shown(r), QStringLiteral("Success/verified/"));
        for (const QJsonObject& d : siteState(sim))
            QCOMPARE(d["passwordSha256"]["admin"].toString(), QString::fromLatin1(sha256(kFresh)));
        requireNoSecret({run.out, run.err, run.cmdline, run.environ, sim.process().output()},
                        {kPassword, kFresh});
    }

    void time_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("type");
        QTest::newRow("the workstation's clock") << QStringList{} << "Manual";
        QTest::newRow("NTP") << QStringList{"--ntp", "10.99.0.123,ntp.example"} << "NTP";
    }
    void time()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, type);
        zltest::tcSim sim;
        QVERIFY(sim.start(
            '[' +
            QByteArrayList{device("pq-camera", "10.99.6.1"),
                           device("onvif", "10.99.6.11", "\"clockOffset\": 3600"),
                           device("onvif", "10.99.6.12", "\"onvifAuth\": \"digest\", \"clockOffset\": 600"),
                           device("onvif", "10.99.6.13", "\"onvifAuth\": \"both\", \"clockOffset\": -7200"),
                           device("onvif", "10.99.6.17", "\"fault\": \"closed-port\"")}
                .join(',') +
            ']'));
        const tcCommand run =
            runScan(QStringList{"sync-time", "--all", "--yes", "--json", "--parallel", "4"} + options,
                    "admin\n" + kPassword + '\n');
        QCOMPARE(run.exitCode, 3);
        const QMap<QString, QJsonObject> results = byAddress(run.out);
        // the family's camera takes no part
        QCOMPARE(results.keys(), (QStringList{"10.99.6.11", "10.99.6.12", "10.99.6.13", "10.99.6.17"}));
        const QMap<QString, QJsonObject> state = siteState(sim);
        for (const QString& address : {"10.99.6.11", "10.99.6.12", "10.99.6.13"}) {
            QCOMPARE(shown(results[address]), QStringLiteral("Success/verified/"));
            QVERIFY2(qAbs(state.value(address)["clockOffsetSecs"].toInt()) <= 2, qPrintable(address));
            QCOMPARE(state.value(address)["dateTimeType"].toString(), type);
        }
        QCOMPARE(shown(results["10.99.6.17"]), QStringLiteral("Network Error/not checked/unreachable"));
        if (type == QLatin1String("NTP"))
            QCOMPARE(state.value("10.99.6.11")["ntpServers"].toVariant().toStringList(),
                     (QStringList{"10.99.0.123", "ntp.example"}));
    }

    // info reads what the camera tells of itself; a wrong password is named as such;
    // a restart is confirmed by the camera answering again.
    void informationAndReboot()
    {
        zltest::tcSim sim;
        QVERIFY(sim.start(
            '[' +
            QByteArrayList{device("onvif", "10.99.6.11", "\"clockOffset\": 3600"),
                           device("onvif", "10.99.6.12", "\"onvifAuth\": \"digest\", \"rebootSecs\": 2"),
                           "{\"kind\": \"onvif\", \"address\": \"10.99.6.18\", \"users\": "
                           "{\"admin\": \"other-Pass-1\"}}"}
                .join(',') +
            ']'));
        const tcCommand info = runScan({"info", "--all", "--json"}, "admin\n" + kPassword + '\n');
        QCOMPARE(info.exitCode, 3);
        const QMap<QString, QJsonObject> results = byAddress(info.out);
        const QMap<QString, QJsonObject> state = siteState(sim);
        for (const QString& address : {"10.99.6.11", "10.99.6.12"}) {
            QCOMPARE(results[address]["outcome"].toString(), QStringLiteral("Success"));
            QCOMPARE(results[address]["model"].toString(), state.value(address)["model"].toString());
            QVERIFY(!results[address]["serial"].toString().isEmpty());
        }
        QCOMPARE(shown(results["10.99.6.18"]), QStringLiteral("Login Failed/not checked/not-authorized"));

        const tcCommand reboot =
            runScan({"reboot", "--ip", "10.99.6.12", "--yes", "--json"}, "admin\n" + kPassword + '\n');
        QCOMPARE(reboot.exitCode, 0);
        QCOMPARE(shown(byAddress(reboot.out)["10.99.6.12"]), QStringLiteral("Success/verified/"));
        QCOMPARE(siteState(sim).value("10.99.6.12")["reboots"].toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_OnvifBatch)
#include "tst_onvifbatch.moc"
