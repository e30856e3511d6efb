#pragma once
// What a discovery needs around the coordinator, held once by the window and the scan
// command: the shared parameter record, the cycle's ticks, the merged site list, the
// ranges to sweep and the interfaces to use. Each cycle empties the list first unless
// it is kept, and merges every report the coordinator accepts.

#include "tcAddressRange.h"
#include "tcDiscoveryCycle.h"
#include "tcLocateParams.h"
#include "tcSiteList.h"
#include "tcVideoDevice.h"

#include <QObject>
#include <QSharedPointer>
#include <QStringList>

#include <functional>

class tcSiteLocate;

class tcDiscoverySession : public QObject
{
    Q_OBJECT
public:
    explicit tcDiscoverySession(QObject* apParent = nullptr);
    ~tcDiscoverySession() override;

    tcSiteLocate* coordinator() const { return m_locate; }
    const tcSiteList& sites() const { return m_list; }
    QSharedPointer<tcLocateParams> params() const { return m_params; }

    // Take effect from the next cycle.
    void setRanges(const tcAddressRanges& ranges, int hostsPerSecond);
    void setInterfaceNames(const QStringList& names);

    // Kept, the next cycles merge into the rows found so far instead of starting empty.
    void setKeepList(bool afKeep) { m_keepList = afKeep; }
    // Reports that arrive after the list became final are merged all the same (the
    // window does; a count must not, or one run would list a late reply the next misses).
    void setMergeLateReports(bool afMerge) { m_mergeLate = afMerge; }
    // Which of two rows holding the same address a report is merged into first.
    void setRowPrecedes(std::function<bool(int, int)> precedes)
    {
        m_list.setRowPrecedes(std::move(precedes));
    }

    // A watched device heard at another address: its row moves there.
    void moveRow(int row, const QString& address) { m_list.moveRow(row, address); }

    // Starts one discovery cycle; false when not one query got out (the cycle runs all
    // the same, until cancel()).
    bool startCycle();
    // Ends the cycle at once, without a final list.
    void cancel();
    // From startCycle until the locators have closed their sockets (or cancel).
    bool isRunning() const { return m_running; }
    // Before the list is final: reports are merged.
    bool isMerging() const { return m_merging; }
    // What the last merge did, for a view that mirrors the rows (valid in sig_merged).
    const tcSiteList::tcMerge& lastMerge() const { return m_lastMerge; }

public slots:
    // One report, as the coordinator delivers it; a null one is ignored.
    void slot_report(tpVideoDevice apDvc);
    // One tick of the cycle, as its timer gives it.
    void slot_tick() { m_cycle.slot_tick(); }

signals:
    // Every accepted report while a cycle runs or its locators are still open.
    void sig_reported(tpVideoDevice apDvc);
    // A report was merged into row `row` of sites(), a new row when afAdded.
    void sig_merged(int row, bool afAdded);
    void sig_tick(int count);
    // The list is final for this cycle.
    void sig_final();
    // The locators have closed their sockets.
    void sig_closed();

private:
    QSharedPointer<tcLocateParams> m_params;
    tcSiteLocate* m_locate;
    tcDiscoveryCycle m_cycle;
    tcSiteList m_list;
    tcSiteList::tcMerge m_lastMerge;
    bool m_keepList = false;
    bool m_mergeLate = false;
    bool m_merging = false;
    bool m_running = false;
};
