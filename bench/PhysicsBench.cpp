/*******************************************************************************
 * PhysicsBench: the cost of stepping the race's physics, per 1/60 s frame, with
 * one car driving over a terrain mesh of about 200,000 triangles (the game's
 * track has fewer), then with a field of cars on a grid, two a row and rows
 * 8 m apart, weaving and braking alike and so now and then touching. Also
 * times building the terrain (BVH and edge data).
 *
 *   bin/PhysicsBench [frames] [car index] [field]
 *       defaults: 3600 frames, car 0, a field of 6 (alternating both cars)
 *
 * Targets: one car under 1 ms per frame on average; a field of six under
 * 0.5 ms.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <physics/CarTemplate.h>
#include <physics/DynamicObjectCar.h>
#include <physics/World.h>
#include "SeriesStats.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Rolling valley ground: gentle swells near the middle where the car
/// drives, a grid of 316 x 316 cells of 25 m, as the track's valley is.
float Height(float x, float y) {
    return 6.0f * std::sin(x / 90.0f) * std::cos(y / 110.0f) + 2.0f * std::sin((x + y) / 37.0f) +
           0.00002f * (x * x + y * y);
}

/// A scripted drive of `carIndices.size()` cars from a grid at the centre,
/// weaving at full throttle and braking now and then, all alike; prints the
/// step cost per frame. The cars leave the world at the end.
void Drive(physics::World& world, const std::vector<unsigned>& carIndices, int frames) {
    std::vector<physics::DynamicObjectCar*> cars;
    for (std::size_t i = 0; i < carIndices.size(); ++i) {
        const float x = carIndices.size() == 1 ? 0.0f : i % 2 == 0 ? -2.5f : 2.5f;
        const float y = -8.0f * static_cast<float>(i / 2);
        const float carStart[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, Height(x, y) + 1.0f, 1};
        cars.push_back(world.CreateCar(physics::CarTemplate::RaceCar(carIndices[i]), carStart));
    }
    const float frameS = 1.0f / 60.0f;
    std::vector<double> stepMs, stepCpuMs;
    stepMs.reserve(frames);
    stepCpuMs.reserve(frames);
    float topKmh = 0.0f;
    for (int frame = 0; frame < frames; ++frame) {
        float t = frame * frameS;
        bool braking = std::fmod(t, 20.0f) > 17.0f;
        for (physics::DynamicObjectCar* car : cars)
            car->SetControls(0.35f * std::sin(t * 0.4f), braking ? 0.0f : 1.0f, braking ? 1.0f : 0.0f, t < 1.0f);
        Clock::time_point start = Clock::now();
        double startCpu = ThreadMilliseconds();
        world.Step(frameS);
        stepCpuMs.push_back(ThreadMilliseconds() - startCpu);
        stepMs.push_back(MillisecondsSince(start));
        for (physics::DynamicObjectCar* car : cars) topKmh = std::max(topKmh, car->GetSpeedKmh());
    }

    vmath::vec3<float> end = cars[0]->GetPosition();
    if (cars.size() == 1)
        std::printf("Drive: car %u", carIndices[0]);
    else
        std::printf("Drive: a field of %zu cars", cars.size());
    std::printf(", %d frames of 1/60 s (%d substeps each), top %.0f km/h, the first ended at (%.0f, %.0f, %.1f)\n",
                frames, world.GetSubstepCount(frameS), topKmh, end.x, end.y, end.z);
    PrintSeries("Step per frame, wall clock", stepMs);
    PrintSeries("Step per frame, processor time", stepCpuMs);
    for (physics::DynamicObjectCar* car : cars) world.DestroyCar(car);
}

}  // namespace

int main(int argc, char** argv) {
    // Initialization
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
    const unsigned carIndex = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0u;
    const int fieldSize = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 8) : 6;
    const int cells = 316;
    const float cellM = 25.0f;
    const float half = cells * cellM / 2.0f;

    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            float x = -half + i * cellM, y = -half + j * cellM;
            vertices.emplace_back(x, y, Height(x, y));
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            unsigned int a = j * (cells + 1) + i, b = a + 1, c = a + cells + 2, d = a + cells + 1;
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    physics::World world;
    Clock::time_point start = Clock::now();
    double startCpu = ThreadMilliseconds();
    if (!world.AddStaticMesh(vertices, indices, identity)) {
        std::printf("PHYSICS BENCH: terrain rejected\n");
        return 1;
    }
    const double buildMs = MillisecondsSince(start);
    const double buildCpuMs = ThreadMilliseconds() - startCpu;
    std::printf("Terrain: %zu triangles, built in %.0f ms (%.0f ms processor time)\n", indices.size() / 3, buildMs,
                buildCpuMs);

    // Update and report: one car, then the field
    std::vector<unsigned> one = {carIndex}, field;
    for (int i = 0; i < fieldSize; ++i) field.push_back(static_cast<unsigned>(i % 2));
    Drive(world, one, frames);
    if (fieldSize > 1) Drive(world, field, frames);

    // De-Initialization: the world releases the terrain
    return 0;
}
