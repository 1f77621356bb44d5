#include <nodara/PerformanceCounter.h>

#include <chrono>

double PerformanceCounter::_frequency = 0.0;

namespace {
using Clock = std::chrono::steady_clock;
}

bool PerformanceCounter::IsSupported() {
    // steady_clock is monotonic; its tick period gives the frequency.
    _frequency = static_cast<double>(Clock::period::den) / static_cast<double>(Clock::period::num);
    return _frequency > 0.0;
}

double PerformanceCounter::Frequency() {
    if (_frequency == 0.0) IsSupported();
    return _frequency;
}

double PerformanceCounter::Time() {
    if (Frequency() == 0.0) return 0.0;
    const auto ticks = Clock::now().time_since_epoch().count();
    return static_cast<double>(ticks) / _frequency;
}
