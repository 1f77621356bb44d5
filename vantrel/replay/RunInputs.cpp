#include "RunInputs.h"

#include <cmath>
#include <cstring>

namespace {

// What a change record holds.
enum Changed : std::uint8_t {
    Throttle = 1,
    Brake = 2,
    Steering = 4,
    Recovered = 8,
    Held = 16,
    Idle = 32,
    AllFlags = Throttle | Brake | Steering | Recovered | Held | Idle
};

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool IsValid(const RunInputs::Tick& t) {
    return t.throttle >= 0.0f && t.throttle <= 1.0f && t.brake >= 0.0f && t.brake <= 1.0f && t.steering >= -1.0f &&
           t.steering <= 1.0f;
}

void PutFloat(std::string& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(bits >> (8 * i)));
}

void PutCount(std::string& out, std::size_t count) {
    do {
        const auto low = static_cast<std::uint8_t>(count & 0x7F);
        count >>= 7;
        out.push_back(static_cast<char>(count ? low | 0x80 : low));
    } while (count);
}

}  // namespace

bool RunInputs::Tick::operator==(const Tick& other) const {
    return SameBits(throttle, other.throttle) && SameBits(brake, other.brake) &&
           SameBits(steering, other.steering) && recovered == other.recovered && held == other.held && idle == other.idle;
}

std::size_t RunInputs::MaxEncodedBytes() { return MaxTicks * (1 + 1 + 3 * 4) + 5; }

bool RunInputs::Append(const Tick& tick) {
    if (ticks.size() >= MaxTicks || !IsValid(tick)) return false;
    ticks.push_back(tick);
    return true;
}

std::string RunInputs::Encode() const {
    std::string out;
    Tick last;
    std::size_t same = 0;
    for (const Tick& t : ticks) {
        // A recovery is an event, never "the same as the tick before".
        if (t == last && !t.recovered) {
            ++same;
            continue;
        }
        PutCount(out, same);
        same = 0;
        std::uint8_t changed = 0;
        if (!SameBits(t.throttle, last.throttle)) changed |= Throttle;
        if (!SameBits(t.brake, last.brake)) changed |= Brake;
        if (!SameBits(t.steering, last.steering)) changed |= Steering;
        if (t.recovered) changed |= Recovered;
        if (t.held) changed |= Held;
        if (t.idle) changed |= Idle;
        out.push_back(static_cast<char>(changed));
        if (changed & Throttle) PutFloat(out, t.throttle);
        if (changed & Brake) PutFloat(out, t.brake);
        if (changed & Steering) PutFloat(out, t.steering);
        last = t;
        last.recovered = false;
    }
    // The ticks after the last change, so that the end is known: a stream
    // cut short never reads as a run that stopped changing.
    PutCount(out, same);
    return out;
}

bool RunInputs::Decode(const std::string& bytes, std::size_t count, std::string& problem) {
    if (count > MaxTicks || bytes.size() > MaxEncodedBytes()) {
        problem = "states " + std::to_string(count) + " ticks of input in " + std::to_string(bytes.size()) +
                  " bytes, beyond " + std::to_string(MaxTicks);
        return false;
    }
    std::vector<Tick> read;
    read.reserve(count);
    Tick last;
    std::size_t at = 0;
    const auto getFloat = [&](float& value) {
        if (bytes.size() - at < 4) return false;
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at++])) << (8 * i);
        std::memcpy(&value, &bits, sizeof value);
        return true;
    };
    while (at < bytes.size()) {
        std::size_t same = 0;
        for (int shift = 0;; shift += 7) {
            if (at >= bytes.size() || shift > 28) {
                problem = "has a tick count cut short or too long at byte " + std::to_string(at);
                return false;
            }
            const auto byte = static_cast<unsigned char>(bytes[at++]);
            same |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) break;
        }
        if (same > count - read.size()) {
            problem = "has input past its " + std::to_string(count) + " ticks";
            return false;
        }
        read.insert(read.end(), same, last);
        if (at == bytes.size()) break;  // the ticks after the last change
        const auto changed = static_cast<std::uint8_t>(bytes[at++]);
        Tick t = last;
        if ((changed & ~AllFlags) != 0 ||
            ((changed & Throttle) && !getFloat(t.throttle)) || ((changed & Brake) && !getFloat(t.brake)) ||
            ((changed & Steering) && !getFloat(t.steering))) {
            problem = "has a change record cut short or of unknown kind at byte " + std::to_string(at);
            return false;
        }
        t.recovered = (changed & Recovered) != 0;
        t.held = (changed & Held) != 0;
        t.idle = (changed & Idle) != 0;
        if (!IsValid(t) || read.size() >= count) {
            problem = "has a control out of range, or input past its ticks, at tick " + std::to_string(read.size());
            return false;
        }
        read.push_back(t);
        last = t;
        last.recovered = false;
    }
    if (read.size() != count) {
        problem = "ends after " + std::to_string(read.size()) + " of its " + std::to_string(count) + " ticks";
        return false;
    }
    ticks = std::move(read);
    return true;
}
