#pragma once
// The discovery coordinator: owns one locator per protocol, starts them all with the
// same repeat count and interval, and re-emits every found device as one signal.

#include "tcLocateParams.h"
#include "tcVideoDevice.h"

#include <QList>
#include <QObject>
#include <QSharedPointer>

class tcSpecificLocator;

class tcSiteLocate : public QObject
{
    Q_OBJECT
public:
    // A discovery cycle: start(), then this many ticks of this length, after which the
    // list counts as final; the locators close their sockets at about the same moment.
    static constexpr int kCycleTicks = 3;
    static constexpr int kCycleTickMs = 1000;

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

signals:
    void sig_locateFoundSite(tpVideoDevice apDvc);

private:
    QList<tcSpecificLocator*> m_locators;
};
