// How the find field keeps up with typing on a large site: 5,000 listed devices, a find
// text typed one key at a time (each key filters every row), then cleared; and an export
// of every row. The figures are per key and per export, best of a few runs.

#include "MainWindow.h"
#include "zltest.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr int kDevices = 5000;
constexpr int kRuns = 3;
const QString kTyped = QStringLiteral("site 4321");

tpVideoDevice device(int index)
{
    tpVideoDevice d(new tcVideoDevice(nullptr));
    d->type = index % 10 == 0 ? PQSeries : Onvif;
    d->ipAddress =
        QStringLiteral("10.%1.%2.%3").arg(20 + index / 62500).arg(index / 250 % 250).arg(index % 250 + 1);
    d->macAddress = QStringLiteral("00:1a:2b:%1:%2:%3")
                        .arg(index / 65536, 2, 16, QLatin1Char('0'))
                        .arg(index / 256 % 256, 2, 16, QLatin1Char('0'))
                        .arg(index % 256, 2, 16, QLatin1Char('0'));
    d->siteName = QStringLiteral("Site %1").arg(index);
    d->model = protocolText(d->type);
    return d;
}

} // namespace

class bench_ListFind : public QObject
{
    Q_OBJECT
private:
    double m_keyMs = 0;
    double m_exportMs = 0;

private slots:
    void initTestCase() { ZL_REQUIRE_SANDBOX(); }

    void typeAndClear()
    {
        MainWindow window;
        for (int i = 0; i < kDevices; ++i)
            window.slot_locateFoundSite(device(i));
        for (int tick = 0; tick < 3; ++tick)
            window.slot_waitTimer();
        window.show();
        auto* edit = window.findChild<QLineEdit*>(QStringLiteral("edtFind"));
        QVERIFY(edit);
        double best = std::numeric_limits<double>::max();
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            for (int length = 1; length <= kTyped.size(); ++length)
                edit->setText(kTyped.left(length));
            const int shown = [&] {
                int n = 0;
                for (int i = 0; i < window.deviceTree()->topLevelItemCount(); ++i)
                    n += window.deviceTree()->topLevelItem(i)->isHidden() ? 0 : 1;
                return n;
            }();
            edit->clear();
            best = std::min(best, timer.nsecsElapsed() / 1e6 / (kTyped.size() + 1));
            QCOMPARE(shown, 1); // "Site 4321", a camera
        }
        m_keyMs = best;
        QTest::setBenchmarkResult(m_keyMs, QTest::WalltimeMilliseconds);
    }

    void exportAll()
    {
        MainWindow window;
        for (int i = 0; i < kDevices; ++i)
            window.slot_locateFoundSite(device(i));
        QTemporaryDir dir;
        double best = std::numeric_limits<double>::max();
        for (int run = 0; run < kRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            QString error;
            QVERIFY2(
                window.exportRows(dir.filePath(QStringLiteral("all.json")), true, tcScanFormat::Json, &error),
                qPrintable(error));
            best = std::min(best, timer.nsecsElapsed() / 1e6);
        }
        m_exportMs = best;
        QTest::setBenchmarkResult(m_exportMs, QTest::WalltimeMilliseconds);
    }

    void cleanupTestCase()
    {
        if (m_keyMs > 0 && m_exportMs > 0)
            qInfo("list find: %d rows, %.2f ms per typed key (filtering every row); JSON export of all rows "
                  "%.1f ms (best of %d runs)",
                  kDevices, m_keyMs, m_exportMs, kRuns);
    }
};

QTEST_MAIN(bench_ListFind)
#include "bench_listfind.moc"
