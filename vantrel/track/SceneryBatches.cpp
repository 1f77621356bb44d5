#include "SceneryBatches.h"

#include <algorithm>
#include <array>
#include <map>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/StateNode.h>
#include <nodara/TransformNode.h>

#include <meshoptimizer.h>

namespace {

using vec2 = vmath::vec2<float>;
using vec3 = vmath::vec3<float>;

// A column-major 4 x 4 matrix as OpenGL stores it: element (row r, column c) at c * 4 + r.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    Matrix Then(const float* local) const {
        Matrix product;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) {
                float sum = 0.0f;
                for (int k = 0; k < 4; ++k) sum += m[k * 4 + r] * local[c * 4 + k];
                product.m[c * 4 + r] = sum;
            }
        return product;
    }
    vec3 Point(const vec3& p) const {
        return vec3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                    m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
    }
    // Normals go through the inverse transpose of the upper 3 x 3, here its
    // cofactor matrix: the determinant's scale is lost to the normalisation.
    vec3 Normal(const vec3& n) const {
        const float a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
        const vec3 out((e * i - f * h) * n.x + (f * g - d * i) * n.y + (d * h - e * g) * n.z,
                       (c * h - b * i) * n.x + (a * i - c * g) * n.y + (b * g - a * h) * n.z,
                       (b * f - c * e) * n.x + (c * d - a * f) * n.y + (a * e - b * d) * n.z);
        const float length = std::sqrt(out.x * out.x + out.y * out.y + out.z * out.z);
        return length > 0.0f && std::isfinite(length) ? out * (1.0f / length) : vec3(0.0f, 0.0f, 1.0f);
    }
};

// The baked triangles of one placed object (one geometry under one
// transform), with or without texture coordinates, and the box of its placed
// vertices.
struct Piece {
    const Material* material;
    bool textured;
    BoundingBox box;
    std::vector<unsigned int> vertices, normals, texCoords;
};

// The pieces of one material in one cell, in their order.
struct Batch {
    int cell;
    const Material* material;
    bool textured;
    std::vector<const Piece*> pieces;
};

// Which of `count` equal cells spanning [low, high] holds `coordinate`; all
// in one when the span is empty or not a number.
int CellIndex(float coordinate, float low, float high, int count) {
    const float fraction = (coordinate - low) / (high - low);
    if (!(fraction > 0.0f)) return 0;
    return std::min(count - 1, static_cast<int>(fraction * static_cast<float>(count)));
}

// How many cells of about `cellSize` the span [low, high] is cut into.
int CellCount(float low, float high, float cellSize) {
    const float cells = std::ceil((high - low) / cellSize);
    if (!(cells > 1.0f)) return 1;
    return cells < 1024.0f ? static_cast<int>(cells) : 1024;
}

class Baker {
public:
    explicit Baker(Mesh& target) : target(target) {}

    bool Visit(const Node& node, const Matrix& matrix, const Material* material) {
        switch (node.GetType()) {
        case Node::DRAWABLE_NODE: {
            const auto* geometry =
                dynamic_cast<const Geometry*>(&static_cast<const DrawableNode&>(node).GetDrawable());
            return geometry && material && Bake(*geometry, matrix, *material);
        }
        case Node::STATE_NODE: {
            const auto* own = dynamic_cast<const Material*>(&static_cast<const StateNode&>(node).GetState());
            if (!own) return false;
            return Children(node, matrix, own);
        }
        case Node::TRANSFORM_NODE:
        case Node::GROUP_NODE:
        case Node::MESH_NODE:
            return Children(node, matrix.Then(static_cast<const TransformNode&>(node).GetTransform().GetMatrix().ptr()),
                           material);
        default:
            return false;
        }
    }

    std::vector<Piece> pieces;
    BoundingBox box;

private:
    bool Children(const Node& node, const Matrix& matrix, const Material* material) {
        for (unsigned i = 0; i < node.GetChildCount(); ++i)
            if (!Visit(*node.GetChild(i), matrix, material)) return false;
        return true;
    }

    bool Bake(const Geometry& geometry, const Matrix& matrix, const Material& material) {
        const Mesh* source = geometry.GetMesh();
        const std::vector<unsigned int>& v = geometry.GetVertexIndices();
        const std::vector<unsigned int>& n = geometry.GetNormalIndices();
        const std::vector<unsigned int>& t = geometry.GetTexCoordIndices();
        // Every draw path reads a normal with each vertex.
        if (!source || n.size() != v.size()) return false;
        const bool textured = t.size() == v.size();

        // The source's arrays go in, placed, once for each geometry drawn from them.
        const unsigned int vertexBase = target.GetVertexArraySize();
        const unsigned int normalBase = target.GetNormalArraySize();
        const unsigned int texCoordBase = target.GetTexCoordArraySize();
        const std::vector<vec3>& vertices = source->GetVertexArray();
        const std::vector<vec3>& normals = source->GetNormalArray();
        const std::vector<vec2>& texCoords = source->GetTexCoordArray();
        bool any = false;
        Piece* piece = nullptr;
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
            bool usable = true;
            for (std::size_t k = i; k < i + 3; ++k)
                usable = usable && v[k] < vertices.size() && n[k] < normals.size() &&
                         (!textured || t[k] < texCoords.size());
            if (!usable) continue;
            if (!any) {
                pieces.push_back({&material, textured, BoundingBox(), {}, {}, {}});
                piece = &pieces.back();
                for (const vec3& p : vertices) {
                    const vec3 placed = matrix.Point(p);
                    target.AddVertex(placed);
                    piece->box.Expand(placed);
                }
                box.Expand(piece->box);
                for (const vec3& normal : normals) target.AddNormal(matrix.Normal(normal));
                if (textured)
                    for (const vec2& coordinate : texCoords) target.AddTexCoord(coordinate);
                any = true;
            }
            for (std::size_t k = i; k < i + 3; ++k) {
                piece->vertices.push_back(vertexBase + v[k]);
                piece->normals.push_back(normalBase + n[k]);
                if (textured) piece->texCoords.push_back(texCoordBase + t[k]);
            }
        }
        return true;
    }

    Mesh& target;
};

// The material nodes right under `group` over a geometry of `batches`.
std::vector<StateNode*> BatchNodes(const GroupNode& group, const Mesh& batches) {
    std::vector<StateNode*> nodes;
    for (unsigned i = 0; i < group.GetChildCount(); ++i) {
        auto* state = dynamic_cast<StateNode*>(group.GetChild(i));
        const auto* drawable = state ? dynamic_cast<const DrawableNode*>(state->GetChild(0)) : nullptr;
        const auto* geometry = drawable ? dynamic_cast<const Geometry*>(&drawable->GetDrawable()) : nullptr;
        if (geometry && geometry->GetMesh() == &batches) nodes.push_back(state);
    }
    return nodes;
}

// `geometry`'s triangles within `errorM`, as (vertex, normal, texture) index
// lists into its mesh. The sloppy simplifier ignores the topology: far off, a
// tree's trunk and crown may merge with its neighbours' into one shape.
void Simplify(const Geometry& geometry, float errorM, std::vector<unsigned int> (&out)[3]) {
    const Mesh& mesh = *geometry.GetMesh();
    const std::vector<unsigned int>* in[3] = {&geometry.GetVertexIndices(), &geometry.GetNormalIndices(),
                                               &geometry.GetTexCoordIndices()};
    const bool textured = in[2]->size() == in[0]->size();
    const std::vector<vec3>& positions = mesh.GetVertexArray();
    // Each distinct corner (its vertex, normal and texture coordinate) is one
    // vertex to the simplifier, so every corner kept keeps its own attributes.
    std::map<std::array<unsigned int, 3>, unsigned int> ids;
    std::vector<std::array<unsigned int, 3>> corners;
    std::vector<float> coordinates;
    std::vector<unsigned int> indices;
    for (std::size_t i = 0; i + 2 < in[0]->size(); i += 3) {
        bool usable = true;
        for (std::size_t k = i; k < i + 3; ++k)
            usable = usable && (*in[0])[k] < positions.size() && k < in[1]->size();
        if (!usable) continue;
        for (std::size_t k = i; k < i + 3; ++k) {
            const unsigned int vertex = (*in[0])[k];
            const std::array<unsigned int, 3> corner{vertex, (*in[1])[k], textured ? (*in[2])[k] : 0u};
            const auto [at, added] = ids.try_emplace(corner, static_cast<unsigned int>(corners.size()));
            if (added) {
                corners.push_back(corner);
                coordinates.insert(coordinates.end(), {positions[vertex].x, positions[vertex].y, positions[vertex].z});
            }
            indices.push_back(at->second);
        }
    }
    if (indices.empty()) return;
    const float scale = meshopt_simplifyScale(coordinates.data(), corners.size(), sizeof(float) * 3);
    std::vector<unsigned int> kept(indices.size());
    kept.resize(meshopt_simplifySloppy(kept.data(), indices.data(), indices.size(), coordinates.data(),
                                       corners.size(), sizeof(float) * 3, 0, scale > 0.0f ? errorM / scale : 0.0f,
                                       nullptr));
    for (unsigned int index : kept) {
        out[0].push_back(corners[index][0]);
        out[1].push_back(corners[index][1]);
        if (textured) out[2].push_back(corners[index][2]);
    }
}

}  // namespace

Mesh* SceneryBatches::Merge(Model& model, GroupNode& group, float cellSizeM) {
    auto mesh = std::make_unique<Mesh>();
    mesh->SetName(group.GetName() + "-batches");
    Baker baker(*mesh);
    for (unsigned i = 0; i < group.GetChildCount(); ++i)
        if (!baker.Visit(*group.GetChild(i), Matrix(), nullptr)) return nullptr;

    // The group's extent cut into equal cells of about the size asked; an
    // object goes whole into the cell under the centre of its box, so the
    // cell's box holds all of it.
    const bool cut = cellSizeM > 0.0f && std::isfinite(cellSizeM);
    const vec3 low = baker.box.GetMinimum(), high = baker.box.GetMaximum();
    const int columns = cut ? CellCount(low.x, high.x, cellSizeM) : 1;
    const int rows = cut ? CellCount(low.y, high.y, cellSizeM) : 1;
    std::vector<Batch> batches;
    std::vector<int> cellOrder;
    std::vector<BoundingBox> cellBoxes(static_cast<std::size_t>(columns) * rows);
    for (const Piece& piece : baker.pieces) {
        if (piece.vertices.empty()) continue;
        const vec3 centre = (piece.box.GetMinimum() + piece.box.GetMaximum()) * 0.5f;
        const int cell =
            CellIndex(centre.y, low.y, high.y, rows) * columns + CellIndex(centre.x, low.x, high.x, columns);
        if (std::find(cellOrder.begin(), cellOrder.end(), cell) == cellOrder.end()) cellOrder.push_back(cell);
        cellBoxes[cell].Expand(piece.box);
        auto batch = std::find_if(batches.begin(), batches.end(), [&](const Batch& b) {
            return b.cell == cell && b.material == piece.material && b.textured == piece.textured;
        });
        if (batch == batches.end()) batch = batches.insert(batches.end(), {cell, piece.material, piece.textured, {}});
        batch->pieces.push_back(&piece);
    }
    if (batches.empty()) return nullptr;

    // One material node a batch, listed by cell in the cells' order of first use.
    std::vector<std::vector<Node*>> cellStates(cellBoxes.size());
    for (const Batch& batch : batches) {
        auto* geometry = new Geometry;
        geometry->SetName(batch.material->GetName());
        geometry->SetMesh(mesh.get());
        std::vector<unsigned int> vertices, normals, texCoords;
        for (const Piece* piece : batch.pieces) {
            vertices.insert(vertices.end(), piece->vertices.begin(), piece->vertices.end());
            normals.insert(normals.end(), piece->normals.begin(), piece->normals.end());
            texCoords.insert(texCoords.end(), piece->texCoords.begin(), piece->texCoords.end());
        }
        geometry->SetVertexIndices(std::move(vertices));
        geometry->SetNormalIndices(std::move(normals));
        geometry->SetTexCoordIndices(std::move(texCoords));
        mesh->AddGeometry(geometry);
        // The material belongs to the model; the node only refers to it.
        auto* state = new StateNode(const_cast<Material&>(*batch.material));
        state->SetName(batch.material->GetName());
        state->AddChild(new DrawableNode(*geometry));
        cellStates[batch.cell].push_back(state);
    }

    mesh->GetBoundingVolume().Expand(baker.box);
    // The objects' nodes go with the group's old children; their meshes and
    // materials belong to the model and stay.
    std::vector<Node*> old;
    for (unsigned i = 0; i < group.GetChildCount(); ++i)
        if (std::find(old.begin(), old.end(), group.GetChild(i)) == old.end()) old.push_back(group.GetChild(i));
    group.RemoveAllChilds();
    for (Node* child : old) delete child;
    for (int cell : cellOrder) {
        // A single cell needs no box of its own: the group's is the same.
        GroupNode* parent = &group;
        if (cellOrder.size() > 1) {
            parent = new GroupNode;
            parent->SetName(group.GetName() + "-cell" + std::to_string(cell % columns) + "_" +
                            std::to_string(cell / columns));
            parent->SetBoundingVolume(*new BoundingBox(cellBoxes[cell]));
            group.AddChild(parent);
        }
        for (Node* state : cellStates[cell]) parent->AddChild(state);
    }
    group.SetBoundingVolume(*new BoundingBox(baker.box));
    Mesh* baked = mesh.release();
    model.AddMesh(baked);
    return baked;
}

std::vector<CoarseCopy> SceneryBatches::AddCoarseCopies(GroupNode& group, Mesh& batches, float errorM) {
    std::vector<CoarseCopy> pairs;
    if (!(errorM > 0.0f) || !std::isfinite(errorM)) return pairs;
    std::vector<GroupNode*> cells;
    for (unsigned i = 0; i < group.GetChildCount(); ++i)
        if (auto* cell = dynamic_cast<GroupNode*>(group.GetChild(i)); cell && cell->GetBoundingVolume())
            cells.push_back(cell);
    const std::vector<StateNode*> own = BatchNodes(group, batches);
    if (cells.empty() && !own.empty() && group.GetBoundingVolume()) {
        auto* cell = new GroupNode;
        cell->SetName(group.GetName() + "-cell");
        cell->SetBoundingVolume(*new BoundingBox(*group.GetBoundingVolume()));
        for (StateNode* state : own) {
            group.RemoveChild(state);
            cell->AddChild(state);
        }
        group.AddChild(cell);
        cells.push_back(cell);
    }
    for (GroupNode* cell : cells) {
        auto coarse = std::make_unique<GroupNode>();
        coarse->SetName(cell->GetName() + " coarse");
        coarse->SetBoundingVolume(*new BoundingBox(*cell->GetBoundingVolume()));
        for (const StateNode* state : BatchNodes(*cell, batches)) {
            const auto& fine = static_cast<const Geometry&>(
                static_cast<const DrawableNode*>(state->GetChild(0))->GetDrawable());
            std::vector<unsigned int> indices[3];
            Simplify(fine, errorM, indices);
            if (indices[0].empty()) continue;
            auto* geometry = new Geometry;
            geometry->SetName(fine.GetName() + " coarse");
            geometry->SetMesh(&batches);
            geometry->SetVertexIndices(std::move(indices[0]));
            geometry->SetNormalIndices(std::move(indices[1]));
            geometry->SetTexCoordIndices(std::move(indices[2]));
            batches.AddGeometry(geometry);
            auto* copy = new StateNode(const_cast<State&>(state->GetState()));
            copy->SetName(state->GetName());
            copy->AddChild(new DrawableNode(*geometry));
            coarse->AddChild(copy);
        }
        if (coarse->GetChildCount() == 0) continue;
        pairs.push_back({cell, coarse.get(), &group});
        group.AddChild(coarse.release());
    }
    return pairs;
}
