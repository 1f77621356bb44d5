#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>

#include <lumora/Lumora.h>
#include <lumora/ModelLoaderManager.h>
#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>

#include "LumoraTestSupport.h"

namespace {

// Counts its frames and its destruction in variables the test owns.
class CountingPass : public Renderer::Pass {
public:
    CountingPass(int& frames, int& deleted) : frames(frames), deleted(deleted) {}
    ~CountingPass() override { ++deleted; }
    void Render(const Scene&) override { ++frames; }

private:
    int& frames;
    int& deleted;
};

// GL names of everything a loaded quad model owns.
struct GlNames {
    unsigned int vertex, normal, texCoord, list, texture;

    explicit GlNames(const Model& model) {
        const Geometry& g = *model.GetMesh(0)->GetGeometry(0);
        vertex = g.GetVertexBindId();
        normal = g.GetNormalBindId();
        texCoord = g.GetTexCoordBindId();
        list = g.GetDisplayListId();
        texture = model.GetImage(0)->GetBindId();
    }
    bool AllAlive() const {
        return glIsBuffer(vertex) && glIsBuffer(normal) && glIsBuffer(texCoord) && glIsList(list) &&
               glIsTexture(texture);
    }
    bool AnyAlive() const {
        return glIsBuffer(vertex) || glIsBuffer(normal) || glIsBuffer(texCoord) || glIsList(list) ||
               glIsTexture(texture);
    }
};

}  // namespace

// The test plug-in turns "<name>.quad" into the quad model textured with
// "<name>.tga". The engine sees the quad from 3 units up the z axis.
class LumoraTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ModelLoaderManager& manager = Singleton<ModelLoaderManager>::Instance();
        // The quad loader goes after the real plug-in, if that one is built.
        testing::internal::CaptureStdout();
        manager.LoadPlugin(QUAD_PLUGIN_PATH);
        testing::internal::GetCapturedStdout();
    }

    void SetUp() override {
        ASSERT_TRUE(context.IsValid()) << context.Error();
        engine = std::make_unique<Lumora>();
        ASSERT_TRUE(engine->Initialize());
        engine->GetRenderer()->SetViewport(Size, Size);
        engine->GetRenderer()->SetProjection(Perspective(60.0, 1.0, 0.1, 100.0));
        engine->GetCamera().SetView(View({0.0, 0.0, 3.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0}));
        WriteTga(dir.File("a.tga"), 1, 1, {Rgba(0, 0, 255)});
        WriteTga(dir.File("b.tga"), 1, 1, {Rgba(0, 255, 0)});
    }

    // Loads a model, keeping the loader's own output off the test log.
    Model* Load(const std::string& name) {
        testing::internal::CaptureStdout();
        Model* model = engine->LoadModel(dir.File(name));
        testing::internal::GetCapturedStdout();
        return model;
    }

    unsigned int RootChildren() const { return engine->GetScene().GetRootNode().GetChildCount(); }

    static constexpr int Size = 64;
    GlContext context{Size, Size};
    TempDir dir;
    std::unique_ptr<Lumora> engine;
};

TEST_F(LumoraTest, LoadedModelHangsUnderTheRootWithItsGlObjectsAndIsDrawn) {
    engine->GetRenderer()->SetRenderMode(Renderer::DisplayLists);
    Model* model = Load("a.quad");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(RootChildren(), 1u);
    EXPECT_EQ(engine->GetScene().GetRootNode().GetChild(0), model->GetModelNode());
    EXPECT_TRUE(GlNames(*model).AllAlive());
    EXPECT_EQ(engine->GetRenderer()->GetRenderMode(), Renderer::VertexBufferObjects);

    engine->CullScene();
    engine->RenderScene();
    const std::uint32_t centre = context.Pixel(Size / 2, Size / 2);
    EXPECT_GT(Blue(centre), 100);
    EXPECT_EQ(Red(centre), 0);

    // Turned away, the camera culls the mesh group and the frame stays empty.
    engine->GetCamera().SetView(View({0.0, 0.0, 3.0}, {0.0, 0.0, 6.0}, {0.0, 1.0, 0.0}));
    engine->CullScene();
    engine->RenderScene();
    EXPECT_EQ(context.Pixel(Size / 2, Size / 2), Rgba(0, 0, 0));
}

TEST_F(LumoraTest, UnreadableFileChangesNothing) {
    EXPECT_EQ(Load("a.unknown"), nullptr);
    EXPECT_EQ(RootChildren(), 0u);
    engine->UnLoadModel(nullptr);
    EXPECT_EQ(RootChildren(), 0u);
}

TEST_F(LumoraTest, UnLoadModelTakesItOutOfTheSceneAndDeletesItsGlObjects) {
    Model* first = Load("a.quad");
    Model* second = Load("b.quad");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const GlNames names(*first);
    engine->UnLoadModel(first);
    EXPECT_FALSE(names.AnyAlive());
    EXPECT_EQ(RootChildren(), 1u);
    EXPECT_EQ(engine->GetScene().GetRootNode().GetChild(0), second->GetModelNode());
    EXPECT_TRUE(GlNames(*second).AllAlive());
}

TEST_F(LumoraTest, PassesReplaceTheRenderersFrame) {
    int frames = 0;
    int deleted = 0;
    auto* pass = new CountingPass(frames, deleted);
    engine->AddPass(*pass);
    engine->AddPass(*pass);  // ignored: it would be deleted twice
    ASSERT_NE(Load("a.quad"), nullptr);

    // The renderer's own RenderScene would clear this red.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    engine->RenderScene();
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(context.Pixel(1, 1), Rgba(255, 0, 0));

    engine.reset();
    EXPECT_EQ(deleted, 1);
}

TEST_F(LumoraTest, DestructionDeletesEveryGlObjectItMade) {
    Model* first = Load("a.quad");
    Model* second = Load("b.quad");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const GlNames names[2] = {GlNames(*first), GlNames(*second)};

    engine.reset();
    for (const GlNames& n : names) EXPECT_FALSE(n.AnyAlive());
}
