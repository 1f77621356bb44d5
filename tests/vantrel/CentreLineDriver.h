#pragma once
// The test driver of the Time Trial, for the race tests and the race
// benchmark: it plays a GameEngine with the arrow keys.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "cars/Car.h"
#include "drivers/Player.h"
#include "input/EventHandler.h"
#include "race/GameEngine.h"
#include "track/RoadCentreLine.h"
#include "physics/DynamicObjectCar.h"
#include "platform/WindowMessage.h"

/// Drives with the arrow keys along the road's centre line, as the race
/// loaded it with the track: steers towards a point ahead, brakes before
/// curves too tight for its speed.
class CentreLineDriver {
public:
    /// Drives local player `seat` with that player's keys.
    CentreLineDriver(GameEngine& race, EventHandler& handler, std::size_t seat = 0)
        : race(race), handler(handler), road(race.GetTrack().road), seat(seat) {}

    /// One frame's keys, from the car body's state; call it while the car's
    /// controls are enabled.
    void Drive() {
        const physics::DynamicObjectCar& body = *race.GetCar(seat)->body;
        const KeyBindings& keys = race.GetPlayer(seat)->GetKeyBindings();
        const vmath::vec3<float> p = body.GetPosition(), forward = body.GetAxis(1);
        const double speed = body.GetForwardSpeedMs();
        nearest = road.Nearest(p.x, p.y, nearest);
        const double s = road.GetPoint(nearest).s;

        // Pure pursuit: the arc through the point ahead.
        const double ahead = 7.0 + 0.3 * std::max(speed, 0.0);
        const RoadCentreLine::Point target = road.At(s + ahead);
        const double dx = target.x - p.x, dy = target.y - p.y;
        const double along = dx * forward.x + dy * forward.y, left = -dx * forward.y + dy * forward.x;
        const double curvature = 2.0 * left / (along * along + left * left);
        const double wheelbase = 2.2, v2 = std::max(speed * speed, 1.0);
        const double fullLock = std::min(0.55, std::atan(16.0 * wheelbase / v2));
        const double wanted = std::clamp(std::atan(curvature * wheelbase) / fullLock, -1.0, 1.0);

        // The slowest speed any curve in braking reach allows.
        double limit = 58.0;
        for (double d = 0.0; d < 250.0; d += 5.0) {
            const double k = std::fabs(road.Curvature(s + d));
            const double curveSpeed = std::sqrt(6.5 / std::max(k, 1e-6));
            limit = std::min(limit, std::sqrt(curveSpeed * curveSpeed + 2.0 * 6.0 * d));
        }
        Set(keys.KeyOf(KeyBindings::Throttle), speed < limit - 0.5);
        Set(keys.KeyOf(KeyBindings::Brake), speed > limit + 1.5);

        // The keys move the steering 0.8 per second; a released key lets it
        // return towards the centre, and steering across the centre jumps there.
        const float steering = race.GetCar(seat)->steering;
        bool leftKey = false, rightKey = false;
        if (wanted > steering)
            leftKey = !(steering < 0.0f && wanted <= 0.0);
        else if (wanted < steering)
            rightKey = !(steering > 0.0f && wanted >= 0.0);
        Set(keys.KeyOf(KeyBindings::SteerLeft), leftKey);
        Set(keys.KeyOf(KeyBindings::SteerRight), rightKey);
    }

private:
    void Set(unsigned key, bool down) { handler.DispatchKey(key, down ? 0 : 1); }  // press 0, release 1

    GameEngine& race;
    EventHandler& handler;
    const RoadCentreLine& road;
    std::size_t seat;
    std::size_t nearest = 0;
};
