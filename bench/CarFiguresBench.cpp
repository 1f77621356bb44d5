/*******************************************************************************
 * CarFiguresBench: what each of the game's cars does on flat ground, measured
 * with the physics at the race's 1/60 s frame, as a road test measures a real
 * car:
 *   - 0-100 km/h: from rest, the car held for a second, then full throttle;
 *     the time from the throttle to 100 km/h on the clock;
 *   - top speed: full throttle for 90 s on a 24 km straight, the highest speed;
 *   - 100-0 km/h: from 110 km/h full brake, the distance from 100 km/h to a
 *     standstill;
 *   - steady lateral grip: at a steady 28 m/s the steering raised by a
 *     twentieth a second until the car runs wide; the most speed x yaw rate
 *     seen while the speed held within 1.5 m/s of the aim (m/s^2 and in g).
 * Also the full-brake deceleration from 45 to 15 m/s, the figure the game's
 * drivers plan with. The last lines are each car's [limits] section as its
 * car.ini should have them (tests/vantrel/RacingDriverTest.cpp checks them).
 *
 *   bin/CarFiguresBench        (from the build tree's bin/, beside ../data)
 ******************************************************************************/
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <physics/DynamicObjectCar.h>
#include <physics/World.h>
#include "cars/CarPool.h"

namespace {

const float FrameS = 1.0f / 60.0f;
const float Gravity = 9.81f;
const float KmhMs = 1.0f / 3.6f;

/// A flat strip 2 km wide and 24 km long, in cells of 500 m.
void AddFlatGround(physics::World& world) {
    const float x0 = -1000.0f, x1 = 1000.0f, y0 = -12000.0f, y1 = 12000.0f, cell = 500.0f;
    const int nx = static_cast<int>((x1 - x0) / cell), ny = static_cast<int>((y1 - y0) / cell);
    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned> indices;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) vertices.emplace_back(x0 + cell * i, y0 + cell * j, 0.0f);
    const auto at = [nx](int i, int j) { return static_cast<unsigned>(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
            indices.insert(indices.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1),
                                           at(i, j + 1)});
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    world.AddStaticMesh(vertices, indices, identity);
}

/// One car alone on the strip, at its south end facing north.
struct TestDrive {
    explicit TestDrive(unsigned carIndex) {
        AddFlatGround(world);
        const float start[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.0f, -11500.0f, 0.8f, 1};
        car = world.CreateCar(CarPool::Describe(carIndex).GetTemplate(), start);
    }
    /// Frames with these controls for at most `seconds`, while `go` says so.
    /// @return the time driven (s)
    float Run(float seconds, float steering, float throttle, float brake, bool held = false,
              const std::function<bool(float)>& go = nullptr) {
        float timeS = 0.0f;
        for (int frame = 0; frame < static_cast<int>(std::lround(seconds / FrameS)); ++frame) {
            car->SetControls(steering, throttle, brake, held);
            world.Step(FrameS);
            timeS += FrameS;
            if (go && !go(timeS)) break;
        }
        return timeS;
    }

    physics::World world;
    physics::DynamicObjectCar* car = nullptr;
};

struct Figures {
    float zeroTo100S = -1.0f, topSpeedMs = 0.0f, brakingM = -1.0f, brakingMs2 = 0.0f, lateralMs2 = 0.0f;
};

Figures Measure(unsigned carIndex) {
    Figures figures;
    {
        TestDrive drive(carIndex);
        drive.Run(1.0f, 0, 0, 1, true);
        drive.Run(20.0f, 0, 1, 0, false, [&](float timeS) {
            if (drive.car->GetForwardSpeedMs() < 100.0f * KmhMs) return true;
            figures.zeroTo100S = timeS;
            return false;
        });
        drive.Run(90.0f, 0, 1, 0, false, [&](float) {
            figures.topSpeedMs = std::max(figures.topSpeedMs, drive.car->GetForwardSpeedMs());
            return true;
        });
        // From the top speed: full brake, the time from 45 to 15 m/s.
        float fastS = -1.0f, slowS = -1.0f;
        drive.Run(10.0f, 0, 0, 1, false, [&](float timeS) {
            const float v = drive.car->GetForwardSpeedMs();
            if (fastS < 0.0f && v <= 45.0f) fastS = timeS;
            if (slowS < 0.0f && v <= 15.0f) slowS = timeS;
            return slowS < 0.0f;
        });
        if (slowS > fastS && fastS >= 0.0f) figures.brakingMs2 = 30.0f / (slowS - fastS);
    }
    {
        TestDrive drive(carIndex);
        drive.Run(1.0f, 0, 0, 1, true);
        drive.Run(20.0f, 0, 1, 0, false, [&](float) { return drive.car->GetForwardSpeedMs() < 110.0f * KmhMs; });
        vmath::vec3<float> from;
        bool measuring = false;
        drive.Run(10.0f, 0, 0, 1, false, [&](float) {
            const float v = drive.car->GetForwardSpeedMs();
            if (!measuring && v <= 100.0f * KmhMs) {
                measuring = true;
                from = drive.car->GetPosition();
            }
            if (measuring && v < 0.05f) {
                figures.brakingM = vmath::length(drive.car->GetPosition() - from);
                return false;
            }
            return true;
        });
    }
    {
        TestDrive drive(carIndex);
        drive.Run(1.0f, 0, 0, 1, true);
        float steering = 0.0f;
        vmath::vec3<float> heading = drive.car->GetAxis(1);
        for (int frame = 0; frame < 60 * 30 && steering < 1.0f; ++frame) {
            const float v = drive.car->GetForwardSpeedMs(), error = 28.0f - v;
            if (v > 27.5f || steering > 0.0f) steering = std::max(steering, 0.5f) + FrameS / 20.0f;
            drive.Run(FrameS, std::min(steering, 1.0f), std::clamp(0.4f + 0.3f * error, 0.0f, 1.0f),
                      error < -1.5f ? 0.3f : 0.0f);
            const vmath::vec3<float> now = drive.car->GetAxis(1);
            const float yawRate =
                std::atan2(heading.x * now.y - heading.y * now.x, heading.x * now.x + heading.y * now.y) / FrameS;
            heading = now;
            if (steering > 0.0f && std::fabs(error) < 1.5f)
                figures.lateralMs2 = std::max(figures.lateralMs2, v * yawRate);
        }
    }
    return figures;
}

}  // namespace

int main() {
    if (CarPool::Count() == 0) {
        std::printf("CAR FIGURES BENCH: no car found in %s\n", CarList::DataFolder);
        return 1;
    }
    std::vector<Figures> all;
    std::printf("%-16s %10s %10s %10s %16s %12s\n", "car", "0-100 s", "top km/h", "100-0 m", "lateral m/s^2 (g)",
                "brake m/s^2");
    for (unsigned i = 0; i < CarPool::Count(); ++i) {
        all.push_back(Measure(i));
        const Figures& f = all.back();
        std::printf("%-16s %10.1f %10.0f %10.1f %10.1f (%.2f) %12.1f\n", CarPool::ShownName(i).c_str(), f.zeroTo100S,
                    f.topSpeedMs * 3.6f, f.brakingM, f.lateralMs2, f.lateralMs2 / Gravity, f.brakingMs2);
    }
    for (unsigned i = 0; i < CarPool::Count(); ++i)
        std::printf("%s [limits]: lateral_grip = %.1f, braking = %.1f, top_speed = %.1f\n",
                    CarPool::Describe(i).GetKey().c_str(), all[i].lateralMs2, all[i].brakingMs2, all[i].topSpeedMs);
    return 0;
}
