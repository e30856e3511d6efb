#pragma once
// One discovery cycle as the window and the scan command run it: the coordinator starts,
// three one-second ticks pass, the list becomes final, and the locators close their
// sockets a moment later.

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class tcSiteLocate;

class tcDiscoveryCycle : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTicks = 3;
    static constexpr int kTickMs = 1000;

    explicit tcDiscoveryCycle(tcSiteLocate* apLocate, QObject* apParent = nullptr);

    // Starts the coordinator, then the tick timer. False when not one query got out (no
    // socket, or no network to send on); the cycle runs all the same.
    bool start();
    // Ends the cycle at once, without a final list; the locators run out on their own.
    void cancel();

    // From start until the list is final.
    bool isRunning() const { return m_running; }
    // Ticks since start: 0 to kTicks, more while the locators are still sending.
    tcSiteLocate* coordinator() const { return m_locate; }

public slots:
    // One tick; the timer calls it every kTickMs while the cycle runs.
    void slot_tick();

signals:
    void sig_tick(int count);
    // The last tick: reports after it come too late for this cycle's list.
    void sig_final();
    // Every locator has closed its sockets after the final tick (or 5 s have passed).
    void sig_closed();

private slots:
    void slot_closeCheck();

private:
    tcSiteLocate* m_locate;
    QTimer m_tickTimer;
    QTimer m_closeTimer;
    QDeadlineTimer m_closeDeadline;
    int m_ticks = 0;
    bool m_running = false;
};
