// A site split between the scanner's own segment and a subnet behind a router, which
// forwards unicast only. Without ranges only the local devices are listed; with the far
// subnet as a range every ONVIF and bridge device is listed too, one row each (a camera
// that answers both the multicast and a unicast probe included), while the Norvo 1.0 and
// PQ-series devices behind the router stay unseen: they answer by broadcast or multicast.
// Once through the scan command, once through the window's range entry.
#include "MainWindow.h"
#include "simsite.h"
#include "tcRangeEntry.h"
#include "tcSiteList.h"
#include "tcSiteLocateItem.h"

#include <QJsonArray>
#include <QtTest>
#include <QtWidgets>

namespace {

const char kLocalSite[] = R"([
  {"kind": "onvif", "address": "10.99.5.1", "name": "Lobby"},
  {"kind": "bridge", "address": "10.99.5.2", "name": "Local Bridge"},
  {"kind": "norvo1", "address": "10.99.5.3"},
  {"kind": "pq-recorder", "address": "10.99.5.4"}
])";

// Behind the router. The PQ camera answers ONVIF too, so the range finds it by ONVIF.
const char kFarSite[] = R"([
  {"kind": "onvif", "address": "10.98.1.1", "name": "Far Gate"},
  {"kind": "norvo2", "address": "10.98.1.2", "name": "Far Dock"},
  {"kind": "bridge", "address": "10.98.1.3", "name": "Far Bridge"},
  {"kind": "pq-camera", "address": "10.98.1.4", "name": "Far Yard"},
  {"kind": "norvo1", "address": "10.98.1.5"},
  {"kind": "pq-recorder", "address": "10.98.1.6"},
  {"kind": "onvif", "address": "10.98.200.9", "name": "Far Corner"}
])";

const QStringList kLocal{"10.99.5.1", "10.99.5.2", "10.99.5.3", "10.99.5.4"};
const QStringList kFarReachable{"10.98.1.1", "10.98.1.2", "10.98.1.3", "10.98.1.4", "10.98.200.9"};
// The far subnet in two halves, and the local segment's ONVIF camera, which then answers
// both ways: 65,533 hosts, one below the limit of a run.
const QStringList kRanges{"10.98.0.0/17", "10.98.128.0/17", "10.99.5.1"};
// The same devices in fewer hosts, for the window, which sweeps at the default pace.
const QStringList kWindowRanges{"10.98.1.0/24", "10.98.200.0/24", "10.99.5.1"};

QStringList sortedAddresses(QStringList addresses)
{
    std::sort(addresses.begin(), addresses.end(), [](const QString& a, const QString& b) {
        return QHostAddress(a).toIPv4Address() < QHostAddress(b).toIPv4Address();
    });
    return addresses;
}

struct tcScanResult
{
    bool finished = false;
    int exitCode = -1;
    QStringList addresses; // one per listed row, in list order
    QByteArray err;
};

tcScanResult scan(const QStringList& args)
{
    QProcess process;
    process.start(zltest::binPath(QStringLiteral("zephyrlock-scan")),
                  QStringList{QStringLiteral("--json"), QStringLiteral("--kind"), QStringLiteral("all")} + args);
    tcScanResult result;
    result.finished = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished)
        process.kill();
    result.exitCode = process.exitCode();
    result.err = process.readAllStandardError();
    for (const QJsonValue& row : QJsonDocument::fromJson(process.readAllStandardOutput()).array())
        result.addresses << row[QLatin1String("ip_address")].toString();
    return result;
}

} // namespace

class tst_RoutedSite : public QObject
{
    Q_OBJECT

    zltest::tcSim m_local;
    zltest::tcSim m_far{zltest::farNamespace()};

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        if (zltest::farNamespace().isEmpty())
            QFAIL("no routed subnet in this run: run through ./scripts/test, which sets one up for this test");
        QVERIFY(m_local.start(kLocalSite, {QStringLiteral("--no-http")}));
        QVERIFY(m_far.start(kFarSite, {QStringLiteral("--no-http"), QStringLiteral("--interface"),
                                       QStringLiteral("zlfar0")}));
    }

    void scanCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("without ranges only the local segment")
            << QStringList{} << sortedAddresses(kLocal);
        QStringList withRanges{"--rate", "20000"};
        for (const QString& range : kRanges)
            withRanges << QStringLiteral("--range") << range;
        QTest::newRow("with ranges the far ONVIF and bridge devices too")
            << withRanges << sortedAddresses(kLocal + kFarReachable);
    }
    void scanCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, listed);
        const tcScanResult result = scan(args);
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.addresses, listed);
        QVERIFY2(result.err.endsWith(QStringLiteral("Sites found (%1 / %1)\n").arg(listed.size()).toUtf8()),
                 result.err.constData());
    }

    // The range entry's ranges are probed by the next Refresh; the found label counts
    // what the sweep found.
    void window()
    {
        MainWindow window;
        window.show();
        auto* refresh = window.findChild<QPushButton*>(QStringLiteral("btnRefresh"));
        auto* found = window.findChild<QLabel*>(QStringLiteral("lblProgress"));
        QVERIFY(QTest::qWaitFor([refresh] { return refresh->isEnabled(); }, 10000));
        const auto listed = [&window] {
            QStringList addresses;
            const QTreeWidget* tree = window.deviceTree();
            for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
                addresses << tree->topLevelItem(i)->text(tcSiteList::colAddress);
            return addresses;
        };
        QCOMPARE(listed(), sortedAddresses(kLocal));

        auto* entry = window.findChild<tcRangeEntry*>(QStringLiteral("btnRanges"));
        QVERIFY(entry);
        QCOMPARE(entry->setRangesText(kWindowRanges.join(QStringLiteral(", "))), QString());
        QTest::mouseClick(refresh, Qt::LeftButton);
        QVERIFY(!refresh->isEnabled());
        // The progress bar follows the sweep: one step per host queried.
        auto* progress = window.findChild<QProgressBar*>(QStringLiteral("prgDiscovery"));
        QVERIFY(QTest::qWaitFor([progress] { return progress->maximum() == 509; }, 5000));
        QVERIFY(QTest::qWaitFor([refresh] { return refresh->isEnabled(); }, 120000));
        QCOMPARE(listed(), sortedAddresses(kLocal + kFarReachable));
        // Cameras only by default: the local ONVIF and Norvo 1.0 camera, the far ONVIF ones.
        QCOMPARE(found->text(), QStringLiteral("Sites found (6 / 9)"));
    }
};

QTEST_MAIN(tst_RoutedSite)
#include "tst_routedsite.moc"
