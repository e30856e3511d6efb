#pragma once
// zephyrlock-scan watch: discovery cycles every interval and the WS-Discovery Hello and
// Bye between them, one line per event of the site (found, offline, online, moved,
// changed) as it happens, until interrupted or the duration has passed, then a summary.
// The rules are tcWatchState's.

#include "tcAddressRange.h"
#include "tcAnnouncementListener.h"
#include "tcDiscoverySession.h"
#include "tcWatchState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

struct tcWatchOptions
{
    bool help = false;
    QString error;
    int intervalSecs = 15; // 5 s to 10 min
    int durationSecs = 0;  // 0: until interrupted
    bool json = false;
    tcAddressRanges ranges;
    int rate = 1000;
    QStringList interfaces;
};
bool isWatchCommand(const QStringList& args);
tcWatchOptions parseWatchArguments(const QStringList& args);
QString watchHelpText();

// One event as its line: text for a person, or a JSON object (JSON Lines).
QByteArray formatWatchEvent(const tcWatchEvent& event, const tcWatchState& state, bool json);

class tcScanWatch : public QObject
{
    Q_OBJECT
public:
    explicit tcScanWatch(const tcWatchOptions& options, QObject* apParent = nullptr);

    const tcWatchState& state() const { return m_state; }
    // The line printed at the end.
    QByteArray summary() const;

public slots:
    void slot_start();
    void slot_stop();

signals:
    void sig_finished(int exitCode);

private:
    void print(const QVector<tcWatchEvent>& events);
    void nextPeriod();

    tcWatchOptions m_options;
    tcDiscoverySession m_session;
    tcAnnouncementListener m_announcements;
    tcWatchState m_state;
    QTimer m_interval;
    QElapsedTimer m_clock;
    bool m_anyQuery = false;
};

// Runs the command; the process exit status.
int runWatchCommand(const QStringList& args);
