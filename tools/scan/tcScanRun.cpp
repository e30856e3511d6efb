#include "tcScanRun.h"

#include "tcSiteLocate.h"
#include "tcSpecificLocator.h"

#include <algorithm>

namespace {
// The locators close their sockets at the tick that ends their repeat cycle, a few
// milliseconds after the list is final; this only bounds a locator that never does.
constexpr int kCloseCheckMs = 20;
constexpr int kCloseLimitMs = 5000;
} // namespace

tcScanRun::tcScanRun(int cycles, QObject* apParent)
    : QObject(apParent), m_params(QSharedPointer<tcLocateParams>::create()),
      m_locate(new tcSiteLocate(this, m_params)), m_cycles(std::max(cycles, 1))
{
    // Rows are matched in the order they are shown, as in the window.
    m_list.setRowPrecedes([this](int a, int b) {
        const auto position = [this](int row) {
            return row < m_shownPosition.size() ? m_shownPosition[row] : row;
        };
        return position(a) < position(b);
    });
    connect(m_locate, &tcSiteLocate::sig_locateFoundSite, this, &tcScanRun::slot_locateFoundSite);
    connect(&m_waitTimer, &QTimer::timeout, this, &tcScanRun::slot_waitTimer);
    connect(&m_closeTimer, &QTimer::timeout, this, &tcScanRun::slot_closeCheck);
}

QVector<int> listedRows(const tcSiteList& list, const std::optional<tcKindFilter>& kind)
{
    QVector<int> rows = list.sortedRows(tcSiteList::colAddress);
    if (kind) {
        rows.erase(
            std::remove_if(rows.begin(), rows.end(), [&](int row) { return !list.isVisible(row, *kind); }),
            rows.end());
    }
    return rows;
}

void tcScanRun::slot_start()
{
    m_cycle = 0;
    beginCycle();
}

void tcScanRun::beginCycle()
{
    ++m_cycle;
    m_waitCount = 0;
    m_merging = true;
    // Nothing is probed by unicast yet: only the interfaces' own subnets are reached.
    m_list.setProbedNetworks({probedSubnets(), {}});
    m_waitTimer.start(tcSiteLocate::kCycleTickMs);
    m_locate->start();
    if (m_cycle == 1 && !m_locate->anyQuerySent()) {
        m_waitTimer.stop();
        m_merging = false;
        emit sig_finished(false);
    }
}

void tcScanRun::slot_locateFoundSite(tpVideoDevice apDvc)
{
    // After the last tick the list is final, as the window's count is; a late reply
    // would be listed by one run and missed by the next.
    if (m_merging && apDvc)
        m_list.merge(apDvc);
}

void tcScanRun::slot_waitTimer()
{
    if (++m_waitCount < tcSiteLocate::kCycleTicks)
        return;
    m_waitTimer.stop();
    m_merging = false;
    const QVector<int> order = m_list.sortedRows(tcSiteList::colAddress);
    m_shownPosition.resize(order.size());
    for (int position = 0; position < order.size(); ++position)
        m_shownPosition[order[position]] = position;
    m_closeDeadline.setRemainingTime(kCloseLimitMs);
    m_closeTimer.start(kCloseCheckMs);
    slot_closeCheck();
}

void tcScanRun::slot_closeCheck()
{
    const auto& locators = m_locate->locators();
    const bool open = std::any_of(locators.cbegin(), locators.cend(),
                                  [](const tcSpecificLocator* locator) { return locator->isRunning(); });
    if (open && !m_closeDeadline.hasExpired())
        return;
    if (open)
        qWarning("zephyrlock-scan: a locator still had its sockets open %d ms after the cycle",
                 kCloseLimitMs);
    m_closeTimer.stop();
    if (m_cycle < m_cycles)
        beginCycle();
    else
        emit sig_finished(true);
}
