// The three GLSL programs of the data folder, drawn and read back: lighting
// against fixed function and closed-form values, the shadow comparison and
// the environment lookup.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <lumora/OglRenderer.h>
#include <nodara/Image.h>
#include <nodara/Light.h>
#include <nodara/Material.h>
#include <nodara/Ortho3d.h>
#include <nodara/Texture.h>

#include "LumoraTestSupport.h"

// A quad from -half to +half in x and y, 5 units in front of the eye (eye z
// -5) and facing it, seen through an orthographic box as wide as the quad.
class ShaderProgramsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        std::filesystem::create_directories(dir.File("bin"));
        std::filesystem::create_directories(dir.File("data"));
        std::filesystem::create_directory_symlink(SHADER_DIR, dir.File("data/shaders"));
        {
            WorkingDirectory bin(dir.File("bin"));
            testing::internal::CaptureStdout();
            const bool built = renderer->GetShaderManager().CreateShaders();
            const std::string out = testing::internal::GetCapturedStdout();
            ASSERT_TRUE(built) << out;
        }
        // No scene ambient unless a test asks for it.
        const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
        light.SetAmbient({0.0f, 0.0f, 0.0f, 1.0f});
        material.SetAmbient({0.0f, 0.0f, 0.0f, 1.0f});
        material.SetDiffuse({1.0f, 1.0f, 1.0f, 1.0f});
    }

    void TearDown() override {
        glUseProgram(0);
        renderer->GetStateManager().SetActiveProgram(0);
    }

    unsigned int Program(OglShaderManager::ProgramType type) {
        return renderer->GetShaderManager().GetProgram(type);
    }

    // Sets up light 0 in eye space (identity model-view), then draws the quad
    // with `program` (0: fixed function) and returns the frame's centre pixel.
    std::uint32_t Draw(unsigned int program, float half = 2.0f) {
        renderer->SetProjection(Ortho3d(-half, half, -half, half, 0.0, 10.0));
        glLoadIdentity();
        renderer->GetStateManager().InitializeLighting(light);
        glUseProgram(program);
        renderer->GetStateManager().SetActiveProgram(program);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glTranslatef(0.0f, 0.0f, -5.0f);
        renderer->GetStateManager().Push(material);
        glBegin(GL_QUADS);
        glNormal3f(0.0f, 0.0f, 1.0f);
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            glMultiTexCoord2f(GL_TEXTURE2, (c[0] + 1.0f) / 2.0f, (c[1] + 1.0f) / 2.0f);
            glVertex3f(c[0] * half, c[1] * half, 0.0f);
        }
        glEnd();
        renderer->GetStateManager().Pop(material);
        glUseProgram(0);
        renderer->GetStateManager().SetActiveProgram(0);
        return context.Pixel(Size / 2, Size / 2);
    }

    TempDir dir;
    Light light;
    Material material;
};

TEST_F(ShaderProgramsTest, LightingMatchesFixedFunctionOnAFlatlyLitQuad) {
    // A directional light at an angle, ambient from the scene and the light:
    // every term but the highlight is constant over the quad.
    const GLfloat scene[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, scene);
    light.SetPosition({0.0f, 0.6f, 0.8f, 0.0f});
    light.SetAmbient({0.1f, 0.2f, 0.3f, 1.0f});
    light.SetDiffuse({0.8f, 0.6f, 0.4f, 1.0f});
    material.SetAmbient({0.5f, 0.5f, 0.5f, 1.0f});
    material.SetDiffuse({0.5f, 0.8f, 0.3f, 1.0f});
    material.SetEmission({0.0f, 0.0f, 0.0f, 1.0f});

    const std::uint32_t fixed = Draw(0);
    const std::uint32_t pixel = Draw(Program(OglShaderManager::Lighting));
    EXPECT_NEAR(Red(pixel), Red(fixed), 2);
    EXPECT_NEAR(Green(pixel), Green(fixed), 2);
    EXPECT_NEAR(Blue(pixel), Blue(fixed), 2);
    // 0.2 * 0.5 + 0.1 * 0.5 + 0.8 * 0.8 * 0.5 of red: not a saturated colour.
    EXPECT_NEAR(Red(pixel), 0.47 * 255, 3);
}

TEST_F(ShaderProgramsTest, HighlightBetweenDistantVerticesShowsOnlyPerPixel) {
    // A light 1 unit above the middle of a 20 x 20 quad: seen from the
    // corners it lies nearly in the plane, so vertex lighting has no highlight.
    light.SetPosition({0.0f, 0.0f, -4.0f, 1.0f});
    material.SetDiffuse({0.0f, 0.0f, 0.0f, 1.0f});
    material.SetSpecular({1.0f, 1.0f, 1.0f, 1.0f});
    material.SetShininess(20.0f);
    EXPECT_LT(Red(Draw(0, 10.0f)), 30);
    // The centre pixel is 0.16 units off the peak: (n.h)^20 is about 0.84 there.
    EXPECT_GT(Red(Draw(Program(OglShaderManager::Lighting), 10.0f)), 180);
}

TEST_F(ShaderProgramsTest, AttenuationAndSpotConeFollowFixedFunctionRules) {
    // Light 2 units above the centre, purely quadratic attenuation: 1 / 2^2.
    light.SetPosition({0.0f, 0.0f, -3.0f, 1.0f});
    light.SetConstantAttenuation(0.0f);
    light.SetQuadraticAttenuation(1.0f);
    EXPECT_NEAR(Red(Draw(Program(OglShaderManager::Lighting))), 0.25 * 255, 2);

    // A 20 degree cone straight down: 1.5 units off centre (37 degrees) is
    // outside, 0.5 units off (14 degrees) inside at cos 14.
    light.SetConstantAttenuation(1.0f);
    light.SetQuadraticAttenuation(0.0f);
    light.SetSpotDirection({0.0f, 0.0f, -1.0f});
    light.SetSpotCutoff(20);
    Draw(Program(OglShaderManager::Lighting));
    const auto x = [](float eye) { return static_cast<int>((eye + 2.0f) / 4.0f * Size); };
    EXPECT_EQ(Red(context.Pixel(x(1.5f), Size / 2)), 0);
    EXPECT_NEAR(Red(context.Pixel(x(0.5f), Size / 2)), 0.97 * 255, 4);
    EXPECT_GT(Red(context.Pixel(Size / 2, Size / 2)), 250);
}

TEST_F(ShaderProgramsTest, ThePlainCopiesLightAPlainLightAsTheFullProgramsDo) {
    // Positional, near the quad and off its centre: the direction to the
    // light and the highlight change over every pixel.
    light.SetPosition({0.7f, -0.4f, -3.5f, 1.0f});
    light.SetAmbient({0.1f, 0.1f, 0.1f, 1.0f});
    material.SetDiffuse({0.6f, 0.5f, 0.4f, 1.0f});
    material.SetSpecular({1.0f, 1.0f, 1.0f, 1.0f});
    material.SetShininess(12.0f);
    for (auto type : {OglShaderManager::Lighting, OglShaderManager::ShadowMapping}) {
        const unsigned int copy = renderer->GetShaderManager().GetProgram(type, OglShaderManager::PlainLight);
        ASSERT_NE(copy, Program(type));
        Draw(Program(type));
        const std::vector<std::uint8_t> full = context.ReadPixels();
        Draw(copy);
        const std::vector<std::uint8_t> plain = context.ReadPixels();
        ASSERT_EQ(plain.size(), full.size());
        int worst = 0;
        for (std::size_t i = 0; i < full.size(); ++i) worst = std::max(worst, std::abs(full[i] - plain[i]));
        EXPECT_LE(worst, 1) << type;
        // Lit, with a highlight: not a blank frame compared with a blank frame.
        EXPECT_GT(*std::max_element(plain.begin(), plain.end()), 200) << type;
    }
}

TEST_F(ShaderProgramsTest, DiffuseMapModulatesOnlyWhileATexturedMaterialIsPushed) {
    light.SetPosition({0.0f, 0.0f, 1.0f, 0.0f});
    Image red("red.png");
    glGenTextures(1, &red.GetBindId());
    glBindTexture(GL_TEXTURE_2D, red.GetBindId());
    const std::uint32_t texel = Rgba(255, 0, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &texel);
    glBindTexture(GL_TEXTURE_2D, 0);
    renderer->GetStateManager().SetTextureFilter(StateManager::Nearest);

    EXPECT_EQ(Draw(Program(OglShaderManager::Lighting)), Rgba(255, 255, 255));
    material.AddTexture(new Texture(red, Texture::Diffuse, {1.0f, 1.0f}, {0.0f, 0.0f}, 0.0f));
    EXPECT_EQ(Draw(Program(OglShaderManager::Lighting)), Rgba(255, 0, 0));
    glDeleteTextures(1, &red.GetBindId());
}

TEST_F(ShaderProgramsTest, ShadowMapDarkensWhereTheStoredDepthIsNearer) {
    // A 2 x 2 depth map: an occluder at depth 0 over the left half, nothing
    // (depth 1) over the right half.
    glActiveTexture(GL_TEXTURE0);
    GLuint map = 0;
    glGenTextures(1, &map);
    glBindTexture(GL_TEXTURE_2D, map);
    const GLfloat depths[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 2, 2, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depths);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    // Eye x, y in -2..2 to s, t in 0..1; every pixel at depth 0.5.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.25f, 0.25f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    const unsigned int program = Program(OglShaderManager::ShadowMapping);
    glUseProgram(program);
    glUniform1f(glGetUniformLocation(program, "Epsilon"), 1.0f / 64.0f);

    light.SetPosition({0.0f, 0.0f, 1.0f, 0.0f});
    const GLfloat scene[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, scene);
    material.SetAmbient({1.0f, 1.0f, 1.0f, 1.0f});
    material.SetDiffuse({0.5f, 0.5f, 0.5f, 1.0f});
    Draw(program);
    const std::uint32_t shadowed = context.Pixel(Size / 4, Size / 2);
    const std::uint32_t open = context.Pixel(3 * Size / 4, Size / 2);
    EXPECT_NEAR(Red(shadowed), 0.2 * 255, 2);      // scene ambient only
    EXPECT_NEAR(Red(open), 0.7 * 255, 2);          // plus the diffuse share

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDeleteTextures(1, &map);
}

TEST_F(ShaderProgramsTest, ReflectionLooksUpTheCubeMapInWorldSpace) {
    // One colour per face: +X, -X, +Y, -Y, +Z, -Z.
    const std::uint32_t colours[6] = {Rgba(255, 0, 0),   Rgba(0, 255, 0),     Rgba(0, 0, 255),
                                      Rgba(255, 255, 0), Rgba(255, 255, 255), Rgba(255, 0, 255)};
    glActiveTexture(GL_TEXTURE1);
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     &colours[face]);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glActiveTexture(GL_TEXTURE0);

    const unsigned int program = Program(OglShaderManager::EnvironmentMapping);
    const GLint inverseView = glGetUniformLocation(program, "InvCameraView");
    ASSERT_GE(inverseView, 0);
    const struct {
        float degreesAboutX;  // the camera's rotation into the world
        std::uint32_t expected;
    } cases[] = {
        // Eye space is world space: the view ray bounces straight back, along +Z.
        {0.0f, colours[4]},
        // Eye +z is world -y.
        {90.0f, colours[3]},
        // Eye +z is world +y.
        {-90.0f, colours[2]},
    };
    for (const auto& c : cases) {
        GLfloat matrix[16];
        glPushMatrix();
        glLoadIdentity();
        glRotatef(c.degreesAboutX, 1.0f, 0.0f, 0.0f);
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
        glPopMatrix();
        glUseProgram(program);
        glUniformMatrix4fv(inverseView, 1, GL_FALSE, matrix);
        EXPECT_EQ(Draw(program), c.expected) << c.degreesAboutX;
    }
    glDeleteTextures(1, &cube);
}
