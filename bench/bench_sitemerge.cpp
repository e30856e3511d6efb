// How fast the window lists a large site: 2,000 devices each reported five times
// (10,000 reports) merged into MainWindow's list and put on its tree, against the same
// merge finding its row by walking the tree's rows, as a merge without an index has to
// (the tree then has to be drawn after every report).

#include "MainWindow.h"
#include "tcSiteLocateItem.h"
#include "zltest.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <random>

namespace {

constexpr int kDevices = 2000;
constexpr int kReportsPerDevice = 5;
constexpr int kRuns = 3;

// One report as data; turned into a fresh record for every run, since the merge edits
// the listed records.
struct tcPlannedReport
{
    qint32 type;
    QString address;
    QString mac;
    QString name;
    QString firmware;
    bool pqCamera;
};

QVector<tcPlannedReport> planReports()
{
    std::mt19937 random(20240601);
    QVector<int> order(kDevices);
    std::iota(order.begin(), order.end(), 0);
    QVector<tcPlannedReport> plan;
    plan.reserve(kDevices * kReportsPerDevice);
    for (int round = 0; round < kReportsPerDevice; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (int device : qAsConst(order)) {
            const QString address = QStringLiteral("10.20.%1.%2").arg(device / 250).arg(device % 250 + 1);
            const QString mac = QStringLiteral("00:1a:2b:3c:%1:%2")
                                    .arg(device / 256, 2, 16, QLatin1Char('0'))
                                    .arg(device % 256, 2, 16, QLatin1Char('0'));
            // Most devices are cameras (first generation ones later upgraded), some
            // recorders and bridges.
            const qint32 kind = device % 20 == 0   ? ZLServer2
                                : device % 10 == 0 ? PQSeries
                                : device % 3 == 0  ? Norvo1Cam
                                                   : Onvif;
            tcPlannedReport report{kind, address, mac, QString(), QString(), false};
            switch (round) {
            case 0: // first sight: address and MAC
                break;
            case 1: // address only, brings the name
                report.mac.clear();
                report.name = QStringLiteral("Site %1").arg(device);
                report.type = kind == Norvo1Cam ? Norvo2Cam : kind;
                break;
            case 2: // MAC only, from a link-local address nobody else has
                report.address = QStringLiteral("169.254.%1.%2").arg(device / 250).arg(device % 250 + 1);
                report.firmware = QStringLiteral("4.%1").arg(device % 7);
                break;
            case 3: // both again, as a second protocol answers
                report.pqCamera = kind != ZLServer2;
                break;
            default: // address only, MAC in upper case from a PQ-series reply
                report.mac = mac.toUpper();
                report.address.clear();
                report.type = kind == ZLServer2 ? kind : PQSeries;
                break;
            }
            plan.append(report);
        }
    }
    return plan;
}

QVector<tpVideoDevice> makeRecords(const QVector<tcPlannedReport>& plan)
{
    QVector<tpVideoDevice> records;
    records.reserve(plan.size());
    for (const tcPlannedReport& planned : plan) {
        tpVideoDevice device(new tcVideoDevice(nullptr));
        device->type = planned.type;
        device->ipAddress = planned.address;
        device->macAddress = planned.mac;
        device->siteName = planned.name;
        device->firmware = planned.firmware;
        device->pqCamera = planned.pqCamera;
        device->model = protocolText(planned.type);
        records.append(device);
    }
    return records;
}

// The first row whose address or MAC text matches, found by walking every row.
QTreeWidgetItem* walkRows(QTreeWidget* tree, const tcVideoDevice& report)
{
    if (!tree)
        return nullptr;
    const QString mac = report.macAddress.toUpper();
    const int count = tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        const QString address = item->text(tcSiteList::colAddress);
        if (!address.isEmpty() && address == report.ipAddress)
            return item;
        const QString rowMac = item->text(tcSiteList::colMac);
        if (!rowMac.isEmpty() && rowMac.compare(mac, Qt::CaseInsensitive) == 0)
            return item;
    }
    return nullptr;
}

} // namespace

class bench_SiteMerge : public QObject
{
    Q_OBJECT
private:
    QVector<tcPlannedReport> m_plan;
    double m_indexedMs = 0;
    double m_walkMs = 0;

    // Best of kRuns, each into a fresh, shown window; withWalk finds every report's row
    // by walking the rows before the window merges it.
    double measure(bool withWalk)
    {
        double best = std::numeric_limits<double>::max();
        for (int run = 0; run < kRuns; ++run) {
            MainWindow window;
            window.show();
            const QVector<tpVideoDevice> records = makeRecords(m_plan);
            volatile quintptr sink = 0;
            QElapsedTimer timer;
            timer.start();
            for (const tpVideoDevice& record : records) {
                if (withWalk)
                    sink = sink + quintptr(walkRows(window.deviceTree(), *record));
                window.slot_locateFoundSite(record);
            }
            // The window puts the merged rows on its tree from the event loop (once per
            // burst of replies): that is timed too. The view's own layout and painting
            // afterwards are Qt's, the same for either way of finding a row.
            sink = sink + quintptr(window.deviceTree());
            best = std::min(best, timer.nsecsElapsed() / 1e6);
        }
        return best;
    }

private slots:
    void initTestCase()
    {
        ZL_REQUIRE_SANDBOX();
        m_plan = planReports();
        QCOMPARE(m_plan.size(), kDevices * kReportsPerDevice);
    }

    // Not timed: the index picks exactly the row the walk picks, for every report, and
    // the list ends with one row per device.
    void indexAgreesWithWalk()
    {
        MainWindow window;
        const QVector<tpVideoDevice> records = makeRecords(m_plan);
        int agreed = 0;
        for (const tpVideoDevice& record : records) {
            QTreeWidgetItem* walked = walkRows(window.deviceTree(), *record);
            const int row = window.sites().findMatch(record->ipAddress, record->macAddress);
            QTreeWidgetItem* indexed = row < 0 ? nullptr : window.itemOf(row);
            agreed += walked == indexed ? 1 : 0;
            window.slot_locateFoundSite(record);
        }
        QCOMPARE(agreed, records.size());
        QCOMPARE(window.sites().count(), kDevices);
    }

    void indexedMerge()
    {
        m_indexedMs = measure(false);
        QTest::setBenchmarkResult(m_indexedMs, QTest::WalltimeMilliseconds);
    }

    void rowWalkMerge()
    {
        m_walkMs = measure(true);
        QTest::setBenchmarkResult(m_walkMs, QTest::WalltimeMilliseconds);
    }

    void cleanupTestCase()
    {
        if (m_indexedMs <= 0 || m_walkMs <= 0)
            return;
        const int reports = kDevices * kReportsPerDevice;
        qInfo("site merge: %d reports of %d devices into the window's list (best of %d runs)", reports,
              kDevices, kRuns);
        qInfo("site merge: indexed %.1f ms (%.2f us per report), row walk %.1f ms, %.1f times faster",
              m_indexedMs, m_indexedMs * 1000 / reports, m_walkMs, m_walkMs / m_indexedMs);
    }
};

QTEST_MAIN(bench_SiteMerge)
#include "bench_sitemerge.moc"
