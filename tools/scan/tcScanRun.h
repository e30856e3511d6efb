#pragma once
// Discovery cycles without a window: the window's discovery session, run for a given
// number of cycles back to back into one list.

#include "tcDiscoverySession.h"
#include "tcSiteList.h"

#include <QMap>
#include <QObject>
#include <QVector>

#include <optional>

class tcSiteLocate;

// The rows the window shows when `kind` is checked (every row when there is no kind),
// in the order it shows them at the end of a cycle.
QVector<int> listedRows(const tcSiteList& list, const std::optional<tcKindFilter>& kind);

class tcScanRun : public QObject
{
    Q_OBJECT
public:
    explicit tcScanRun(int cycles, QObject* apParent = nullptr);

    const tcSiteList& sites() const { return m_session.sites(); }
    int cycle() const { return m_cycle; } // the cycle running or last run, from 1
    tcSiteLocate* coordinator() const { return m_session.coordinator(); }
    tcDiscoverySession& session() { return m_session; }
    // Replies that reported devices in all cycles so far: interface, protocol, count.
    const QMap<QString, QMap<QString, int>>& replyCounts() const { return m_replyCounts; }

public slots:
    void slot_start();

signals:
    // querySent is false when the first cycle could not get a single query out: then
    // the run ends at once and the list says nothing about the network.
    void sig_finished(bool querySent);

private slots:
    void slot_final();
    void slot_closed();

private:
    void beginCycle();

    tcDiscoverySession m_session;
    int m_cycles;
    int m_cycle = 0;
    // The shown position of each row that was listed when the last cycle ended; rows
    // found later come after all of them, in the order they came.
    QVector<int> m_shownPosition;
    QMap<QString, QMap<QString, int>> m_replyCounts;
};
