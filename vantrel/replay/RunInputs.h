#pragma once
// What the driver did at every fixed tick of a run, from the race's start:
// enough to drive the same run again, the world being the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// The controls the car was given at each tick, exactly as the car got
/// them, and what else moved it: a recovery before the tick (R), a tick
/// the world stood still (the spectator's flight at the start), a tick the
/// driver handed the car nothing (the spectator's camera). Kept as
/// changes only, so a run of held keys costs a few bytes a second.
class RunInputs {
public:
    /// One tick's input.
    struct Tick {
        float throttle = 0.0f;  ///< 0 ... 1
        float brake = 0.0f;     ///< 0 ... 1
        float steering = 0.0f;  ///< -1 ... 1, positive to the left
        bool recovered = false;  ///< put back on the road before this tick
        bool held = false;       ///< the world did not step this tick
        bool idle = false;       ///< the controls were not handed to the car (the spectator's camera)
        bool operator==(const Tick& other) const;
    };

    /// The countdown and half an hour of driving at 120 ticks a second, and a margin.
    static constexpr std::size_t MaxTicks = 240000;
    /// The largest encoding of MaxTicks (every tick changing everything).
    static std::size_t MaxEncodedBytes();

    /// @return false, keeping the ticks as they were, beyond MaxTicks or
    ///         for a control outside its range or not a number
    bool Append(const Tick& tick);
    void Clear() { ticks.clear(); }
    bool IsEmpty() const { return ticks.empty(); }
    std::size_t GetTickCount() const { return ticks.size(); }
    /// Only for index < GetTickCount().
    const Tick& GetTick(std::size_t index) const { return ticks[index]; }

    /// The changes from tick to tick: for each, the number of ticks the
    /// same as the last one before it (LEB128), a byte of what changed and
    /// the new values (float32, little-endian); last, the number of ticks
    /// after the last change.
    std::string Encode() const;
    /// Reads `count` ticks from `bytes`, every length bounded by the bytes
    /// there are and every value checked.
    /// @param problem set to why, when false is returned
    /// @return true with the ticks set; false leaves them alone
    bool Decode(const std::string& bytes, std::size_t count, std::string& problem);

private:
    std::vector<Tick> ticks;
};
