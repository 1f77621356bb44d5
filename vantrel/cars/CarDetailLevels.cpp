#include "CarDetailLevels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include <meshoptimizer.h>

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/NodeTreeCopy.h>
#include <nodara/StateNode.h>
#include <nodara/SwitchNode.h>

namespace {

using vec3 = vmath::vec3<float>;
using mat4 = vmath::mat4<float>;

// A mesh whose share of a level would be fewer triangles is left out of it.
const unsigned MinTriangles = 8;

// One geometry's triangles: corners into a mesh's vertex, normal and
// texture-coordinate arrays (none of the last where it has none).
struct Part {
    State* state;
    std::string name;
    std::vector<unsigned> vertices, normals, texCoords;
    std::size_t Triangles() const { return vertices.size() / 3; }
};

// A mesh node below the car, where it hangs and its frame in the car's
// coordinates (OpenGL's order, its own transform included).
struct Place {
    Node* parent;
    MeshNode* node;
    mat4 frame;
    std::vector<Part> parts;
    std::size_t triangles;
};

// The parts a mesh node draws. Triangles the renderer could not draw (an
// index outside the arrays, no normal) are left out.
std::vector<Part> PartsOf(const MeshNode& meshNode) {
    const Mesh& mesh = meshNode.GetMesh();
    const std::size_t vertexCount = mesh.GetVertexArraySize(), normalCount = mesh.GetNormalArraySize(),
                      texCoordCount = mesh.GetTexCoordArraySize();
    std::vector<Part> parts;
    for (unsigned s = 0; const Node* child = meshNode.GetChild(s); ++s) {
        const auto* stateNode = dynamic_cast<const StateNode*>(child);
        if (!stateNode) continue;
        for (unsigned d = 0; const Node* grandChild = stateNode->GetChild(d); ++d) {
            const auto* drawable = dynamic_cast<const DrawableNode*>(grandChild);
            const auto* geometry = drawable ? dynamic_cast<const Geometry*>(&drawable->GetDrawable()) : nullptr;
            if (!geometry || geometry->GetMesh() != &mesh) continue;
            const std::vector<unsigned>& v = geometry->GetVertexIndices();
            const std::vector<unsigned>& n = geometry->GetNormalIndices();
            const std::vector<unsigned>& t = geometry->GetTexCoordIndices();
            const bool withTexCoords = !t.empty();
            Part part{const_cast<State*>(&stateNode->GetState()), geometry->GetName(), {}, {}, {}};
            for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
                bool usable = true;
                for (std::size_t k = i; k < i + 3; ++k)
                    usable = usable && v[k] < vertexCount && k < n.size() && n[k] < normalCount &&
                             (!withTexCoords || (k < t.size() && t[k] < texCoordCount));
                if (!usable) continue;
                part.vertices.insert(part.vertices.end(), v.begin() + i, v.begin() + i + 3);
                part.normals.insert(part.normals.end(), n.begin() + i, n.begin() + i + 3);
                if (withTexCoords) part.texCoords.insert(part.texCoords.end(), t.begin() + i, t.begin() + i + 3);
            }
            if (!part.vertices.empty()) parts.push_back(std::move(part));
        }
    }
    return parts;
}

// A mesh node's parts as one surface whose vertices are the distinct corners
// of each part: where parts meet, or a crease or a texture seam runs, one
// place has several corners, and meshoptimizer keeps such seams closed. So
// each simplified triangle has the corners of one part, and stays in it.
class Surface {
public:
    Surface(const Mesh& mesh, const std::vector<Part>& parts) : parts(parts) {
        std::unordered_map<std::array<unsigned, 4>, unsigned, CornerHash> ids;
        const std::vector<vec3>& vertices = mesh.GetVertexArray();
        for (unsigned p = 0; p < parts.size(); ++p) {
            const Part& part = parts[p];
            for (std::size_t k = 0; k < part.vertices.size(); ++k) {
                const std::array<unsigned, 4> corner{p, part.vertices[k], part.normals[k],
                                                     part.texCoords.empty() ? 0u : part.texCoords[k]};
                const auto [at, added] = ids.try_emplace(corner, static_cast<unsigned>(corners.size()));
                if (added) {
                    corners.push_back(corner);
                    const vec3& position = vertices[corner[1]];
                    positions.insert(positions.end(), {position.x, position.y, position.z});
                }
                indices.push_back(at->second);
            }
        }
    }

    /// The parts with about `target` triangles in all. Where seams and small
    /// pieces stop the simplification well short of the target, the sloppy
    /// simplifier, which ignores the topology, takes the rest (a triangle
    /// then goes to the part of its first corner).
    std::vector<Part> Simplified(std::size_t target) const {
        // A share above what the mesh has keeps the mesh whole: the simplifier
        // refuses a target beyond its input.
        const std::size_t targetIndices = std::min(target * 3, indices.size());
        std::vector<unsigned> kept(indices.size());
        // An error of the whole size of the mesh: the target count decides.
        kept.resize(meshopt_simplify(kept.data(), indices.data(), indices.size(), positions.data(), corners.size(),
                                     sizeof(float) * 3, targetIndices, 1.0f, 0, nullptr));
        if (kept.size() > targetIndices + targetIndices / 4) {
            std::vector<unsigned> coarse(kept.size());
            coarse.resize(meshopt_simplifySloppy(coarse.data(), kept.data(), kept.size(), positions.data(),
                                                 corners.size(), sizeof(float) * 3, targetIndices, 1.0f, nullptr));
            if (!coarse.empty()) kept.swap(coarse);
        }
        std::vector<Part> result;
        for (const Part& part : parts) result.push_back({part.state, part.name, {}, {}, {}});
        for (std::size_t i = 0; i + 2 < kept.size(); i += 3) {
            const unsigned p = corners[kept[i]][0];
            Part& part = result[p];
            for (std::size_t k = i; k < i + 3; ++k) {
                part.vertices.push_back(corners[kept[k]][1]);
                part.normals.push_back(corners[kept[k]][2]);
                if (!parts[p].texCoords.empty()) part.texCoords.push_back(corners[kept[k]][3]);
            }
        }
        result.erase(std::remove_if(result.begin(), result.end(), [](const Part& part) { return part.vertices.empty(); }),
                     result.end());
        return result;
    }

private:
    struct CornerHash {
        std::size_t operator()(const std::array<unsigned, 4>& c) const {
            std::size_t h = c[0];
            for (int i = 1; i < 4; ++i) h = h * 0x9E3779B97F4A7C15ull + c[i];
            return h ^ (h >> 29);
        }
    };

    const std::vector<Part>& parts;
    std::vector<std::array<unsigned, 4>> corners;  // part, vertex, normal and texture coordinate of each id
    std::vector<float> positions;
    std::vector<unsigned> indices;
};

// A new mesh made of parts of other meshes, each placed by a frame, with
// arrays of its own that hold only what the parts use.
class MeshBuilder {
public:
    explicit MeshBuilder(const std::string& name) : mesh(new Mesh) { mesh->SetName(name); }

    /// With `byMaterial`, parts of one state (and the same use of texture
    /// coordinates) go into one geometry, one draw, whichever mesh they come from.
    void Add(const Mesh& source, const std::vector<Part>& parts, const mat4& frame, bool byMaterial) {
        std::map<unsigned, unsigned> vertexIds, normalIds, texCoordIds;
        const float* m = frame.ptr();
        for (const Part& part : parts) {
            Geometry* geometry = byMaterial ? Find(part) : nullptr;
            if (!geometry) {
                geometry = new Geometry;
                geometry->SetName(part.name);
                geometry->SetMesh(mesh.get());
                mesh->AddGeometry(geometry);
                states.push_back({part.state, geometry});
            }
            for (std::size_t k = 0; k < part.vertices.size(); ++k) {
                auto [vertex, newVertex] = vertexIds.try_emplace(part.vertices[k], mesh->GetVertexArraySize());
                if (newVertex) {
                    const vec3& p = source.GetVertexArray()[part.vertices[k]];
                    const vec3 placed(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                                      m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                                      m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
                    mesh->AddVertex(placed);
                    mesh->GetBoundingVolume().Expand(placed);
                }
                auto [normal, newNormal] = normalIds.try_emplace(part.normals[k], mesh->GetNormalArraySize());
                if (newNormal) {
                    const vec3& n = source.GetNormalArray()[part.normals[k]];
                    const vec3 turned(m[0] * n.x + m[4] * n.y + m[8] * n.z, m[1] * n.x + m[5] * n.y + m[9] * n.z,
                                      m[2] * n.x + m[6] * n.y + m[10] * n.z);
                    const float length = vmath::length(turned);
                    mesh->AddNormal(length > 0.0f ? turned * (1.0f / length) : turned);
                }
                geometry->AddVertexIndex(vertex->second);
                geometry->AddNormalIndex(normal->second);
                if (part.texCoords.empty()) continue;
                auto [texCoord, newTexCoord] = texCoordIds.try_emplace(part.texCoords[k], mesh->GetTexCoordArraySize());
                if (newTexCoord) mesh->AddTexCoord(source.GetTexCoordArray()[part.texCoords[k]]);
                geometry->AddTexCoordIndex(texCoord->second);
            }
        }
    }

    /// The mesh node drawing it all, with the transform of `like`; translucent
    /// materials last, so that what lies behind them is drawn first. Null
    /// when nothing was added.
    std::unique_ptr<MeshNode> MakeNode(const MeshNode& like) {
        if (states.empty()) return nullptr;
        std::stable_partition(states.begin(), states.end(), [](const Layer& layer) {
            const auto* material = dynamic_cast<const Material*>(layer.state);
            return !material || !material->IsTranslucent();
        });
        auto node = std::make_unique<MeshNode>(*mesh);
        node->SetName(mesh->GetName());
        node->GetTransform() = like.GetTransform();
        for (const Layer& layer : states) {
            auto* stateNode = new StateNode(*layer.state);
            stateNode->SetName(layer.state->GetName());
            auto* drawable = new DrawableNode(*layer.geometry);
            drawable->SetName(layer.geometry->GetName());
            stateNode->AddChild(drawable);
            node->AddChild(stateNode);
        }
        return node;
    }

    std::unique_ptr<Mesh> mesh;

private:
    struct Layer {
        State* state;
        Geometry* geometry;
    };
    Geometry* Find(const Part& part) const {
        for (const Layer& layer : states)
            if (layer.state == part.state && layer.geometry->GetTexCoordIndices().empty() == part.texCoords.empty())
                return layer.geometry;
        return nullptr;
    }

    std::vector<Layer> states;
};

bool HasSwitch(const Node& node) {
    if (dynamic_cast<const SwitchNode*>(&node)) return true;
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i)
        if (HasSwitch(*child)) return true;
    return false;
}

// Every mesh node below `node`, whose coordinates go into the car's by `frame`.
void CollectPlaces(Node& node, const mat4& frame, std::vector<Place>& places) {
    for (unsigned i = 0; Node* child = node.GetChild(i); ++i) {
        // A child's matrix applies before its parent's: in OpenGL's order it
        // stands on the left.
        const auto* transformNode = dynamic_cast<const TransformNode*>(child);
        const mat4 childFrame = transformNode ? transformNode->GetTransform().GetMatrix() * frame : frame;
        if (auto* meshNode = dynamic_cast<MeshNode*>(child)) {
            Place place{&node, meshNode, childFrame, PartsOf(*meshNode), 0};
            for (const Part& part : place.parts) place.triangles += part.Triangles();
            places.push_back(std::move(place));
            continue;
        }
        CollectPlaces(*child, childFrame, places);
    }
}

// Which parts a level makes of a place: a place sharing its mesh and
// materials with another (the wheels) shares its simplified copy too.
using Key = std::pair<const Mesh*, std::vector<State*>>;
Key KeyOf(const Place& place) {
    Key key{&place.node->GetMesh(), {}};
    for (const Part& part : place.parts) key.second.push_back(part.state);
    return key;
}

}  // namespace

std::vector<Mesh*> CarDetailLevels::Make(Model& model, GroupNode& car) {
    if (HasSwitch(car)) return {};
    std::vector<Place> places;
    CollectPlaces(car, mat4::identity(), places);
    std::size_t total = 0;
    for (const Place& place : places) total += place.triangles;
    if (total == 0) return {};
    const auto share = [total](const Place& place, unsigned triangles) {
        return static_cast<std::size_t>(std::lround(double(triangles) * double(place.triangles) / double(total)));
    };

    std::vector<std::unique_ptr<Mesh>> meshes;
    // Places sharing a mesh and its materials share the surface each level
    // simplifies.
    std::map<Key, std::unique_ptr<Surface>> surfaces;
    const auto surfaceOf = [&surfaces](const Place& place) -> const Surface& {
        std::unique_ptr<Surface>& surface = surfaces[KeyOf(place)];
        if (!surface) surface = std::make_unique<Surface>(place.node->GetMesh(), place.parts);
        return *surface;
    };
    // Levels 1 and 2: each mesh simplified on its own, in its own coordinates.
    const unsigned shares[2] = {NearTriangles, MiddleTriangles};
    std::vector<std::unique_ptr<MeshNode>> simplified[2];
    for (int l = 0; l < 2; ++l) {
        std::map<Key, const MeshNode*> madeFor;
        simplified[l].resize(places.size());
        for (std::size_t i = 0; i < places.size(); ++i) {
            const Place& place = places[i];
            const std::size_t target = share(place, shares[l]);
            if (target < MinTriangles) continue;
            const Key key = KeyOf(place);
            std::unique_ptr<MeshNode>& node = simplified[l][i];
            if (const auto found = madeFor.find(key); found != madeFor.end()) {
                node.reset(static_cast<MeshNode*>(NodeTreeCopy::Copy(*found->second)));
                if (node) node->GetTransform() = place.node->GetTransform();
                continue;
            }
            MeshBuilder builder(place.node->GetMesh().GetName() + (l == 0 ? " near" : " middle"));
            builder.Add(place.node->GetMesh(), surfaceOf(place).Simplified(target), mat4::identity(), false);
            node = builder.MakeNode(*place.node);
            if (!node) continue;
            madeFor.emplace(key, node.get());
            meshes.push_back(std::move(builder.mesh));
        }
    }

    // Level 3: everything at rest in the coordinates of the largest mesh (the body).
    const auto host = std::max_element(places.begin(), places.end(),
                                       [](const Place& a, const Place& b) { return a.triangles < b.triangles; });
    const mat4 toHost = vmath::inverse(host->frame);
    MeshBuilder far(car.GetName() + " far");
    std::map<Key, std::vector<Part>> farParts;
    for (const Place& place : places) {
        const std::size_t target = share(place, FarTriangles);
        if (target < MinTriangles) continue;
        const Key key = KeyOf(place);
        auto found = farParts.find(key);
        if (found == farParts.end())
            found = farParts.emplace(key, surfaceOf(place).Simplified(target)).first;
        far.Add(place.node->GetMesh(), found->second, place.frame * toHost, true);
    }
    std::unique_ptr<MeshNode> farNode = far.MakeNode(*host->node);
    if (farNode) meshes.push_back(std::move(far.mesh));

    // Each mesh node makes way for its switch, in its place among its siblings.
    std::map<MeshNode*, SwitchNode*> switches;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& place = places[i];
        auto* levels = new SwitchNode;
        levels->SetName(place.node->GetName() + " levels");
        levels->SetParent(place.parent);
        levels->AddChild(place.node);
        place.node->SetParent(levels);
        const bool isHost = &place == &*host && farNode;
        for (int l = 0; l < 2; ++l) {
            if (simplified[l][i]) {
                simplified[l][i]->SetParent(levels);
                levels->AddChild(simplified[l][i].release());
            } else if (isHost) {
                // The far look is the host's fourth child, whatever becomes of the others.
                levels->AddChild(new GroupNode);
            }
        }
        if (isHost) {
            farNode->SetParent(levels);
            levels->AddChild(farNode.release());
        }
        switches.emplace(place.node, levels);
    }
    std::vector<Node*> parents;
    for (const Place& place : places)
        if (std::find(parents.begin(), parents.end(), place.parent) == parents.end()) parents.push_back(place.parent);
    for (Node* parent : parents) {
        std::vector<Node*> children;
        for (unsigned i = 0; Node* child = parent->GetChild(i); ++i) children.push_back(child);
        parent->RemoveAllChilds();
        for (Node* child : children) {
            const auto found = switches.find(dynamic_cast<MeshNode*>(child));
            parent->AddChild(found != switches.end() ? found->second : child);
        }
    }

    std::vector<Mesh*> made;
    for (std::unique_ptr<Mesh>& mesh : meshes) {
        made.push_back(mesh.get());
        model.AddMesh(mesh.release());
    }
    return made;
}

unsigned CarDetailLevels::CountTriangles(const Node& node, unsigned level) {
    if (const auto* levels = dynamic_cast<const SwitchNode*>(&node)) {
        const Node* chosen = levels->GetChild(level);
        return chosen ? CountTriangles(*chosen, level) : 0;
    }
    unsigned triangles = 0;
    if (const auto* drawable = dynamic_cast<const DrawableNode*>(&node))
        if (const auto* geometry = dynamic_cast<const Geometry*>(&drawable->GetDrawable()))
            triangles += geometry->GetVertexIndicesSize() / 3;
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) triangles += CountTriangles(*child, level);
    return triangles;
}
