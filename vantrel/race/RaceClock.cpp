#include "RaceClock.h"

#include <cmath>
#include <cstdio>

std::string RaceClock::Format(double seconds) {
    const double whole = std::trunc(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d", static_cast<int>(seconds / 60.0), static_cast<int>(whole) % 60,
                  static_cast<int>((seconds - whole) * 100.0));
    return text;
}

std::string RaceClock::FormatMs(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u.%02u", static_cast<unsigned>(ms / 60000),
                  static_cast<unsigned>(ms / 1000 % 60), static_cast<unsigned>(ms % 1000 / 10));
    return text;
}
