#include "tcScanRun.h"

#include "tcSiteLocate.h"

#include <algorithm>

tcScanRun::tcScanRun(int cycles, QObject* apParent)
    : QObject(apParent), m_params(QSharedPointer<tcLocateParams>::create()),
      m_locate(new tcSiteLocate(this, m_params)), m_discovery(m_locate), m_cycles(std::max(cycles, 1))
{
    // Rows are matched in the order they are shown, as in the window.
    m_list.setRowPrecedes([this](int a, int b) {
        const auto position = [this](int row) {
            return row < m_shownPosition.size() ? m_shownPosition[row] : row;
        };
        return position(a) < position(b);
    });
    connect(m_locate, &tcSiteLocate::sig_locateFoundSite, this, &tcScanRun::slot_locateFoundSite);
    connect(&m_discovery, &tcDiscoveryCycle::sig_final, this, &tcScanRun::slot_final);
    connect(&m_discovery, &tcDiscoveryCycle::sig_closed, this, &tcScanRun::slot_closed);
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
    m_merging = true;
    if (!m_discovery.start() && m_cycle == 1) {
        m_discovery.cancel();
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

void tcScanRun::slot_final()
{
    m_merging = false;
    const QVector<int> order = m_list.sortedRows(tcSiteList::colAddress);
    m_shownPosition.resize(order.size());
    for (int position = 0; position < order.size(); ++position)
        m_shownPosition[order[position]] = position;
}

void tcScanRun::slot_closed()
{
    const auto counts = m_locate->repliesByInterface();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        for (auto protocol = it.value().cbegin(); protocol != it.value().cend(); ++protocol)
            m_replyCounts[it.key()][protocol.key()] += protocol.value();
    }
    if (m_cycle < m_cycles)
        beginCycle();
    else
        emit sig_finished(true);
}
