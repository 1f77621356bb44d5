#include "RunCheck.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "cars/HeadlessCars.h"
#include "drivers/Driver.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "race/CarRecovery.h"
#include "race/FixedTick.h"
#include "race/RunRecorder.h"
#include "race/rules/RaceRules.h"
#include "race/rules/TrialRun.h"
#include "replay/RecordedRun.h"
#include "storage/GhostFile.h"
#include "track/RoadProgress.h"
#include "track/TrackTerrain.h"

namespace {

/// A lone player's Time Trial as the game's rules run it, without records,
/// ghosts or a HUD: the countdown, then the checkpoints against the clock.
class CheckedTrial : public RaceRules {
public:
    explicit CheckedTrial(const std::vector<Track::Checkpoint>& checkpoints) : checkpoints(checkpoints) {}
    void Begin() override {
        RaceRules::Begin();
        trial.Begin(checkpoints);
    }
    void AfterTick(float tickS, const std::vector<Car*>& cars) override {
        if (!IsWorldRunning() || cars.empty() || !cars[0]->body || !(trial.GetRemainingTime() > 0.0)) return;
        if (trial.Test(checkpoints, cars[0]->body->GetPosition(), tickS, IsReleased()) == TrialRun::Passed::Finish)
            finishMs = TrialRun::ToMs(trial.GetTakenS());
    }
    bool IsWorldRunning() const override { return !trial.IsDone(checkpoints.size()); }
    bool IsOver() const override { return trial.IsOver(checkpoints.size()); }
    bool IsOver(std::size_t) const override { return IsOver(); }
    /// The time of a won trial; 0 before.
    std::uint32_t GetFinishMs() const { return finishMs; }

private:
    const std::vector<Track::Checkpoint>& checkpoints;
    TrialRun trial;
    std::uint32_t finishMs = 0;
};

RunCheck::Outcome Refused(RunCheck::Verdict verdict, std::string why) {
    RunCheck::Outcome outcome;
    outcome.verdict = verdict;
    outcome.why = std::move(why);
    return outcome;
}

}  // namespace

RunCheck::Outcome RunCheck::Drive(const TrackDescription& track, TrackDescription::Direction direction,
                                  const TrackTerrain& terrain, const std::string& carKey, const RunInputs& inputs,
                                  RecordedRun& driven) {
    if (inputs.IsEmpty()) return Refused(Verdict::NoInputs, "the run has no inputs to drive again");
    return Run(track, direction, terrain, carKey, inputs.GetTickCount(),
               [&inputs](Car&, std::size_t k) { return inputs.GetTick(k); }, driven);
}

RunCheck::Outcome RunCheck::Record(const TrackDescription& track, TrackDescription::Direction direction,
                                   const TrackTerrain& terrain, const std::string& carKey, Driver& driver,
                                   RecordedRun& driven) {
    const float tickS = static_cast<float>(FixedTick::TickS);
    return Run(track, direction, terrain, carKey, RunInputs::MaxTicks,
               [&driver, tickS](Car& car, std::size_t) {
                   if (car.controlsEnabled) driver.Drive(car, tickS);
                   return RunInputs::Tick{car.throttle, car.brake, car.steering, false, false, false};
               },
               driven);
}

RunCheck::Outcome RunCheck::Run(const TrackDescription& track, TrackDescription::Direction direction,
                                const TrackTerrain& terrain, const std::string& carKey, std::size_t maxTicks,
                                const std::function<RunInputs::Tick(Car&, std::size_t)>& next, RecordedRun& driven) {
    const std::size_t model = CarCatalogue::Cars().Find(carKey);
    if (model >= CarCatalogue::Count()) return Refused(Verdict::UnknownCar, "no car " + carKey);
    const TrackDescription::Way* way = track.FindWay(direction);
    if (!way) return Refused(Verdict::DoesNotDrive, "the track has no such way");
    const RoadCentreLine road = track.RoadFor(direction);

    // The race's world as the game makes it for a Time Trial: the ground,
    // then the one car on its mark. The cars refer to the world: it goes last.
    auto world = std::make_unique<physics::World>();
    if (!terrain.AddTo(*world)) return Refused(Verdict::DoesNotDrive, "the track has no ground");
    HeadlessCars cars(*world);
    Car* car = cars.MakeCar(static_cast<unsigned>(model));
    if (!car || !CarRecovery::PlaceAtStart(*car, *world, *way, 0))
        return Refused(Verdict::DoesNotDrive, "the car cannot be put on the start");
    CheckedTrial rules(way->checkpoints);
    rules.Begin();
    RunRecorder recorder;
    RoadProgress progress;
    RunInputs inputs;
    const std::vector<Car*> seatCars{car};
    const float tickS = static_cast<float>(FixedTick::TickS);

    Outcome outcome;
    for (std::size_t k = 0; k < maxTicks && !outcome.timeMs; ++k) {
        // The order of the game's race tick: the rules' timers, a recovery
        // asked for since the last tick (which the timers do not see), the
        // driver's controls handed to the car, the world.
        outcome.ticks = k + 1;
        rules.BeforeTick(tickS);
        const RunInputs::Tick input = next(*car, k);
        if (input.recovered) {
            if (!car->controlsEnabled || rules.IsOver() || !CarRecovery::Recover(*car, *world, road))
                return Refused(Verdict::DoesNotDrive, "a recovery the race would not allow at tick " + std::to_string(k));
            rules.CarPlaced(0);
        }
        if (!input.idle) {
            car->throttle = input.throttle;
            car->brake = input.brake;
            car->steering = input.steering;
            car->ApplyControls();
        }
        inputs.Append(input);
        car->controlsEnabled = rules.AreControlsEnabled(0);
        if (input.held) continue;
        if (rules.IsWorldRunning()) {
            world->Step(tickS);
            // Recorded as the ghost race records the player's run.
            const vmath::vec3<float> p = car->body->GetPosition();
            if (!rules.IsReleased()) {
                progress.Start(road, p.x, p.y);
                recorder.Start(*car, progress.GetDistanceM());
            } else if (recorder.IsRecording()) {
                if (rules.IsOver()) {
                    recorder.Stop();
                } else {
                    progress.Update(road, p.x, p.y);
                    recorder.Record(*car, progress.GetDistanceM(), tickS);
                }
            }
        }
        rules.AfterTick(tickS, seatCars);
        outcome.timeMs = rules.GetFinishMs();
    }
    if (!outcome.timeMs) return Refused(Verdict::DoesNotDrive, "the inputs do not drive to the finish");
    if (outcome.ticks != maxTicks && maxTicks != RunInputs::MaxTicks)
        return Refused(Verdict::DoesNotDrive, "the inputs go on past the finish");
    driven = recorder.GetRun();
    driven.SetInputs(std::move(inputs));
    outcome.verdict = Verdict::Genuine;
    return outcome;
}

RunCheck::Outcome RunCheck::Check(const TrackDescription& track, TrackDescription::Direction direction,
                                  const TrackTerrain& terrain, const std::string& carKey, const RecordedRun& run,
                                  std::uint32_t timeMs) {
    RecordedRun driven;
    Outcome outcome = Drive(track, direction, terrain, carKey, run.GetInputs(), driven);
    if (outcome.verdict != Verdict::Genuine) return outcome;
    if (driven.GetSampleCount() != run.GetSampleCount() || driven.GetSampleRateHz() != run.GetSampleRateHz())
        return Refused(Verdict::DoesNotDrive, "driven again the run has " + std::to_string(driven.GetSampleCount()) +
                                                  " samples, not " + std::to_string(run.GetSampleCount()));
    for (std::size_t i = 0; i < run.GetSampleCount(); ++i)
        outcome.deviationM = std::max(
            outcome.deviationM, vmath::length(driven.GetSample(i).positionM - run.GetSample(i).positionM));
    // Not a number is no match either.
    if (!(outcome.deviationM <= MaxDeviationM))
        return Refused(Verdict::DoesNotDrive, "driven again the car goes " + std::to_string(outcome.deviationM) +
                                                  " m from the run's path");
    return TimeMatches(outcome, timeMs);
}

RunCheck::Outcome RunCheck::Check(const TrackDescription& track, TrackDescription::Direction direction,
                                  const TrackTerrain& terrain, const std::string& carKey, const RunInputs& inputs,
                                  std::uint32_t timeMs, std::uint32_t samplesCrc, RecordedRun& driven) {
    Outcome outcome = Drive(track, direction, terrain, carKey, inputs, driven);
    if (outcome.verdict != Verdict::Genuine) return outcome;
    if (GhostFile::SamplesCrc(driven) != samplesCrc)
        return Refused(Verdict::DoesNotDrive, "driven again the car takes another path than the run's");
    return TimeMatches(outcome, timeMs);
}

RunCheck::Outcome RunCheck::TimeMatches(Outcome outcome, std::uint32_t timeMs) {
    if (outcome.timeMs != timeMs)
        return Refused(Verdict::DoesNotDrive, "driven again the run takes " + std::to_string(outcome.timeMs) +
                                                  " ms, not " + std::to_string(timeMs));
    return outcome;
}
