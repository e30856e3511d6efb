#include "tcDiscoverySession.h"

#include "tcSiteLocate.h"

tcDiscoverySession::tcDiscoverySession(QObject* apParent)
    : QObject(apParent), m_params(QSharedPointer<tcLocateParams>::create()),
      m_locate(new tcSiteLocate(this, m_params)), m_cycle(m_locate)
{
    connect(m_locate, &tcSiteLocate::sig_locateFoundSite, this, &tcDiscoverySession::slot_report);
    connect(&m_cycle, &tcDiscoveryCycle::sig_tick, this, &tcDiscoverySession::sig_tick);
    connect(&m_cycle, &tcDiscoveryCycle::sig_final, this, [this] {
        m_merging = false;
        emit sig_final();
    });
    connect(&m_cycle, &tcDiscoveryCycle::sig_closed, this, [this] {
        m_running = false;
        emit sig_closed();
    });
}

tcDiscoverySession::~tcDiscoverySession()
{
    m_cycle.cancel();
}

void tcDiscoverySession::setRanges(const tcAddressRanges& ranges, int hostsPerSecond)
{
    m_locate->setRanges(ranges, hostsPerSecond);
}

void tcDiscoverySession::setInterfaceNames(const QStringList& names)
{
    m_locate->setInterfaceNames(names);
}

bool tcDiscoverySession::startCycle()
{
    if (!m_keepList)
        m_list.clear();
    m_merging = true;
    m_running = true;
    const bool sent = m_cycle.start();
    // Judged by the interfaces this start sends on; a device in a swept range is reached
    // through a router, never on another subnet. Replies are read from the event loop,
    // so none is merged before this.
    m_list.setProbedNetworks(m_locate->probedNetworks());
    return sent;
}

void tcDiscoverySession::cancel()
{
    m_cycle.cancel();
    m_merging = false;
    m_running = false;
}

void tcDiscoverySession::slot_report(tpVideoDevice apDvc)
{
    if (!apDvc)
        return;
    emit sig_reported(apDvc);
    if (!m_merging && !m_mergeLate)
        return;
    m_lastMerge = m_list.merge(apDvc);
    emit sig_merged(m_lastMerge.row, m_lastMerge.added);
}
