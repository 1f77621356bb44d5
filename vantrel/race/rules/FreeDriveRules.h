#pragma once
#include "RaceRules.h"

/// Free Drive: no countdown, no clock, no checkpoints; the car is the
/// player's from the first tick and the world runs for ever.
class FreeDriveRules : public RaceRules {
public:
    void BeforeTick(float) override {}
    void AfterTick(float, const std::vector<Car*>&) override {}
    bool IsReleased() const override { return true; }
    bool IsWorldRunning() const override { return true; }
    bool IsOver() const override { return false; }
    bool IsOver(std::size_t) const override { return false; }
};
