#pragma once
// A one-shot timer on the event loop with the clock's own resolution (QTimer counts whole
// milliseconds): a timerfd on the monotonic clock, watched by a socket notifier. Nothing polls and
// no thread is started; the event loop sleeps until the moment comes. Lives on one thread.
#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

class CPreciseTimer
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // onTimeout runs on the event loop of the thread that made the timer.
    explicit CPreciseTimer(std::function<void()> onTimeout);
    ~CPreciseTimer();
    CPreciseTimer(const CPreciseTimer&) = delete;
    CPreciseTimer& operator=(const CPreciseTimer&) = delete;

    // Fires once at `when` (as soon as possible when it has passed); replaces an earlier start.
    void StartAt(TimePoint when);
    void Stop();
    bool IsActive() const { return m_bActive; }

private:
    void OnFired();

    std::function<void()> m_onTimeout;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    bool m_bActive = false;
};
