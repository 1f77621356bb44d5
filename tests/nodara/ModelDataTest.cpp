#include <gtest/gtest.h>

#include <utility>

#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Texture.h>
#include <nodara/Transform.h>

#include "RecordingRenderer.h"

namespace {

/// Counts its own destruction, to catch leaks and double frees.
template <typename Base>
class Counted : public Base {
public:
    template <typename... Args>
    explicit Counted(int& destroyed, Args&&... args) : Base(std::forward<Args>(args)...), destroyed(destroyed) {}
    ~Counted() override { ++destroyed; }

private:
    int& destroyed;
};

/// Drives a container's shallow copies and assignments through the cases that
/// once leaked or freed twice. `add` appends a new counted item; `first`
/// returns the first item listed.
template <typename Container, typename Add, typename First>
void ExpectEachItemReleasedOnce(Add add, First first) {
    int destroyed = 0;
    {
        Container owner;
        add(owner, destroyed);
        Container view(owner);
        add(owner, destroyed);
        owner = view;  // an earlier copy back onto its grown source
        EXPECT_EQ(destroyed, 1);
        ASSERT_EQ(first(owner), first(view));
        first(owner)->SetName("still alive");
        Container& self = owner;
        owner = self;
        EXPECT_EQ(destroyed, 1);
        add(view, destroyed);  // belongs to the copy
    }
    EXPECT_EQ(destroyed, 3);
    {
        Container owner;
        add(owner, destroyed);
        Container unrelated;
        add(unrelated, destroyed);
        owner = unrelated;
        EXPECT_EQ(destroyed, 4);
    }
    EXPECT_EQ(destroyed, 5);
}

}  // namespace

TEST(Material, TranslucencyLooksAtAmbientDiffuseSpecularAlphaOnly) {
    Material m;
    EXPECT_FALSE(m.IsTranslucent());
    m.SetEmission({0, 0, 0, 0.5f});
    EXPECT_FALSE(m.IsTranslucent());
    m.SetDiffuse({1, 1, 1, 0.5f});
    EXPECT_TRUE(m.IsTranslucent());
    Material s;
    s.SetSpecular({0, 0, 0, 0.99f});
    EXPECT_TRUE(s.IsTranslucent());
    Material a;
    a.SetAmbient({0, 0, 0, 0.0f});
    EXPECT_TRUE(a.IsTranslucent());
}

TEST(Material, DefaultsAndTextureWalk) {
    Material m;
    EXPECT_FLOAT_EQ(m.GetAmbient().x, 0.2f);
    EXPECT_FLOAT_EQ(m.GetDiffuse().y, 0.8f);
    EXPECT_EQ(m.GetSpecular().x, 0.0f);
    EXPECT_EQ(m.GetShininess(), 0.0f);
    Image image("a.png");
    m.AddTexture(nullptr);
    m.AddTexture(new Texture(image, Texture::Diffuse, {2, 3}, {0.5f, 0}, 45));
    ASSERT_EQ(m.GetTextureCount(), 1u);
    EXPECT_EQ(m.GetTexture(m.GetTextureCount()), nullptr);
    EXPECT_EQ(&m.GetTexture(0)->GetImage(), &image);
    EXPECT_EQ(m.GetTexture(0)->GetTiling().y, 3.0f);
    Material copy(m);  // shares the texture; only m releases it
    EXPECT_EQ(copy.GetTexture(0), m.GetTexture(0));
}

TEST(Mesh, GeometryListAndSharedCopies) {
    Mesh mesh;
    mesh.AddGeometry(nullptr);
    auto* g = new Geometry;
    mesh.AddGeometry(g);
    EXPECT_EQ(g->GetMesh(), nullptr);  // AddGeometry leaves the back-reference to the caller
    g->SetMesh(&mesh);
    g->SetMesh(nullptr);
    EXPECT_EQ(g->GetMesh(), &mesh);
    EXPECT_EQ(mesh.GetGeometry(mesh.GetGeometryCount()), nullptr);
    mesh.AddVertex({1, 2, 3});
    EXPECT_EQ(mesh.GetBoundingVolume().GetMinimum().x, std::numeric_limits<float>::max());
    {
        Mesh copy(mesh);
        EXPECT_EQ(copy.GetGeometry(0), g);
        EXPECT_EQ(copy.GetVertexArraySize(), 1u);
    }
    EXPECT_EQ(mesh.GetGeometry(0), g);  // the copy did not free it
}

TEST(Geometry, RendersThroughDrawAndKeepsHandles) {
    Geometry g;
    g.SetName("g");
    g.GetVertexBindId() = 7;
    g.SetDisplayListId(3);
    g.AddVertexIndex(4);
    const Geometry& cg = g;
    EXPECT_EQ(cg.GetVertexBindId(), 7u);
    EXPECT_EQ(cg.GetNormalBindId(), 0u);
    EXPECT_EQ(g.GetVertexIndicesSize(), 1u);
    // A copy shares the renderer's buffers, the element list's among them.
    g.GetElementBindId() = 9;
    g.SetBufferVertexCount(1);
    const Geometry copy = g;
    EXPECT_EQ(copy.GetVertexBindId(), 7u);
    EXPECT_EQ(copy.GetElementBindId(), 9u);
    EXPECT_EQ(copy.GetBufferVertexCount(), 1u);
    EXPECT_EQ(Geometry().GetElementBindId(), 0u);
    RecordingRenderer renderer;
    g.Render(renderer);
    EXPECT_EQ(renderer.log, std::vector<std::string>{"draw g"});
}

TEST(Model, LookupsAndBounds) {
    Model model;
    auto* first = new Mesh;
    auto* second = new Mesh;
    first->SetName("body");
    second->SetName("body");
    model.AddMesh(first);
    model.AddMesh(second);
    model.AddMesh(nullptr);
    EXPECT_EQ(model.GetMeshCount(), 2u);
    EXPECT_EQ(model.GetMesh("body"), first);
    EXPECT_EQ(model.GetMesh("wheel"), nullptr);
    EXPECT_EQ(model.GetMesh(1u), second);
    EXPECT_EQ(model.GetMesh(2u), nullptr);  // past the end: null, no out-of-bounds read
    EXPECT_EQ(model.GetImage(0u), nullptr);
    auto* image = new Image("tex.png");
    model.AddImage(image);
    EXPECT_EQ(model.GetImage(""), image);  // images keep an empty name unless set
    auto* material = new Material;
    material->SetName("paint");
    model.AddMaterial(material);
    EXPECT_EQ(model.GetMaterial("paint"), material);
}

TEST(Model, DestructionReleasesEverythingOnce) {
    auto* model = new Model;
    auto* mesh = new Mesh;
    auto* geometry = new Geometry;
    mesh->AddGeometry(geometry);
    geometry->SetMesh(mesh);
    auto* image = new Image("x.png");
    auto* material = new Material;
    material->AddTexture(new Texture(*image, Texture::Diffuse, {1, 1}, {0, 0}, 0));
    model->AddMesh(mesh);
    model->AddImage(image);
    model->AddMaterial(material);
    model->SetModelNode(new ModelNode(*model));
    {
        Model view(*model);  // a copy owns nothing
        EXPECT_EQ(view.GetModelNode(), model->GetModelNode());
    }
    delete model;  // ASan reports any double free or leak here
    Model empty;   // no node, no lists: destruction does nothing
}

TEST(ModelData, CopiesAndAssignmentsReleaseEachItemOnce) {
    ExpectEachItemReleasedOnce<Mesh>([](Mesh& m, int& n) { m.AddGeometry(new Counted<Geometry>(n)); },
                                     [](const Mesh& m) { return m.GetGeometry(0); });
    Image image("a.png");
    ExpectEachItemReleasedOnce<Material>(
        [&image](Material& m, int& n) {
            m.AddTexture(new Counted<Texture>(n, image, Texture::Diffuse, vmath::vec2<float>(1, 1),
                                              vmath::vec2<float>(0, 0), 0.0f));
        },
        [](const Material& m) { return m.GetTexture(0); });
    // Models without a node tree, so that only the lists decide.
    ExpectEachItemReleasedOnce<Model>([](Model& m, int& n) { m.AddMesh(new Counted<Mesh>(n)); },
                                      [](const Model& m) { return m.GetMesh(0u); });

    // The node tree follows the same rules as the lists.
    int destroyed = 0;
    {
        Model owner;
        owner.SetModelNode(new Counted<ModelNode>(destroyed, owner));
        Model view(owner);
        owner.AddMesh(new Counted<Mesh>(destroyed));
        owner = view;
        EXPECT_EQ(destroyed, 1);
        view.SetModelNode(new Counted<ModelNode>(destroyed, view));
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(Transform, TranslateAndRotateOrder) {
    // Rotate then translate, or translate then rotate: the offset ends in the
    // parent's axes either way, and x maps onto y.
    for (bool rotateFirst : {true, false}) {
        Transform t;
        if (rotateFirst) {
            t.Rotate(90, {0, 0, 1});
            t.Translate({1, 0, 0});
        } else {
            t.Translate({1, 0, 0});
            t.Rotate(90, {0, 0, 1});
        }
        const auto& m = t.GetMatrix();
        EXPECT_NEAR(m[12], 1.0f, 1e-6f);
        EXPECT_NEAR(m[13], 0.0f, 1e-6f);
        EXPECT_NEAR(m[14], 0.0f, 1e-6f);
        // Column 0 in OpenGL order is the image of the x axis: (0, 1, 0).
        EXPECT_NEAR(m[0], 0.0f, 1e-6f);
        EXPECT_NEAR(m[1], 1.0f, 1e-6f);
    }
    // A rotation applied after a translation turns about the node's own origin
    // and the next translation follows the parent's axes.
    Transform t;
    t.Translate({0, 5, 0});
    t.Rotate(90, {0, 0, 1});
    t.Translate({1, 0, 0});
    EXPECT_NEAR(t.GetMatrix()[12], 1.0f, 1e-6f);
    EXPECT_NEAR(t.GetMatrix()[13], 5.0f, 1e-6f);
}

TEST(Transform, TranslationCache) {
    Transform t;
    EXPECT_EQ(t.GetTranslation().x, 0.0);
    t.Translate({1, 2, 3});
    t.Translate({1, 2, 3});
    const auto& v = t.GetTranslation();
    EXPECT_EQ(v.x, 2.0);
    EXPECT_EQ(v.y, 4.0);
    EXPECT_EQ(v.z, 6.0);
    vmath::mat4<float> gl(1.0f);
    gl[12] = 9;
    EXPECT_EQ(Transform(gl).GetTranslation().x, 9.0);  // stored unchanged, OpenGL order
}
