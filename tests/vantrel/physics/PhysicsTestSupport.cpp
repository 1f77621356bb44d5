#include "PhysicsTestSupport.h"

#include <cmath>

#include "cars/CarPool.h"

namespace physics_test {

namespace {
constexpr float DegToRad = 3.14159265f / 180.0f;
}

void MeshData::Append(const MeshData& other) {
    auto base = static_cast<unsigned int>(vertices.size());
    vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
    for (unsigned int index : other.indices) indices.push_back(base + index);
}

MatrixGL MatrixGL::Identity() { return Translation(0.0f, 0.0f, 0.0f); }

MatrixGL MatrixGL::Translation(float x, float y, float z) {
    return MatrixGL{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
}

MatrixGL MatrixGL::RotationX(float degrees, float x, float y, float z) {
    float c = std::cos(degrees * DegToRad);
    float s = std::sin(degrees * DegToRad);
    // Rows are the images of the local axes.
    return MatrixGL{{1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, x, y, z, 1}};
}

MatrixGL MatrixGL::CarStart(float x, float y, float z, float headingDegrees) {
    float c = std::cos(headingDegrees * DegToRad);
    float s = std::sin(headingDegrees * DegToRad);
    return MatrixGL{{c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
}

MeshData MakeGrid(float x0, float y0, float x1, float y1, float cellM,
                  const std::function<float(float, float)>& height) {
    MeshData mesh;
    int nx = static_cast<int>(std::ceil((x1 - x0) / cellM));
    int ny = static_cast<int>(std::ceil((y1 - y0) / cellM));
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            float x = x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(nx);
            float y = y0 + (y1 - y0) * static_cast<float>(j) / static_cast<float>(ny);
            mesh.vertices.emplace_back(x, y, height ? height(x, y) : 0.0f);
        }
    auto at = [nx](int i, int j) { return static_cast<unsigned int>(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            unsigned int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
        }
    return mesh;
}

MeshData MakeQuad(const vmath::vec3<float>& a, const vmath::vec3<float>& b, const vmath::vec3<float>& c,
                  const vmath::vec3<float>& d) {
    return MeshData{{a, b, c, d}, {0, 1, 2, 0, 2, 3}};
}

Drive::Drive(const MeshData& ground, unsigned carIndex, const MatrixGL& start, const MatrixGL& groundMatrix)
    : ownWorld(std::make_unique<physics::World>()), world(*ownWorld) {
    world.AddStaticMesh(ground.vertices, ground.indices, groundMatrix.m);
    car = world.CreateCar(CarPool::Describe(carIndex).GetTemplate(), start.m);
}

Drive::Drive(physics::World& sharedWorld, unsigned carIndex, const MatrixGL& start) : world(sharedWorld) {
    car = world.CreateCar(CarPool::Describe(carIndex).GetTemplate(), start.m);
}

Drive::~Drive() {
    if (!ownWorld) world.DestroyCar(car);
}

float Drive::Run(float seconds, float steering, float throttle, float brake, bool held,
                 const std::function<bool(float timeS)>& afterFrame) {
    int frames = static_cast<int>(std::lround(seconds / FrameS));
    float timeS = 0.0f;
    for (int i = 0; i < frames; ++i) {
        car->SetControls(steering, throttle, brake, held);
        world.Step(FrameS);
        timeS += FrameS;
        if (afterFrame && !afterFrame(timeS)) break;
    }
    return timeS;
}

float Distance(const vmath::vec3<float>& a, const vmath::vec3<float>& b) { return vmath::length(a - b); }

}  // namespace physics_test
