#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "hud/Minimap.h"
#include "hud/ResultsTable.h"
#include "race/RaceMode.h"

class GhostRace;
class RaceField;
class RaceRules;
class TrialResult;
class WrongWay;
struct Car;
struct Track;

/// The race as one player's view shows it, read after the frame's ticks.
/// Drawing it changes nothing of the race: every timer it shows advances in
/// the race's step. Only `car` is not const, as its dials are drawn through it.
struct RacePicture {
    RaceMode mode = RaceMode::TimeTrial;
    const RaceRules* rules = nullptr;
    const Track* track = nullptr;
    Car* car = nullptr;                  ///< the view's car; null for none
    const RaceField* field = nullptr;    ///< a Race's field; null in the other modes
    std::size_t player = 0;              ///< the view's local player, in the field's players
    const GhostRace* ghostRace = nullptr;
    const WrongWay* wrongWay = nullptr;  ///< the view's car's
    unsigned nextCheckpoint = 0;         ///< of the view's car
    double remainingTime = 0.0;          ///< the Time Trial's clock (s)
    const TrialResult* result = nullptr; ///< the Time Trial's outcome
    bool endScreen = true;               ///< the view draws the results (alone on the screen)
    /// Drawn instead of a Race's results once the player is home (a
    /// championship's keys, then its standings); null: the results.
    const ResultsTable::Table* table = nullptr;
    /// A Race's lines under the gaps (a network race's ping, who lags); null: none.
    const std::vector<std::string>* lines = nullptr;
    /// A name over a car, where the view shows the car (0 ... 1 across and up the view).
    struct Label {
        float x = 0.0f, y = 0.0f;
        std::string text;
    };
    std::vector<Label> labels;
    /// A Time Trial's other cars on the map (TrialGuests).
    std::vector<MapDot> guestDots;
};
