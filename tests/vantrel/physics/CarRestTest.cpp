// A car standing: settling, holding on slopes, landing, and the rest height
// the car models are drawn for.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "PhysicsTestSupport.h"

using namespace physics_test;

namespace {

/// Largest change of any element of the chassis frame between two matrices.
float FrameChange(const float a[16], const float b[16]) {
    float change = 0.0f;
    for (int i = 0; i < 16; ++i) change = std::max(change, std::fabs(a[i] - b[i]));
    return change;
}

class CarRestTest : public ::testing::TestWithParam<unsigned> {};

// The car models put the box centre 0.72 m (car 0), 0.70 m (car 1) and
// 0.75 m (car 2) above the road, where their wheels touch it.
const float ModelRestHeight[] = {0.72f, 0.70f, 0.75f};

}  // namespace

TEST_P(CarRestTest, SettlesAtTheModelsRestHeightAndStaysStill) {
    Drive drive(MakeGrid(-100, -100, 100, 100, 5), GetParam(), MatrixGL::CarStart(0, 0, 1.0f));
    drive.Run(3.0f, 0, 0, 1, true);
    EXPECT_NEAR(drive.car->GetPosition().z, ModelRestHeight[GetParam()], 0.01f);
    EXPECT_EQ(drive.car->GetCurrentGear(), 0);
    EXPECT_TRUE(drive.car->IsHolding());

    // No jitter: neither speed nor frame moves over the next five seconds.
    float before[16];
    drive.car->GetMatrixGL(before);
    float maxSpeed = 0.0f, maxWheelSpin = 0.0f, maxChange = 0.0f;
    drive.Run(5.0f, 0, 0, 1, true, [&](float) {
        maxSpeed = std::max(maxSpeed, drive.car->GetSpeedMs());
        for (int i = 0; i < physics::DynamicObjectCar::WheelCount; ++i)
            maxWheelSpin = std::max(maxWheelSpin, std::fabs(drive.car->GetWheelAngularSpeedRadS(i)));
        float now[16];
        drive.car->GetMatrixGL(now);
        maxChange = std::max(maxChange, FrameChange(before, now));
        return true;
    });
    EXPECT_LT(maxSpeed, 0.01f);
    EXPECT_LT(maxWheelSpin, 0.05f);
    EXPECT_LT(maxChange, 1e-3f);
}

TEST_P(CarRestTest, HeldOnATenDegreeSlopeItMovesLessThanACentimetre) {
    // The ground is the flat grid turned 10 degrees about x by its frame:
    // the car faces up the slope, the held brake must keep it there.
    // The car starts turned like the ground, 1 m above it.
    const float angle = 10.0f * 3.14159265f / 180.0f;
    Drive drive(MakeGrid(-100, -100, 100, 100, 5), GetParam(),
                MatrixGL::RotationX(10.0f, 0.0f, -std::sin(angle), std::cos(angle)), MatrixGL::RotationX(10.0f));
    drive.Run(3.0f, 0, 0, 1, true);
    const vmath::vec3<float> parked = drive.car->GetPosition();
    EXPECT_NEAR(parked.z / std::cos(angle), 0.72f, 0.05f);  // standing on the slope
    drive.Run(10.0f, 0, 0, 1, true);
    EXPECT_LT(Distance(parked, drive.car->GetPosition()), 0.01f);

    // Let go, it rolls back down.
    drive.Run(3.0f, 0, 0, 0, false);
    EXPECT_GT(Distance(parked, drive.car->GetPosition()), 2.0f);
}

TEST_P(CarRestTest, ADropFromThirtyMetresLandsOnTheMesh) {
    Drive drive(MakeGrid(-100, -100, 100, 100, 5), GetParam(), MatrixGL::CarStart(0, 0, 30.0f));
    float lowest = 100.0f;
    drive.Run(6.0f, 0, 0, 1, true, [&](float) {
        lowest = std::min(lowest, drive.car->GetPosition().z);
        return true;
    });
    // The box (half-height 0.55) may touch the ground on impact, no more.
    EXPECT_GT(lowest, 0.3f);
    EXPECT_NEAR(drive.car->GetPosition().z, ModelRestHeight[GetParam()], 0.03f);
    EXPECT_GT(drive.car->GetAxis(2).z, 0.99f);  // upright
    EXPECT_LT(drive.car->GetSpeedMs(), 0.01f);
}

INSTANTIATE_TEST_SUITE_P(EveryCar, CarRestTest, ::testing::Values(0u, 1u, 2u));
