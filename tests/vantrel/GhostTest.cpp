// Recorded runs: recording a driven car, playing it back between the
// samples, the gap to a ghost, the ghost file and the damaged files it
// refuses, and the ghost car posed from a recording.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <zlib.h>

#include <nodara/GroupNode.h>

#include "FileText.h"
#include "cars/Car.h"
#include "drivers/GhostDriver.h"
#include "physics/PhysicsTestSupport.h"
#include "replay/RecordedRun.h"
#include "race/RunRecorder.h"
#include "storage/GhostFile.h"
#include "storage/UserFolders.h"
#include "track/RoadCentreLine.h"

namespace fs = std::filesystem;
using namespace physics_test;
using vec3f = vmath::vec3<float>;

namespace {

constexpr float DegToRad = 0.017453292f;

/// What the logger writes to standard output meanwhile.
class CapturedOutput {
public:
    CapturedOutput() : previous(std::cout.rdbuf(text.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(previous); }
    std::string Text() const { return text.str(); }
    int WarnLines(const char* logger) const { return Count(text.str(), std::string("[Warn] ") + logger + " - "); }

private:
    std::ostringstream text;
    std::streambuf* previous;
};

/// The chassis as the body had it at the end of one frame.
struct Truth {
    double timeS;
    float matrixGL[16];
    double spinRad[RecordedRun::WheelCount];  ///< summed as Car::UpdateNodes turns the wheel nodes
};

vmath::quat<float> OrientationOf(const float matrixGL[16]) { return RecordedRun::OrientationOfGL(matrixGL); }

vec3f PositionOf(const float matrixGL[16]) { return vec3f(matrixGL[12], matrixGL[13], matrixGL[14]); }

/// Rolling ground, so the car pitches and rolls as well as turning.
const MeshData& Hills() {
    static const MeshData hills =
        MakeGrid(-800, -800, 800, 800, 10,
                 [](float x, float y) { return 2.0f * std::sin(x / 40.0f) * std::cos(y / 55.0f); });
    return hills;
}

/// A straight strip: the distance along the road is how far the car went up y.
const MeshData& Strip() {
    static const MeshData strip = MakeGrid(-20, -1000, 20, 1000, 20);
    return strip;
}

/// The ghost car of the tests: nodes with rest transforms of their own,
/// as a loaded model has them, and no body.
struct GhostCar {
    GroupNode node;
    GroupNode wheelNodes[4];
    GroupNode steeringNodes[2];
    Car car;

    GhostCar() {
        car.node = &node;
        const float hubs[4][2] = {{0.8f, 1.3f}, {-0.8f, 1.3f}, {0.8f, -1.2f}, {-0.8f, -1.2f}};
        for (int i = 0; i < 4; ++i) {
            wheelNodes[i].GetTransform().SetMatrix(
                vmath::transpose(vmath::translation(hubs[i][0], hubs[i][1], -0.3f)));
            car.wheels.push_back(&wheelNodes[i]);
        }
        for (int i = 0; i < 2; ++i) {
            steeringNodes[i].GetTransform().SetMatrix(
                vmath::transpose(vmath::translation(hubs[i][0], hubs[i][1], 0.0f)));
            car.steeringNodes.push_back(&steeringNodes[i]);
        }
    }
};

/// A run of `steps` samples at 50 a second, made by `fill` from each
/// sample's index, without a car.
RecordedRun ScriptedRun(std::size_t steps, const std::function<void(std::size_t, RecordedRun::Sample&)>& fill) {
    RecordedRun run;
    for (std::size_t k = 0; k < steps; ++k) {
        RecordedRun::Sample s;
        fill(k, s);
        EXPECT_TRUE(run.Append(s));
    }
    return run;
}

/// Two OpenGL-order frames within 5 cm and 1 degree of each other.
void ExpectSameFrame(const float a[16], const float b[16], const std::string& where) {
    EXPECT_LT(Distance(PositionOf(a), PositionOf(b)), 0.05f) << where;
    EXPECT_LT(vmath::angle(OrientationOf(a), OrientationOf(b)) / DegToRad, 1.0f) << where;
}

/// A temporary data folder as $XDG_DATA_HOME; the environment is put back afterwards.
class GhostFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vantrel-ghosts-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        if (const char* value = std::getenv("XDG_DATA_HOME")) saved = value;
        setenv("XDG_DATA_HOME", root.c_str(), 1);
        folder = root / "vantrel" / GhostFile::FolderName;
    }
    void TearDown() override {
        saved ? setenv("XDG_DATA_HOME", saved->c_str(), 1) : unsetenv("XDG_DATA_HOME");
        fs::remove_all(root);
    }

    /// The files of the ghosts' folder but the lock.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.path().extension() != ".lock") names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<std::string> saved;
    fs::path root;
    fs::path folder;
};

/// A weaving, braking run over a road along y, `seconds` long: distance = y.
RecordedRun WeavingRun(double seconds, float phase = 0.0f) {
    return ScriptedRun(static_cast<std::size_t>(seconds * 50) + 1, [phase](std::size_t k, RecordedRun::Sample& s) {
        const float t = static_cast<float>(k) / 50.0f;
        s.positionM = vec3f(5.0f * std::sin(t + phase), 30.0f * t, 1.0f + 0.1f * std::sin(3.0f * t));
        const float heading = 0.3f * std::cos(t + phase);
        s.orientation = vmath::quat<float>(0.0f, 0.0f, std::sin(heading / 2), std::cos(heading / 2));
        s.distanceM = 30.0f * t;
        s.speedMs = 30.0f;
        s.engineRpm = 3000.0f + 1000.0f * std::sin(t);
        s.steering = std::sin(t + phase);
        s.throttle = 0.5f + 0.5f * std::cos(t);
        s.brake = 0.5f - 0.5f * std::cos(t);
        s.gear = 1 + static_cast<int>(t / 30.0f) % 6;
        for (int i = 0; i < 4; ++i) {
            s.wheelSpinRad[i] = 100.0f * t + 0.01f * i;
            s.wheelSteerRad[i] = i < 2 ? 0.5f * s.steering : 0.0f;
        }
    });
}

}  // namespace

TEST(RecordedRunTest, PlaybackFollowsADrivenCarBetweenItsSamples) {
    // A car weaving over hills at full throttle: every frame's body pose is
    // kept beside the recording. The frames (60 a second) fall between the
    // samples (50 a second), so each is checked against a blend.
    Drive drive(Hills(), 0, MatrixGL::CarStart(0.0f, -600.0f, 1.5f));
    drive.Run(1.0f, 0, 0, 1, true);
    Car car;
    car.body = drive.car;
    GhostCar live;  // turned by the body, as the race turns the player's car
    live.car.body = drive.car;
    RunRecorder recorder;
    recorder.Start(car, drive.car->GetPosition().y);
    std::vector<Truth> truths;
    Truth truth{};
    drive.car->GetMatrixGL(truth.matrixGL);
    truths.push_back(truth);
    float steering = 0.0f;
    double timeS = 0.0;
    for (int second = 0; second < 16; ++second) {
        steering = 0.6f * std::sin(second * 1.3f);
        car.steering = steering;
        car.throttle = second % 5 == 4 ? 0.0f : 1.0f;
        car.brake = 1.0f - car.throttle;
        drive.Run(1.0f, car.steering, car.throttle, car.brake, false, [&](float) {
            timeS += Drive::FrameS;
            for (int i = 0; i < 4; ++i)
                truth.spinRad[i] += drive.car->GetWheelAngularSpeedRadS(i) * double(Drive::FrameS);
            truth.timeS = timeS;
            drive.car->GetMatrixGL(truth.matrixGL);
            truths.push_back(truth);
            recorder.Record(car, drive.car->GetPosition().y, Drive::FrameS);
            live.car.UpdateNodes(Drive::FrameS);
            return true;
        });
    }
    recorder.Stop();
    const RecordedRun& run = recorder.GetRun();
    ASSERT_TRUE(recorder.GetRun().GetSampleCount() > 0);
    EXPECT_EQ(run.GetSampleCount(), static_cast<std::size_t>(std::floor(timeS * 50.0 + 1e-6)) + 1);
    EXPECT_GT(run.GetSample(run.GetSampleCount() - 1).speedMs, 20.0f);  // it did go somewhere

    // The same through the ghost file, quantised and read back.
    std::string problem;
    RecordedRun loaded;
    GhostFile::Info info;
    ASSERT_TRUE(GhostFile::Decode(GhostFile::Encode(run, {"Hills", "Car0", 7, 16000, 0}), loaded, info, problem))
        << problem;

    GhostCar ghost;
    GhostDriver driver(loaded, ghost.car);
    for (const Truth& t : truths) {
        const std::string where = "at " + std::to_string(t.timeS) + " s";
        for (const RecordedRun* played : {&run, static_cast<const RecordedRun*>(&loaded)}) {
            const vmath::mat4<float> matrix = RecordedRun::MatrixGL(played->At(t.timeS));
            ExpectSameFrame(matrix.ptr(), t.matrixGL, where);
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(played->At(t.timeS).wheelSpinRad[i], t.spinRad[i], 0.05) << where << ", wheel " << i;
        }
        // The ghost car's nodes: the chassis where the body was, and each
        // wheel turned as far as the live car's own wheel nodes were.
        driver.PoseAt(ghost.car, t.timeS);
        ExpectSameFrame(ghost.node.GetTransform().GetMatrix().ptr(), t.matrixGL, where);
    }
    const double endS = truths.back().timeS;
    driver.PoseAt(ghost.car, endS);
    for (int i = 0; i < 4; ++i) {
        const vmath::mat4<float>& mine = ghost.wheelNodes[i].GetTransform().GetMatrix();
        const vmath::mat4<float>& theirs = live.wheelNodes[i].GetTransform().GetMatrix();
        for (int e = 0; e < 16; ++e) EXPECT_NEAR(mine[e], theirs[e], 0.02f) << "wheel " << i << ", element " << e;
    }
    // The controls and the dials' values come from the recording.
    EXPECT_EQ(ghost.car.steering, driver.GetSample().steering);
    EXPECT_NEAR(driver.GetSample().steering, steering, 1e-3f);
    EXPECT_NEAR(driver.GetSample().engineRpm, drive.car->GetEngineRpm(), 50.0f);
    EXPECT_EQ(driver.GetSample().gear, drive.car->GetCurrentGear());
}

TEST(RecordedRunTest, GapAndSplitsAgainstARunDrivenHalfASecondLater) {
    // Two cars on the same strip from the same start, one kept on the brake
    // half a second longer: every distance it reaches half a second later.
    const auto drive = [](float waitS) {
        Drive d(Strip(), 0, MatrixGL::CarStart(0.0f, -950.0f, 0.72f));
        d.Run(1.0f, 0, 0, 1, true);
        Car car;
        car.body = d.car;
        RunRecorder recorder;
        const float startY = d.car->GetPosition().y;
        recorder.Start(car, 0.0);
        const auto record = [&](float) {
            recorder.Record(car, d.car->GetPosition().y - startY, Drive::FrameS);
            return true;
        };
        car.brake = 1.0f;
        d.Run(waitS, 0, 0, 1, true, record);
        car.brake = 0.0f;
        car.throttle = 1.0f;
        d.Run(20.0f - waitS, 0, 1, 0, false, record);
        return recorder.GetRun();
    };
    const RecordedRun best = drive(0.5f);
    const RecordedRun later = drive(1.0f);
    ASSERT_GT(later.GetSample(later.GetSampleCount() - 1).distanceM, 400.0f);

    // The later car's live gap to the best run, and the best car's to the later one.
    for (double nowS = 3.0; nowS < 19.0; nowS += 1.7) {
        const std::optional<double> behind = best.GapS(nowS, later.At(nowS).distanceM);
        ASSERT_TRUE(behind);
        EXPECT_NEAR(*behind, 0.5, 0.02) << nowS;
        const std::optional<double> ahead = later.GapS(nowS, best.At(nowS).distanceM);
        ASSERT_TRUE(ahead) << nowS;
        EXPECT_NEAR(*ahead, -0.5, 0.02) << nowS;
    }
    // Splits at the checkpoints; none where the run never got to.
    const std::vector<double> checkpoints = {50.0, 200.0, 400.0, 1.0e5};
    const std::vector<std::optional<double>> bestTimes = best.CheckpointTimes(checkpoints);
    const std::vector<std::optional<double>> laterTimes = later.CheckpointTimes(checkpoints);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(bestTimes[i] && laterTimes[i]) << i;
        EXPECT_NEAR(*laterTimes[i] - *bestTimes[i], 0.5, 0.02) << checkpoints[i];
    }
    EXPECT_FALSE(bestTimes[3]);
    EXPECT_FALSE(best.GapS(10.0, 1.0e5));
}

TEST(RecordedRunTest, TimeAtDistanceCountsTheFirstPassOnly) {
    // Forward 10 m a sample to 50 m, back to 20 m, forward again to 90 m.
    const float distances[] = {-5, 0, 10, 20, 30, 40, 50, 40, 30, 20, 30, 40, 50, 60, 70, 80, 90};
    const RecordedRun run = ScriptedRun(std::size(distances), [&](std::size_t k, RecordedRun::Sample& s) {
        s.distanceM = distances[k];
    });
    const double sampleS = 1.0 / 50.0;
    const struct {
        double distanceM;
        std::optional<double> samples;  ///< expected time, in samples
    } rows[] = {
        {-10.0, 0.0},  // behind the start: reached from the first moment
        {-5.0, 0.0},
        {5.0, 1.5},    // halfway from sample 1 to 2
        {35.0, 4.5},   // passed once going forwards; the way back does not count
        {50.0, 6.0},
        {55.0, 12.5},  // only beyond 50 m does the second pass count
        {90.0, 16.0},
        {90.5, std::nullopt},  // never got there
    };
    for (const auto& row : rows) {
        const std::optional<double> time = run.TimeAtDistance(row.distanceM);
        ASSERT_EQ(time.has_value(), row.samples.has_value()) << row.distanceM;
        if (time) {
            EXPECT_NEAR(*time, *row.samples * sampleS, 1e-9) << row.distanceM;
        }
    }
    EXPECT_FALSE(RecordedRun().TimeAtDistance(0.0));
    EXPECT_FALSE(run.TimeAtDistance(std::nan("")));
}

TEST(RunRecorderTest, StopsAtThirtyMinutesWithOneWarning) {
    CapturedOutput output;
    Drive drive(Strip(), 1, MatrixGL::CarStart(0.0f, 0.0f, 0.72f));
    Car car;
    car.body = drive.car;
    RunRecorder recorder;
    recorder.Start(car, 0.0);
    // Tenths of a second, the car standing: 30 minutes is 18,000 of them.
    int frames = 0;
    for (; frames < 18000 && recorder.IsRecording(); ++frames) recorder.Record(car, 0.0, 0.1f);
    EXPECT_TRUE(recorder.IsRecording());
    EXPECT_EQ(recorder.GetRun().GetSampleCount(), 90001u);
    EXPECT_EQ(output.WarnLines("RunRecorder"), 0);
    for (int more = 0; more < 100; ++more) recorder.Record(car, 0.0, 0.1f);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(recorder.GetRun().GetSampleCount(), 90001u);
    EXPECT_DOUBLE_EQ(recorder.GetRun().GetDurationS(), 1800.0);
    EXPECT_EQ(output.WarnLines("RunRecorder"), 1) << output.Text();
    // A run of the longest length still fits a ghost file.
    const std::string bytes = GhostFile::Encode(recorder.GetRun(), {"Strip", "Car1", 1, 1800000, 0});
    EXPECT_LE(bytes.size(), GhostFile::MaxFileBytes());
    RecordedRun loaded;
    GhostFile::Info info;
    std::string problem;
    EXPECT_TRUE(GhostFile::Decode(bytes, loaded, info, problem)) << problem;
    EXPECT_EQ(loaded.GetSampleCount(), 90001u);

    // A car without a body records nothing; a new start drops the last run.
    recorder.Start(Car(), 0.0);
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_TRUE(recorder.GetRun().IsEmpty());
}

TEST(GhostDriverTest, TurnsEachWheelAboutItsOwnHubAndStopsAtTheRunsEnd) {
    const RecordedRun run = WeavingRun(4.0);
    GhostCar ghost;
    GhostDriver driver(run, ghost.car);
    const float frame = 1.0f / 60.0f;
    for (int i = 0; i < 100; ++i) driver.Drive(ghost.car, frame);
    const double t = 100 * frame;
    const RecordedRun::Sample s = run.At(t);
    const vmath::mat4<float> rest = vmath::transpose(vmath::translation(0.8f, 1.3f, -0.3f));
    const vmath::mat4<float>& wheel = ghost.wheelNodes[0].GetTransform().GetMatrix();
    // The hub stays where it was; the axle (x) stays; forward (y) rolls
    // down at the front as the wheel rolls forward, by the recorded spin.
    for (int e = 12; e < 15; ++e) EXPECT_NEAR(wheel[e], rest[e], 1e-5f);
    EXPECT_NEAR(wheel[0], 1.0f, 1e-5f);
    const float spin = s.wheelSpinRad[0];
    EXPECT_NEAR(wheel[4], 0.0f, 1e-5f);
    EXPECT_NEAR(wheel[5], std::cos(spin), 1e-3f);
    EXPECT_NEAR(wheel[6], -std::sin(spin), 1e-3f);
    // A front steering node turns about its upright to the left for a positive angle.
    const vmath::mat4<float>& steer = ghost.steeringNodes[1].GetTransform().GetMatrix();
    EXPECT_NEAR(steer[0], std::cos(s.wheelSteerRad[1]), 1e-4f);
    EXPECT_NEAR(steer[1], std::sin(s.wheelSteerRad[1]), 1e-4f);
    EXPECT_NEAR(steer[12], -0.8f, 1e-6f);
    EXPECT_EQ(ghost.car.throttle, s.throttle);
    EXPECT_FALSE(driver.IsFinished());
    // Past the end the ghost stays on the last sample.
    driver.Drive(ghost.car, 10.0f);
    EXPECT_TRUE(driver.IsFinished());
    EXPECT_DOUBLE_EQ(driver.GetTimeS(), 4.0);
    EXPECT_EQ(driver.GetSample().positionM.y, run.GetSample(run.GetSampleCount() - 1).positionM.y);
    EXPECT_EQ(ghost.node.GetTransform().GetMatrix()[13], driver.GetSample().positionM.y);
}

TEST(CentreLineChecksumTest, TellsGeometryApartToTheMillimetre) {
    const auto checksum = [](const std::string& text) {
        RoadCentreLine line;
        std::istringstream in(text);
        EXPECT_TRUE(line.Parse(in, "test"));
        return line.GetChecksum();
    };
    const std::uint32_t square = checksum("vantrel-road 1 4\n0 0\n100 0\n100 100\n0 100\n");
    EXPECT_EQ(square, checksum("vantrel-road 1 4\n0.0000 0\n100 0.0001\n100 100\n0 100\n"));  // under 1 mm
    EXPECT_NE(square, checksum("vantrel-road 1 4\n0 0\n100 0\n100 100.002\n0 100\n"));
    EXPECT_NE(square, checksum("vantrel-road 1 4\n100 0\n100 100\n0 100\n0 0\n"));  // another start line
    EXPECT_EQ(RoadCentreLine().GetChecksum(), 0u);
}

TEST_F(GhostFileTest, KeepsTheRunAcrossSavesWithThePreviousFileAsBackup) {
    CapturedOutput output;
    // Three minutes at 50 samples a second.
    const RecordedRun first = WeavingRun(180.0);
    GhostFile file("GreenValley", "NissanSkyline");
    EXPECT_EQ(file.GetPath(), (folder / "GreenValley-NissanSkyline.ghost").string());
    RecordedRun loaded;
    GhostFile::Info info;
    EXPECT_FALSE(file.Load(0x1234u, loaded, info));  // none yet, silently
    ASSERT_TRUE(file.Save(first, 0x1234u, 180000, 1700000000));
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_LT(fs::file_size(file.GetPath()), 512u * 1024u);

    ASSERT_TRUE(GhostFile("GreenValley", "NissanSkyline").Load(0x1234u, loaded, info));
    EXPECT_EQ(info.track, "GreenValley");
    EXPECT_EQ(info.car, "NissanSkyline");
    EXPECT_EQ(info.timeMs, 180000u);
    EXPECT_EQ(info.dateS, 1700000000);
    ASSERT_EQ(loaded.GetSampleCount(), first.GetSampleCount());
    EXPECT_EQ(loaded.GetSampleRateHz(), 50);
    // Every value within its quantisation step, the wheels' spin without drift.
    for (std::size_t k = 0; k < first.GetSampleCount(); k += 7) {
        const RecordedRun::Sample& a = first.GetSample(k);
        const RecordedRun::Sample& b = loaded.GetSample(k);
        EXPECT_EQ(a.positionM.x, b.positionM.x);
        EXPECT_EQ(a.distanceM, b.distanceM);
        EXPECT_LT(vmath::angle(a.orientation, b.orientation), 1e-4f) << k;
        EXPECT_NEAR(a.speedMs, b.speedMs, 0.005f);
        EXPECT_NEAR(a.engineRpm, b.engineRpm, 0.5f);
        EXPECT_NEAR(a.steering, b.steering, 1e-4f);
        EXPECT_NEAR(a.throttle, b.throttle, 1e-4f);
        EXPECT_NEAR(a.brake, b.brake, 1e-4f);
        EXPECT_EQ(a.gear, b.gear);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(a.wheelSpinRad[i], b.wheelSpinRad[i], 0.002f) << k;
            EXPECT_NEAR(a.wheelSteerRad[i], b.wheelSteerRad[i], 1e-4f);
        }
    }

    // A faster run replaces it; the file it replaces is the backup.
    const std::string firstBytes = ReadFile(file.GetPath());
    ASSERT_TRUE(file.Save(WeavingRun(170.0, 1.0f), 0x1234u, 170000, 1700000100));
    EXPECT_EQ(ReadFile(file.GetPath() + ".bak"), firstBytes);
    // A slower one, say from another copy of the game, leaves the faster be.
    const std::string secondBytes = ReadFile(file.GetPath());
    EXPECT_FALSE(file.Save(first, 0x1234u, 180000, 1700000200));
    EXPECT_EQ(ReadFile(file.GetPath()), secondBytes);
    // Unless the faster was driven on other geometry.
    EXPECT_TRUE(file.Save(first, 0x5678u, 180000, 1700000300));
    EXPECT_EQ(ReadFile(file.GetPath() + ".bak"), secondBytes);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"GreenValley-NissanSkyline.ghost", "GreenValley-NissanSkyline.ghost.bak"}));

    // Keys that cannot name a file, and runs that cannot be a ghost.
    for (const char* key : {"", "../x", "a--b", "-a", "a-", "a b"}) EXPECT_EQ(GhostFile(key, "Car").GetPath(), "") << key;
    // A track driven in reverse has a dash in its key; a car never does, so the last dash parts them.
    EXPECT_EQ(fs::path(GhostFile(folder.string(), "a-b", "Car").GetPath()).filename(), "a-b-Car.ghost");
    EXPECT_EQ(GhostFile(folder.string(), "a", "b-Car").GetPath(), "");
    EXPECT_FALSE(file.Save(RecordedRun(), 0x5678u, 1000, 0));
    EXPECT_EQ(output.WarnLines("GhostFile"), 1) << output.Text();
}

TEST_F(GhostFileTest, SetsADamagedFileAsideWithOneWarningAndGoesOnWithoutAGhost) {
    const RecordedRun run = WeavingRun(10.0);
    const std::uint32_t checksum = 0xC0FFEEu;
    const std::string good = GhostFile::Encode(run, {"GreenValley", "NissanSkyline", checksum, 10000, 1700000000});
    ASSERT_FALSE(good.empty());
    // Offsets in the file: the version, the count, sample 5's x.
    const std::size_t versionAt = 8, countAt = 32;
    const std::size_t sample5At = 36 + 1 + 11 + 1 + 13 + 5 * GhostFile::SampleBytes;
    const auto put32 = [](std::string& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    // A changed byte with the checksum made good again, so the damage is
    // found by its own check and not by the checksum.
    const auto resealed = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        put32(bytes, at, value);
        put32(bytes, bytes.size() - 4,
              static_cast<std::uint32_t>(crc32_z(crc32_z(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                                                 bytes.size() - 4)));
        return bytes;
    };
    std::uint32_t nanBits;
    const float nan = std::nanf("");
    std::memcpy(&nanBits, &nan, 4);

    const struct {
        const char* what;
        std::string bytes;         ///< the file; a FIFO when empty
        std::uint32_t loadedWith;  ///< the centre line's checksum the race has
        const char* problem;       ///< in the Warn line
    } cases[] = {
        {"truncated", good.substr(0, good.size() - 100), checksum, "is truncated"},
        {"cut within the header", good.substr(0, 20), checksum, "shorter than a ghost's header"},
        {"more samples than bytes", resealed(countAt, 501 + 1000), checksum, "is truncated"},
        {"bytes past its size", good + std::string(52, '\0'), checksum, "runs past its stated size"},
        {"a count beyond any run", resealed(countAt, 0xFFFFFFF0u), checksum, "samples, not 2 to 90001"},
        {"another format version", resealed(versionAt, 3), checksum, "has format version 3, not 1 to 2"},
        {"another track's geometry", good, checksum + 1, "another shape of the track"},
        {"a position that is no number", resealed(sample5At, nanBits), checksum, "not a number or beyond"},
        {"one byte changed", [&] { std::string b = good; b[sample5At + 20] ^= 0x10; return b; }(), checksum,
         "is damaged"},
        {"another car's ghost under this name",
         GhostFile::Encode(run, {"GreenValley", "BugattiVeyron", checksum, 10000, 0}), checksum,
         "holds the ghost of BugattiVeyron on GreenValley"},
        {"not a ghost at all", "[NissanSkyline]\nbest_ms = 1\n", checksum, "is not a ghost file"},
        {"a FIFO", "", checksum, "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::create_directories(folder);
        GhostFile file("GreenValley", "NissanSkyline");
        if (c.bytes.empty())
            ASSERT_EQ(mkfifo(file.GetPath().c_str(), 0600), 0);
        else
            WriteFile(file.GetPath(), c.bytes);
        CapturedOutput output;
        RecordedRun loaded;
        GhostFile::Info info;
        EXPECT_FALSE(file.Load(c.loadedWith, loaded, info));
        EXPECT_TRUE(loaded.IsEmpty());
        EXPECT_EQ(output.WarnLines("GhostFile"), 1) << output.Text();
        EXPECT_NE(output.Text().find(c.problem), std::string::npos) << output.Text();
        EXPECT_NE(output.Text().find("racing without a ghost"), std::string::npos) << output.Text();
        // Renamed aside as it was, nothing in its place.
        const std::vector<std::string> files = Files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].rfind("GreenValley-NissanSkyline.ghost.corrupt-", 0), 0u) << files[0];
        if (!c.bytes.empty()) {
            EXPECT_EQ(ReadFile(folder / files[0]), c.bytes);
        }
        // The next best run is saved under the name, and loads.
        EXPECT_TRUE(file.Save(run, c.loadedWith, 9000, 1700000000));
        EXPECT_TRUE(file.Load(c.loadedWith, loaded, info));
        EXPECT_EQ(loaded.GetSampleCount(), run.GetSampleCount());
        EXPECT_EQ(output.WarnLines("GhostFile"), 1) << output.Text();
    }
}

TEST_F(GhostFileTest, KeepsTheDriversInputsExactlyAndStillReadsAFileWithoutThem) {
    // Keys held, ramps and a recovery, as a run at the keys gives them: the
    // controls come back to the bit, in a few bytes a held key.
    RecordedRun run = WeavingRun(10.0);
    RunInputs inputs;
    for (int tick = 0; tick < 1200; ++tick) {
        RunInputs::Tick t;
        t.held = tick < 30;
        t.throttle = tick < 480 ? 0.0f : std::min(1.0f, (tick - 480) / 120.0f);
        t.steering = tick > 700 && tick < 760 ? -std::nextafter(0.3f, 1.0f) : 0.0f;
        t.brake = tick == 900 ? 1.0f : 0.0f;
        t.recovered = tick == 1000 || tick == 1001;
        ASSERT_TRUE(inputs.Append(t));
    }
    EXPECT_FALSE(inputs.Append({2.0f, 0.0f, 0.0f, false, false})) << "a throttle beyond full";
    EXPECT_FALSE(inputs.Append({std::nanf(""), 0.0f, 0.0f, false, false}));
    EXPECT_LT(inputs.Encode().size(), 1200u) << "a held control costs nothing a tick";
    run.SetInputs(inputs);
    const GhostFile::Info info{"GreenValley", "NissanSkyline", 0xC0FFEEu, 10000, 1700000000};
    const std::string bytes = GhostFile::Encode(run, info);
    RecordedRun loaded;
    GhostFile::Info loadedInfo;
    std::string problem;
    ASSERT_TRUE(GhostFile::Decode(bytes, loaded, loadedInfo, problem)) << problem;
    ASSERT_EQ(loaded.GetInputs().GetTickCount(), inputs.GetTickCount());
    for (std::size_t i = 0; i < inputs.GetTickCount(); ++i)
        ASSERT_TRUE(loaded.GetInputs().GetTick(i) == inputs.GetTick(i)) << "tick " << i;

    // Damaged inputs under a good checksum are refused by their own checks.
    const std::string encoded = inputs.Encode();
    RunInputs read;
    EXPECT_FALSE(read.Decode(encoded.substr(0, encoded.size() - 2), inputs.GetTickCount(), problem));
    EXPECT_FALSE(read.Decode(encoded, 10, problem)) << "more input than its ticks";
    EXPECT_FALSE(read.Decode(std::string("\x00\x40\x04", 3), 5, problem)) << "an unknown kind of change";
    EXPECT_FALSE(read.Decode(std::string("\x00\x01\x00\x00\x80\x7f\x04", 7), 5, problem)) << "an infinite throttle";
    EXPECT_TRUE(read.Decode(std::string("\x00\x01\x00\x00\x80\x3f\x04", 7), 5, problem)) << problem;
    EXPECT_EQ(read.GetTick(4).throttle, 1.0f);
    read.Clear();
    EXPECT_FALSE(read.Decode(std::string(8, '\xff'), 5, problem)) << "a count that never ends";
    EXPECT_TRUE(read.IsEmpty());

    // A file of the first version: no inputs section, version 1.
    const std::size_t samplesEnd = 36 + 1 + 11 + 1 + 13 + run.GetSampleCount() * GhostFile::SampleBytes;
    std::string v1 = bytes.substr(0, samplesEnd);
    v1[8] = 1;
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32_z(crc32_z(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(v1.data()), v1.size()));
    for (int i = 0; i < 4; ++i) v1.push_back(static_cast<char>(crc >> (8 * i)));
    ASSERT_TRUE(GhostFile::Decode(v1, loaded, loadedInfo, problem)) << problem;
    EXPECT_EQ(loaded.GetSampleCount(), run.GetSampleCount());
    EXPECT_TRUE(loaded.GetInputs().IsEmpty());
}
