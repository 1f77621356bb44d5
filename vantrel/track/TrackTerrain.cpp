#include "TrackTerrain.h"

#include <algorithm>
#include <memory>

#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/ModelPlugin.h>

#include "physics/World.h"

bool TrackTerrain::Load(ModelPlugin& plugin, const std::string& modelFile, std::string& problem) {
    vertices.clear();
    indices.clear();
    // The model's destructors live in the plug-in: it goes before this returns.
    std::unique_ptr<Model> model(plugin.Load(modelFile));
    if (!model) {
        problem = "its model did not load";
        return false;
    }
    Node& top = *model->GetModelNode();
    const auto* meshNode = dynamic_cast<MeshNode*>(Node::Search(top, "Terrain-mesh"));
    if (!meshNode) {
        problem = "its model has no terrain";
        return false;
    }
    // As the race's scene takes it: every geometry's indices, in the "Terrain" frame.
    if (const auto* frame = dynamic_cast<GroupNode*>(Node::Search(top, "Terrain"))) {
        const float* m = frame->GetTransform().GetMatrix().ptr();
        std::copy(m, m + 16, matrixGL);
    }
    const Mesh& mesh = meshNode->GetMesh();
    vertices = mesh.GetVertexArray();
    for (unsigned i = 0; i < mesh.GetGeometryCount(); ++i) {
        const std::vector<unsigned int>& part = mesh.GetGeometry(i)->GetVertexIndices();
        indices.insert(indices.end(), part.begin(), part.end());
    }
    if (indices.empty()) problem = "its terrain has no usable triangle";
    return !indices.empty();
}

bool TrackTerrain::AddTo(physics::World& world) const {
    return IsLoaded() && world.AddStaticMesh(vertices, indices, matrixGL) != nullptr;
}
