/*******************************************************************************
 * DrivingBench: what the game's drivers cost. The racing line of the game's
 * road, computed as the track load does; then a field of cars, each driven
 * by one of the game's drivers, round that line on flat ground as large as
 * the valley: the drivers' time per car and frame beside the physics step's.
 *
 *   bin/DrivingBench [frames] [field] [road file]
 *       defaults: 3600 frames, 6 cars, GreenValley's road in the source tree
 *
 * Targets: the line well under a second; the driving under 0.1 ms per car
 * and frame; the physics of six cars under 0.5 ms per frame.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include <physics/CarTemplate.h>
#include <physics/DynamicObjectCar.h>
#include <physics/World.h>

#include "cars/CarPool.h"
#include "cars/Car.h"
#include "drivers/RacingDriver.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"
#include "SeriesStats.h"

namespace {

/// Flat ground under the whole road, with a margin, in cells of 50 m.
bool AddFlatGround(physics::World& world, const RoadCentreLine& road) {
    const float margin = 300.0f, cellM = 50.0f;
    const float x0 = static_cast<float>(road.GetMin().x) - margin, y0 = static_cast<float>(road.GetMin().y) - margin;
    const int nx = static_cast<int>((road.GetMax().x - road.GetMin().x + 2.0 * margin) / cellM) + 1;
    const int ny = static_cast<int>((road.GetMax().y - road.GetMin().y + 2.0 * margin) / cellM) + 1;
    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) vertices.emplace_back(x0 + i * cellM, y0 + j * cellM, 0.0f);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const unsigned int a = j * (nx + 1) + i, b = a + 1, c = a + nx + 2, d = a + nx + 1;
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return world.AddStaticMesh(vertices, indices, identity) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    // Initialization: the road, its racing line (timed), the ground and the field
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
    const int fieldSize = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 8) : 6;
    const char* roadFile = argc > 3 ? argv[3] : GREEN_VALLEY_ROAD;
    RoadCentreLine road;
    if (!road.Load(roadFile)) {
        std::printf("DRIVING BENCH: no road in %s\n", roadFile);
        return 1;
    }
    RacingLine line;
    std::vector<double> computeMs;
    for (int run = 0; run < 5; ++run) {
        const double start = ThreadMilliseconds();
        if (!line.Compute(road, 5.5)) return 1;
        computeMs.push_back(ThreadMilliseconds() - start);
    }

    physics::World world;
    if (!AddFlatGround(world, road)) {
        std::printf("DRIVING BENCH: ground rejected\n");
        return 1;
    }
    // Two a row behind the start line, rows 8 m apart, both car models in turn.
    const RoadCentreLine::Point startLine = road.At(0.0);
    const vmath::vec2<double> ahead = road.Tangent(0.0);
    std::vector<std::unique_ptr<Car>> cars;
    std::vector<std::unique_ptr<RacingDriver>> drivers;
    std::vector<const Car*> field;
    for (int i = 0; i < fieldSize; ++i) {
        const double side = i % 2 == 0 ? 2.5 : -2.5, back = 4.0 + 8.0 * (i / 2);
        const float x = static_cast<float>(startLine.x - ahead.x * back - ahead.y * side);
        const float y = static_cast<float>(startLine.y - ahead.y * back + ahead.x * side);
        const float fx = static_cast<float>(ahead.x), fy = static_cast<float>(ahead.y);
        const float matrix[16] = {fy, -fx, 0, 0, fx, fy, 0, 0, 0, 0, 1, 0, x, y, 1.0f, 1};
        const unsigned model = static_cast<unsigned>(i % 2);
        cars.emplace_back(new Car());
        cars.back()->body = world.CreateCar(CarPool::Describe(model).GetTemplate(), matrix);
        cars.back()->controlsEnabled = true;
        drivers.emplace_back(
            new RacingDriver(line, RacingDriver::CarLimits(model), RacingDriver::Skill::Medium, 1.0 - 0.01 * i));
        field.push_back(cars.back().get());
    }
    for (auto& driver : drivers) driver->SetOthers(&field);
    // Settle on the springs before the start.
    for (int frame = 0; frame < 60; ++frame) {
        for (const Car* car : field) car->body->SetControls(0.0f, 0.0f, 1.0f, true);
        world.Step(1.0f / 60.0f);
    }

    // Update: every driver, then the physics, each frame
    const float frameS = 1.0f / 60.0f;
    std::vector<double> driveMs, stepMs;
    driveMs.reserve(frames);
    stepMs.reserve(frames);
    for (int frame = 0; frame < frames; ++frame) {
        double start = ThreadMilliseconds();
        for (std::size_t i = 0; i < cars.size(); ++i) {
            drivers[i]->Drive(*cars[i], frameS);
            cars[i]->ApplyControls();
        }
        driveMs.push_back((ThreadMilliseconds() - start) / static_cast<double>(cars.size()));
        start = ThreadMilliseconds();
        world.Step(frameS);
        stepMs.push_back(ThreadMilliseconds() - start);
    }

    // Report
    PrintSeries("Racing line of the road, processor time", computeMs, 4);
    std::printf("Road %.0f m, line %.0f m in %zu points\n", road.GetLength(), line.GetLength(), line.GetPointCount());
    std::printf("Field: %d cars on Medium, %d frames of 1/60 s\n", fieldSize, frames);
    for (std::size_t i = 0; i < drivers.size(); ++i)
        std::printf("  car %zu: %.0f m along the line, %.0f km/h%s\n", i, drivers[i]->GetLineS(),
                    cars[i]->body->GetSpeedKmh(), drivers[i]->IsOffRoad() ? ", off the road" : "");
    PrintSeries("Driving per car and frame, processor time", driveMs, 4);
    PrintSeries("Physics step per frame, processor time", stepMs, 4);

    // De-Initialization: the world releases the cars and the ground
    return 0;
}
