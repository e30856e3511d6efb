#include "tcSiteLocate.h"

#include "tcSiteLocateONSIP.h"
#include "tcSiteLocateOnvif.h"
#include "tcSiteLocatePQSeries.h"
#include "tcSiteLocateZL.h"
#include "tcSpecificLocator.h"

#include <algorithm>

tcSiteLocate::tcSiteLocate(QObject* apParent, QSharedPointer<tcLocateParams> apParams)
    : QObject(apParent)
{
    registerVideoDeviceMetaType();
    if (!apParams)
        return;
    // Creation order is start order: Norvo 1.0, ONVIF, PQ-series, bridge.
    m_locators.append(new tcSiteLocateONSIP(this, apParams));
    m_locators.append(new tcSiteLocateOnvif(this, apParams));
    m_locators.append(new tcSiteLocatePQSeries(this, apParams));
    m_locators.append(new tcSiteLocateZL(this, apParams));
}

tcSiteLocate::~tcSiteLocate()
{
    while (!m_locators.isEmpty())
        delete m_locators.takeFirst();
}

void tcSiteLocate::start()
{
    start(2, 1500);
}

void tcSiteLocate::start(int repeats, int intervalMs)
{
    for (tcSpecificLocator* locator : qAsConst(m_locators))
        locator->start(repeats, intervalMs);
}

void tcSiteLocate::stop()
{
    for (tcSpecificLocator* locator : qAsConst(m_locators))
        locator->stop();
}

bool tcSiteLocate::anyQuerySent() const
{
    return std::any_of(m_locators.cbegin(), m_locators.cend(),
                       [](const tcSpecificLocator* locator) { return locator->hasSentQuery(); });
}
