// The cars on the game's own track: its terrain read through the COLLADA
// plug-in and handed to the physics as the race's track load does.
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "GreenValleyTerrain.h"
#include "PhysicsTestSupport.h"

using namespace physics_test;

namespace {

class GreenValleyTest : public ::testing::Test {
protected:
    /// One world holding the terrain of GreenValley.dae for all cases.
    static void SetUpTestSuite() { world = LoadGreenValley(GREEN_VALLEY_TRACK, QUORVEX_PLUGIN_PATH).release(); }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override {
        if (!world) GTEST_SKIP() << "no track data or plug-in: " << GREEN_VALLEY_TRACK;
    }

    static physics::World* world;
};

physics::World* GreenValleyTest::world = nullptr;

}  // namespace

TEST_F(GreenValleyTest, CarsSettleAtTheStartAndStayPut) {
    // The start line is at the origin, the road there at z = 0, facing +y;
    // the car node stands at its model's rest height.
    const float restHeight[] = {0.72f, 0.70f};
    for (unsigned carIndex : {0u, 1u}) {
        Drive drive(*world, carIndex, MatrixGL::CarStart(0, 0, restHeight[carIndex]));
        drive.Run(3.0f, 0, 0, 1, true);
        vmath::vec3<float> parked = drive.car->GetPosition();
        EXPECT_NEAR(parked.z, restHeight[carIndex], 0.02f) << carIndex;
        float fastest = 0.0f;
        drive.Run(5.0f, 0, 0, 1, true, [&](float) {
            fastest = std::max(fastest, drive.car->GetSpeedMs());
            return true;
        });
        EXPECT_LT(fastest, 0.01f) << carIndex;
        EXPECT_LT(Distance(parked, drive.car->GetPosition()), 0.01f) << carIndex;
    }
}

TEST_F(GreenValleyTest, DropsFromThirtyMetresLandAndHoldAtEveryCheckpoint) {
    const float checkpoints[][2] = {{-388, 90}, {-1156, 1884}, {757, 1454}, {1163, -333}, {1169, -1933}};
    for (const auto& c : checkpoints) {
        // First find the road's height there by letting a car down onto it.
        float restZ = 0.0f;
        {
            Drive probe(*world, 0, MatrixGL::CarStart(c[0], c[1], 400.0f));
            probe.Run(12.0f, 0, 0, 1, true);
            restZ = probe.car->GetPosition().z;
            ASSERT_LT(probe.car->GetSpeedMs(), 0.01f) << c[0] << ", " << c[1];
        }

        Drive drive(*world, 1, MatrixGL::CarStart(c[0], c[1], restZ + 30.0f));
        float lowest = 1e6f;
        drive.Run(6.0f, 0, 0, 1, true, [&](float) {
            lowest = std::min(lowest, drive.car->GetPosition().z);
            return true;
        });
        EXPECT_GT(lowest, restZ - 0.45f) << c[0] << ", " << c[1];
        vmath::vec3<float> parked = drive.car->GetPosition();
        EXPECT_NEAR(parked.z, restZ - 0.02f, 0.1f) << c[0] << ", " << c[1];
        drive.Run(10.0f, 0, 0, 1, true);
        EXPECT_LT(Distance(parked, drive.car->GetPosition()), 0.01f) << c[0] << ", " << c[1];
    }
}
