#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>
#include <set>

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

    // The size of buffer `id` bound at `target`; the binding is left at 0.
    static GLint BufferBytes(GLenum target, unsigned int id) {
        GLint bytes = -1;
        glBindBuffer(target, id);
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &bytes);
        glBindBuffer(target, 0);
        return bytes;
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
    EXPECT_TRUE(glIsBuffer(geometry.GetElementBindId()));
    // The two triangles share two of their corners: four entries per vertex
    // buffer, six 16-bit indices into them.
    EXPECT_EQ(geometry.GetBufferVertexCount(), 4u);
    EXPECT_EQ(BufferBytes(GL_ARRAY_BUFFER, geometry.GetNormalBindId()), 4 * 12);
    EXPECT_EQ(BufferBytes(GL_ARRAY_BUFFER, geometry.GetTexCoordBindId()), 4 * 8);
    EXPECT_EQ(BufferBytes(GL_ELEMENT_ARRAY_BUFFER, geometry.GetElementBindId()), 6 * 2);

    // A second call uploads nothing and keeps the names.
    const unsigned int vertexBuffer = geometry.GetVertexBindId();
    const unsigned int elementBuffer = geometry.GetElementBindId();
    renderer->GenerateRessources(*model);
    EXPECT_EQ(geometry.GetVertexBindId(), vertexBuffer);
    EXPECT_EQ(geometry.GetElementBindId(), elementBuffer);
    EXPECT_EQ(model->GetImage(0)->GetBindId(), texture);
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    renderer->SetRenderMode(Renderer::Immediate);
    renderer->DeleteRessources(*model);
    EXPECT_FALSE(glIsBuffer(geometry.GetVertexBindId()));
    EXPECT_FALSE(glIsBuffer(geometry.GetNormalBindId()));
    EXPECT_FALSE(glIsBuffer(geometry.GetTexCoordBindId()));
    EXPECT_FALSE(glIsBuffer(elementBuffer));
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

TEST_F(OglRendererTest, CornersSharingOnlyAPositionStayApartInTheBuffers) {
    // The lower-right triangle faces the light and shows the red texel; the
    // upper-left one, over the same diagonal corners, faces away and shows
    // the white texel. A vertex merged by position alone would carry one
    // triangle's normal or coordinates into the other, shading it unevenly.
    Mesh& mesh = *model->GetMesh(0);
    mesh.SetNormalArray({{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, -1.0f}});
    mesh.SetTexCoordArray({{0.25f, 0.25f}, {0.75f, 0.75f}});
    QuadGeometry().SetNormalIndices({0, 0, 0, 1, 1, 1});
    QuadGeometry().SetTexCoordIndices({0, 0, 0, 1, 1, 1});
    renderer->GenerateRessources(*model);
    EXPECT_EQ(QuadGeometry().GetBufferVertexCount(), 6u);
    EXPECT_EQ(BufferBytes(GL_ARRAY_BUFFER, QuadGeometry().GetVertexBindId()), 6 * 12);

    const auto immediate = DrawIn(Renderer::Immediate);
    const auto vbo = DrawIn(Renderer::VertexBufferObjects);
    EXPECT_LE(MaxDifference(vbo, immediate), 1);
    // The light is a point: the lit triangle may shade a little unevenly,
    // but red throughout.
    for (auto [x, y] : {std::pair{Size - 8, 8}, std::pair{12, 4}, std::pair{Size - 4, Size - 12}}) {
        EXPECT_GT(Red(context.Pixel(x, y)), 100) << x << "," << y;
        EXPECT_LT(Green(context.Pixel(x, y)), 10) << x << "," << y;
    }
    const std::uint32_t upperLeft = context.Pixel(8, Size - 8);
    EXPECT_GT(Green(upperLeft), 20);
    EXPECT_EQ(Green(upperLeft), Red(upperLeft));
    for (auto [x, y] : {std::pair{4, 12}, std::pair{4, Size - 4}, std::pair{Size - 12, Size - 4}})
        EXPECT_EQ(context.Pixel(x, y), upperLeft) << x << "," << y;
}

TEST_F(OglRendererTest, MeshTooLargeForShortIndicesDrawsAsImmediately) {
    // A 260 x 260 grid over the quad: more shared vertices than 16 bits
    // number, so the triangles, reordered for the vertex cache, are drawn
    // through 32-bit indices. The texture coordinates alternate between the
    // texels from vertex to vertex, so that a triangle drawn with the wrong
    // corners shows in the picture (with coordinates following the positions,
    // any triangle in the plane would show the same colours).
    constexpr unsigned int side = 260;
    std::vector<vmath::vec3<float>> positions;
    std::vector<vmath::vec2<float>> texCoords;
    for (unsigned int row = 0; row < side; ++row)
        for (unsigned int column = 0; column < side; ++column) {
            const float u = static_cast<float>(column) / (side - 1), v = static_cast<float>(row) / (side - 1);
            positions.push_back({2.0f * u - 1.0f, 2.0f * v - 1.0f, 0.0f});
            texCoords.push_back({column % 2 ? 0.75f : 0.25f, row % 3 ? 0.75f : 0.25f});
        }
    std::vector<unsigned int> corners;
    for (unsigned int row = 0; row + 1 < side; ++row)
        for (unsigned int column = 0; column + 1 < side; ++column) {
            const unsigned int corner = row * side + column;
            for (unsigned int offset : {0u, 1u, side + 1, 0u, side + 1, side}) corners.push_back(corner + offset);
        }
    Mesh& mesh = *model->GetMesh(0);
    mesh.SetVertexArray(std::move(positions));
    mesh.SetTexCoordArray(std::move(texCoords));
    QuadGeometry().SetNormalIndices(std::vector<unsigned int>(corners.size(), 0));
    QuadGeometry().SetTexCoordIndices(corners);
    QuadGeometry().SetVertexIndices(corners);
    renderer->GenerateRessources(*model);
    EXPECT_EQ(QuadGeometry().GetBufferVertexCount(), side * side);
    EXPECT_EQ(BufferBytes(GL_ELEMENT_ARRAY_BUFFER, QuadGeometry().GetElementBindId()),
              static_cast<GLint>(corners.size() * 4));

    const auto vbo = DrawIn(Renderer::VertexBufferObjects);
    const auto immediate = DrawIn(Renderer::Immediate);
    EXPECT_LE(MaxDifference(vbo, immediate), 1);
    // Drawn over the whole window, in more than one colour.
    std::set<std::uint32_t> colours;
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) colours.insert(context.Pixel(x, y));
    EXPECT_EQ(colours.count(Rgba(0, 0, 0)), 0u);
    EXPECT_GT(colours.size(), 1u);
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
