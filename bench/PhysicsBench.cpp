/*******************************************************************************
 * PhysicsBench: the cost of stepping the race's physics, per 1/60 s frame, with
 * one car driving over a terrain mesh of about 200,000 triangles (the game's
 * track has fewer). Also times building the terrain (BVH and edge data).
 *
 *   bin/PhysicsBench [frames] [car index]     defaults: 3600 frames, car 0
 *
 * Target: under 1 ms per frame on average.
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

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// This thread's processor time (ms): unlike the wall clock it does not
/// count time the scheduler gave to other programs.
double ThreadMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

/// Mean, median, 95th percentile and maximum of a series, in one line.
void PrintSeries(const char* what, std::vector<double> ms) {
    double mean = 0.0;
    for (double value : ms) mean += value;
    mean /= static_cast<double>(ms.size());
    std::sort(ms.begin(), ms.end());
    std::printf("%s: mean %.3f ms, median %.3f ms, 95th percentile %.3f ms, max %.3f ms\n", what, mean,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
}

/// Rolling valley ground: gentle swells near the middle where the car
/// drives, a grid of 316 x 316 cells of 25 m, as the track's valley is.
float Height(float x, float y) {
    return 6.0f * std::sin(x / 90.0f) * std::cos(y / 110.0f) + 2.0f * std::sin((x + y) / 37.0f) +
           0.00002f * (x * x + y * y);
}

}  // namespace

int main(int argc, char** argv) {
    // Initialization
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
    const unsigned carIndex = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0u;
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
    const float carStart[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, Height(0, 0) + 1.0f, 1};
    physics::DynamicObjectCar* car = world.CreateCar(physics::CarTemplate::RaceCar(carIndex), carStart);

    // Update: a scripted drive, weaving at full throttle and braking now and then
    const float frameS = 1.0f / 60.0f;
    std::vector<double> stepMs, stepCpuMs;
    stepMs.reserve(frames);
    stepCpuMs.reserve(frames);
    float topKmh = 0.0f;
    for (int frame = 0; frame < frames; ++frame) {
        float t = frame * frameS;
        bool braking = std::fmod(t, 20.0f) > 17.0f;
        car->SetControls(0.35f * std::sin(t * 0.4f), braking ? 0.0f : 1.0f, braking ? 1.0f : 0.0f, t < 1.0f);
        start = Clock::now();
        startCpu = ThreadMilliseconds();
        world.Step(frameS);
        stepCpuMs.push_back(ThreadMilliseconds() - startCpu);
        stepMs.push_back(MillisecondsSince(start));
        topKmh = std::max(topKmh, car->GetSpeedKmh());
    }

    // Report
    vmath::vec3<float> end = car->GetPosition();
    std::printf("Terrain: %zu triangles, built in %.0f ms (%.0f ms processor time)\n", indices.size() / 3, buildMs,
                buildCpuMs);
    std::printf("Drive: car %u, %d frames of 1/60 s (%d substeps each), top %.0f km/h, ended at (%.0f, %.0f, %.1f)\n",
                carIndex, frames, world.GetSubstepCount(frameS), topKmh, end.x, end.y, end.z);
    PrintSeries("Step per frame, wall clock", stepMs);
    PrintSeries("Step per frame, processor time", stepCpuMs);

    // De-Initialization: the world releases the car and the terrain
    return 0;
}
