// The game's drivers on the game's own track, headless on a fixed 1/60 s
// frame: the car limits they plan with, laps by every skill and car beside
// the tests' centre-line driver, cars passing and running side by side, and
// what a driver does about the cars round it. Skipped where the track's data
// or the plug-in is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "cars/Car.h"
#include "cars/CarPool.h"
#include "drivers/Player.h"
#include "drivers/RacingDriver.h"
#include "input/EventHandler.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"
#include "track/RacingLine.h"
#include "track/RoadCentreLine.h"
#include "track/TrackList.h"

#include "physics/GreenValleyTerrain.h"
#include "physics/PhysicsTestSupport.h"

using namespace physics_test;
using Skill = RacingDriver::Skill;

namespace {

const float Frame = 1.0f / 60.0f;
const double RoadHalfWidthM = 5.5;
const double Pi = 3.14159265358979;

/// The tests' centre-line driver (CentreLineDriver.h) without a race round
/// it: the same pursuit of the centre line and the same braking for bends,
/// turned into the arrow keys of a Player, whose ramps move the controls.
class CentreLineKeys : public Driver {
public:
    explicit CentreLineKeys(const RoadCentreLine& road) : road(road) {}

    void Drive(Car& car, float dtS) override {
        if (player.GetCar() != &car) player.SetCar(&car);
        const physics::DynamicObjectCar& body = *car.body;
        const vmath::vec3<float> p = body.GetPosition(), forward = body.GetAxis(1);
        const double speed = body.GetForwardSpeedMs();
        nearest = road.Nearest(p.x, p.y, nearest);
        const double s = road.GetPoint(nearest).s;

        const double ahead = 7.0 + 0.3 * std::max(speed, 0.0);
        const RoadCentreLine::Point target = road.At(s + ahead);
        const double dx = target.x - p.x, dy = target.y - p.y;
        const double along = dx * forward.x + dy * forward.y, left = -dx * forward.y + dy * forward.x;
        const double curvature = 2.0 * left / (along * along + left * left);
        const double wheelbase = 2.2, v2 = std::max(speed * speed, 1.0);
        const double fullLock = std::min(0.55, std::atan(16.0 * wheelbase / v2));
        const double wanted = std::clamp(std::atan(curvature * wheelbase) / fullLock, -1.0, 1.0);

        double limit = 58.0;
        for (double d = 0.0; d < 250.0; d += 5.0) {
            const double k = std::fabs(road.Curvature(s + d));
            const double curveSpeed = std::sqrt(6.5 / std::max(k, 1e-6));
            limit = std::min(limit, std::sqrt(curveSpeed * curveSpeed + 2.0 * 6.0 * d));
        }
        Key(VK_UP, speed < limit - 0.5);
        Key(VK_DOWN, speed > limit + 1.5);
        const float steering = car.steering;
        bool leftKey = false, rightKey = false;
        if (wanted > steering)
            leftKey = !(steering < 0.0f && wanted <= 0.0);
        else if (wanted < steering)
            rightKey = !(steering > 0.0f && wanted >= 0.0);
        Key(VK_LEFT, leftKey);
        Key(VK_RIGHT, rightKey);
        player.Update(dtS);
    }

private:
    void Key(unsigned key, bool down) { player.OnKey(handler, key, down ? 0 : 1); }

    const RoadCentreLine& road;
    EventHandler handler;
    Player player;
    std::size_t nearest = 0;
};

/// Cars on the track, each with its driver, stepped together; each car's
/// progress is measured along the road's centre line, for every driver alike.
class Field {
public:
    struct Racer {
        std::unique_ptr<Drive> drive;
        Car car;
        Driver* driver = nullptr;
        std::size_t nearest = 0;
        double progressM = 0.0;
        double lapS = -1.0;          ///< time of its lap; -1 while it runs
        double slowestMs = 1e9;      ///< after the first five seconds, before its lap ends
        double worstHeadingDeg = 0;  ///< from the road's direction, before its lap ends
        double highestRiseMs = 0.0;  ///< upward speed
        bool finite = true;
    };

    Field(physics::World& world, const RoadCentreLine& road) : world(world), road(road) {}

    /// A car at rest on the ground at (x, y), facing the way the road runs there.
    Racer& Add(unsigned carIndex, float x, float y, Driver& driver) {
        racers.emplace_back(new Racer());
        Racer& racer = *racers.back();
        vmath::vec3<float> ground, normal;
        EXPECT_TRUE(world.FindGround(x, y, ground, normal));
        racer.drive = std::make_unique<Drive>(world, carIndex, MatrixGL::CarStart(x, y, ground.z + 1.0f));
        const vmath::vec2<double> t = road.Tangent(road.Project(x, y));
        const vmath::vec3<float> forward(static_cast<float>(t.x), static_cast<float>(t.y), 0.0f);
        racer.drive->car->PlaceAt(ground, normal, forward);
        racer.car.body = racer.drive->car;
        racer.car.controlsEnabled = true;
        racer.driver = &driver;
        racer.nearest = road.Nearest(x, y, 0);
        return racer;
    }
    /// The cars as the drivers see the field.
    const std::vector<const Car*>& Cars() {
        cars.clear();
        for (const auto& racer : racers) cars.push_back(&racer->car);
        return cars;
    }

    /// Runs until every car has done a lap, or for `limitS` seconds; the
    /// callback, when given, sees the field after every frame.
    void Run(double limitS, const std::function<void()>& afterFrame = nullptr) {
        for (int frame = 0; frame < static_cast<int>(limitS / Frame); ++frame) {
            for (auto& racer : racers) {
                racer->driver->Drive(racer->car, Frame);
                racer->car.ApplyControls();
            }
            world.Step(Frame);
            if (afterFrame) afterFrame();
            const double timeS = (frame + 1) * Frame;
            bool running = false;
            for (auto& racer : racers) Measure(*racer, timeS, running);
            for (std::size_t i = 0; i < racers.size(); ++i)
                for (std::size_t j = 0; j < racers.size(); ++j)
                    if (i != j) closestM = std::min(closestM, Clearance(*racers[i], *racers[j]));
            if (!running) return;
        }
    }

    std::vector<std::unique_ptr<Racer>> racers;
    /// The least room between two cars' boxes, the second seen from the
    /// first (m; 0 or less: they touched).
    double closestM = 1e9;

private:
    void Measure(Racer& racer, double timeS, bool& running) {
        const physics::DynamicObjectCar& body = *racer.car.body;
        const vmath::vec3<float> p = body.GetPosition(), v = body.GetLinearVelocity();
        racer.finite = racer.finite && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
        if (!racer.finite || racer.lapS >= 0.0) return;
        const std::size_t previous = racer.nearest;
        racer.nearest = road.Nearest(p.x, p.y, racer.nearest);
        const double n = static_cast<double>(road.GetPointCount());
        double step = static_cast<double>(racer.nearest) - static_cast<double>(previous);
        if (step < -n / 2) step += n;
        if (step > n / 2) step -= n;
        racer.progressM += step * road.GetLength() / n;
        if (racer.progressM >= road.GetLength()) {
            racer.lapS = timeS;
            return;
        }
        running = true;
        if (timeS > 5.0) racer.slowestMs = std::min<double>(racer.slowestMs, body.GetForwardSpeedMs());
        const vmath::vec2<double> t = road.Tangent(road.GetPoint(racer.nearest).s);
        const vmath::vec3<float> f = body.GetAxis(1);
        const double heading = std::atan2(f.x * t.y - f.y * t.x, f.x * t.x + f.y * t.y);
        racer.worstHeadingDeg = std::max(racer.worstHeadingDeg, std::fabs(heading) * 180.0 / Pi);
        racer.highestRiseMs = std::max<double>(racer.highestRiseMs, v.z);
    }
    static double Clearance(const Racer& a, const Racer& b) {
        const vmath::vec3<float> d = b.car.body->GetPosition() - a.car.body->GetPosition();
        const vmath::vec3<float> forward = a.car.body->GetAxis(1), side = a.car.body->GetAxis(0);
        const double along = std::fabs(d.x * forward.x + d.y * forward.y);
        const double across = std::fabs(d.x * side.x + d.y * side.y);
        return std::max(along - 4.7, across - 2.0);
    }

    physics::World& world;
    const RoadCentreLine& road;
    std::vector<const Car*> cars;
};

/// One world with GreenValley's terrain, its road and racing line, for all cases.
class RacingDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        world = LoadGreenValley(GREEN_VALLEY_TRACK, QUORVEX_PLUGIN_PATH).release();
        road = new RoadCentreLine();
        line = new RacingLine();
        if (!road->Load(GREEN_VALLEY_ROAD) || !line->Compute(*road, RoadHalfWidthM)) {
            delete world;
            world = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete line;
        delete road;
        delete world;
        line = nullptr;
        road = nullptr;
        world = nullptr;
    }
    void SetUp() override {
        if (!world) GTEST_SKIP() << "no track data or plug-in: " << GREEN_VALLEY_TRACK;
    }

    static std::unique_ptr<RacingDriver> MakeDriver(unsigned carIndex, Skill skill, double spread = 1.0) {
        return std::make_unique<RacingDriver>(*line, RacingDriver::CarLimits(carIndex), skill, spread);
    }
    /// The point `lateralM` left of the road's centre at arc length `s`.
    static vmath::vec2<float> Across(double s, double lateralM) {
        const RoadCentreLine::Point c = road->At(s);
        const vmath::vec2<double> t = road->Tangent(s);
        return vmath::vec2<float>(static_cast<float>(c.x - t.y * lateralM), static_cast<float>(c.y + t.x * lateralM));
    }

    static physics::World* world;
    static RoadCentreLine* road;
    static RacingLine* line;
};

physics::World* RacingDriverTest::world = nullptr;
RoadCentreLine* RacingDriverTest::road = nullptr;
RacingLine* RacingDriverTest::line = nullptr;

}  // namespace

TEST(RacingDriverLimits, EachCarsDescribedTopSpeedBrakingAndGripStillHoldOnFlatGround) {
    // A flat strip 24 km long: the cars' grip and brakes, without the road's
    // slopes. What each description says the drivers may plan with
    // ([limits]) is what the physics gives.
    const MeshData flat = MakeGrid(-1000.0f, -12000.0f, 1000.0f, 12000.0f, 500.0f);
    ASSERT_GE(CarPool::Count(), 3u);
    for (unsigned carIndex = 0; carIndex < CarPool::Count(); ++carIndex) {
        SCOPED_TRACE(CarPool::Describe(carIndex).GetKey());
        const CarDescription::Limits& limits = CarPool::Describe(carIndex).GetLimits();
        // Full throttle for a minute, then full brake: from 45 to 15 m/s.
        Drive straight(flat, carIndex, MatrixGL::CarStart(0.0f, -11500.0f, 0.8f));
        straight.Run(1.0f, 0, 0, 1, true);
        straight.Run(60.0f, 0, 1, 0);
        EXPECT_NEAR(straight.car->GetForwardSpeedMs(), limits.topSpeedMs, 0.01 * limits.topSpeedMs);
        float fastS = -1.0f, slowS = -1.0f;
        straight.Run(6.0f, 0, 0, 1, false, [&](float timeS) {
            const float v = straight.car->GetForwardSpeedMs();
            if (fastS < 0.0f && v <= 45.0f) fastS = timeS;
            if (slowS < 0.0f && v <= 15.0f) slowS = timeS;
            return slowS < 0.0f;
        });
        ASSERT_GT(slowS, fastS);
        const double braking = 30.0 / (slowS - fastS);
        EXPECT_GE(braking, limits.brakingMs2 * 0.99);
        EXPECT_LE(braking, limits.brakingMs2 * 1.04);

        // At a steady 28 m/s or so, the steering raised until the car runs wide:
        // the most cornering it gives is speed x yaw rate.
        Drive circle(flat, carIndex, MatrixGL::CarStart(0.0f, -11500.0f, 0.8f));
        circle.Run(1.0f, 0, 0, 1, true);
        float steering = 0.0f, peak = 0.0f;
        vmath::vec3<float> heading = circle.car->GetAxis(1);
        for (int frame = 0; frame < 60 * 30 && steering < 1.0f; ++frame) {
            const float v = circle.car->GetForwardSpeedMs(), error = 28.0f - v;
            if (v > 27.5f || steering > 0.0f) steering = std::max(steering, 0.5f) + Frame / 20.0f;
            circle.Run(Frame, std::min(steering, 1.0f), std::clamp(0.4f + 0.3f * error, 0.0f, 1.0f),
                       error < -1.5f ? 0.3f : 0.0f);
            const vmath::vec3<float> now = circle.car->GetAxis(1);
            const float yawRate = std::atan2(heading.x * now.y - heading.y * now.x,
                                             heading.x * now.x + heading.y * now.y) / Frame;
            heading = now;
            if (steering > 0.0f && std::fabs(error) < 1.5f) peak = std::max(peak, v * yawRate);
        }
        EXPECT_NEAR(peak, limits.lateralGripMs2, 0.02 * limits.lateralGripMs2);
    }
}

TEST_F(RacingDriverTest, EverySkillLapsWithEachCarInOrderAndHardBeatsTheCentreLineDriverOnEveryTrackAndWay) {
    const Skill skills[] = {Skill::Easy, Skill::Medium, Skill::Hard};
    const char* const names[] = {"Easy", "Medium", "Hard"};
    TrackList tracks;
    ASSERT_GT(tracks.Load(), 0u);
    std::ostringstream table;
    table << std::fixed << std::setprecision(1) << "lap (s)  Easy    Medium  Hard    centre line\n";
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        // Each track's own ground, its road driven the chosen way, from its start line.
        const TrackDescription& track = tracks.TrackOf(choice);
        const std::string label = tracks.Label(choice);
        std::unique_ptr<physics::World> ground = LoadGreenValley(track.GetModelFile().c_str(), QUORVEX_PLUGIN_PATH);
        ASSERT_TRUE(ground) << label;
        const RoadCentreLine wayRoad = track.RoadFor(choice.direction);
        RacingLine wayLine;
        ASSERT_TRUE(wayLine.Compute(wayRoad, track.GetRoadHalfWidthM())) << label;
        const TrackDescription::Way& way = *track.FindWay(choice.direction);
        // "Never stopped": 15 m/s, or less where the track's tightest bend
        // holds the centre-line driver (its grip of 6.5 m/s^2) to less.
        double tightest = 1e-6;
        for (double s = 0.0; s < wayRoad.GetLength(); s += 2.0) tightest = std::max(tightest, std::fabs(wayRoad.Curvature(s)));
        const double crawlMs = std::min(15.0, 0.75 * std::sqrt(6.5 / tightest));
        // Per car: Easy, Medium, Hard, centre-line driver. Every car of the
        // game, from its description alone.
        std::vector<std::array<double, 4>> lapS(CarPool::Count());
        for (unsigned carIndex = 0; carIndex < CarPool::Count(); ++carIndex) {
            for (int k = 0; k < 4; ++k) {
                SCOPED_TRACE(testing::Message() << label << ", car " << carIndex << ", "
                                                << (k < 3 ? names[k] : "centre line"));
                std::unique_ptr<Driver> driver;
                if (k < 3)
                    driver = std::make_unique<RacingDriver>(wayLine, RacingDriver::CarLimits(carIndex), skills[k], 1.0);
                else
                    driver = std::make_unique<CentreLineKeys>(wayRoad);
                Field field(*ground, wayRoad);
                field.Add(carIndex, static_cast<float>(way.startX), static_cast<float>(way.startY), *driver);
                // Six minutes at most; the slowest takes about four.
                field.Run(360.0);
                const Field::Racer& racer = *field.racers[0];
                ASSERT_TRUE(racer.finite);
                ASSERT_GT(racer.lapS, 0.0) << "stopped after " << racer.progressM << " m";
                // Never turned round, never stopped, never thrown up by the road.
                EXPECT_LT(racer.worstHeadingDeg, 30.0);
                EXPECT_GT(racer.slowestMs, crawlMs);
                EXPECT_LT(racer.highestRiseMs, 5.0);
                lapS[carIndex][k] = racer.lapS;
            }
            EXPECT_LT(lapS[carIndex][2], lapS[carIndex][1]) << label << ", car " << carIndex << ": Hard before Medium";
            EXPECT_LT(lapS[carIndex][1], lapS[carIndex][0]) << label << ", car " << carIndex << ": Medium before Easy";
            EXPECT_LT(lapS[carIndex][2], lapS[carIndex][3])
                << label << ", car " << carIndex << ": Hard before the centre line";
        }
        table << label << " (slowest allowed " << crawlMs << " m/s)\n";
        for (unsigned carIndex = 0; carIndex < CarPool::Count(); ++carIndex) {
            table << "car " << carIndex << "    ";
            for (int k = 0; k < 4; ++k) table << std::setw(6) << lapS[carIndex][k] << "  ";
            table << "\n";
            for (int k = 0; k < 4; ++k)
                RecordProperty(track.GhostKey(choice.direction) + "LapCar" + std::to_string(carIndex) +
                                   (k < 3 ? names[k] : "CentreLine"),
                               std::to_string(lapS[carIndex][k]));
        }
    }
    std::cout << table.str();
}

TEST_F(RacingDriverTest, TwoDriversSideBySideOrNoseToTailLapWithoutTouchingAndTheFasterGetsPast) {
    struct Case {
        const char* what;
        unsigned firstCar;
        Skill firstSkill;
        float firstX, firstY;
        unsigned secondCar;
        Skill secondSkill;
        float secondX, secondY;
    };
    const Case cases[] = {
        // A row of the grid: both Hard, a car's width and a half apart.
        {"side by side", 0, Skill::Hard, -2.5f, 0.0f, 1, Skill::Hard, 2.5f, 0.0f},
        // The faster car a row behind the slower, straight behind it.
        {"nose to tail", 0, Skill::Easy, 0.0f, 0.0f, 1, Skill::Hard, 0.0f, -8.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<RacingDriver> first = MakeDriver(c.firstCar, c.firstSkill);
        std::unique_ptr<RacingDriver> second = MakeDriver(c.secondCar, c.secondSkill);
        Field field(*world, *road);
        field.Add(c.firstCar, c.firstX, c.firstY, *first);
        field.Add(c.secondCar, c.secondX, c.secondY, *second);
        first->SetOthers(&field.Cars());
        second->SetOthers(&field.Cars());
        field.Run(360.0);
        for (const auto& racer : field.racers) {
            ASSERT_TRUE(racer->finite);
            EXPECT_GT(racer->lapS, 0.0) << "stopped after " << racer->progressM << " m";
            EXPECT_LT(racer->worstHeadingDeg, 30.0);
            EXPECT_GT(racer->slowestMs, 15.0);
            EXPECT_LT(racer->highestRiseMs, 5.0);
        }
        EXPECT_GT(field.closestM, 0.0);
        // Car 1 on Hard is the faster: it gets by and finishes first.
        EXPECT_LT(field.racers[1]->lapS, field.racers[0]->lapS);
        RecordProperty(std::string(c.what) == "side by side" ? "ClosestSideBySide" : "ClosestNoseToTail",
                       std::to_string(field.closestM));
    }
}

TEST_F(RacingDriverTest, PassesACarOnItsLineBrakesBehindAWallOfCarsNeverAimsIntoOneAlongsideAndFindsItsWayBack) {
    // A stretch where the racing line keeps well to the left of the centre.
    std::size_t at = 0;
    for (std::size_t i = 200; i < line->GetPointCount(); ++i)
        if (line->GetPoint(i).offset > 4.0 && line->GetPoint(i + 10).offset > 4.0) {
            at = i;
            break;
        }
    ASSERT_GT(at, 0u);
    const double s = line->GetPoint(at).centreS;
    auto add = [&](Field& field, double aheadM, double lateralM, Driver& driver) -> Car& {
        const vmath::vec2<float> p = Across(s + aheadM, lateralM);
        return field.Add(0, p.x, p.y, driver).car;
    };
    CentreLineKeys parked(*road);  // never driven: these cars stand still

    // Alone on the centre, at rest: it starts from where it stands and
    // steers over to the racing line, on its left.
    {
        Field field(*world, *road);
        std::unique_ptr<RacingDriver> driver = MakeDriver(0, Skill::Hard);
        Car& car = add(field, 0.0, 0.0, *driver);
        driver->Drive(car, Frame);
        EXPECT_NEAR(car.steering, 0.0f, 0.05f);
        for (int frame = 0; frame < 45; ++frame) driver->Drive(car, Frame);
        EXPECT_GT(car.steering, 0.1f);
        EXPECT_NEAR(driver->GetCentreOffset(), 0.0, 0.3);
        EXPECT_FALSE(driver->IsOffRoad());
        // Its place: along the line and along the road.
        EXPECT_NEAR(driver->GetCentreS(), s, 1.0);
        EXPECT_NEAR(driver->GetLineS(), line->GetPoint(at).s, 6.0);
        // With a car alongside on its left, nearer than a car's width and a
        // metre, it aims that far from it at once and steers away.
        add(field, 0.0, 2.6, parked);
        driver->SetOthers(&field.Cars());
        driver->Drive(car, Frame);
        EXPECT_LE(driver->GetAimOffset(), 2.6 - 3.0 + 0.05);
        EXPECT_LT(car.steering, 0.0f);
    }

    // At 30 m/s on the racing line, a car standing on it 30 m ahead.
    auto moving = [&](Field& field, Driver& driver) -> Car& {
        Car& car = add(field, 0.0, line->GetPoint(at).offset, driver);
        const vmath::vec3<float> forward = car.body->GetAxis(1);
        car.body->SetLinearVelocity(forward * 30.0f);
        world->Step(Frame);
        return car;
    };
    {
        Field field(*world, *road);
        std::unique_ptr<RacingDriver> driver = MakeDriver(0, Skill::Hard);
        Car& car = moving(field, *driver);
        add(field, 30.0, line->GetPoint(at).offset, parked);
        driver->SetOthers(&field.Cars());
        driver->Drive(car, Frame);
        const double free = driver->GetTargetSpeed();
        for (int frame = 0; frame < 45; ++frame) driver->Drive(car, Frame);
        // Off the line to the right, the side with room; no need to brake.
        EXPECT_LT(driver->GetLineOffset(), -1.4);
        EXPECT_EQ(car.brake, 0.0f);
        EXPECT_GT(driver->GetTargetSpeed(), 0.9 * free);

        // Three cars across the road there: no way by, so it brakes to stop behind them.
        add(field, 30.0, line->GetPoint(at).offset - 3.2, parked);
        add(field, 30.0, line->GetPoint(at).offset - 6.4, parked);
        driver->SetOthers(&field.Cars());
        driver->Drive(car, Frame);
        EXPECT_LT(driver->GetTargetSpeed(), 20.0);
        EXPECT_GT(car.brake, 0.5f);
        EXPECT_EQ(car.throttle, 0.0f);
    }

    // Put down off the road far from where it was: it finds itself again
    // and says it is off the road.
    {
        Field field(*world, *road);
        std::unique_ptr<RacingDriver> driver = MakeDriver(1, Skill::Medium);
        Car& car = add(field, 0.0, 0.0, *driver);
        driver->Drive(car, Frame);
        const vmath::vec2<float> away = Across(s + 3000.0, -8.0);
        vmath::vec3<float> ground, normal;
        ASSERT_TRUE(world->FindGround(away.x, away.y, ground, normal));
        ASSERT_TRUE(car.body->PlaceAt(ground, normal, car.body->GetAxis(1)));
        driver->Placed();
        driver->Drive(car, Frame);
        EXPECT_NEAR(driver->GetCentreS(), std::fmod(s + 3000.0, road->GetLength()), 3.0);
        EXPECT_NEAR(driver->GetCentreOffset(), -8.0, 0.3);
        EXPECT_TRUE(driver->IsOffRoad());
    }

    // Put down the wrong way round on the road: it turns, slowly, and
    // drives on the right way, back on the road.
    {
        Field field(*world, *road);
        std::unique_ptr<RacingDriver> driver = MakeDriver(1, Skill::Hard);
        Field::Racer& racer = field.Add(1, Across(s, 0.0).x, Across(s, 0.0).y, *driver);
        vmath::vec3<float> ground, normal;
        ASSERT_TRUE(world->FindGround(Across(s, 0.0).x, Across(s, 0.0).y, ground, normal));
        ASSERT_TRUE(racer.car.body->PlaceAt(ground, normal, racer.car.body->GetAxis(1) * -1.0f));
        double fastestTurning = 0.0;
        for (int frame = 0; frame < 60 * 12; ++frame) {
            driver->Drive(racer.car, Frame);
            racer.car.ApplyControls();
            world->Step(Frame);
            const vmath::vec2<double> t = road->Tangent(driver->GetCentreS());
            const vmath::vec3<float> f = racer.car.body->GetAxis(1);
            if (f.x * t.x + f.y * t.y < 0.0)
                fastestTurning = std::max<double>(fastestTurning, racer.car.body->GetSpeedMs());
        }
        const vmath::vec2<double> t = road->Tangent(driver->GetCentreS());
        const vmath::vec3<float> f = racer.car.body->GetAxis(1);
        EXPECT_GT(f.x * t.x + f.y * t.y, std::cos(20.0 * Pi / 180.0));
        EXPECT_GT(racer.car.body->GetForwardSpeedMs(), 20.0f);
        EXPECT_LT(fastestTurning, 12.0);
        EXPECT_FALSE(driver->IsOffRoad());
    }
}

TEST_F(RacingDriverTest, FarAheadOfThePlayerEasyAndMediumEaseOffAndHardDoesNot) {
    const std::size_t at = line->GetPointCount() / 3;
    const double s = line->GetPoint(at).centreS;
    const vmath::vec2<float> p = Across(s, line->GetPoint(at).offset);
    for (Skill skill : {Skill::Easy, Skill::Medium, Skill::Hard}) {
        SCOPED_TRACE(static_cast<int>(skill));
        Field field(*world, *road);
        std::unique_ptr<RacingDriver> driver = MakeDriver(0, skill);
        Car& car = field.Add(0, p.x, p.y, *driver).car;
        double target[3];
        const double leads[] = {-300.0, 150.0, 800.0};
        for (int k = 0; k < 3; ++k) {
            driver->SetLeadOverPlayer(leads[k]);
            driver->Drive(car, Frame);
            target[k] = driver->GetTargetSpeed();
        }
        // Behind or just ahead of the player: no ease.
        EXPECT_NEAR(target[1] / target[0], 1.0, 0.001);
        if (skill == Skill::Hard)
            EXPECT_NEAR(target[2] / target[0], 1.0, 0.001);
        else
            EXPECT_NEAR(target[2] / target[0], 0.92, 0.005);
    }
}

TEST_F(RacingDriverTest, TheTwoOriginalCarsDriveALapPoseForPoseAsTheyDidWhenTheyWereCode) {
    // Both cars on Hard, one behind the other, a lap of the forward way: the
    // bytes of every body frame after every step, folded into one checksum
    // (FNV-1a). The figures are those the cars gave while their settings
    // were written in the program; a changed description, or a change in
    // how one is read, changes the lap. A deliberate change to the physics
    // or the drivers records them anew.
    const std::uint64_t Recorded = 0x6d968c75329fb8b7ull;
    Field field(*world, *road);
    std::unique_ptr<RacingDriver> first = MakeDriver(0, Skill::Hard), second = MakeDriver(1, Skill::Hard);
    field.Add(0, -2.5f, 0.0f, *first);
    field.Add(1, 2.5f, -12.0f, *second);
    std::uint64_t sum = 0xcbf29ce484222325ull;
    field.Run(300.0, [&] {
        for (const auto& racer : field.racers) {
            float m[16];
            racer->car.body->GetMatrixGL(m);
            unsigned char bytes[sizeof m];
            std::memcpy(bytes, m, sizeof m);
            for (unsigned char b : bytes) sum = (sum ^ b) * 0x100000001b3ull;
        }
    });
    for (const auto& racer : field.racers) EXPECT_GT(racer->lapS, 0.0) << "a car did not finish its lap";
    EXPECT_EQ(sum, Recorded) << std::hex << "the lap's checksum is 0x" << sum;
}
