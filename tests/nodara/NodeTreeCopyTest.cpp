// Deep copies of node trees that share what they draw, and switches that draw
// one child of several.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <typeinfo>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/NodeTreeCopy.h>
#include <nodara/StateNode.h>
#include <nodara/SwitchNode.h>

#include "RecordingRenderer.h"

using Log = std::vector<std::string>;

namespace {

template <typename T>
T* Named(T* node, const std::string& name) {
    node->SetName(name);
    if constexpr (std::is_base_of_v<TransformNode, T>) node->GetTransform().SetName(name);
    return node;
}

// Every node of a tree, depth first.
void Collect(const Node& node, std::vector<const Node*>& nodes) {
    nodes.push_back(&node);
    for (unsigned int i = 0; const Node* child = node.GetChild(i); ++i) Collect(*child, nodes);
}

// A node of a class the copy cannot know.
class CustomNode : public GroupNode {};

}  // namespace

// A car as a loaded model holds it: car -> [switch -> (body mesh node ->
// paint -> body, trim -> trim), (coarse mesh node -> paint -> coarse)], wheel
// -> mesh node -> tyre -> wheel.
class NodeTreeCopyTest : public testing::Test {
protected:
    void SetUp() override {
        paint.SetName("paint");
        trim.SetName("trim");
        tyre.SetName("tyre");
        otherPaint.SetName("other paint");
        body.SetName("body");
        trimPart.SetName("trim part");
        coarse.SetName("coarse");
        wheel.SetName("wheel");
        bodyMesh.GetBoundingVolume().Expand({-1, -2, 0});
        bodyMesh.GetBoundingVolume().Expand({1, 2, 1});

        car = Named(new GroupNode(*new BoundingBox(bodyMesh.GetBoundingVolume())), "car");
        car->GetTransform().Translate({5, 6, 7});
        levels = Named(new SwitchNode, "levels");
        auto* full = Named(new MeshNode(bodyMesh), "full");
        auto* paintState = Named(new StateNode(paint), "paint");
        paintState->AddChild(new DrawableNode(body));
        full->AddChild(paintState);
        auto* trimState = Named(new StateNode(trim), "trim");
        trimState->AddChild(new DrawableNode(trimPart));
        full->AddChild(trimState);
        auto* simple = Named(new MeshNode(bodyMesh), "simple");
        auto* coarsePaint = Named(new StateNode(paint), "paint");
        coarsePaint->AddChild(new DrawableNode(coarse));
        simple->AddChild(coarsePaint);
        levels->AddChild(full);
        levels->AddChild(simple);
        levels->Select(1);
        car->AddChild(levels);
        wheelNode = Named(new GroupNode, "wheel node");
        wheelNode->GetTransform().Rotate(30.0f, {1, 0, 0});
        auto* wheelMeshNode = Named(new MeshNode(wheelMesh), "wheel mesh");
        auto* tyreState = Named(new StateNode(tyre), "tyre");
        tyreState->AddChild(new DrawableNode(wheel));
        wheelMeshNode->AddChild(tyreState);
        wheelNode->AddChild(wheelMeshNode);
        car->AddChild(wheelNode);
    }
    void TearDown() override { delete car; }

    Material paint, trim, tyre, otherPaint;
    Mesh bodyMesh, wheelMesh;
    Geometry body, trimPart, coarse, wheel;
    GroupNode* car = nullptr;
    SwitchNode* levels = nullptr;
    GroupNode* wheelNode = nullptr;
    RecordingRenderer renderer;
};

TEST_F(NodeTreeCopyTest, CopyIsNewNodesDrawingTheSameGeometryInItsOwnPaintAndPlace) {
    std::unique_ptr<Node> copy(NodeTreeCopy::Copy(*car, {{&paint, &otherPaint}}));
    ASSERT_NE(copy, nullptr);
    auto* copiedCar = dynamic_cast<GroupNode*>(copy.get());
    ASSERT_NE(copiedCar, nullptr);

    // The same shape, node for node, of the same classes and names; none shared.
    std::vector<const Node*> sourceNodes, copyNodes;
    Collect(*car, sourceNodes);
    Collect(*copy, copyNodes);
    ASSERT_EQ(copyNodes.size(), sourceNodes.size());
    for (std::size_t i = 0; i < sourceNodes.size(); ++i) {
        EXPECT_NE(copyNodes[i], sourceNodes[i]);
        EXPECT_EQ(typeid(*copyNodes[i]), typeid(*sourceNodes[i]));
        EXPECT_EQ(copyNodes[i]->GetName(), sourceNodes[i]->GetName());
        if (i > 0) {
            EXPECT_NE(copyNodes[i]->GetParent(), nullptr);
        }
        // What is drawn is shared: the geometries with their buffers, the meshes.
        if (const auto* d = dynamic_cast<const DrawableNode*>(sourceNodes[i])) {
            EXPECT_EQ(&static_cast<const DrawableNode*>(copyNodes[i])->GetDrawable(), &d->GetDrawable());
        }
        if (const auto* m = dynamic_cast<const MeshNode*>(sourceNodes[i])) {
            EXPECT_EQ(&static_cast<const MeshNode*>(copyNodes[i])->GetMesh(), &m->GetMesh());
        }
        // Boxes are the copy's own, equal to the source's.
        if (const auto* g = dynamic_cast<const GroupNode*>(sourceNodes[i]); g && g->GetBoundingVolume()) {
            const BoundingBox* box = static_cast<const GroupNode*>(copyNodes[i])->GetBoundingVolume();
            ASSERT_NE(box, nullptr);
            EXPECT_NE(box, g->GetBoundingVolume());
            EXPECT_EQ(box->GetMaximum().y, g->GetBoundingVolume()->GetMaximum().y);
        }
    }
    EXPECT_EQ(static_cast<const SwitchNode*>(copyNodes[1])->GetSelected(), 1u);

    // Drawn, the copy pushes the other paint wherever the source pushes the
    // paint, in both levels, and everything else as the source does.
    car->Render(renderer);
    Log expected = renderer.log;
    for (std::string& line : expected)
        if (line == "push M paint" || line == "pop M paint") line.replace(line.size() - 5, 5, "other paint");
    renderer.log.clear();
    copy->Render(renderer);
    EXPECT_EQ(renderer.log, expected);
    EXPECT_NE(std::find(expected.begin(), expected.end(), "draw coarse"), expected.end());
    levels->Select(0);
    static_cast<SwitchNode*>(copiedCar->GetChild(0))->Select(0);
    renderer.log.clear();
    copy->Render(renderer);
    EXPECT_NE(std::find(renderer.log.begin(), renderer.log.end(), "push M other paint"), renderer.log.end());
    EXPECT_NE(std::find(renderer.log.begin(), renderer.log.end(), "push M trim"), renderer.log.end());

    // Transforms start equal and then go their own ways.
    auto* copiedWheel = static_cast<GroupNode*>(copiedCar->GetChild(1));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(copiedCar->GetTransform().GetMatrix()[i], car->GetTransform().GetMatrix()[i]);
        EXPECT_EQ(copiedWheel->GetTransform().GetMatrix()[i], wheelNode->GetTransform().GetMatrix()[i]);
    }
    copiedWheel->GetTransform().Rotate(90.0f, {1, 0, 0});
    copiedCar->GetTransform().Translate({100, 0, 0});
    EXPECT_FLOAT_EQ(car->GetTransform().GetMatrix()[12], 5.0f);
    EXPECT_FLOAT_EQ(copiedCar->GetTransform().GetMatrix()[12], 105.0f);
    EXPECT_NE(copiedWheel->GetTransform().GetMatrix()[5], wheelNode->GetTransform().GetMatrix()[5]);

    // The copy goes alone (ASan: nothing of the source is freed with it).
    copy.reset();
    renderer.log.clear();
    car->Render(renderer);
    EXPECT_EQ(std::count(renderer.log.begin(), renderer.log.end(), "draw body"), 1);
}

TEST_F(NodeTreeCopyTest, ATreeWithANodeOfAnotherClassIsNotCopied) {
    wheelNode->AddChild(Named(new CustomNode, "custom"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(NodeTreeCopy::Copy(*car), nullptr);
    const std::string message = testing::internal::GetCapturedStdout();
    EXPECT_NE(message.find("'custom'"), std::string::npos) << message;
    // A model's own top node is copied, referring to the same model.
    Model model;
    ModelNode top(model);
    std::unique_ptr<Node> copy(NodeTreeCopy::Copy(top));
    ASSERT_NE(dynamic_cast<ModelNode*>(copy.get()), nullptr);
    EXPECT_EQ(&static_cast<ModelNode&>(*copy).GetModel(), &model);
}

TEST(SwitchNodeTest, DrawsAndCullsOnlyTheSelectedChildOrNone) {
    SwitchNode levels;
    levels.SetName("levels");
    levels.GetTransform().SetName("levels");
    Geometry near, far;
    near.SetName("near");
    far.SetName("far");
    for (Geometry* g : {&near, &far}) {
        auto* group = new GroupNode;
        group->SetName(g->GetName() + " group");
        group->GetTransform().SetName(g->GetName() + " group");
        group->AddChild(new DrawableNode(*g));
        levels.AddChild(group);
    }
    RecordingRenderer renderer;
    levels.Render(renderer);
    EXPECT_EQ(renderer.log, (Log{"push T levels", "push T near group", "draw near", "pop T near group", "pop T levels"}));

    levels.Select(1);
    renderer.log.clear();
    levels.Cull(renderer);
    // The unselected child is not even culled.
    EXPECT_EQ(renderer.log, (Log{"push T levels", "cull levels in", "push T far group", "cull far group in",
                                 "pop T far group", "pop T levels"}));
    renderer.log.clear();
    levels.Render(renderer);
    EXPECT_EQ(renderer.log, (Log{"push T levels", "push T far group", "draw far", "pop T far group", "pop T levels"}));

    // Past the end: nothing drawn, and culled: not even the transform.
    levels.Select(2);
    renderer.log.clear();
    levels.Render(renderer);
    EXPECT_EQ(renderer.log, (Log{"push T levels", "pop T levels"}));
    levels.Select(0);
    renderer.culler.culledNames = {"levels"};
    levels.Cull(renderer);
    renderer.log.clear();
    levels.Render(renderer);
    EXPECT_TRUE(renderer.log.empty());
}
