// The chassis against the mesh: no tunnelling at speed, no bumps on the
// seams between triangles.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "PhysicsTestSupport.h"

using namespace physics_test;

namespace {

constexpr float DegToRad = 3.14159265f / 180.0f;

/// Flat ground with a 100 m wide face across y = 100, rising at `slopeDegrees`
/// (90 is a wall); a single sheet of triangles, no thickness behind it.
MeshData GroundWithFace(float slopeDegrees) {
    MeshData mesh = MakeGrid(-100, -100, 100, 100, 5);
    MeshData face = MakeGrid(-50, 0, 50, 30, 5);
    for (vmath::vec3<float>& v : face.vertices) {
        float along = v.y;
        v.y = 100.0f + along * std::cos(slopeDegrees * DegToRad);
        v.z = along * std::sin(slopeDegrees * DegToRad);
    }
    mesh.Append(face);
    return mesh;
}

/// How far the box centre is in front of the face (m, negative behind it).
float InFrontOfFace(const vmath::vec3<float>& p, float slopeDegrees) {
    float a = slopeDegrees * DegToRad;
    return p.z * std::cos(a) - (p.y - 100.0f) * std::sin(a);
}

}  // namespace

TEST(CarCollisionTest, NoTunnellingThroughTheMeshAtSpeed) {
    struct Row {
        const char* what;
        float slopeDegrees;
        vmath::vec3<float> velocityMs;
    } rows[] = {
        {"into a wall at 250 km/h", 90.0f, {0.0f, 69.5f, 0.0f}},
        {"into a 70 degree face at 250 km/h", 70.0f, {0.0f, 69.5f, 0.0f}},
        {"into a 70 degree face at 320 km/h", 70.0f, {0.0f, 89.0f, 0.0f}},
        // One substep carries the box further than its own height: only the
        // swept test stops it.
        {"onto the ground from above at 430 km/h", 90.0f, {0.0f, 20.0f, -120.0f}},
    };
    for (unsigned carIndex : {0u, 1u})
        for (const Row& row : rows) {
            Drive drive(GroundWithFace(row.slopeDegrees), carIndex, MatrixGL::CarStart(0, 0, 6.0f));
            drive.Run(2.0f, 0, 0, 1, true);
            drive.car->SetLinearVelocity(row.velocityMs);
            float worst = 100.0f, lowest = 100.0f;
            drive.Run(4.0f, 0, 0, 0, false, [&](float) {
                vmath::vec3<float> p = drive.car->GetPosition();
                worst = std::min(worst, InFrontOfFace(p, row.slopeDegrees));
                lowest = std::min(lowest, p.z);
                return true;
            });
            EXPECT_GT(worst, 0.5f) << row.what << ", car " << carIndex;
            EXPECT_GT(lowest, 0.0f) << row.what << ", car " << carIndex;
        }
}

TEST(CarCollisionTest, ChassisSlidesOverTriangleSeamsWithoutBumps) {
    // Upside down, the box slides on the ground across the grid's edges
    // (straight and diagonal ones); without edge correction each seam
    // throws it up by metres.
    MeshData ground = MakeGrid(-200, -200, 200, 200, 2.0f);
    for (float headingDegrees : {0.0f, 30.0f, 45.0f}) {
        MatrixGL start = MatrixGL::CarStart(0, -150, 0.56f, headingDegrees);
        for (int i = 0; i < 3; ++i) {  // turn it over about its forward axis
            start.m[i] = -start.m[i];
            start.m[8 + i] = -start.m[8 + i];
        }
        Drive drive(ground, 0, start);
        drive.Run(0.5f, 0, 0, 0, false);
        float h = headingDegrees * DegToRad;
        drive.car->SetLinearVelocity({-std::sin(h) * 25.0f, std::cos(h) * 25.0f, 0.0f});
        float highest = 0.0f, fastestUp = 0.0f;
        drive.Run(3.0f, 0, 0, 0, false, [&](float) {
            highest = std::max(highest, drive.car->GetPosition().z);
            fastestUp = std::max(fastestUp, std::fabs(drive.car->GetLinearVelocity().z));
            return true;
        });
        EXPECT_LT(highest, 0.6f) << headingDegrees;
        EXPECT_LT(fastestUp, 0.2f) << headingDegrees;
        EXPECT_GT(drive.car->GetSpeedMs(), 5.0f) << headingDegrees;  // it slid, it did not catch
    }
}

// A car driven elsewhere (a network race's other car) is moved state by
// state: it still shoves a car at rest it drives into, and lands where it
// was put, whatever was in the way.
TEST(CarCollisionTest, AMovedCarPushesTheCarItDrivesInto) {
    physics::World world;
    const MeshData ground = MakeGrid(-100, -100, 100, 100, 5);
    ASSERT_NE(world.AddStaticMesh(ground.vertices, ground.indices, MatrixGL::Identity().m), nullptr);
    Drive still(world, 0, MatrixGL::CarStart(0, 0, 0.56f));
    still.Run(1.0f, 0.0f, 0.0f, 0.0f);
    const vmath::vec3<float> before = still.car->GetPosition();
    Drive moved(world, 1, MatrixGL::CarStart(0, -10, 0.56f));
    moved.Run(1.0f, 0.0f, 0.0f, 0.0f);
    // 10 m/s along +y, straight through where the other car stands.
    float frame[16];
    moved.car->GetMatrixGL(frame);
    const float z = frame[14];
    for (int i = 0; i < 120; ++i) {
        frame[13] = -10.0f + 10.0f * i * Drive::FrameS;
        frame[14] = z;
        ASSERT_TRUE(moved.car->MoveTo(frame, {0.0f, 10.0f, 0.0f}));
        world.Step(Drive::FrameS);
    }
    EXPECT_GT(Distance(still.car->GetPosition(), before), 1.0f) << "the car at rest was not pushed";
    EXPECT_GT(still.car->GetPosition().y - before.y, 0.5f) << "pushed the way the other went";
    // A value that is not finite moves nothing.
    frame[12] = std::nanf("");
    const vmath::vec3<float> at = moved.car->GetPosition();
    EXPECT_FALSE(moved.car->MoveTo(frame, {0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(moved.car->GetPosition().x, at.x);
}
