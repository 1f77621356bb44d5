// The race as the program runs it, from its own folder on the real data: a
// Time Trial driven by the test driver (tests/vantrel/CentreLineDriver.h) on a
// fixed 1/60 s step, every frame rendered at the window's 1024 × 768. Prints
// the frame time (mean and 95th percentile) split into physics, effect pass,
// HUD and buffer swap, then the effect pass split into its sub-passes and the
// camera's cull traversal, and the peak memory.
// With --quality the race is drawn at that preset (High otherwise); with
// --opponents N it is a Race against N of the game's cars (Medium) instead
// of the Time Trial. With --track KEY (a track folder's name) and --reverse
// the race is on that track and way instead of the game's first.
// With --replay FILE (a ghost file) the car and the camera follow that
// recorded run instead of the driver, with no physics in the loop, so two
// builds draw exactly the same frames; the CRC-32 of the car's and the
// camera's pose at every frame comes with the figures, to show they did.
// With --record FILE the driver wins the Time Trial without drawing and its
// run is written to FILE as a ghost: what bench/GreenValley-NissanSkyline.ghost
// was made with. --frame-times FILE writes each drawn frame's time (ms) to
// FILE, a line each. --players N (2 to 4) shares the screen between N local
// players, the first two at the keyboard (each driven by the test driver on
// its own keys), the others on pads that stand on the grid.
//   xvfb-run -a -s "-screen 0 1280x1024x24" env SDL_VIDEODRIVER=x11 ./RaceBench [frames] [car] [--quality low|medium|high] [--opponents N] [--track KEY] [--reverse] [--replay FILE | --record FILE] [--frame-times FILE] [--players N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include <time.h>
#include <zlib.h>

#include <GL/glew.h>

#include <lumora/Lumora.h>
#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <nodara/Camera.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>
#include <nodara/RootNode.h>
#include <nodara/View.h>

#include "CentreLineDriver.h"
#include "FrameTimer.h"
#include "race/GameEngine.h"
#include "race/GhostRace.h"
#include "race/Replay.h"
#include "race/RaceSetup.h"
#include "input/InputDevice.h"
#include "storage/GhostFile.h"
#include "shell/VantrelApp.h"
#include "platform/AppWindow.h"
#include "platform/ProgramFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

const double Step = 1.0 / 60.0;
// Frames each effect-pass variant is drawn in the sub-pass split; a multiple
// of six, so every cube face is drawn equally often.
const int SplitFrames = 60;

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

/// Peak resident memory so far (MB), from the kernel's high-water mark.
double PeakMemoryMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0.0;
}

struct Summary {
    double meanMs, p95Ms;
};

Summary Summarise(std::vector<double> timesS) {
    if (timesS.empty()) return {0.0, 0.0};
    const double mean = std::accumulate(timesS.begin(), timesS.end(), 0.0) / timesS.size();
    std::sort(timesS.begin(), timesS.end());
    const double p95 = timesS[std::min(timesS.size() - 1, static_cast<std::size_t>(timesS.size() * 0.95))];
    return {mean * 1e3, p95 * 1e3};
}

/// Adds the groups below `model` to `pass` under each of `effects`.
void AddGroups(OglEffectPass& pass, const Model& model, std::initializer_list<OglEffectPass::Effect> effects) {
    const ModelNode* top = model.GetModelNode();
    for (unsigned i = 0; i < top->GetChildCount(); ++i)
        if (GroupNode* group = dynamic_cast<GroupNode*>(top->GetChild(i)))
            for (OglEffectPass::Effect effect : effects) pass.AddGroup(effect, *group);
}

/// The bytes of the file at `path`, at most `limit` of them; false when it
/// cannot be read or is larger.
bool ReadFile(const std::string& path, std::size_t limit, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && bytes.size() <= limit;
}

/// Where the car is drawn: its node, which a replay poses without the body.
vmath::vec3<float> PositionOf(const Car& car) {
    const vmath::mat4<float> m = car.node->GetTransform().GetMatrix();
    return vmath::vec3<float>(m[12], m[13], m[14]);
}

/// The car of the race's pool whose records key is `key`; CarCount for none.
unsigned CarOfKey(const std::string& key) { return static_cast<unsigned>(CarPool::Cars().Find(key)); }

/// The driver's Time Trial, not drawn, until it is over or `frames` have
/// run; its run then goes to `path` as a ghost file.
int Record(GameEngine& race, EventHandler& handler, int frames, unsigned carIndex, const std::string& path) {
    CentreLineDriver driver(race, handler);
    for (int i = 0; i < frames && !race.IsOver(); ++i) {
        if (race.GetCar()->controlsEnabled) driver.Drive();
        race.GetFrameStatistics().cycleTime = Step;
        race.Step();
    }
    if (!race.IsPerfect()) {
        std::printf("RaceBench: the driver did not win the Time Trial in %d frames; nothing recorded\n", frames);
        return 1;
    }
    GhostFile::Info info;
    info.track = race.GetGhostRace()->GetTrackKey();
    info.car = CarPool::Describe(carIndex).GetKey();
    info.trackChecksum = race.GetTrack().road.GetChecksum();
    info.timeMs = race.GetResult().GetTakenMs();
    // Fixed, so the same drive writes the same bytes.
    info.dateS = 0;
    const std::string bytes = GhostFile::Encode(race.GetGhostRace()->GetRun(), info);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (bytes.empty() || !out) {
        std::printf("RaceBench: the run could not be written to \"%s\"\n", path.c_str());
        return 1;
    }
    std::printf("RaceBench: the Time Trial of car %u in %s, %zu samples, written to \"%s\" (%zu bytes)\n", carIndex,
                RaceClock::FormatMs(info.timeMs).c_str(), race.GetGhostRace()->GetRun().GetSampleCount(),
                path.c_str(), bytes.size());
    return 0;
}

double Mean(const std::vector<double>& values) {
    return values.empty() ? 0.0 : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

/// Per-draw wall-clock and process CPU time (the renderer's threads
/// included), each draw drained from the GL queue.
struct DrawTimes {
    std::vector<double> wallS, cpuS;
    template <typename Draw>
    void Time(Draw draw) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = CpuSeconds();
        draw();
        glFinish();
        wallS.push_back(Seconds(start, Clock::now()));
        cpuS.push_back(CpuSeconds() - cpuStart);
    }
};

}  // namespace

int main(int argc, char** argv) {
    CommandLine::Choices choices;
    std::vector<const char*> numbers;
    unsigned opponents = 0;
    std::string replayFile, recordFile, trackKey, frameTimesFile;
    unsigned players = 1;
    TrackDescription::Direction direction = TrackDescription::Direction::Forward;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--quality" && i + 1 < argc)
            choices.quality = QualityPreset::FromKey(argv[++i]);
        else if (std::string(argv[i]) == "--opponents" && i + 1 < argc)
            opponents = static_cast<unsigned>(std::max(0, std::atoi(argv[++i])));
        else if (std::string(argv[i]) == "--track" && i + 1 < argc)
            trackKey = argv[++i];
        else if (std::string(argv[i]) == "--reverse")
            direction = TrackDescription::Direction::Reverse;
        else if (std::string(argv[i]) == "--replay" && i + 1 < argc)
            replayFile = argv[++i];
        else if (std::string(argv[i]) == "--record" && i + 1 < argc)
            recordFile = argv[++i];
        else if (std::string(argv[i]) == "--frame-times" && i + 1 < argc)
            frameTimesFile = std::filesystem::absolute(argv[++i]).string();
        else if (std::string(argv[i]) == "--players" && i + 1 < argc)
            players = static_cast<unsigned>(std::clamp(std::atoi(argv[++i]), 1, 4));
        else
            numbers.push_back(argv[i]);
    }
    const int frames = numbers.size() > 0 ? std::max(1, std::atoi(numbers[0])) : 1200;
    unsigned carIndex = numbers.size() > 1 ? static_cast<unsigned>(std::atoi(numbers[1])) : 0;
    if (!choices.quality) choices.quality = QualityPreset::High;

    // Paths given are taken from where the benchmark was started; the cars
    // are read from the program's folder, so the run's car is looked up there.
    if (!replayFile.empty()) replayFile = std::filesystem::absolute(replayFile).string();
    if (!recordFile.empty()) recordFile = std::filesystem::absolute(recordFile).string();
    ChangeToProgramFolder();

    RecordedRun replayRun;
    GhostFile::Info replayInfo;
    if (!replayFile.empty()) {
        std::string bytes, problem;
        if (!ReadFile(replayFile, GhostFile::MaxFileBytes(), bytes) ||
            !GhostFile::Decode(bytes, replayRun, replayInfo, problem)) {
            std::printf("RaceBench: \"%s\" is no usable recorded run%s%s\n", replayFile.c_str(),
                        problem.empty() ? "" : ": ", problem.c_str());
            return 1;
        }
        carIndex = CarOfKey(replayInfo.car);
        if (carIndex >= CarPool::Count()) {
            std::printf("RaceBench: \"%s\" is a run of \"%s\", a car the game does not have\n", replayFile.c_str(),
                        replayInfo.car.c_str());
            return 1;
        }
        opponents = 0;
    }
    if (!recordFile.empty()) opponents = 0;

    VantrelApp& app = VantrelApp::Instance();
    app.Configure(choices);
    FieldSettings field;
    field.opponents = opponents;
    app.SetField(field);
    if ((!trackKey.empty() || direction == TrackDescription::Direction::Reverse) &&
        !app.ChooseTrack(trackKey.empty() ? TrackDescription::OriginalTrack : trackKey, direction)) {
        std::printf("RaceBench: no track \"%s\" with that way in the game's data\n", trackKey.c_str());
        return 1;
    }
    const RaceMode mode = opponents > 0 ? RaceMode::Race : RaceMode::TimeTrial;
    if (!app.Initialize()) {
        std::printf("RaceBench: the race did not start\n");
        return 1;
    }
    if (players > 1) {
        std::vector<RaceSetup::Entrant> seated(players);
        seated[0].device = InputDevice::KeySet(KeyBindings::FirstSet);
        seated[1].device = InputDevice::KeySet(KeyBindings::SecondSet);
        for (unsigned i = 2; i < players; ++i) seated[i].device = InputDevice::PadSlot(static_cast<int>(i) - 2);
        for (RaceSetup::Entrant& entrant : seated) entrant.carIndex = carIndex;
        app.SetLocalPlayers(seated);
    }
    // What Return in the show room waits for: track, cars, field, ghost.
    const Clock::time_point startAsked = Clock::now();
    if (!app.StartRace(carIndex, mode)) {
        std::printf("RaceBench: the race did not start\n");
        return 1;
    }
    const double readyS = Seconds(startAsked, Clock::now());
    GameEngine& race = *dynamic_cast<GameEngine*>(app.GetRace());
    EventHandler& handler = app.GetEventHandler();
    if (!recordFile.empty()) {
        const int status = Record(race, handler, frames, carIndex, recordFile);
        app.OnQuit(handler);
        return status;
    }
    if (!replayFile.empty()) {
        if (replayInfo.trackChecksum != race.GetTrack().road.GetChecksum()) {
            std::printf("RaceBench: \"%s\" was recorded on other geometry than this track's\n", replayFile.c_str());
            return 1;
        }
        if (!race.Watch(replayRun)) {
            std::printf("RaceBench: \"%s\" has too few samples to play\n", replayFile.c_str());
            return 1;
        }
    }
    CentreLineDriver driver(race, handler);
    // The second player at the keyboard drives too; the pads' players stand.
    std::unique_ptr<CentreLineDriver> second;
    if (race.GetPlayerCount() > 1) second = std::make_unique<CentreLineDriver>(race, handler, 1);
    // The pose of every frame: the car's node and the camera, as drawn.
    uLong poses = crc32_z(0L, Z_NULL, 0);

    // The race frame of the program in its parts, each drained from the GL
    // queue before the next starts so the time lands on the step that caused
    // it. The step is fixed, as in the race tests, so the drive is the same
    // on any machine however slow its frames.
    std::vector<double> frameS, physicsS, passS, hudS, swapS;
    const double processCpuStart = CpuSeconds(), mainCpuStart = ThreadCpuSeconds();
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point t0 = Clock::now();
        if (race.GetCar()->controlsEnabled && !race.GetReplay()) driver.Drive();
        if (second && race.GetCar(1)->controlsEnabled) second->Drive();
        race.GetFrameStatistics().cycleTime = Step;
        race.Step();
        const Clock::time_point t1 = Clock::now();
        const View& view = race.GetEngine().GetCamera().GetView();
        poses = crc32_z(poses, reinterpret_cast<const Bytef*>(race.GetCar()->node->GetTransform().GetMatrix().ptr()),
                        16 * sizeof(float));
        for (const vmath::vec3<double>* point : {&view.GetEye(), &view.GetCenter()})
            poses = crc32_z(poses, reinterpret_cast<const Bytef*>(point->ptr()), 3 * sizeof(double));
        race.RenderScene();
        glFinish();
        const Clock::time_point t2 = Clock::now();
        race.DrawHud();
        glFinish();
        const Clock::time_point t3 = Clock::now();
        app.GetWindow()->SwapBuffers();
        const Clock::time_point t4 = Clock::now();
        physicsS.push_back(Seconds(t0, t1));
        passS.push_back(Seconds(t1, t2));
        hudS.push_back(Seconds(t2, t3));
        swapS.push_back(Seconds(t3, t4));
        frameS.push_back(Seconds(t0, t4));
    }
    const double processCpuS = CpuSeconds() - processCpuStart, mainCpuS = ThreadCpuSeconds() - mainCpuStart;
    const double drivePeakMb = PeakMemoryMb();
    if (!frameTimesFile.empty() && !WriteFrameTimes(frameTimesFile, frameS)) return 1;
    const Car& car = *race.GetCar();
    const vmath::vec3<float> position = PositionOf(car);

    // The sub-passes, by difference, where the drive ended: the main view
    // alone (sky fixed function, track and car lit per pixel), then with the
    // environment face, then the game's own pass, which adds the reflections.
    // The face is drawn only for a pass with something to reflect, so the
    // second pass reflects an empty group where the car stands. The extra
    // passes' maps would raise the peak memory, so they come after the drive.
    Lumora& engine = race.GetEngine();
    OglRenderer& renderer = *dynamic_cast<OglRenderer*>(engine.GetRenderer());
    const RootNode& root = engine.GetScene().GetRootNode();
    // The sky dome is the first model the race loads.
    const Model& sky = dynamic_cast<ModelNode*>(root.GetChild(0))->GetModel();
    const Model& track = *race.GetTrack().model;
    const Perspective lightProjection(65.0, 1.0, 100.0, 5000.0);
    OglEffectPass mainView(renderer), withEnvironment(renderer);
    if (!mainView.Initialize(lightProjection) || !withEnvironment.Initialize(lightProjection)) {
        std::printf("RaceBench: the effect passes of the sub-pass split did not initialise\n");
        return 1;
    }
    GroupNode mapCentre;
    mapCentre.GetTransform().SetMatrix(car.node->GetTransform().GetMatrix());
    AddGroups(mainView, sky, {OglEffectPass::Standard});
    AddGroups(mainView, track, {OglEffectPass::PerPixelLighting});
    mainView.AddGroup(OglEffectPass::PerPixelLighting, *car.node);
    AddGroups(withEnvironment, sky, {OglEffectPass::Standard, OglEffectPass::Environment});
    AddGroups(withEnvironment, track, {OglEffectPass::PerPixelLighting, OglEffectPass::Environment});
    withEnvironment.AddGroup(OglEffectPass::PerPixelLighting, *car.node);
    withEnvironment.AddGroup(OglEffectPass::Reflections, mapCentre);
    // The faces draw the coarse copies, as the game's pass does.
    withEnvironment.SetStandInDistance(QualityPreset::For(race.GetQuality()).coarseReflectedBeyondM);
    for (const CoarseCopy& pair : race.GetTrack().coarseCopies) withEnvironment.AddStandIn(*pair.fine, *pair.coarse);
    const Scene& scene = engine.GetScene();
    // Interleaved draw by draw, so the machine's changing load falls on all
    // three alike. Means over whole turns of the environment map: its faces
    // differ in cost, and each pass turns its own.
    DrawTimes mainTimes, environmentTimes, fullTimes, cullTimes;
    // A new map's first frame draws all six faces; then one a frame, as timed.
    withEnvironment.Render(scene);
    for (int i = 0; i < SplitFrames; ++i) {
        mainTimes.Time([&] { mainView.Render(scene); });
        environmentTimes.Time([&] { withEnvironment.Render(scene); });
        fullTimes.Time([&] { engine.RenderScene(); });
    }
    // What one camera cull traversal costs (the race frame runs one to three
    // before its pass, for its draw distance and coarse copies). Last, as it
    // leaves culled flags on the groups.
    for (int i = 0; i < SplitFrames; ++i) cullTimes.Time([&] { engine.CullScene(); });

    const Summary whole = Summarise(frameS);
    char modeName[32];
    if (race.GetReplay())
        std::snprintf(modeName, sizeof modeName, "Time Trial replayed");
    else if (opponents > 0)
        std::snprintf(modeName, sizeof modeName, "Race with %u opponents", opponents);
    else
        std::snprintf(modeName, sizeof modeName, "Time Trial");
    if (players > 1) std::printf("RaceBench: %u players sharing the screen\n", players);
    std::printf("RaceBench: renderer %s, window 1024 x 768, car %u, %s, preset %s\n", glGetString(GL_RENDERER),
                carIndex, modeName, QualityPreset::Name(race.GetQuality()));
    if (const Replay* replay = race.GetReplay())
        std::printf("replay: %d frames of 1/60 s of \"%s\" (%s), ended at %s at (%.0f, %.0f), %.0f km/h\n", frames,
                    replayFile.c_str(), RaceClock::FormatMs(replayInfo.timeMs).c_str(),
                    GameEngine::FormatClock(replay->GetTimeS()).c_str(), position.x, position.y,
                    replay->GetSample().speedMs * 3.6);
    else
        std::printf("drive: %d frames of 1/60 s, ended at checkpoint %u at (%.0f, %.0f), %.0f km/h, clock %s\n",
                    frames, race.GetNextCheckpoint() + 1, position.x, position.y,
                    car.body->GetForwardSpeedMs() * 3.6, GameEngine::FormatClock(race.GetRemainingTime()).c_str());
    // The same in every build and on every machine for a replay; a drive's
    // physics may differ between builds.
    std::printf("poses: CRC-32 %08x of the car's and the camera's pose at each of the %d frames\n", static_cast<unsigned>(poses),
                frames);
    std::printf("frame time: mean %.2f ms (%.1f fps), 95th percentile %.2f ms (target >= 30 fps)\n", whole.meanMs,
                1e3 / whole.meanMs, whole.p95Ms);
    PrintFrameTail(frameS, processCpuS, mainCpuS);
    std::printf("where it goes (GL drained after each step):   mean ms   p95 ms\n");
    const std::pair<const char*, const std::vector<double>*> parts[] = {
        {"physics, controls, camera, checkpoints", &physicsS},
        {"effect pass (the scene)", &passS},
        {"HUD", &hudS},
        {"buffer swap", &swapS}};
    for (const auto& part : parts) {
        const Summary s = Summarise(*part.second);
        std::printf("  %-40s %8.3f %8.3f\n", part.first, s.meanMs, s.p95Ms);
    }
    const double mainMs = Mean(mainTimes.wallS) * 1e3, mainCpuMs = Mean(mainTimes.cpuS) * 1e3;
    const double environmentMs = Mean(environmentTimes.wallS) * 1e3;
    const double environmentCpuMs = Mean(environmentTimes.cpuS) * 1e3;
    const double fullMs = Mean(fullTimes.wallS) * 1e3, fullCpuMs = Mean(fullTimes.cpuS) * 1e3;
    std::printf("effect pass by sub-pass, where the drive ended (means of %d interleaved draws):\n", SplitFrames);
    std::printf("                                                wall ms   cpu ms\n");
    std::printf("  main view (sky, track and car lit per pixel) %8.3f %8.3f\n", mainMs, mainCpuMs);
    std::printf("  environment map face (with its culling)      %8.3f %8.3f\n", environmentMs - mainMs,
                environmentCpuMs - mainCpuMs);
    std::printf("  reflections blended over the car            %8.3f %8.3f\n", fullMs - environmentMs,
                fullCpuMs - environmentCpuMs);
    std::printf("  whole pass                                   %8.3f %8.3f\n", fullMs, fullCpuMs);
    std::printf("camera cull traversal (not part of the race frame): %.3f ms\n", Mean(cullTimes.wallS) * 1e3);
    std::printf("peak memory (resident) over the drive: %.1f MB\n", drivePeakMb);
    std::printf("race ready: %.2f s from the start asked to the first frame\n", readyS);
    app.OnQuit(handler);
    return 0;
}
