#include <nodara/Culler.h>

#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>

void Culler::GenerateBoundingVolumes(Model& model) {
    if (ModelNode* node = model.GetModelNode()) GenerateBVTravers(*node);
}

const BoundingBox* Culler::GenerateBVTravers(Node& node) {
    GroupNode* group = dynamic_cast<GroupNode*>(&node);
    BoundingBox* box = group ? new BoundingBox() : nullptr;
    for (unsigned int i = 0; i < node.GetChildCount(); ++i) {
        const BoundingBox* childBox = GenerateBVTravers(*node.GetChild(i));
        if (!box || !childBox) continue;
        // NOTE: w = 0 leaves the translation out, and the matrix is stored in
        // OpenGL order, so the rotation enters transposed.
        const vmath::mat4<float>& m = group->GetTransform().GetMatrix();
        const vmath::vec4<float> a = m * vmath::vec4<float>(childBox->GetMinimum(), 0.0f);
        const vmath::vec4<float> b = m * vmath::vec4<float>(childBox->GetMaximum(), 0.0f);
        box->Expand(vmath::vec3<float>(a));
        box->Expand(vmath::vec3<float>(b));
    }
    if (!group) return nullptr;
    group->SetBoundingVolume(*box);
    return box;
}
