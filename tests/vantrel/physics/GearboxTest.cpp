// The automatic gearbox: shifting, neutral and reverse.
#include <gtest/gtest.h>

#include <physics/Gearbox.h>

using physics::Gearbox;
using physics::GearboxSettings;

namespace {

constexpr float StepS = 1.0f / 120.0f;

GearboxSettings TestGearbox() {
    GearboxSettings s;
    s.forwardRatios = {3.0f, 2.0f, 1.0f};
    s.reverseRatio = 3.0f;
    s.finalDriveRatio = 2.0f;
    s.shiftUpRpm = 6000.0f;
    s.shiftDownRpm = 4000.0f;
    s.coastDownRpm = 2000.0f;
    s.shiftTimeS = 0.1f;
    s.minShiftIntervalS = 0.5f;
    s.standstillSpeedMs = 0.5f;
    s.reverseDelayS = 0.4f;
    return s;
}

/// Wheel speed (rad/s) at which gear `gear` turns the engine at `rpm`.
float WheelSpeedFor(const Gearbox& box, int gear, float rpm) {
    return rpm * 2.0f * 3.14159265f / 60.0f / box.GetTotalRatio(gear);
}

/// The same inputs for `seconds`.
void Hold(Gearbox& box, float seconds, float speedMs, float wheelRadS, float throttle, float brake, bool held) {
    for (int i = 0; i < static_cast<int>(seconds / StepS); ++i)
        box.Update(StepS, speedMs, wheelRadS, throttle, brake, held);
}

}  // namespace

TEST(GearboxTest, StartsInNeutralAndTheThrottleEngagesFirst) {
    GearboxSettings settings = TestGearbox();
    Gearbox box(settings);
    EXPECT_EQ(box.GetCurrentGear(), 0);
    Hold(box, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 0);
    Hold(box, 0.1f, 0.0f, 0.0f, 0.5f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 1);
    EXPECT_FALSE(box.IsShifting());  // pulling away does not open the clutch
}

TEST(GearboxTest, ShiftsUpAtTheShiftPointAndNotStraightAgain) {
    GearboxSettings settings = TestGearbox();
    Gearbox box(settings);
    Hold(box, 0.1f, 0.0f, 0.0f, 1.0f, 0.0f, false);
    Hold(box, 0.6f, 20.0f, WheelSpeedFor(box, 1, 5900.0f), 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 1);
    float wheel = WheelSpeedFor(box, 1, 6100.0f);
    box.Update(StepS, 20.0f, wheel, 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 2);
    EXPECT_TRUE(box.IsShifting());
    // Still above gear 2's shift point, but the interval has not passed.
    wheel = WheelSpeedFor(box, 2, 6100.0f);
    Hold(box, 0.3f, 30.0f, wheel, 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 2);
    EXPECT_FALSE(box.IsShifting());
    Hold(box, 0.3f, 30.0f, wheel, 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 3);
    // Top gear: nowhere further to go.
    Hold(box, 1.0f, 60.0f, WheelSpeedFor(box, 3, 6500.0f), 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 3);
}

TEST(GearboxTest, ShiftsDownEarlierWithTheThrottleOpen) {
    GearboxSettings settings = TestGearbox();
    struct Row { float throttle, rpm; int gear; } rows[] = {
        {1.0f, 3500.0f, 1},  // full throttle: below 4000 rpm it shifts down
        {1.0f, 4100.0f, 2},
        {0.0f, 3500.0f, 2},  // coasting: it holds on down to 2000 rpm
        {0.0f, 1900.0f, 1},
        {1.0f, 3900.0f, 2},  // first gear would turn 5850 rpm, too near the shift-up point
    };
    for (const Row& row : rows) {
        Gearbox box(settings);
        Hold(box, 0.1f, 0.0f, 0.0f, 1.0f, 0.0f, false);
        Hold(box, 1.0f, 20.0f, WheelSpeedFor(box, 1, 6100.0f), 1.0f, 0.0f, false);
        ASSERT_EQ(box.GetCurrentGear(), 2);
        Hold(box, 1.0f, 20.0f, WheelSpeedFor(box, 2, row.rpm), row.throttle, 0.0f, false);
        EXPECT_EQ(box.GetCurrentGear(), row.gear) << row.throttle << " " << row.rpm;
    }
}

TEST(GearboxTest, BrakeHeldAtAStandstillEngagesReverseAfterTheDelay) {
    GearboxSettings settings = TestGearbox();
    Gearbox box(settings);
    Hold(box, 0.3f, 0.0f, 0.0f, 0.0f, 1.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 0);
    Hold(box, 0.2f, 0.0f, 0.0f, 0.0f, 1.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), -1);
    // Backing up with the brake pedal keeps reverse.
    Hold(box, 1.0f, -5.0f, -15.0f, 0.0f, 1.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), -1);
    // The throttle while still rolling back brakes; at a standstill it drives off.
    Hold(box, 0.2f, -3.0f, -10.0f, 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), -1);
    Hold(box, 0.1f, 0.0f, 0.0f, 1.0f, 0.0f, false);
    EXPECT_EQ(box.GetCurrentGear(), 1);
}

TEST(GearboxTest, BrakingWhileMovingOrHeldNeverEngagesReverse) {
    GearboxSettings settings = TestGearbox();
    Gearbox moving(settings);
    Hold(moving, 0.1f, 0.0f, 0.0f, 1.0f, 0.0f, false);
    Hold(moving, 2.0f, 10.0f, WheelSpeedFor(moving, 1, 3000.0f), 0.0f, 1.0f, false);
    EXPECT_EQ(moving.GetCurrentGear(), 1);
    // The race's hold at the start: brake 1 for seconds, neutral throughout.
    Gearbox held(settings);
    Hold(held, 4.0f, 0.0f, 0.0f, 0.0f, 1.0f, true);
    EXPECT_EQ(held.GetCurrentGear(), 0);
    // Brake and throttle together: no reverse either.
    Gearbox both(settings);
    Hold(both, 2.0f, 0.0f, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(both.GetCurrentGear(), 1);
}
