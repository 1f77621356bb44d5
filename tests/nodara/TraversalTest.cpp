#include <gtest/gtest.h>

#include <limits>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/RootNode.h>
#include <nodara/StateNode.h>

#include "RecordingRenderer.h"

using Log = std::vector<std::string>;

namespace {

GroupNode* Group(const std::string& name) {
    auto* g = new GroupNode;
    g->SetName(name);
    g->GetTransform().SetName(name);
    return g;
}

}  // namespace

class Traversal : public testing::Test {
protected:
    // root -> G1 -> [ StateNode(mat) -> Drawable(geo1) -> Drawable(geo2) ], G2 -> Drawable(geo3)
    void SetUp() override {
        material.SetName("mat");
        geo1.SetName("geo1");
        geo2.SetName("geo2");
        geo3.SetName("geo3");
        g1 = Group("G1");
        g2 = Group("G2");
        auto* state = new StateNode(material);
        auto* d1 = new DrawableNode(geo1);
        d1->AddChild(new DrawableNode(geo2));
        state->AddChild(d1);
        g1->AddChild(state);
        g2->AddChild(new DrawableNode(geo3));
        root.AddChild(g1);
        root.AddChild(g2);
    }

    Material material;
    Geometry geo1, geo2, geo3;
    RootNode root;
    GroupNode* g1 = nullptr;
    GroupNode* g2 = nullptr;
    RecordingRenderer renderer;
};

TEST_F(Traversal, RenderIsDepthFirstWithNestedPushPop) {
    root.Render(renderer);
    const Log expected = {"push T G1", "push M mat", "draw geo1", "draw geo2", "pop M mat",
                          "pop T G1",  "push T G2",  "draw geo3", "pop T G2"};
    EXPECT_EQ(renderer.log, expected);
    EXPECT_EQ(renderer.stateManager.depth, 0);
    EXPECT_EQ(renderer.stateManager.maxDepth, 2);
}

TEST_F(Traversal, CulledGroupSkipsItsSubtreeUntilCulledAgain) {
    renderer.culler.culledNames = {"G1"};
    root.Cull(renderer);
    const Log cullLog = {"push T G1", "cull G1 out", "pop T G1", "push T G2", "cull G2 in", "pop T G2"};
    EXPECT_EQ(renderer.log, cullLog);
    EXPECT_TRUE(g1->IsCulled());

    renderer.log.clear();
    root.Render(renderer);
    const Log renderLog = {"push T G2", "draw geo3", "pop T G2"};
    EXPECT_EQ(renderer.log, renderLog);

    // The flag stays until a later cull traversal clears it.
    renderer.culler.culledNames.clear();
    renderer.log.clear();
    root.Render(renderer);
    EXPECT_EQ(renderer.log, renderLog);
    root.Cull(renderer);
    EXPECT_FALSE(g1->IsCulled());
}

TEST_F(Traversal, CullVisitsNestedGroupsOnlyBelowVisibleOnes) {
    GroupNode* inner = Group("inner");
    g1->AddChild(inner);
    renderer.culler.culledNames = {"inner"};
    root.Cull(renderer);
    // The culler sees a group before its children are visited.
    const Log expected = {"push T G1", "cull G1 in", "push T inner", "cull inner out", "pop T inner",
                          "pop T G1",  "push T G2",  "cull G2 in",   "pop T G2"};
    EXPECT_EQ(renderer.log, expected);
}

TEST_F(Traversal, CullerFlagDoesNotChangeTheTraversal) {
    EXPECT_FALSE(renderer.culler.IsEnabled());
    root.Cull(renderer);
    const Log first = renderer.log;
    renderer.log.clear();
    renderer.culler.SetIsEnabled(true);
    root.Cull(renderer);
    EXPECT_EQ(renderer.log, first);
}

TEST_F(Traversal, EmptyGroupPushesAndPopsOnlyItsTransform) {
    RootNode lonelyRoot;
    lonelyRoot.AddChild(Group("lonely"));
    lonelyRoot.Render(renderer);
    EXPECT_EQ(renderer.log, (Log{"push T lonely", "pop T lonely"}));
}

class BoundingVolumes : public testing::Test {
protected:
    static constexpr float kMax = std::numeric_limits<float>::max();
    Model model;
    Mesh mesh;
    RecordingRenderer renderer;
};

TEST_F(BoundingVolumes, NothingWithoutAModelNode) {
    renderer.GetCuller().GenerateBoundingVolumes(model);  // must not crash
    EXPECT_EQ(model.GetModelNode(), nullptr);
}

TEST_F(BoundingVolumes, LeafGroupsGetEmptyBoxesAndParentsTheirExtremes) {
    mesh.GetBoundingVolume().Expand({-1, -1, -1});
    mesh.GetBoundingVolume().Expand({1, 1, 1});
    auto* modelNode = new ModelNode(model);
    auto* meshNode = new MeshNode(mesh);  // starts with the mesh's box
    modelNode->AddChild(meshNode);
    model.SetModelNode(modelNode);

    renderer.GetCuller().GenerateBoundingVolumes(model);

    // The mesh node has no group children: its copied box is replaced by an empty one.
    const BoundingBox* leaf = meshNode->GetBoundingVolume();
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->GetMinimum().x, kMax);
    EXPECT_EQ(leaf->GetMaximum().x, -kMax);
    // The identity parent takes the child's corners with w = 0: lowest..largest.
    const BoundingBox* top = modelNode->GetBoundingVolume();
    ASSERT_NE(top, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(top->GetMinimum()[i], -kMax);
        EXPECT_EQ(top->GetMaximum()[i], kMax);
    }
}

TEST_F(BoundingVolumes, ChildBoxesEnterThroughTheRotationOnly) {
    auto* modelNode = new ModelNode(model);
    model.SetModelNode(modelNode);
    auto* middle = new GroupNode;
    auto* leaf = new GroupNode;
    middle->AddChild(leaf);
    modelNode->AddChild(middle);
    modelNode->GetTransform().Translate({100, 0, 0});  // ignored: w = 0
    modelNode->GetTransform().Rotate(90, {0, 0, 1});

    renderer.GetCuller().GenerateBoundingVolumes(model);
    // middle's box is lowest..largest; the top box maps it through the
    // transposed rotation (x -> -y, y -> x), so both corners stay on the axes.
    const BoundingBox* box = modelNode->GetBoundingVolume();
    ASSERT_NE(box, nullptr);
    EXPECT_FLOAT_EQ(box->GetMinimum().x, -kMax);
    EXPECT_FLOAT_EQ(box->GetMaximum().x, kMax);
    EXPECT_LT(box->GetMinimum().z, 0.0f);
}
