/*******************************************************************************
 * GhostBench: what recording the player's run costs a frame, and what its
 * ghost costs on the disk and at playback. A car drives a scripted weave over
 * rolling ground at 60 frames a second while the recorder takes its 50
 * samples a second; only the recorder's own work is timed (the physics step
 * is not), in a first run and in a second one into the same memory. Then the
 * run is written as a ghost file and read back, and played back at every
 * frame's time.
 *
 *   bin/GhostBench [seconds]     default: 180 (a 3-minute run)
 *
 * Targets: recording at most 0.05 ms a frame; a 3-minute ghost file well
 * under 1 MB.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <physics/CarTemplate.h>
#include <physics/DynamicObjectCar.h>
#include <physics/World.h>

#include "cars/CarPool.h"
#include "cars/Car.h"
#include "replay/RecordedRun.h"
#include "race/RunRecorder.h"
#include "storage/GhostFile.h"
#include "SeriesStats.h"

namespace {

float Height(float x, float y) { return 4.0f * std::sin(x / 90.0f) * std::cos(y / 110.0f); }

}  // namespace

int main(int argc, char** argv) {
    // Initialization: 4 km square of rolling ground, one car on it
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 180.0;
    const int cells = 200;
    const float cellM = 20.0f;
    const float half = cells * cellM / 2.0f;
    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            const float x = -half + i * cellM, y = -half + j * cellM;
            vertices.emplace_back(x, y, Height(x, y));
        }
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            const unsigned int a = j * (cells + 1) + i, b = a + 1, c = a + cells + 2, d = a + cells + 1;
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    physics::World world;
    if (!world.AddStaticMesh(vertices, indices, identity)) {
        std::printf("GHOST BENCH: terrain rejected\n");
        return 1;
    }
    const float carStart[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, Height(0, 0) + 1.0f, 1};
    // Each run starts from the middle; the ground is near flat there.
    Car car;
    car.body = world.CreateCar(CarPool::Describe(0).GetTemplate(), carStart);
    const float frameS = 1.0f / 60.0f;
    const int frames = static_cast<int>(seconds / frameS);

    // Update: a tight weave that stays on the ground, braking now and then;
    // twice, as the game records run after run into the same memory
    RunRecorder recorder;
    std::vector<double> recordMs[2];
    double distanceM = 0.0;
    for (std::vector<double>& runMs : recordMs) {
        car.body->PlaceAt(vmath::vec3<float>(0.0f, 0.0f, Height(0, 0)), vmath::vec3<float>(0.0f, 0.0f, 1.0f),
                          vmath::vec3<float>(0.0f, 1.0f, 0.0f));
        recorder.Start(car, distanceM);
        runMs.reserve(frames);
        for (int frame = 0; frame < frames; ++frame) {
            const float t = frame * frameS;
            const bool braking = std::fmod(t, 12.0f) > 9.0f;
            car.steering = 0.5f * std::sin(t * 0.5f);
            car.throttle = braking ? 0.0f : 0.8f;
            car.brake = braking ? 1.0f : 0.0f;
            car.body->SetControls(car.steering, car.throttle, car.brake, false);
            world.Step(frameS);
            distanceM += car.body->GetSpeedMs() * frameS;
            const double start = ThreadMilliseconds();
            recorder.Record(car, distanceM, frameS);
            runMs.push_back(ThreadMilliseconds() - start);
        }
        recorder.Stop();
    }
    const RecordedRun& run = recorder.GetRun();

    // The ghost file: size, and the time to write and read its bytes
    double start = ThreadMilliseconds();
    const std::string bytes = GhostFile::Encode(run, {"Bench", "RaceCar0", 0, 1, 0});
    const double encodeMs = ThreadMilliseconds() - start;
    RecordedRun loaded;
    GhostFile::Info info;
    std::string problem;
    start = ThreadMilliseconds();
    const bool decoded = GhostFile::Decode(bytes, loaded, info, problem);
    const double decodeMs = ThreadMilliseconds() - start;

    // Playback: a pose and a gap at every frame's time
    std::vector<double> playMs;
    playMs.reserve(frames);
    double checksum = 0.0;
    for (int frame = 0; frame < frames; ++frame) {
        const double t = frame * frameS;
        start = ThreadMilliseconds();
        const RecordedRun::Sample s = loaded.At(t);
        const auto gap = loaded.GapS(t + 0.5, s.distanceM);
        playMs.push_back(ThreadMilliseconds() - start);
        checksum += s.positionM.x + (gap ? *gap : 0.0);
    }

    // Report
    const vmath::vec3<float> end = car.body->GetPosition();
    std::printf("Runs: 2 of %.0f s, %zu samples each at %d a second, %.0f m driven, ended at (%.0f, %.0f, %.1f)\n",
                seconds, run.GetSampleCount(), run.GetSampleRateHz(), distanceM, end.x, end.y, end.z);
    PrintSeries("Recording per frame, first run (new pages), processor time", recordMs[0], 4, {0.01, 0.05});
    PrintSeries("Recording per frame, next run, processor time", recordMs[1], 4, {0.01, 0.05});
    double clockMs = ThreadMilliseconds();
    for (int i = 0; i < 1000; ++i) ThreadMilliseconds();
    std::printf("(each figure includes one clock read: %.4f ms)\n", (ThreadMilliseconds() - clockMs) / 1000.0);
    const std::size_t sampleBytes = sizeof(RecordedRun::Sample) + sizeof(float);  // and its furthest distance
    std::printf("Samples in memory: %zu bytes each, %.1f MB for the longest run (%zu samples)\n", sampleBytes,
                run.GetMaxSamples() * sampleBytes / 1.0e6, run.GetMaxSamples());
    std::printf("Ghost file: %zu bytes (%.0f kB), written in %.2f ms, read in %.2f ms%s%s\n", bytes.size(),
                bytes.size() / 1024.0, encodeMs, decodeMs, decoded ? "" : ", REFUSED: ", problem.c_str());
    PrintSeries("Playback pose and gap per frame, processor time", playMs, 4, {0.01, 0.05});
    std::printf("(pose sum %.3f)\n", checksum);

    // De-Initialization: the world releases the car and the terrain
    return decoded ? 0 : 1;
}
