// zephyrlock-scan watch against simulated sites whose devices change under it on a
// schedule.
#include "simsite.h"
#include "tcScanWatch.h"

#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace zltest;

class tst_ScanWatch : public QObject
{
    Q_OBJECT
private slots:
    void options_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error");
        QTest::newRow("defaults") << ""
                                  << "";
        QTest::newRow("the shortest interval") << "--interval 5"
                                               << "";
        QTest::newRow("too short") << "--interval 4"
                                   << "--interval must be 5 to 600 seconds, not '4'";
        QTest::newRow("too long") << "--interval 601"
                                  << "--interval must be 5 to 600 seconds, not '601'";
        QTest::newRow("not a number") << "--duration soon"
                                      << "--duration must be a whole number of seconds, not 'soon'";
        QTest::newRow("a stray word") << "now"
                                      << "unexpected argument 'now'";
    }
    void options()
    {
        QFETCH(QString, line);
        QFETCH(QString, error);
        const tcWatchOptions options = parseWatchArguments(QStringList{"zephyrlock-scan", "watch"} +
                                                           line.split(' ', Qt::SkipEmptyParts));
        QCOMPARE(options.error, error);
        if (error.isEmpty() && line.isEmpty())
            QCOMPARE(options.intervalSecs, 15);
    }

    // A camera that says Bye is offline at once, and online at once when it says Hello,
    // between the cycles.
    void announcements()
    {
        ZL_REQUIRE_SANDBOX();
        tcSim sim;
        QVERIFY(sim.start(R"([{"kind": "onvif", "address": "10.99.7.10", "mac": "0a:3d:91:07:00:10",
                               "schedule": [{"at": 2, "do": "bye"}, {"at": 4, "do": "hello"}]}])"));
        QProcess watch;
        watch.start(binPath(QStringLiteral("zephyrlock-scan")),
                    {"watch", "--json", "--interval", "30", "--duration", "6"});
        QVERIFY(watch.waitForFinished(20000));
        QCOMPARE(watch.exitCode(), 0);
        QStringList events;
        for (const QByteArray& line : watch.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                events << QJsonDocument::fromJson(line).object()["event"].toString();
        // One cycle at the start, and none after it within the watch: Bye and Hello alone.
        QCOMPARE(events, (QStringList{"found", "offline", "online"}));
        QTRY_COMPARE(sim.events("schedule").size(), 2);
    }

    // The first camera is moved to another address and the second goes quiet 3 s in: the
    // watch tells the move at the next cycle and the quiet one offline after three cycles
    // without it, and ends by itself with its summary.
    void siteChangesUnderTheWatch()
    {
        ZL_REQUIRE_SANDBOX();
        tcSim sim;
        QVERIFY(sim.start(R"([{"kind": "onvif", "address": "10.99.7.10", "mac": "0a:3d:91:07:00:10",
                               "schedule": [{"at": 3, "do": "move", "to": "10.99.7.30"}]},
                              {"kind": "onvif", "address": "10.99.7.11", "mac": "0a:3d:91:07:00:11",
                               "schedule": [{"at": 3, "do": "silent"}]}])"));
        QProcess watch;
        watch.start(binPath(QStringLiteral("zephyrlock-scan")),
                    {"watch", "--json", "--interval", "5", "--duration", "24"});
        QVERIFY(watch.waitForFinished(40000));
        QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.exitCode(), 0);

        QStringList events;
        for (const QByteArray& line : watch.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject e = QJsonDocument::fromJson(line).object();
            QVERIFY2(!e.isEmpty(), line.constData());
            events << QStringLiteral("%1 %2 %3%4")
                          .arg(e["event"].toString(), e["ip_address"].toString(), e["mac_address"].toString(),
                               e.contains("old_address") ? " from " + e["old_address"].toString()
                                                         : QString());
        }
        QCOMPARE(events,
                 (QStringList{"found 10.99.7.10 0A:3D:91:07:00:10", "found 10.99.7.11 0A:3D:91:07:00:11",
                              "moved 10.99.7.30 0A:3D:91:07:00:10 from 10.99.7.10",
                              "offline 10.99.7.11 0A:3D:91:07:00:11"}));
        QCOMPARE(QString::fromUtf8(watch.readAllStandardError()).trimmed(),
                 QStringLiteral("watched 24 s: 2 device(s), 1 online"));
        QTRY_COMPARE(sim.events("schedule").size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_ScanWatch)
#include "tst_scanwatch.moc"
