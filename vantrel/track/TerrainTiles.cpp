#include "TerrainTiles.h"

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
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

#include <meshoptimizer.h>

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

// One material's triangles of a tile: its node and its geometry.
struct Layer {
    const StateNode* state;
    const Geometry* geometry;
};

// Whether (x, y) lies in the triangle abc seen from above, edges included.
bool Covers(const vec3& a, const vec3& b, const vec3& c, float x, float y) {
    const auto side = [x, y](const vec3& p, const vec3& q) { return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x); };
    const float ab = side(a, b), bc = side(b, c), ca = side(c, a);
    return (ab >= 0.0f && bc >= 0.0f && ca >= 0.0f) || (ab <= 0.0f && bc <= 0.0f && ca <= 0.0f);
}

// The tile's layers as one surface with fewer triangles, within `errorM` and
// with the tile's border kept; each new triangle takes the material found
// under its centre. Returns per layer the (vertex, normal, texture) indices
// into `mesh`; each corner keeps the normal and texture coordinate its vertex
// had at its first use, as the ground has no seams.
std::vector<Part> Simplified(const std::vector<Layer>& layers, const Mesh& mesh, float errorM) {
    const std::vector<vec3>& positions = mesh.GetVertexArray();
    std::unordered_map<unsigned int, unsigned int> local;
    std::vector<unsigned int> global, indices;
    std::vector<float> coordinates;
    std::vector<unsigned int> normalOf, texCoordOf;
    std::vector<std::size_t> layerOf;  // per fine triangle
    bool withNormals = true, withTexCoords = true;
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const Geometry& geometry = *layers[l].geometry;
        const std::vector<unsigned int>& v = geometry.GetVertexIndices();
        const std::vector<unsigned int>& n = geometry.GetNormalIndices();
        const std::vector<unsigned int>& t = geometry.GetTexCoordIndices();
        withNormals = withNormals && n.size() == v.size();
        withTexCoords = withTexCoords && t.size() == v.size();
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
            if (v[i] >= positions.size() || v[i + 1] >= positions.size() || v[i + 2] >= positions.size()) continue;
            for (std::size_t k = i; k < i + 3; ++k) {
                const auto [at, added] = local.try_emplace(v[k], static_cast<unsigned int>(global.size()));
                if (added) {
                    global.push_back(v[k]);
                    normalOf.push_back(k < n.size() ? n[k] : 0);
                    texCoordOf.push_back(k < t.size() ? t[k] : 0);
                    coordinates.insert(coordinates.end(), {positions[v[k]].x, positions[v[k]].y, positions[v[k]].z});
                }
                indices.push_back(at->second);
            }
            layerOf.push_back(l);
        }
    }
    std::vector<Part> parts(layers.size());
    if (indices.empty()) return parts;
    const float scale = meshopt_simplifyScale(coordinates.data(), global.size(), sizeof(float) * 3);
    std::vector<unsigned int> kept(indices.size());
    kept.resize(meshopt_simplify(kept.data(), indices.data(), indices.size(), coordinates.data(), global.size(),
                                 sizeof(float) * 3, 0, scale > 0.0f ? errorM / scale : 0.0f,
                                 meshopt_SimplifyLockBorder));

    const auto at = [&](unsigned int index) { return positions[global[index]]; };
    for (std::size_t i = 0; i + 2 < kept.size(); i += 3) {
        const vec3 centre = (at(kept[i]) + at(kept[i + 1]) + at(kept[i + 2])) * (1.0f / 3.0f);
        // The material of the fine triangle under the centre, else of the nearest one.
        std::size_t layer = layerOf.front();
        float nearest = std::numeric_limits<float>::max();
        for (std::size_t f = 0; f < layerOf.size(); ++f) {
            const vec3 a = at(indices[f * 3]), b = at(indices[f * 3 + 1]), c = at(indices[f * 3 + 2]);
            if (Covers(a, b, c, centre.x, centre.y)) {
                layer = layerOf[f];
                break;
            }
            const vec3 d = (a + b + c) * (1.0f / 3.0f) - centre;
            const float squared = d.x * d.x + d.y * d.y;
            if (squared < nearest) nearest = squared, layer = layerOf[f];
        }
        Part& part = parts[layer];
        for (std::size_t k = i; k < i + 3; ++k) {
            part.vertices.push_back(global[kept[k]]);
            if (withNormals) part.normals.push_back(normalOf[kept[k]]);
            if (withTexCoords) part.texCoords.push_back(texCoordOf[kept[k]]);
        }
    }
    return parts;
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

std::vector<CoarseCopy> TerrainTiles::AddCoarseCopies(GroupNode& ground, Mesh& tiles, float errorM) {
    std::vector<CoarseCopy> pairs;
    if (!(errorM > 0.0f) || !std::isfinite(errorM)) return pairs;
    const unsigned int tileCount = ground.GetChildCount();
    for (unsigned int i = 0; i < tileCount; ++i) {
        auto* tile = dynamic_cast<GroupNode*>(ground.GetChild(i));
        if (!tile || !tile->GetBoundingVolume()) continue;
        std::vector<Layer> layers;
        for (unsigned int s = 0; s < tile->GetChildCount(); ++s) {
            const auto* state = dynamic_cast<const StateNode*>(tile->GetChild(s));
            const auto* drawable = state ? dynamic_cast<const DrawableNode*>(state->GetChild(0)) : nullptr;
            const auto* geometry = drawable ? dynamic_cast<const Geometry*>(&drawable->GetDrawable()) : nullptr;
            if (geometry && geometry->GetMesh() == &tiles) layers.push_back({state, geometry});
        }
        std::vector<Part> parts = Simplified(layers, tiles, errorM);
        auto coarse = std::make_unique<GroupNode>(*new BoundingBox(*tile->GetBoundingVolume()));
        coarse->SetName(tile->GetName() + " coarse");
        for (std::size_t l = 0; l < layers.size(); ++l) {
            if (parts[l].vertices.empty()) continue;
            auto* geometry = new Geometry;
            geometry->SetName(layers[l].geometry->GetName() + " coarse");
            geometry->SetMesh(&tiles);
            geometry->SetVertexIndices(std::move(parts[l].vertices));
            geometry->SetNormalIndices(std::move(parts[l].normals));
            geometry->SetTexCoordIndices(std::move(parts[l].texCoords));
            tiles.AddGeometry(geometry);
            auto* copy = new StateNode(const_cast<State&>(layers[l].state->GetState()));
            copy->SetName(layers[l].state->GetName());
            copy->AddChild(new DrawableNode(*geometry));
            coarse->AddChild(copy);
        }
        if (coarse->GetChildCount() == 0) continue;
        pairs.push_back({tile, coarse.get(), &ground});
        ground.AddChild(coarse.release());
    }
    return pairs;
}
