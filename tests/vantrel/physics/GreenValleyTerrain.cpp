#include "GreenValleyTerrain.h"

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

#include "PhysicsTestSupport.h"

namespace physics_test {

std::unique_ptr<physics::World> LoadGreenValley(const char* trackPath, const char* pluginPath) {
    if (!std::ifstream(trackPath).good()) return nullptr;
    void* plugin = dlopen(pluginPath, RTLD_NOW | RTLD_LOCAL);
    if (!plugin) return nullptr;
    auto registerLoader =
        reinterpret_cast<ModelLoaderRegisterFunction>(dlsym(plugin, ModelLoader::RegisterFunction.c_str()));
    ModelLoader* loader = registerLoader ? registerLoader() : nullptr;
    // The debug plug-in reports every object it adds.
    testing::internal::CaptureStdout();
    Model* model = loader ? loader->Load(trackPath) : nullptr;
    testing::internal::GetCapturedStdout();
    std::unique_ptr<physics::World> world;
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
            world = std::make_unique<physics::World>();
            if (!world->AddStaticMesh(mesh.GetVertexArray(), indices, matrix.m)) world.reset();
        }
        delete model;
    }
    // NOTE: the plug-in stays loaded; its loader is unregistered at exit by
    // nobody, which is harmless for a test process.
    return world;
}

}  // namespace physics_test
