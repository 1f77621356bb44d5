#pragma once
// Meshes, matrices and a driving loop for the physics tests: everything runs
// headless on a fixed frame step.
#include <functional>
#include <memory>
#include <vector>

#include <vmath/vec3.h>

#include <physics/CarTemplate.h>
#include <physics/DynamicObjectCar.h>
#include <physics/World.h>

namespace physics_test {

/// A triangle mesh as the game's model data holds it: counter-clockwise
/// seen from the side a car drives on.
struct MeshData {
    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;

    /// Appends another mesh's triangles.
    void Append(const MeshData& other);
};

/// A 4 x 4 matrix in OpenGL's order.
struct MatrixGL {
    float m[16];

    static MatrixGL Identity();
    static MatrixGL Translation(float x, float y, float z);
    /// Rotation about the x axis, then a translation.
    static MatrixGL RotationX(float degrees, float x = 0.0f, float y = 0.0f, float z = 0.0f);
    /// A car's start: box centre at (x, y, z), heading turned from +y
    /// anticlockwise about +z.
    static MatrixGL CarStart(float x, float y, float z, float headingDegrees = 0.0f);
};

/// Flat or shaped ground: a grid of square cells over [x0, x1] x [y0, y1].
MeshData MakeGrid(float x0, float y0, float x1, float y1, float cellM,
                  const std::function<float(float, float)>& height = nullptr);
/// One quad a, b, c, d (counter-clockwise seen from its front) as two triangles.
MeshData MakeQuad(const vmath::vec3<float>& a, const vmath::vec3<float>& b, const vmath::vec3<float>& c,
                  const vmath::vec3<float>& d);

/// A world, its ground and one car, stepped at a fixed frame time.
class Drive {
public:
    static constexpr float FrameS = 1.0f / 60.0f;

    /// @param ground added with `groundMatrix`
    /// @param carIndex race car 0 or 1
    /// @param start the car's start frame
    Drive(const MeshData& ground, unsigned carIndex, const MatrixGL& start,
          const MatrixGL& groundMatrix = MatrixGL::Identity());
    /// A car in a world made elsewhere, which must outlive the drive; the
    /// car leaves that world with the drive.
    Drive(physics::World& sharedWorld, unsigned carIndex, const MatrixGL& start);
    ~Drive();
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    /// Runs frames for `seconds`, setting the controls before each one; the
    /// callback, when given, sees the car after each frame and may stop the
    /// run by returning false.
    /// @return the simulated time (s)
    float Run(float seconds, float steering, float throttle, float brake, bool held = false,
              const std::function<bool(float timeS)>& afterFrame = nullptr);

private:
    std::unique_ptr<physics::World> ownWorld;

public:
    physics::World& world;
    physics::DynamicObjectCar* car = nullptr;
};

/// Distance between two points (m).
float Distance(const vmath::vec3<float>& a, const vmath::vec3<float>& b);

}  // namespace physics_test
