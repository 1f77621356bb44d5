#include "TerrainTiles.h"

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/StateNode.h>

namespace {

using vec3 = vmath::vec3<float>;

// The triangles of one material in one tile, as index lists into the mesh.
struct Part {
    std::vector<unsigned int> vertices, normals, texCoords;
};

struct Tile {
    BoundingBox box;
    std::vector<Part> parts;  // one per material of the mesh node, in its order
};

// Where a drawable's triangles come from: its geometry and its material's node.
struct Source {
    const StateNode* state;
    const Geometry* geometry;
};

std::vector<Source> Sources(const MeshNode& meshNode) {
    std::vector<Source> sources;
    for (unsigned s = 0; s < meshNode.GetChildCount(); ++s) {
        const auto* state = dynamic_cast<const StateNode*>(meshNode.GetChild(s));
        if (!state) continue;
        for (unsigned d = 0; d < state->GetChildCount(); ++d)
            if (const auto* drawable = dynamic_cast<const DrawableNode*>(state->GetChild(d)))
                if (const auto* geometry = dynamic_cast<const Geometry*>(&drawable->GetDrawable()))
                    sources.push_back({state, geometry});
    }
    return sources;
}

// A tile coordinate, kept in range for coordinates far off or not numbers.
int TileIndex(float coordinate, float tileSize) {
    const float index = std::floor(coordinate / tileSize);
    if (!(index > -1.0e6f)) return -1000000;
    return index < 1.0e6f ? static_cast<int>(index) : 1000000;
}

bool OwnedBy(const Model& model, const Mesh* mesh) {
    for (unsigned m = 0; const Mesh* owned = model.GetMesh(m); ++m)
        if (owned == mesh) return true;
    return false;
}

bool IsChild(const GroupNode& parent, const MeshNode& child) {
    for (unsigned i = 0; i < parent.GetChildCount(); ++i)
        if (parent.GetChild(i) == &child) return true;
    return false;
}

}  // namespace

Mesh* TerrainTiles::Split(Model& model, GroupNode& ground, MeshNode& meshNode, float tileSize) {
    const Mesh& whole = meshNode.GetMesh();
    if (!(tileSize > 0.0f) || !std::isfinite(tileSize) || !IsChild(ground, meshNode) || !OwnedBy(model, &whole))
        return nullptr;

    const std::vector<vec3>& vertices = whole.GetVertexArray();
    const std::size_t normalCount = whole.GetNormalArraySize();
    const std::size_t texCoordCount = whole.GetTexCoordArraySize();
    const std::vector<Source> sources = Sources(meshNode);
    std::map<std::pair<int, int>, Tile> tiles;
    for (std::size_t part = 0; part < sources.size(); ++part) {
        const Geometry& geometry = *sources[part].geometry;
        const std::vector<unsigned int>& v = geometry.GetVertexIndices();
        const std::vector<unsigned int>& n = geometry.GetNormalIndices();
        const std::vector<unsigned int>& t = geometry.GetTexCoordIndices();
        // Normals and texture coordinates are optional, but when present they
        // go with every vertex index.
        const bool withNormals = n.size() == v.size();
        const bool withTexCoords = t.size() == v.size();
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
            bool usable = true;
            for (std::size_t k = i; k < i + 3; ++k)
                usable = usable && v[k] < vertices.size() && (!withNormals || n[k] < normalCount) &&
                         (!withTexCoords || t[k] < texCoordCount);
            if (!usable) continue;
            const vec3 centre = (vertices[v[i]] + vertices[v[i + 1]] + vertices[v[i + 2]]) * (1.0f / 3.0f);
            Tile& tile = tiles[{TileIndex(centre.x, tileSize), TileIndex(centre.y, tileSize)}];
            tile.parts.resize(sources.size());
            Part& target = tile.parts[part];
            for (std::size_t k = i; k < i + 3; ++k) {
                tile.box.Expand(vertices[v[k]]);
                target.vertices.push_back(v[k]);
                if (withNormals) target.normals.push_back(n[k]);
                if (withTexCoords) target.texCoords.push_back(t[k]);
            }
        }
    }
    if (tiles.empty()) return nullptr;

    auto mesh = std::make_unique<Mesh>();
    mesh->SetName(whole.GetName() + "-tiles");
    mesh->SetVertexArray(whole.GetVertexArray());
    mesh->SetNormalArray(whole.GetNormalArray());
    mesh->SetTexCoordArray(whole.GetTexCoordArray());
    mesh->GetBoundingVolume().Expand(whole.GetBoundingVolume());

    std::vector<Node*> groups;
    for (auto& [key, tile] : tiles) {
        auto* group = new GroupNode(*new BoundingBox(tile.box));
        group->SetName(ground.GetName() + "-tile " + std::to_string(key.first) + " " + std::to_string(key.second));
        for (std::size_t part = 0; part < tile.parts.size(); ++part) {
            Part& triangles = tile.parts[part];
            if (triangles.vertices.empty()) continue;
            auto* geometry = new Geometry;
            geometry->SetName(sources[part].geometry->GetName());
            geometry->SetMesh(mesh.get());
            geometry->SetVertexIndices(std::move(triangles.vertices));
            geometry->SetNormalIndices(std::move(triangles.normals));
            geometry->SetTexCoordIndices(std::move(triangles.texCoords));
            mesh->AddGeometry(geometry);
            // The material belongs to the model; the node only refers to it.
            auto* state = new StateNode(const_cast<State&>(sources[part].state->GetState()));
            state->SetName(sources[part].state->GetName());
            state->AddChild(new DrawableNode(*geometry));
            group->AddChild(state);
        }
        groups.push_back(group);
    }

    ground.RemoveChild(&meshNode);
    delete &meshNode;
    for (Node* group : groups) ground.AddChild(group);
    Mesh* tilesMesh = mesh.release();
    model.AddMesh(tilesMesh);
    return tilesMesh;
}
