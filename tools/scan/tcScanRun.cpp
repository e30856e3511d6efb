#include "tcScanRun.h"

#include "tcSiteLocate.h"

#include <algorithm>

tcScanRun::tcScanRun(int cycles, QObject* apParent) : QObject(apParent), m_cycles(std::max(cycles, 1))
{
    // Every cycle adds to the rows of the cycles before.
    m_session.setKeepList(true);
    // Rows are matched in the order they are shown, as in the window.
    m_session.setRowPrecedes([this](int a, int b) {
        const auto position = [this](int row) {
            return row < m_shownPosition.size() ? m_shownPosition[row] : row;
        };
        return position(a) < position(b);
    });
    connect(&m_session, &tcDiscoverySession::sig_final, this, &tcScanRun::slot_final);
    connect(&m_session, &tcDiscoverySession::sig_closed, this, &tcScanRun::slot_closed);
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
    if (!m_session.startCycle() && m_cycle == 1) {
        m_session.cancel();
        emit sig_finished(false);
    }
}

void tcScanRun::slot_final()
{
    const QVector<int> order = m_session.sites().sortedRows(tcSiteList::colAddress);
    m_shownPosition.resize(order.size());
    for (int position = 0; position < order.size(); ++position)
        m_shownPosition[order[position]] = position;
}

void tcScanRun::slot_closed()
{
    const auto counts = m_session.coordinator()->repliesByInterface();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        for (auto protocol = it.value().cbegin(); protocol != it.value().cend(); ++protocol)
            m_replyCounts[it.key()][protocol.key()] += protocol.value();
    }
    if (m_cycle < m_cycles)
        beginCycle();
    else
        emit sig_finished(true);
}
