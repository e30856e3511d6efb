// The watch's rules over scripted periods: each step is a report ("r MAC ADDRESS
// [ep=UUID] [fw=TEXT] [mode=0|1|2]", "-" for no MAC), a Bye ("bye UUID") or the end of a period
// ("end"); the events come out as "<kind> <address>[ from <old>]".
#include "tcWatchState.h"

#include <QtTest>

namespace {

tpVideoDevice report(const QStringList& words)
{
    auto device = tpVideoDevice::create(nullptr);
    device->macAddress = words.value(1) == QLatin1String("-") ? QString() : words.value(1);
    device->ipAddress = words.value(2);
    for (const QString& word : words.mid(3)) {
        if (word.startsWith(QLatin1String("ep=")))
            device->endpoint = word.mid(3);
        else if (word.startsWith(QLatin1String("fw=")))
            device->firmware = word.mid(3);
        else if (word.startsWith(QLatin1String("mode=")))
            device->addressMode = quint8(word.mid(5).toInt());
    }
    return device;
}

} // namespace

class tst_WatchState : public QObject
{
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("online"); // at the end

        QTest::newRow("found once, however often heard")
            << "r aa 10.0.0.1; r aa 10.0.0.1; end; r aa 10.0.0.1; end" << QStringList{"found 10.0.0.1"} << 1;
        QTest::newRow("offline after three quiet periods, not two")
            << "r aa 10.0.0.1; end; end; end" << QStringList{"found 10.0.0.1"} << 1;
        QTest::newRow("offline after three quiet periods")
            << "r aa 10.0.0.1; end; end; end; end" << QStringList{"found 10.0.0.1", "offline 10.0.0.1"} << 0;
        QTest::newRow("back online at once when heard again")
            << "r aa 10.0.0.1; end; end; end; end; r aa 10.0.0.1"
            << QStringList{"found 10.0.0.1", "offline 10.0.0.1", "online 10.0.0.1"} << 1;
        QTest::newRow("a Bye is offline at once")
            << "r aa 10.0.0.1 ep=u1; bye u1" << QStringList{"found 10.0.0.1", "offline 10.0.0.1"} << 0;
        QTest::newRow("a Bye names the device by the endpoint another protocol's reply left out")
            << "r aa 10.0.0.1 ep=u1; r aa 10.0.0.1; bye u1"
            << QStringList{"found 10.0.0.1", "offline 10.0.0.1"} << 0;
        QTest::newRow("a Bye of another endpoint changes nothing")
            << "r aa 10.0.0.1 ep=u1; bye u2; end" << QStringList{"found 10.0.0.1"} << 1;
        QTest::newRow("moved by MAC, told at the period's end, one row")
            << "r aa 10.0.0.1; end; r AA 10.0.0.9; end; r aa 10.0.0.9; end"
            << QStringList{"found 10.0.0.1", "moved 10.0.0.9 from 10.0.0.1"} << 1;
        QTest::newRow("moved by endpoint reference")
            << "r - 10.0.0.1 ep=u1; end; r - 10.0.0.7 ep=u1; end"
            << QStringList{"found 10.0.0.1", "moved 10.0.0.7 from 10.0.0.1"} << 1;
        QTest::newRow("the same MAC at two addresses at once is a conflict, not a move")
            << "r aa 10.0.0.1; end; r aa 10.0.0.9; r aa 10.0.0.1; end; r aa 10.0.0.1; r aa 10.0.0.9; end"
            << QStringList{"found 10.0.0.1", "found 10.0.0.9"} << 2;
        QTest::newRow("a conflict's first device goes quiet: the second has not moved")
            << "r aa 10.0.0.1; end; r aa 10.0.0.9; r aa 10.0.0.1; end; r aa 10.0.0.9; end; r aa 10.0.0.9; "
               "end;"
               " r aa 10.0.0.9; end; end"
            << QStringList{"found 10.0.0.1", "found 10.0.0.9", "offline 10.0.0.1"} << 1;
        QTest::newRow("new firmware is a change")
            << "r aa 10.0.0.1 fw=1.0; end; r aa 10.0.0.1 fw=1.0; r aa 10.0.0.1 fw=1.1"
            << QStringList{"found 10.0.0.1", "changed 10.0.0.1"} << 1;
        // A second-generation camera answers WS-Discovery without its firmware and address
        // mode and the PQ query with them, every cycle.
        QTest::newRow("two protocols telling the device differently are no change")
            << "r aa 10.0.0.1; r aa 10.0.0.1 fw=1.0 mode=0; end; r aa 10.0.0.1; r aa 10.0.0.1 fw=1.0 mode=0; "
               "end"
            << QStringList{"found 10.0.0.1"} << 1;
        QTest::newRow("new firmware told by one of two protocols is a change")
            << "r aa 10.0.0.1; r aa 10.0.0.1 fw=1.0; end; r aa 10.0.0.1; r aa 10.0.0.1 fw=1.1"
            << QStringList{"found 10.0.0.1", "changed 10.0.0.1"} << 1;
        QTest::newRow("a change is told once")
            << "r aa 10.0.0.1 fw=1.0; r aa 10.0.0.1 fw=1.1; end; r aa 10.0.0.1 fw=1.1; r aa 10.0.0.1"
            << QStringList{"found 10.0.0.1", "changed 10.0.0.1"} << 1;
        QTest::newRow("static to DHCP is a change")
            << "r aa 10.0.0.1 mode=0; end; r aa 10.0.0.1; r aa 10.0.0.1 mode=1"
            << QStringList{"found 10.0.0.1", "changed 10.0.0.1"} << 1;
        QTest::newRow("without MAC or endpoint, the address is the device")
            << "r - 10.0.0.1; r - 10.0.0.2; end" << QStringList{"found 10.0.0.1", "found 10.0.0.2"} << 2;
    }
    void rules()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, events);
        QFETCH(int, online);
        tcWatchState state;
        QStringList seen;
        qint64 now = 0;
        for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList words = step.simplified().split(QLatin1Char(' '));
            QVector<tcWatchEvent> out;
            now += 1000;
            if (words[0] == QLatin1String("r"))
                out = state.report(report(words), now);
            else if (words[0] == QLatin1String("bye"))
                out = state.bye(words.value(1), now);
            else
                out = state.endPeriod(now);
            for (const tcWatchEvent& e : out) {
                QVERIFY(e.entry >= 0 && e.entry < state.entries().size());
                QCOMPARE(e.at, now);
                seen << watchEventText(e.kind) + QLatin1Char(' ') + e.address +
                            (e.oldAddress.isEmpty() ? QString() : QStringLiteral(" from ") + e.oldAddress);
            }
        }
        QCOMPARE(seen, events);
        QCOMPARE(state.onlineCount(), online);
        // a row per device: a move never adds one
        QCOMPARE(state.entries().size(), seen.filter(QStringLiteral("found ")).size());
    }

    // An offline row keeps what it knew, and when it was first and last heard.
    void offlineKeepsItsData()
    {
        tcWatchState state;
        auto device = tpVideoDevice::create(nullptr);
        device->macAddress = QStringLiteral("0a:3d:91:00:00:01");
        device->ipAddress = QStringLiteral("10.0.0.1");
        device->siteName = QStringLiteral("Gate");
        state.report(device, 1000);
        state.report(device, 2000);
        for (qint64 t = 3000; t <= 6000; t += 1000)
            state.endPeriod(t);
        const tcWatchState::tcEntry& entry = state.entries().at(0);
        QVERIFY(!entry.online);
        QCOMPARE(entry.device->siteName, QStringLiteral("Gate"));
        QCOMPARE(entry.firstSeen, 1000);
        QCOMPARE(entry.lastSeen, 2000);
    }
};

QTEST_GUILESS_MAIN(tst_WatchState)
#include "tst_watchstate.moc"
