#pragma once
// The window's watch mode: while it is on, a discovery cycle every interval merges into
// the list without emptying it, WS-Discovery Hello and Bye are heard between cycles, and
// every change of the site comes out as an event for the window to show.

#include "tcAnnouncementListener.h"
#include "tcWatchState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class tcDiscoverySession;

class tcListWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 15000;

    explicit tcListWatch(tcDiscoverySession* apSession, QObject* apParent = nullptr);

    // The devices listed now are known from the start: only what changes is told.
    void start();
    void stop();
    bool isOn() const { return m_on; }
    // kIntervalMs unless set (a demo or a test may take less).
    void setIntervalMs(int ms) { m_timer.setInterval(ms); }
    const tcWatchState& state() const { return m_state; }
    // Milliseconds since start, the events' clock.
    qint64 elapsed() const { return m_clock.elapsed(); }

signals:
    void sig_event(const tcWatchEvent& event);
    // Time for the next cycle (the window starts it, keeping its rows).
    void sig_cycleWanted();

private:
    void tell(const QVector<tcWatchEvent>& events);

    tcDiscoverySession* m_session;
    tcAnnouncementListener m_announcements;
    tcWatchState m_state;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_on = false;
};

Q_DECLARE_METATYPE(tcWatchEvent)
