#include <gtest/gtest.h>

#include <GL/glew.h>

#include <lumora/OglRenderer.h>
#include <nodara/GroupNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Perspective.h>
#include <nodara/View.h>

#include "showroom/ContactShadow.h"
#include "GlContext.h"

namespace {

// Looking straight down on the ground from 10 m, a 4 x 8 m car placed 2 m
// along x and turned a quarter about z, so its length lies along x.
class ContactShadowGl : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.IsValid()) << context.Error();
        ASSERT_TRUE(renderer.Initialize());
        renderer.SetViewport(Size, Size);
        renderer.SetProjection(Perspective(90.0, 1.0, 1.0, 50.0));
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        placement = vmath::transpose(vmath::translation(2.0f, 0.0f, 0.0f) * vmath::rotation(90.0f, vmath::vec3<float>(0, 0, 1)));
    }

    // Grey of the pixel over the ground point (x, y), 10 m below the eye.
    int GreyAt(float x, float y) const {
        const int px = static_cast<int>(Size / 2 + x / 10.0f * Size / 2);
        const int py = static_cast<int>(Size / 2 + y / 10.0f * Size / 2);
        return Red(context.Pixel(px, py));
    }

    static constexpr int Size = 200;
    GlContext context{Size, Size};
    OglRenderer renderer;
    const View view{{0.0, 0.0, 10.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0}};
    vmath::mat4<float> placement;
};

}  // namespace

TEST_F(ContactShadowGl, DarkensTheGroundUnderTheCarOnlyAndNotWhatStandsInFront) {
    // A car: one box 4 m wide (x), 8 m long (y) and 1.5 m high, lifted half a
    // metre below its node, as a model's own transforms may place it.
    Mesh mesh;
    mesh.SetVertexArray({{-2.0f, -4.0f, 0.5f}, {2.0f, 4.0f, 2.0f}});
    GroupNode car;
    GroupNode* body = new GroupNode;
    body->GetTransform().Translate({0.0f, 0.0f, -0.5f});
    body->AddChild(new MeshNode(mesh));
    car.AddChild(body);
    const ContactShadow::Footprint footprint = ContactShadow::FootprintOf(car);
    ASSERT_FALSE(footprint.IsEmpty());
    EXPECT_LT(footprint.minX, -2.0f);
    EXPECT_GT(footprint.maxY, 4.0f);
    EXPECT_NEAR(footprint.groundZ, 0.0f, 1e-6f);
    EXPECT_TRUE(ContactShadow::FootprintOf(GroupNode()).IsEmpty());

    // Something standing above the patch's middle, drawn first, as the car is.
    glColor3f(1.0f, 0.0f, 0.0f);
    glLoadIdentity();
    renderer.SetViewing(view);
    glBegin(GL_QUADS);
    glVertex3f(1.5f, -0.5f, 1.0f);
    glVertex3f(2.5f, -0.5f, 1.0f);
    glVertex3f(2.5f, 0.5f, 1.0f);
    glVertex3f(1.5f, 0.5f, 1.0f);
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);

    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    ContactShadow::Draw(renderer, view, placement, footprint);
    // Dark over the car's middle, along its length (x after the turn), fading
    // out past its ends; the ground far off and the red block untouched.
    const int middle = GreyAt(2.0f + 2.5f, 0.0f);
    EXPECT_NEAR(middle, 255 * (1.0f - ContactShadow::Darkness), 12);
    EXPECT_LT(GreyAt(2.0f - 3.0f, 1.0f), 200);
    EXPECT_EQ(GreyAt(2.0f + 6.0f, 0.0f), 255);
    EXPECT_EQ(GreyAt(2.0f, 4.0f), 255) << "the car is 4 m wide: 2.5 m each side with the margin";
    EXPECT_EQ(GreyAt(-6.0f, -6.0f), 255);
    EXPECT_EQ(context.Pixel(Size / 2 + 20, Size / 2), 0xFF0000FFu) << "the block in front keeps its colour";
    // GL is left as it was found.
    GLfloat after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelView[i]);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
