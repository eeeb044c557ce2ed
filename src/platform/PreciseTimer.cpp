#include "PreciseTimer.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>

static_assert(std::chrono::steady_clock::is_steady, "the timer runs on the monotonic clock");

CPreciseTimer::CPreciseTimer(std::function<void()> onTimeout) : m_onTimeout(std::move(onTimeout))
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_pNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] { OnFired(); });
}

CPreciseTimer::~CPreciseTimer()
{
    m_pNotifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void CPreciseTimer::StartAt(TimePoint when)
{
    if (m_fd < 0)
        return;
    // steady_clock counts from the same origin as CLOCK_MONOTONIC; zero would disarm, so the
    // earliest moment is one nanosecond after that origin (long past: fires at once).
    const auto ns = std::max<std::int64_t>(
        1, std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count());
    itimerspec spec = {};
    spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    m_bActive = ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &spec, nullptr) == 0;
}

void CPreciseTimer::Stop()
{
    if (m_fd < 0)
        return;
    itimerspec off = {};
    ::timerfd_settime(m_fd, 0, &off, nullptr);
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
    m_bActive = false;
}

void CPreciseTimer::OnFired()
{
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
        return; // stopped or restarted meanwhile
    m_bActive = false;
    m_onTimeout();
}
