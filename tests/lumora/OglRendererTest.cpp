#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>

#include <lumora/OglRenderer.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Light.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Texture.h>

#include "LumoraTestSupport.h"

namespace {

// Red, green, blue and white quadrants (bottom-left, bottom-right, top-left, top-right).
const std::vector<std::uint32_t> Quadrants = {Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 255),
                                              Rgba(255, 255, 255)};

}  // namespace

class OglRendererTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        image = dir.File("quadrants.tga");
        WriteTga(image, 2, 2, Quadrants);
        model.reset(MakeQuadModel(image));
        // A dim light, so lit colours stay below saturation.
        light.SetPosition({0.0f, 0.0f, 10.0f, 1.0f});
        light.SetAmbient({0.2f, 0.2f, 0.2f, 1.0f});
        light.SetDiffuse({0.5f, 0.5f, 0.5f, 1.0f});
        renderer->GetStateManager().InitializeLighting(light);
        renderer->GetStateManager().SetTextureFilter(StateManager::Nearest);
    }

    void TearDown() override {
        if (model) renderer->DeleteRessources(*model);
    }

    Geometry& QuadGeometry() { return *model->GetMesh(0)->GetGeometry(0); }

    // Clears and draws the model's tree in `mode`, returning the frame.
    std::vector<std::uint8_t> DrawIn(Renderer::RenderMode mode) {
        renderer->SetRenderMode(mode);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        model->GetModelNode()->Render(*renderer);
        return context.ReadPixels();
    }

    TempDir dir;
    std::string image;
    std::unique_ptr<Model> model;
    Light light;
};

TEST_F(OglRendererTest, ThreeDrawPathsDrawTheSameTexturedLitImage) {
    renderer->SetRenderMode(Renderer::DisplayLists);
    renderer->GenerateRessources(*model);
    // Whatever the mode before, the buffers are what gets drawn afterwards.
    EXPECT_EQ(renderer->GetRenderMode(), Renderer::VertexBufferObjects);

    const auto vbo = DrawIn(Renderer::VertexBufferObjects);
    const auto immediate = DrawIn(Renderer::Immediate);
    const auto lists = DrawIn(Renderer::DisplayLists);
    EXPECT_LE(MaxDifference(vbo, immediate), 1);
    EXPECT_LE(MaxDifference(vbo, lists), 1);

    // The texture's quadrants show, lit: red bottom-left, white top-right.
    const std::uint32_t bottomLeft = context.Pixel(8, 8);
    EXPECT_GT(Red(bottomLeft), 100);
    EXPECT_LT(Green(bottomLeft), 10);
    EXPECT_LT(Blue(bottomLeft), 10);
    const std::uint32_t topRight = context.Pixel(Size - 8, Size - 8);
    EXPECT_GT(Green(topRight), 100);
    EXPECT_GT(Blue(topRight), 100);
}

TEST_F(OglRendererTest, GenerateRessourcesMakesEveryObjectAndDeleteRessourcesRemovesThem) {
    renderer->GenerateRessources(*model);
    Geometry& geometry = QuadGeometry();
    const unsigned int texture = model->GetImage(0)->GetBindId();
    EXPECT_TRUE(glIsBuffer(geometry.GetVertexBindId()));
    EXPECT_TRUE(glIsBuffer(geometry.GetNormalBindId()));
    EXPECT_TRUE(glIsBuffer(geometry.GetTexCoordBindId()));
    EXPECT_TRUE(glIsList(geometry.GetDisplayListId()));
    EXPECT_TRUE(glIsTexture(texture));
    // The buffers hold one de-indexed entry per corner.
    GLint bytes = 0;
    glBindBuffer(GL_ARRAY_BUFFER, geometry.GetNormalBindId());
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    EXPECT_EQ(bytes, 6 * 12);

    // A second call uploads nothing and keeps the names.
    const unsigned int vertexBuffer = geometry.GetVertexBindId();
    renderer->GenerateRessources(*model);
    EXPECT_EQ(geometry.GetVertexBindId(), vertexBuffer);
    EXPECT_EQ(model->GetImage(0)->GetBindId(), texture);
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    renderer->SetRenderMode(Renderer::Immediate);
    renderer->DeleteRessources(*model);
    EXPECT_FALSE(glIsBuffer(geometry.GetVertexBindId()));
    EXPECT_FALSE(glIsBuffer(geometry.GetNormalBindId()));
    EXPECT_FALSE(glIsBuffer(geometry.GetTexCoordBindId()));
    EXPECT_FALSE(glIsList(geometry.GetDisplayListId()));
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_EQ(renderer->GetRenderMode(), Renderer::Immediate);
}

TEST_F(OglRendererTest, GeometryWithoutTexCoordsDrawsOneTexelOnEveryPath) {
    QuadGeometry().SetTexCoordIndices({});
    renderer->GenerateRessources(*model);
    EXPECT_EQ(QuadGeometry().GetTexCoordBindId(), 0u);
    EXPECT_TRUE(glIsBuffer(QuadGeometry().GetVertexBindId()));

    for (auto mode : {Renderer::VertexBufferObjects, Renderer::Immediate, Renderer::DisplayLists}) {
        DrawIn(mode);
        // No coordinates reach unit 2, so the whole quad shows one texel.
        EXPECT_EQ(context.Pixel(8, 8), context.Pixel(Size - 8, Size - 8)) << "mode " << mode;
        EXPECT_NE(context.Pixel(8, 8), Rgba(0, 0, 0)) << "mode " << mode;
    }
}

TEST_F(OglRendererTest, UnreadableImageIsReportedAndLeavesNoTexture) {
    std::unique_ptr<Model> broken(MakeQuadModel(dir.File("missing.tga")));
    testing::internal::CaptureStdout();
    renderer->GenerateRessources(*broken);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[ERROR] OglRenderer::OglBufferManager: Cannot load image " + dir.File("missing.tga")),
              std::string::npos)
        << out;
    EXPECT_EQ(broken->GetImage(0)->GetBindId(), 0u);
    renderer->DeleteRessources(*broken);
}

// Each row breaks the quad's index lists in one way that would read outside
// the mesh arrays.
struct BrokenGeometry {
    const char* what;
    void (*breakIt)(Geometry&);
    const char* reason;
};

class BrokenGeometryTest : public OglRendererTest, public testing::WithParamInterface<BrokenGeometry> {};

TEST_P(BrokenGeometryTest, IsReportedOnceAndDrawnOnNoPath) {
    GetParam().breakIt(QuadGeometry());
    testing::internal::CaptureStdout();
    renderer->GenerateRessources(*model);
    DrawIn(Renderer::Immediate);
    std::vector<std::uint8_t> frames[3] = {DrawIn(Renderer::VertexBufferObjects), DrawIn(Renderer::Immediate),
                                           DrawIn(Renderer::DisplayLists)};
    const std::string out = testing::internal::GetCapturedStdout();

    const std::string line = "[ERROR] OglRenderer::OglBufferManager: Geometry 'quad-geometry' not drawn: ";
    const auto first = out.find(line);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_NE(out.find(GetParam().reason, first), std::string::npos) << out;
    EXPECT_EQ(out.find(line, first + 1), std::string::npos) << "reported twice:\n" << out;
    EXPECT_EQ(QuadGeometry().GetVertexBindId(), 0u);
    for (const auto& frame : frames)
        for (std::uint8_t channel : frame) ASSERT_TRUE(channel == 0 || channel == 255);  // clear colour only
    EXPECT_EQ(context.Pixel(Size / 2, Size / 2), Rgba(0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    OutOfRange, BrokenGeometryTest,
    testing::Values(
        // A vertex index past the four vertices.
        BrokenGeometry{"vertex", [](Geometry& g) { g.SetVertexIndices({0, 1, 2, 0, 2, 4}); },
                       "vertex index 4 outside 4 vertices"},
        // Fewer normal indices than corners.
        BrokenGeometry{"shortNormals", [](Geometry& g) { g.SetNormalIndices({0, 0, 0}); },
                       "normal index list shorter than the vertex index list (3 < 6)"},
        // A normal index past the one normal.
        BrokenGeometry{"normal", [](Geometry& g) { g.SetNormalIndices({0, 0, 0, 0, 0, 1}); },
                       "normal index 1 outside 1 normals"},
        // Texture coordinates for only one triangle.
        BrokenGeometry{"shortTexCoords", [](Geometry& g) { g.SetTexCoordIndices({0, 1, 2}); },
                       "texture-coordinate index list shorter than the vertex index list (3 < 6)"},
        // A huge texture-coordinate index.
        BrokenGeometry{"texCoord", [](Geometry& g) { g.SetTexCoordIndices({0, 1, 2, 0, 2, 4000000000u}); },
                       "texture-coordinate index 4000000000 outside 4 texture coordinates"}),
    [](const testing::TestParamInfo<BrokenGeometry>& info) { return std::string(info.param.what); });

TEST_F(OglRendererTest, TransparencySwitchDecidesWhetherAlphaZeroTexelsShow) {
    const std::string clear = dir.File("clear.tga");
    WriteTga(clear, 1, 1, {Rgba(0, 255, 0, 0)});
    std::unique_ptr<Model> glass(MakeQuadModel(clear));
    renderer->GenerateRessources(*glass);
    glass->GetModelNode()->Render(*renderer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    renderer->SetRenderTransparency(true);
    glass->GetModelNode()->Render(*renderer);
    EXPECT_EQ(Green(context.Pixel(Size / 2, Size / 2)), 0);

    renderer->SetRenderTransparency(false);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glass->GetModelNode()->Render(*renderer);
    EXPECT_GT(Green(context.Pixel(Size / 2, Size / 2)), 100);
    renderer->DeleteRessources(*glass);
}

TEST_F(OglRendererTest, GeometryWithoutMeshDrawsNothingImmediately) {
    Geometry lonely;
    lonely.SetVertexIndices({0, 1, 2});
    renderer->SetRenderMode(Renderer::Immediate);
    renderer->Draw(lonely);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OglRendererTest, RenderOptionSettersStoreAndApply) {
    renderer->SetViewport(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);

    renderer->SetCullFace(Renderer::CullFront);
    GLint face = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &face);
    EXPECT_EQ(face, GL_FRONT);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    renderer->SetCullFace(Renderer::CullNone);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(renderer->GetCullFace(), Renderer::CullNone);

    renderer->SetPolygonMode(Renderer::Wireframe);
    EXPECT_EQ(renderer->GetPolygonMode(), Renderer::Wireframe);
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_LINE);
}

TEST_F(OglRendererTest, CheckErrorLogsOnePendingError) {
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM
    testing::internal::CaptureStdout();
    renderer->CheckError();
    renderer->CheckError();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "[Warn] OglRenderer - OpenGL Error invalid enumerant\n");
}

TEST(OglRendererWithoutContext, DrawsAndGeneratesNothingBeforeInitialize) {
    // No context at all: every call must return without touching GL.
    OglRenderer renderer;
    std::unique_ptr<Model> model(MakeQuadModel("none.tga"));
    renderer.GenerateRessources(*model);
    renderer.Draw(*model->GetMesh(0)->GetGeometry(0));
    renderer.DeleteRessources(*model);
    EXPECT_EQ(model->GetMesh(0)->GetGeometry(0)->GetVertexBindId(), 0u);
}

TEST(OglRendererWithoutContext, ShaderManagerBuildsNothingWithoutOpenGl2) {
    // GLEW was never brought up in this process: the entry points are null.
    if (GLEW_VERSION_2_0) GTEST_SKIP() << "GLEW initialised by an earlier test of this process";
    OglShaderManager manager;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(manager.CreateShaders());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("OpenGL 2.0 is not available"), std::string::npos);
    for (int type = 0; type < 4; ++type)
        EXPECT_EQ(manager.GetProgram(static_cast<OglShaderManager::ProgramType>(type)), 0u);
}
