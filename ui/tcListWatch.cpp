#include "tcListWatch.h"

#include "tcDiscoverySession.h"
#include "tcSiteLocate.h"

tcListWatch::tcListWatch(tcDiscoverySession* apSession, QObject* apParent)
    : QObject(apParent), m_session(apSession), m_announcements(apSession->params())
{
    qRegisterMetaType<tcWatchEvent>();
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        tell(m_state.endPeriod(m_clock.elapsed()));
        emit sig_cycleWanted();
    });
    connect(m_session, &tcDiscoverySession::sig_reported, this, [this](tpVideoDevice device) {
        if (m_on)
            tell(m_state.report(device, m_clock.elapsed()));
    });
    connect(&m_announcements, &tcAnnouncementListener::sig_hello, this, [this](tpVideoDevice device) {
        // Listed as a discovery reply would list it.
        m_session->slot_report(device);
    });
    connect(&m_announcements, &tcAnnouncementListener::sig_bye, this,
            [this](const QString& endpoint) { tell(m_state.bye(endpoint, m_clock.elapsed())); });
}

void tcListWatch::start()
{
    m_state = tcWatchState();
    m_clock.start();
    const tcSiteList& list = m_session->sites();
    for (int row = 0; row < list.count(); ++row)
        m_state.report(list.device(row), 0);
    // They were heard in the cycle before: the first period of the watch starts now.
    m_state.endPeriod(0);
    m_on = true;
    m_announcements.start(m_session->coordinator()->interfaces());
    m_timer.start();
}

void tcListWatch::stop()
{
    m_on = false;
    m_timer.stop();
    m_announcements.stop();
}

void tcListWatch::tell(const QVector<tcWatchEvent>& events)
{
    for (const tcWatchEvent& event : events)
        emit sig_event(event);
}
