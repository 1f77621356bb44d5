// The cars on the game's own track: its terrain read through the COLLADA
// plug-in and handed to the physics as the race's track load does.
#include <dlfcn.h>

#include <cmath>
#include <algorithm>
#include <fstream>
#include <vector>
#include <memory>

#include <gtest/gtest.h>

#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

#include "PhysicsTestSupport.h"

using namespace physics_test;

namespace {

/// One world holding the terrain of GreenValley.dae for all cases.
struct Terrain {
    physics::World world;
};

std::unique_ptr<Terrain> LoadTerrain() {
    if (!std::ifstream(GREEN_VALLEY_TRACK).good()) return nullptr;
    void* plugin = dlopen(QUORVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!plugin) return nullptr;
    auto registerLoader =
        reinterpret_cast<ModelLoaderRegisterFunction>(dlsym(plugin, ModelLoader::RegisterFunction.c_str()));
    ModelLoader* loader = registerLoader ? registerLoader() : nullptr;
    // The debug plug-in reports every object it adds.
    testing::internal::CaptureStdout();
    Model* model = loader ? loader->Load(GREEN_VALLEY_TRACK) : nullptr;
    testing::internal::GetCapturedStdout();
    std::unique_ptr<Terrain> terrain;
    if (model) {
        auto* frame = dynamic_cast<GroupNode*>(Node::Search(*model->GetModelNode(), "Terrain"));
        auto* meshNode = dynamic_cast<MeshNode*>(Node::Search(*model->GetModelNode(), "Terrain-mesh"));
        if (meshNode) {
            // As the race's track load: all vertices, every geometry's
            // indices, the "Terrain" node's matrix (identity without one).
            MatrixGL matrix = MatrixGL::Identity();
            if (frame) std::copy(frame->GetTransform().GetMatrix().ptr(), frame->GetTransform().GetMatrix().ptr() + 16,
                                 matrix.m);
            const Mesh& mesh = meshNode->GetMesh();
            std::vector<unsigned int> indices;
            for (unsigned int i = 0; i < mesh.GetGeometryCount(); ++i) {
                const std::vector<unsigned int>& part = mesh.GetGeometry(i)->GetVertexIndices();
                indices.insert(indices.end(), part.begin(), part.end());
            }
            terrain = std::make_unique<Terrain>();
            if (!terrain->world.AddStaticMesh(mesh.GetVertexArray(), indices, matrix.m)) terrain.reset();
        }
        delete model;
    }
    // NOTE: the plug-in stays loaded; its loader is unregistered at exit by
    // nobody, which is harmless for a test process.
    return terrain;
}

class GreenValleyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { terrain = LoadTerrain().release(); }
    static void TearDownTestSuite() {
        delete terrain;
        terrain = nullptr;
    }
    void SetUp() override {
        if (!terrain) GTEST_SKIP() << "no track data or plug-in: " << GREEN_VALLEY_TRACK;
    }

    static Terrain* terrain;
};

Terrain* GreenValleyTest::terrain = nullptr;

}  // namespace

TEST_F(GreenValleyTest, CarsSettleAtTheStartAndStayPut) {
    // The start line is at the origin, the road there at z = 0, facing +y;
    // the car node stands at its model's rest height.
    const float restHeight[] = {0.72f, 0.70f};
    for (unsigned carIndex : {0u, 1u}) {
        Drive drive(terrain->world, carIndex, MatrixGL::CarStart(0, 0, restHeight[carIndex]));
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
            Drive probe(terrain->world, 0, MatrixGL::CarStart(c[0], c[1], 400.0f));
            probe.Run(12.0f, 0, 0, 1, true);
            restZ = probe.car->GetPosition().z;
            ASSERT_LT(probe.car->GetSpeedMs(), 0.01f) << c[0] << ", " << c[1];
        }

        Drive drive(terrain->world, 1, MatrixGL::CarStart(c[0], c[1], restZ + 30.0f));
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
