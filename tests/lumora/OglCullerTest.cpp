#include <gtest/gtest.h>

#include <GL/glew.h>

#include <lumora/OglCuller.h>
#include <lumora/OglRenderer.h>
#include <lumora/Scene.h>
#include <nodara/BoundingBox.h>
#include <nodara/GroupNode.h>
#include <nodara/Perspective.h>

#include "LumoraTestSupport.h"

// The camera stands at the origin looking down -z (identity view) through a
// 60 degree perspective from 1 to 100.
class OglCullerTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        renderer->SetProjection(Perspective(60.0, 1.0, 1.0, 100.0));
        glLoadIdentity();
    }

    // Culls a group holding `box`, starting from `culledBefore`.
    bool Culled(const BoundingBox& box, bool culledBefore = false) {
        GroupNode group(*new BoundingBox(box));
        group.SetCulled(culledBefore);
        renderer->GetCuller().Cull(group);
        return group.IsCulled();
    }
};

TEST_F(OglCullerTest, BoxesAgainstTheViewFrustum) {
    const struct {
        const char* what;
        BoundingBox box;
        bool culled;
    } cases[] = {
        // Entirely behind the camera: the near plane rejects it.
        {"behind", BoundingBox({-1, -1, 5}, {1, 1, 6}), true},
        // Straight ahead between near and far.
        {"ahead", BoundingBox({-1, -1, -11}, {1, 1, -9}), false},
        // Beyond the far plane.
        {"beyond far", BoundingBox({-1, -1, -300}, {1, 1, -150}), true},
        // Around the camera itself.
        {"containing camera", BoundingBox({-2, -2, -2}, {2, 2, 2}), false},
        // Far off to the left at a depth of 10.
        {"left", BoundingBox({-60, -1, -11}, {-50, 1, -9}), true},
        // Crossing the far plane still counts as visible.
        {"straddling far", BoundingBox({-1, -1, -150}, {1, 1, -50}), false},
        // Off the top edge.
        {"above", BoundingBox({-1, 50, -11}, {1, 60, -9}), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Culled(c.box), c.culled) << c.what;
        // The outcome never depends on the flag the group had.
        EXPECT_EQ(Culled(c.box, true), c.culled) << c.what;
    }
}

TEST_F(OglCullerTest, GroupWithoutBoxKeepsItsFlag) {
    for (bool before : {false, true}) {
        GroupNode group;
        group.SetCulled(before);
        renderer->GetCuller().Cull(group);
        EXPECT_EQ(group.IsCulled(), before);
    }
}

TEST_F(OglCullerTest, CullSceneTestsBoxesUnderTheCameraAndEachGroupsTransform) {
    // Two unit boxes at the origin, moved by their groups' transforms: one 10
    // units in front of the camera, one 10 units behind it. The camera at
    // (0, -20, 0) looks along +y, z up.
    Scene scene;
    scene.GetCamera().SetView(View({0.0, -20.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 1.0}));
    auto* ahead = new GroupNode(*new BoundingBox({-1, -1, -1}, {1, 1, 1}));
    ahead->GetTransform().Translate({0.0f, -10.0f, 0.0f});
    auto* behind = new GroupNode(*new BoundingBox({-1, -1, -1}, {1, 1, 1}));
    behind->GetTransform().Translate({0.0f, -30.0f, 0.0f});
    // A child of a culled group is not visited: its flag stays as it was.
    auto* child = new GroupNode(*new BoundingBox({-1, -1, -1}, {1, 1, 1}));
    child->SetCulled(true);
    behind->AddChild(child);
    scene.AddNode(ahead);
    scene.AddNode(behind);

    renderer->CullScene(scene);
    EXPECT_FALSE(ahead->IsCulled());
    EXPECT_TRUE(behind->IsCulled());
    EXPECT_TRUE(child->IsCulled());

    // Turned round, the camera sees the other one; the child now gets tested.
    scene.GetCamera().SetView(View({0.0, -20.0, 0.0}, {0.0, -40.0, 0.0}, {0.0, 0.0, 1.0}));
    renderer->CullScene(scene);
    EXPECT_TRUE(ahead->IsCulled());
    EXPECT_FALSE(behind->IsCulled());
    EXPECT_FALSE(child->IsCulled());
}
