// The world: mesh checks, the terrain's frame and the frame-to-substep split.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "cars/CarPool.h"
#include "PhysicsTestSupport.h"

using namespace physics_test;

TEST(WorldTest, RejectsUnusableMeshes) {
    MeshData quad = MakeQuad({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    MatrixGL identity = MatrixGL::Identity();
    MatrixGL flattened = MatrixGL::Identity();
    flattened.m[10] = 0.0f;  // no z axis left
    MatrixGL notFinite = MatrixGL::Identity();
    notFinite.m[13] = nan;
    struct Row {
        const char* what;
        std::vector<vmath::vec3<float>> vertices;
        std::vector<unsigned int> indices;
        const MatrixGL* matrix;
    } rows[] = {
        {"no triangles", quad.vertices, {}, &identity},
        {"a partial triangle", quad.vertices, {0, 1, 2, 0}, &identity},
        {"an index past the vertices", quad.vertices, {0, 1, 4}, &identity},
        {"a vertex that is not a number", {{0, 0, 0}, {1, 0, nan}, {1, 1, 0}}, {0, 1, 2}, &identity},
        {"a matrix without a z axis", quad.vertices, quad.indices, &flattened},
        {"a matrix that is not finite", quad.vertices, quad.indices, &notFinite},
    };
    physics::World world;
    for (const Row& row : rows)
        EXPECT_EQ(world.AddStaticMesh(row.vertices, row.indices, row.matrix->m), nullptr) << row.what;
    EXPECT_EQ(world.GetStaticObjectCount(), 0u);
    ASSERT_NE(world.AddStaticMesh(quad.vertices, quad.indices, identity.m), nullptr);
    EXPECT_EQ(world.GetStaticObjectCount(), 1u);
}

TEST(WorldTest, TerrainMatrixPlacesTheMesh) {
    // The ground lies 5 m up in its own frame; the frame scales z by 2 and
    // moves it: the ground ends up at 40 + 2 x 5 = 50 m.
    MeshData ground = MakeGrid(-50, -50, 50, 50, 10, [](float, float) { return 5.0f; });
    MatrixGL frame = MatrixGL::Translation(100.0f, -20.0f, 40.0f);
    frame.m[10] = 2.0f;
    Drive drive(ground, 0, MatrixGL::CarStart(100.0f, -20.0f, 51.0f), frame);
    drive.Run(3.0f, 0, 0, 1, true);
    EXPECT_NEAR(drive.car->GetPosition().z, 50.72f, 0.02f);
    // Outside the moved mesh there is nothing to stand on.
    Drive beside(ground, 0, MatrixGL::CarStart(0.0f, -20.0f, 51.0f), frame);
    beside.Run(3.0f, 0, 0, 1, true);
    EXPECT_LT(beside.car->GetPosition().z, 40.0f);
}

TEST(WorldTest, FramesSplitIntoEqualSubstepsOfAtMostAHundredTwentiethSecond) {
    physics::World world;
    struct Row { float dtS; int substeps; } rows[] = {
        {1.0f / 500.0f, 1},  // fast frames: one short substep each
        {1.0f / 120.0f, 1},
        {1.0f / 90.0f, 2},
        {1.0f / 60.0f, 2},
        {1.0f / 30.0f, 4},
        {0.5f, 60},
        {0.999f, 120},
        {5.0f, 120},         // beyond the limit the world slows down
        {0.0f, 0},
        {-0.1f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const Row& row : rows) EXPECT_EQ(world.GetSubstepCount(row.dtS), row.substeps) << row.dtS;
}

TEST(WorldTest, SimulatedTimeMatchesTheFramesWhateverTheirRate) {
    // A car falling freely for a second ends at the same height whether
    // the frames come at 30, 90 or 500 per second.
    MeshData ground = MakeGrid(-10, -10, 10, 10, 10);
    const float startZ = 100.0f;
    for (int framesPerSecond : {30, 90, 500}) {
        physics::World world;
        world.AddStaticMesh(ground.vertices, ground.indices, MatrixGL::Identity().m);
        physics::DynamicObjectCar* car =
            world.CreateCar(CarPool::Describe(0).GetTemplate(), MatrixGL::CarStart(0, 0, startZ).m);
        for (int i = 0; i < framesPerSecond; ++i) world.Step(1.0f / static_cast<float>(framesPerSecond));
        EXPECT_NEAR(world.GetTimeS(), 1.0, 1e-4) << framesPerSecond;
        // Free fall with a little air drag.
        EXPECT_NEAR(car->GetPosition().z, startZ - 0.5f * 9.81f, 0.05f) << framesPerSecond;
        EXPECT_NEAR(car->GetLinearVelocity().z, -9.81f, 0.1f) << framesPerSecond;
    }
}

TEST(WorldTest, CarsCanBeDestroyedBeforeTheWorld) {
    MeshData ground = MakeGrid(-10, -10, 10, 10, 10);
    physics::World world;
    world.AddStaticMesh(ground.vertices, ground.indices, MatrixGL::Identity().m);
    physics::DynamicObjectCar* first =
        world.CreateCar(CarPool::Describe(0).GetTemplate(), MatrixGL::CarStart(-3, 0, 1).m);
    physics::DynamicObjectCar* second =
        world.CreateCar(CarPool::Describe(1).GetTemplate(), MatrixGL::CarStart(3, 0, 1).m);
    ASSERT_TRUE(first && second);
    world.DestroyCar(first);
    world.DestroyCar(nullptr);
    EXPECT_EQ(world.GetCarCount(), 1u);
    world.Step(1.0f / 60.0f);
    EXPECT_NEAR(second->GetPosition().x, 3.0f, 1e-3f);

    physics::CarTemplate massless = CarPool::Describe(0).GetTemplate();
    massless.massKg = 0.0f;
    EXPECT_EQ(world.CreateCar(massless, MatrixGL::Identity().m), nullptr);
}
