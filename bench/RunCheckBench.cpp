/*******************************************************************************
 * RunCheckBench: what the server's check of a leaderboard run costs. One of
 * the game's drivers drives a Time Trial where nothing is drawn, as the game
 * records it; then the run, sent as the server gets it (inputs and the poses'
 * CRC-32, no poses), is driven again by RunCheck as many times, each timed by
 * this thread's processor time and by the wall clock.
 *
 *   bin/RunCheckBench [checks] [track key] [easy|medium|hard] [car index]
 *                     [spread] [line half width (m)]
 *       defaults: 5 checks, GreenValley, easy, car 0, 0.8, 3 m
 *
 * The trial counts a gate passed within TrialRun::CheckpointReach (3 m) of
 * its centre, and the racing line over the whole road's width passes
 * GreenValley's second gate 4 m off: the line is planned within 3 m of the
 * centre. At full pace the trial takes about 2:16 there; an easy driver at
 * 0.8 of its pace (the spread) drives about three minutes.
 *
 * Target: a three-minute run checked in under 5 s of one core.
 ******************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nodara/Logger.h>
#include <nodara/ModelPlugin.h>

#include "SeriesStats.h"
#include "cars/CarCatalogue.h"
#include "drivers/RacingDriver.h"
#include "leaderboard/RunCheck.h"
#include "replay/RecordedRun.h"
#include "storage/GhostFile.h"
#include "track/RacingLine.h"
#include "track/TrackList.h"
#include "track/TrackTerrain.h"

namespace {

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int checks = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 100) : 5;
    const std::string key = argc > 2 ? argv[2] : "GreenValley";
    const std::string skillName = argc > 3 ? argv[3] : "easy";
    const unsigned car = argc > 4 ? static_cast<unsigned>(std::max(0, std::atoi(argv[4]))) : 0;
    const double spread = argc > 5 ? std::atof(argv[5]) : 0.8;
    const double lineHalfWidthM = argc > 6 ? std::atof(argv[6]) : 3.0;
    const RacingDriver::Skill skill = skillName == "easy"     ? RacingDriver::Skill::Easy
                                      : skillName == "medium" ? RacingDriver::Skill::Medium
                                                              : RacingDriver::Skill::Hard;
    Logger::SetProcessLevel(Logger::Warn);

    // The track, its ground through the model plug-in, its racing line.
    const auto forward = TrackDescription::Direction::Forward;
    TrackList tracks;
    tracks.Load();
    const auto choice = tracks.Find(key, forward);
    if (!choice || car >= CarCatalogue::Count()) {
        std::fprintf(stderr, "RunCheckBench: no track %s or car %u (run from bin/)\n", key.c_str(), car);
        return 1;
    }
    const TrackDescription& track = tracks.TrackOf(tracks.GetChoices()[*choice]);
    TrackTerrain terrain;
    {
        ModelPlugin plugin;
        std::string problem;
        if (!plugin.Open(ModelPlugin::DefaultName, problem) || !terrain.Load(plugin, track.GetModelFile(), problem)) {
            std::fprintf(stderr, "RunCheckBench: %s: %s\n", key.c_str(), problem.c_str());
            return 1;
        }
    }
    RacingLine line;
    if (!line.Compute(track.RoadFor(forward), std::min(lineHalfWidthM, track.GetRoadHalfWidthM()))) {
        std::fprintf(stderr, "RunCheckBench: no racing line on %s\n", key.c_str());
        return 1;
    }
    const std::string carKey = CarCatalogue::Describe(car).GetKey();

    // The run, as the game records it.
    RacingDriver driver(line, RacingDriver::CarLimits(car), skill, spread);
    RecordedRun run;
    const double recordStart = ThreadMilliseconds();
    const RunCheck::Outcome recorded = RunCheck::Record(track, forward, terrain, carKey, driver, run);
    const double recordS = (ThreadMilliseconds() - recordStart) / 1e3;
    if (recorded.verdict != RunCheck::Verdict::Genuine) {
        std::fprintf(stderr, "RunCheckBench: the driver did not finish: %s\n", recorded.why.c_str());
        return 1;
    }
    const double runS = recorded.timeMs / 1e3;
    const std::uint32_t samplesCrc = GhostFile::SamplesCrc(run);
    const std::string deflated = GhostFile::EncodeInputs(run.GetInputs());
    std::printf("run: %s, %s, %s driver at %.2f, line within %.1f m: %.3f s of race, %zu ticks, %zu samples "
                "(recorded in %.2f s of one core)\n",
                key.c_str(), carKey.c_str(), skillName.c_str(), spread, std::min(lineHalfWidthM, track.GetRoadHalfWidthM()),
                runS, run.GetInputs().GetTickCount(), run.GetSampleCount(), recordS);
    std::printf("inputs deflated: %zu bytes (%.1f bytes a second of race)\n", deflated.size(), deflated.size() / runS);

    // The server's check of it, `checks` times.
    std::vector<double> cpuMs, wallMs;
    for (int i = 0; i < checks; ++i) {
        RunInputs inputs;
        std::string problem;
        const double cpuStart = ThreadMilliseconds(), wallStart = WallSeconds();
        RecordedRun driven;
        const bool decoded = GhostFile::DecodeInputs(deflated, static_cast<std::uint32_t>(run.GetInputs().GetTickCount()),
                                                     inputs, problem);
        const RunCheck::Outcome checked =
            RunCheck::Check(track, forward, terrain, carKey, inputs, recorded.timeMs, samplesCrc, driven);
        cpuMs.push_back(ThreadMilliseconds() - cpuStart);
        wallMs.push_back((WallSeconds() - wallStart) * 1e3);
        if (!decoded || checked.verdict != RunCheck::Verdict::Genuine) {
            std::fprintf(stderr, "RunCheckBench: check %d refused the run: %s%s\n", i + 1, problem.c_str(),
                         checked.why.c_str());
            return 1;
        }
    }
    PrintSeries("check, processor time of the thread", cpuMs, 1);
    PrintSeries("check, wall time", wallMs, 1);
    std::vector<double> sorted = cpuMs;
    std::sort(sorted.begin(), sorted.end());
    const double medianS = sorted[sorted.size() / 2] / 1e3;
    std::printf("run length / check time: %.1f (median, %d checks, each Genuine)\n", runS / medianS, checks);
    std::printf("a three-minute run: %.2f s of one core at this rate\n", medianS * 180.0 / runS);
    std::printf("target: a three-minute run checked in under 5 s of one core\n");
    return 0;
}
