#include "SceneryBatches.h"

#include <algorithm>
#include <cmath>
#include <memory>
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

// The baked triangles of one material, with or without texture coordinates.
struct Batch {
    const Material* material;
    bool textured;
    std::vector<unsigned int> vertices, normals, texCoords;
};

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

    std::vector<Batch> batches;
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
        Batch& batch = Find(material, textured);

        // The source's arrays go in, placed, once for each geometry drawn from them.
        const unsigned int vertexBase = target.GetVertexArraySize();
        const unsigned int normalBase = target.GetNormalArraySize();
        const unsigned int texCoordBase = target.GetTexCoordArraySize();
        const std::vector<vec3>& vertices = source->GetVertexArray();
        const std::vector<vec3>& normals = source->GetNormalArray();
        const std::vector<vec2>& texCoords = source->GetTexCoordArray();
        bool any = false;
        for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
            bool usable = true;
            for (std::size_t k = i; k < i + 3; ++k)
                usable = usable && v[k] < vertices.size() && n[k] < normals.size() &&
                         (!textured || t[k] < texCoords.size());
            if (!usable) continue;
            if (!any) {
                for (const vec3& p : vertices) {
                    const vec3 placed = matrix.Point(p);
                    target.AddVertex(placed);
                    box.Expand(placed);
                }
                for (const vec3& normal : normals) target.AddNormal(matrix.Normal(normal));
                if (textured)
                    for (const vec2& coordinate : texCoords) target.AddTexCoord(coordinate);
                any = true;
            }
            for (std::size_t k = i; k < i + 3; ++k) {
                batch.vertices.push_back(vertexBase + v[k]);
                batch.normals.push_back(normalBase + n[k]);
                if (textured) batch.texCoords.push_back(texCoordBase + t[k]);
            }
        }
        return true;
    }

    Batch& Find(const Material& material, bool textured) {
        for (Batch& batch : batches)
            if (batch.material == &material && batch.textured == textured) return batch;
        batches.push_back({&material, textured, {}, {}, {}});
        return batches.back();
    }

    Mesh& target;
};

}  // namespace

Mesh* SceneryBatches::Merge(Model& model, GroupNode& group) {
    auto mesh = std::make_unique<Mesh>();
    mesh->SetName(group.GetName() + "-batches");
    Baker baker(*mesh);
    for (unsigned i = 0; i < group.GetChildCount(); ++i)
        if (!baker.Visit(*group.GetChild(i), Matrix(), nullptr)) return nullptr;
    std::vector<Node*> states;
    for (Batch& batch : baker.batches) {
        if (batch.vertices.empty()) continue;
        auto* geometry = new Geometry;
        geometry->SetName(batch.material->GetName());
        geometry->SetMesh(mesh.get());
        geometry->SetVertexIndices(std::move(batch.vertices));
        geometry->SetNormalIndices(std::move(batch.normals));
        geometry->SetTexCoordIndices(std::move(batch.texCoords));
        mesh->AddGeometry(geometry);
        // The material belongs to the model; the node only refers to it.
        auto* state = new StateNode(const_cast<Material&>(*batch.material));
        state->SetName(batch.material->GetName());
        state->AddChild(new DrawableNode(*geometry));
        states.push_back(state);
    }
    if (states.empty()) return nullptr;

    mesh->GetBoundingVolume().Expand(baker.box);
    // The objects' nodes go with the group's old children; their meshes and
    // materials belong to the model and stay.
    std::vector<Node*> old;
    for (unsigned i = 0; i < group.GetChildCount(); ++i)
        if (std::find(old.begin(), old.end(), group.GetChild(i)) == old.end()) old.push_back(group.GetChild(i));
    group.RemoveAllChilds();
    for (Node* child : old) delete child;
    for (Node* state : states) group.AddChild(state);
    group.SetBoundingVolume(*new BoundingBox(baker.box));
    Mesh* batches = mesh.release();
    model.AddMesh(batches);
    return batches;
}
