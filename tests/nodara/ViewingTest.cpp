#include <gtest/gtest.h>

#include <limits>

#include <nodara/BoundingBox.h>
#include <nodara/Camera.h>
#include <nodara/Light.h>
#include <nodara/Ortho3d.h>
#include <nodara/Perspective.h>

TEST(BoundingBox, ExpandByPointsAndBoxes) {
    BoundingBox box;
    box.Expand({1, 2, 3});
    EXPECT_EQ(box.GetMinimum().x, 1.0f);
    EXPECT_EQ(box.GetMaximum().z, 3.0f);
    box.Expand({5, 1, 3});
    EXPECT_EQ(box.GetMinimum().y, 1.0f);
    EXPECT_EQ(box.GetMaximum().x, 5.0f);
    EXPECT_EQ(box.GetMaximum().y, 2.0f);

    // Descending order along x still yields the full extent.
    BoundingBox descending;
    for (float x : {3.0f, 2.0f, 1.0f, -4.0f}) descending.Expand({x, 0, 0});
    EXPECT_EQ(descending.GetMinimum().x, -4.0f);
    EXPECT_EQ(descending.GetMaximum().x, 3.0f);

    BoundingBox outer({0, 0, 0}, {1, 1, 1});
    outer.Expand(BoundingBox({-1, 0.5f, 0.5f}, {0.5f, 2, 0.5f}));
    EXPECT_EQ(outer.GetMinimum().x, -1.0f);
    EXPECT_EQ(outer.GetMaximum().y, 2.0f);
    EXPECT_EQ(outer.GetMaximum().x, 1.0f);
}

TEST(BoundingBox, EmptyBoxUsesTheLargestFiniteFloat) {
    BoundingBox box;
    EXPECT_EQ(box.GetMinimum().x, std::numeric_limits<float>::max());
    EXPECT_EQ(box.GetMaximum().y, -std::numeric_limits<float>::max());
}

TEST(Light, DefaultsAndViewFromItsPosition) {
    Light light;
    EXPECT_EQ(light.GetSpotCutoff(), 180);
    EXPECT_EQ(light.GetConstantAttenuation(), 1.0f);
    EXPECT_FLOAT_EQ(light.GetAmbient().x, 0.3f);
    const View& v = light.GetView();
    EXPECT_EQ(v.GetEye().z, 1.0);
    EXPECT_EQ(v.GetCenter().z, 0.0);
    EXPECT_EQ(v.GetUp().y, 1.0);  // looking straight down z: y is up
    light.SetPosition({1, 5, 1, 1});
    const View& moved = light.GetView();
    EXPECT_EQ(moved.GetUp().y, 0.0);
    EXPECT_EQ(moved.GetUp().z, 1.0);
    EXPECT_EQ(moved.GetEye().y, 5.0);
    light.SetSpotDirection({1, 5, -3});  // directly below again
    EXPECT_EQ(light.GetView().GetUp().y, 1.0);
}

TEST(Viewing, CameraAndProjections) {
    Camera camera;
    EXPECT_EQ(camera.GetView().GetEye().y, -1.0);
    EXPECT_EQ(camera.GetView().GetUp().z, 1.0);
    const Perspective perspective(45, 1.333, 1, 1000);
    const Ortho3d ortho(0, 1024, 0, 768, -1, 1);
    const Projection& p = perspective;
    const Projection& o = ortho;
    EXPECT_EQ(p.GetType(), Projection::PERSPECTIVE);
    EXPECT_EQ(o.GetType(), Projection::ORTHO3D);
    EXPECT_EQ(ortho.GetRight(), 1024.0);
}

// A point through a view's perspective: straight ahead is the middle, the
// edges of the field of view are 0 and 1, behind the eye is nowhere.
TEST(Viewing, APointProjectsWhereThePerspectiveShowsIt) {
    const View view({0.0, 0.0, 2.0}, {0.0, 10.0, 2.0}, {0.0, 0.0, 1.0});
    double x = -1.0, y = -1.0;
    ASSERT_TRUE(view.Project({0.0, 50.0, 2.0}, 90.0, 2.0, x, y));
    EXPECT_NEAR(x, 0.5, 1e-9);
    EXPECT_NEAR(y, 0.5, 1e-9);
    // 90 degrees high: at 10 m ahead the view reaches 10 m up and, twice as wide, 20 m to the right.
    ASSERT_TRUE(view.Project({20.0, 10.0, 12.0}, 90.0, 2.0, x, y));
    EXPECT_NEAR(x, 1.0, 1e-9);
    EXPECT_NEAR(y, 1.0, 1e-9);
    ASSERT_TRUE(view.Project({-10.0, 10.0, -3.0}, 90.0, 2.0, x, y));
    EXPECT_NEAR(x, 0.25, 1e-9);
    EXPECT_NEAR(y, 0.25, 1e-9);
    EXPECT_FALSE(view.Project({0.0, -5.0, 2.0}, 90.0, 2.0, x, y));
    EXPECT_FALSE(view.Project({3.0, 0.0, 2.0}, 90.0, 2.0, x, y)) << "on the eye's plane";
}
