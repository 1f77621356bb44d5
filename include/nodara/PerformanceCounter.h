#pragma once

/// Static facade over the monotonic high-resolution clock. Callers use
/// differences of two Time() values.
class PerformanceCounter {
public:
    PerformanceCounter() = delete;
    PerformanceCounter& operator=(const PerformanceCounter&) { return *this; }

    /// Queries the tick frequency, stores it and reports whether it is usable.
    static bool IsSupported();
    /// Ticks per second; 0 where the platform has no high-resolution counter.
    static double Frequency();
    /// Seconds since an arbitrary origin; 0 when no counter is available.
    static double Time();

private:
    static double _frequency;
};
