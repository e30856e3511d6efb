#include "tcSiteLocate.h"

#include "tcInterfaceFilter.h"
#include "tcRangeProbe.h"
#include "tcSiteLocateONSIP.h"
#include "tcSiteLocateOnvif.h"
#include "tcSiteLocatePQSeries.h"
#include "tcSiteLocateZL.h"
#include "tcSpecificLocator.h"

#include <QNetworkInterface>

#include <algorithm>

tcSiteLocate::tcSiteLocate(QObject* apParent, QSharedPointer<tcLocateParams> apParams) : QObject(apParent)
{
    registerVideoDeviceMetaType();
    if (!apParams)
        return;
    // Creation order is start order: Norvo 1.0, ONVIF, PQ-series, bridge.
    m_locators.append(new tcSiteLocateONSIP(this, apParams));
    m_locators.append(new tcSiteLocateOnvif(this, apParams));
    m_locators.append(new tcSiteLocatePQSeries(this, apParams));
    m_locators.append(new tcSiteLocateZL(this, apParams));
    for (tcSpecificLocator* locator : qAsConst(m_locators)) {
        connect(locator, &tcSpecificLocator::sig_found, this, &tcSiteLocate::sig_locateFoundSite);
        connect(locator, &tcSpecificLocator::sig_sweepProgress, this, &tcSiteLocate::sig_sweepProgress);
    }
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
    m_interfaces = tcInterfaceSnapshot::take(m_interfaceNames);
    m_started = true;
    for (tcSpecificLocator* locator : qAsConst(m_locators)) {
        locator->setInterfaces(m_interfaces);
        locator->start(repeats, intervalMs);
    }
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

bool tcSiteLocate::isSending() const
{
    return std::any_of(m_locators.cbegin(), m_locators.cend(),
                       [](const tcSpecificLocator* locator) { return locator->isSending(); });
}

void tcSiteLocate::setRanges(const tcAddressRanges& ranges, int hostsPerSecond)
{
    m_ranges = ranges;
    for (tcSpecificLocator* locator : qAsConst(m_locators))
        locator->setRanges(ranges, hostsPerSecond);
}

quint32 tcSiteLocate::sweptHosts() const
{
    // The sweeps run side by side at one pace; the one furthest behind tells.
    quint32 swept = m_ranges.hostCount();
    for (const tcSpecificLocator* locator : m_locators) {
        if (const tcRangeProbe* sweep = locator->sweep())
            swept = qMin(swept, sweep->sentHosts());
    }
    return swept;
}

tcInterfaceSnapshot tcSiteLocate::interfaces() const
{
    return m_started ? m_interfaces : tcInterfaceSnapshot::take(m_interfaceNames);
}

QStringList tcSiteLocate::protocolNames() const
{
    QStringList names;
    for (const tcSpecificLocator* locator : m_locators)
        names << locator->name();
    return names;
}

QMap<QString, QMap<QString, int>> tcSiteLocate::repliesByInterface() const
{
    QMap<QString, QMap<QString, int>> counts;
    for (const tcSpecificLocator* locator : m_locators) {
        const QMap<QString, int>& replies = locator->repliesByInterface();
        for (auto it = replies.cbegin(); it != replies.cend(); ++it)
            counts[it.key()][locator->name()] += it.value();
    }
    return counts;
}

QString replyCountsText(const QMap<QString, QMap<QString, int>>& counts, const QStringList& protocols)
{
    QStringList lines;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        QStringList parts;
        for (const QString& protocol : protocols)
            parts << QStringLiteral("%1 %2").arg(protocol).arg(it.value().value(protocol));
        lines << QStringLiteral("%1: %2").arg(it.key(), parts.join(QStringLiteral(", ")));
    }
    const QString title = QStringLiteral("Replies per interface and protocol:");
    return lines.isEmpty() ? title + QStringLiteral(" none")
                           : title + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}
