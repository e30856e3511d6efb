#include "tcDiscoveryCycle.h"

#include "tcSiteLocate.h"
#include "tcSpecificLocator.h"

#include <algorithm>

namespace {
// The locators close their sockets at the tick that ends their repeat cycle, a few
// milliseconds after the list is final; this only bounds a locator that never does.
constexpr int kCloseCheckMs = 20;
constexpr int kCloseLimitMs = 5000;
} // namespace

tcDiscoveryCycle::tcDiscoveryCycle(tcSiteLocate* apLocate, QObject* apParent)
    : QObject(apParent), m_locate(apLocate)
{
    // A coarse timer may tick 5% early, and a new cycle started before the locators have
    // closed their 3-second series would be ignored by them: it would miss every device
    // of those protocols. A precise timer started after the locators ticks for the third
    // time only after each of them has closed.
    m_tickTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_tickTimer, &QTimer::timeout, this, &tcDiscoveryCycle::slot_tick);
    connect(&m_closeTimer, &QTimer::timeout, this, &tcDiscoveryCycle::slot_closeCheck);
}

bool tcDiscoveryCycle::start()
{
    m_closeTimer.stop();
    m_ticks = 0;
    m_running = true;
    m_locate->start();
    m_tickTimer.start(kTickMs);
    return m_locate->anyQuerySent();
}

void tcDiscoveryCycle::cancel()
{
    m_tickTimer.stop();
    m_closeTimer.stop();
    m_running = false;
}

void tcDiscoveryCycle::slot_tick()
{
    if (!m_running)
        return;
    emit sig_tick(++m_ticks);
    if (m_ticks < kTicks || m_locate->isSending())
        return;
    m_tickTimer.stop();
    m_running = false;
    emit sig_final();
    m_closeDeadline.setRemainingTime(kCloseLimitMs);
    m_closeTimer.start(kCloseCheckMs);
    slot_closeCheck();
}

void tcDiscoveryCycle::slot_closeCheck()
{
    const auto& locators = m_locate->locators();
    const bool open = std::any_of(locators.cbegin(), locators.cend(),
                                  [](const tcSpecificLocator* locator) { return locator->isRunning(); });
    if (open && !m_closeDeadline.hasExpired())
        return;
    if (open)
        qWarning("a locator still had its sockets open %d ms after the discovery cycle", kCloseLimitMs);
    m_closeTimer.stop();
    emit sig_closed();
}
