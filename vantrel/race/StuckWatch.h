#pragma once

/// Tells when a car driven by the game is stuck: crawling under CrawlMs for
/// CrawlS once it may go, or off the road for OffRoadS. It is then put back
/// on the road (CarRecovery) and the watch starts anew.
class StuckWatch {
public:
    static constexpr float CrawlMs = 2.0f;
    static constexpr float CrawlS = 2.0f;
    static constexpr float OffRoadS = 3.0f;

    /// One step of `dtS` at `speedMs`, `offsetM` from the centre line of a
    /// road `halfWidthM` wide either side of it.
    /// @return whether the car is stuck; the watch then starts anew
    bool Update(float speedMs, double offsetM, double halfWidthM, float dtS) {
        slowS = speedMs < CrawlMs ? slowS + dtS : 0.0f;
        offRoadS = offsetM > halfWidthM || offsetM < -halfWidthM ? offRoadS + dtS : 0.0f;
        if (slowS < CrawlS && offRoadS < OffRoadS) return false;
        Reset();
        return true;
    }
    void Reset() { slowS = offRoadS = 0.0f; }

private:
    float slowS = 0.0f;
    float offRoadS = 0.0f;
};
