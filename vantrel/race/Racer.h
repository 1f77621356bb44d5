#pragma once
// One car in a race and what drives it.
#include <string>

#include <vmath/vec3.h>

#include "StuckWatch.h"
#include "track/RoadProgress.h"

struct Car;
class Driver;

/// A car of the race with its driver: the player, or one of the game's
/// drivers. The race's rules, map, HUD and sounds read racers, not "the car".
struct Racer {
    std::string name;                  ///< shown in the results
    unsigned model = 0;                ///< which car model (CarPool index)
    vmath::vec3<float> paint{1.0f, 0.0f, 0.0f};  ///< the map dot's colour
    Car* car = nullptr;                ///< owned by the race's car pool
    Driver* driver = nullptr;          ///< owned by the race
    bool player = false;
    RoadProgress progress;             ///< along the road's centre line
    unsigned nextCheckpoint = 0;       ///< the next gate to pass
    StuckWatch stuck;                  ///< for the stuck rule
};
