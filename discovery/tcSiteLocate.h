#pragma once
// The discovery coordinator: owns one locator per protocol, starts them all with the
// same repeat count and interval on one list of the host's interfaces, and re-emits every
// device its locators find as one signal.

#include "tcAddressChecks.h"
#include "tcAddressRange.h"
#include "tcInterfaceFilter.h"
#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QNetworkInterface>
#include <QObject>
#include <QSet>
#include <QSharedPointer>
#include <QStringList>

class tcSpecificLocator;

class tcSiteLocate : public QObject
{
    Q_OBJECT
public:
    tcSiteLocate(QObject* apParent, QSharedPointer<tcLocateParams> apParams);
    ~tcSiteLocate() override;

    // Every locator, in creation order, gets start(2, 1500).
    void start();
    void start(int repeats, int intervalMs);
    // Forwards stop(); only the PQ-series locator does anything with it.
    void stop();

    const QList<tcSpecificLocator*>& locators() const { return m_locators; }
    // Whether any locator got a query out since it was last started; false means no
    // discovery can take place on this host (no socket, or no network to send on).
    bool anyQuerySent() const;
    // Whether any locator still has queries of this run to send.
    bool isSending() const;

    // Hosts beyond the local segment that every start also queries by unicast, at
    // hostsPerSecond, through the locators whose devices answer such a query (ONVIF and
    // bridge); empty, the default, for the local segment alone.
    void setRanges(const tcAddressRanges& ranges, int hostsPerSecond);
    const tcAddressRanges& ranges() const { return m_ranges; }
    // Hosts of the ranges queried so far in this run by every sweeping locator.
    quint32 sweptHosts() const;

    // Restricts discovery to these interfaces (system or human-readable names) from the
    // next start; empty, the default, takes every interface the filter rule picks.
    void setInterfaceNames(const QStringList& names) { m_interfaceNames = names; }
    const QStringList& interfaceNames() const { return m_interfaceNames; }
    // The interfaces of the last start, listed once for all locators (the host's
    // interfaces now, before any start).
    tcInterfaceSnapshot interfaces() const;
    // What the last start reached: the subnets of its interfaces, and the ranges swept by
    // unicast.
    tcProbedNetworks probedNetworks() const { return {interfaces().subnets, m_ranges.ranges()}; }

    // The locators' protocol names, in creation order.
    QStringList protocolNames() const;
    // Replies that reported devices since the last start: arrival interface name, then
    // protocol name, to count.
    QMap<QString, QMap<QString, int>> repliesByInterface() const;

signals:
    void sig_locateFoundSite(tpVideoDevice apDvc);
    // More hosts of the ranges were queried (sweptHosts() of ranges().hostCount()).
    void sig_sweepProgress();

private:
    QList<tcSpecificLocator*> m_locators;
    QStringList m_interfaceNames;
    tcInterfaceSnapshot m_interfaces;
    bool m_started = false;
    tcAddressRanges m_ranges;
};

// The reply counts under a title line, one line "interface: protocol n, protocol n" per
// interface in name order, the protocols in the given order.
QString replyCountsText(const QMap<QString, QMap<QString, int>>& counts, const QStringList& protocols);
