#pragma once
#include <cstdint>

class RoadCentreLine;

/// What the driver should feel through the pad: a short, strong pulse when
/// the car hits something hard, and a light rumble while it is off the road.
/// It only decides; the player hands the pulses to the pad.
class CarRumble {
public:
    /// Speed lost (m/s) within the last two frames that counts as a hard
    /// hit: braking at full never loses more than a fraction of this.
    static constexpr float ImpactDropMs = 8.0f;
    /// Farther than this from the road's centre line (m) is off the road;
    /// the asphalt reaches 5.5 m either side, the car is some 2 m wide.
    static constexpr double OffRoadM = 7.0;

    /// A rumble to start: strengths 0 ... 1 for `durationMs`; both 0 stops it.
    struct Pulse {
        float lowFrequency = 0.0f;
        float highFrequency = 0.0f;
        std::uint32_t durationMs = 0;
    };
    static constexpr Pulse Impact{1.0f, 1.0f, 250};
    static constexpr Pulse OffRoad{0.25f, 0.0f, 300};
    /// How often the off-road rumble is renewed (s), shorter than its pulse.
    static constexpr float RenewS = 0.2f;

    /// One frame of `dtS` seconds, the car moving at `speedMs` and
    /// `roadDistanceM` from the centre line (negative: no road known).
    /// @return true with `pulse` set when the pad's rumble should change
    bool Update(float speedMs, double roadDistanceM, float dtS, Pulse& pulse);
    /// Forgets the speeds and what is rumbling, as for a car put back on the road.
    void Reset() { *this = CarRumble(); }

    /// Distance (m) of (x, y) from the road's centre line; negative on an empty line.
    static double DistanceFromRoad(const RoadCentreLine& road, double x, double y);

private:
    float speeds[2] = {-1.0f, -1.0f};  ///< the last two frames' speeds (m/s), -1 for none yet
    float impactLeftS = 0.0f;           ///< an impact pulse runs this much longer (s)
    float renewInS = 0.0f;              ///< the off-road rumble is renewed in (s)
    bool offRoad = false;               ///< the off-road rumble is on
};
