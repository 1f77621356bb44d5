#pragma once
#include "RaceRules.h"

class RaceField;

/// A Race against the game's cars: after the countdown the field drives,
/// the clock runs until every local player is home, and the world runs on
/// until every car is.
class FieldRaceRules : public RaceRules {
public:
    /// The field on its grid; it must outlive the rules.
    explicit FieldRaceRules(RaceField& field) : field(field) {}

    /// The countdown, then the game's drivers take their cars.
    void BeforeTick(float tickS) override;
    /// The clock, the field's progress, checkpoints and standings.
    void AfterTick(float tickS, const std::vector<Car*>& cars) override;
    bool IsWorldRunning() const override;
    bool IsOver() const override;
    bool IsOver(std::size_t player) const override;

private:
    RaceField& field;
};
