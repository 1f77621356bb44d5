// Baking a group of placed objects into one geometry per material: drawn
// before and after, the picture is the same (positions and lit normals under
// rotation and uneven scale), and groups the baking cannot take stay as they
// were.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <lumora/OglRenderer.h>
#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>
#include <nodara/StateNode.h>
#include <nodara/View.h>

#include "GlContext.h"
#include "track/SceneryBatches.h"

namespace {

using vec3 = vmath::vec3<float>;

// A unit cube centred on the origin, flat-shaded: 24 corners, one normal per face.
Mesh* MakeCube(Geometry*& geometry) {
    auto* mesh = new Mesh;
    const vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    geometry = new Geometry;
    geometry->SetMesh(mesh);
    for (int axis = 0; axis < 3; ++axis)
        for (float side : {-1.0f, 1.0f}) {
            const vec3 n = axes[axis] * side;
            const vec3 u = axes[(axis + 1) % 3] * 0.5f, w = axes[(axis + 2) % 3] * 0.5f;
            const unsigned base = mesh->GetVertexArraySize();
            const vec3 centre = n * 0.5f;
            for (const vec3& corner : {centre - u - w, centre + u - w, centre + u + w, centre - u + w}) {
                mesh->AddVertex(corner);
                mesh->GetBoundingVolume().Expand(corner);
            }
            mesh->AddNormal(n);
            const unsigned normal = mesh->GetNormalArraySize() - 1;
            // Counter-clockwise seen from outside.
            const bool flip = side < 0.0f;
            for (unsigned corner : {0u, flip ? 2u : 1u, flip ? 1u : 2u, 0u, flip ? 3u : 2u, flip ? 2u : 3u}) {
                geometry->AddVertexIndex(base + corner);
                geometry->AddNormalIndex(normal);
            }
        }
    mesh->AddGeometry(geometry);
    return mesh;
}

// A sphere of radius 1 about the origin, 12 x 8 quads, smooth: a tree crown
// with many corners within a metre of each other.
Mesh* MakeSphere(Geometry*& geometry) {
    auto* mesh = new Mesh;
    geometry = new Geometry;
    geometry->SetMesh(mesh);
    const int around = 12, up = 8;
    for (int j = 0; j <= up; ++j)
        for (int i = 0; i < around; ++i) {
            const float theta = float(M_PI) * j / up, phi = 2.0f * float(M_PI) * i / around;
            const vec3 p(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
            mesh->AddVertex(p);
            mesh->AddNormal(p);
            mesh->GetBoundingVolume().Expand(p);
        }
    for (int j = 0; j < up; ++j)
        for (int i = 0; i < around; ++i) {
            const unsigned a = j * around + i, b = j * around + (i + 1) % around, c = a + around, d = b + around;
            for (unsigned corner : {a, c, b, b, c, d}) {
                geometry->AddVertexIndex(corner);
                geometry->AddNormalIndex(corner);
            }
        }
    mesh->AddGeometry(geometry);
    return mesh;
}

Material* MakeMaterial(float r, float g, float b) {
    auto* material = new Material;
    material->SetAmbient({r * 0.3f, g * 0.3f, b * 0.3f, 1.0f});
    material->SetDiffuse({r, g, b, 1.0f});
    return material;
}

// A placement: rotation about z by `degrees`, scale (sx, sy, sz), then a move
// to `at`; stored in OpenGL's order, as the transforms of the scene keep it.
vmath::mat4<float> Placement(float degrees, vec3 scale, vec3 at) {
    const float c = std::cos(degrees * float(M_PI) / 180.0f), s = std::sin(degrees * float(M_PI) / 180.0f);
    const float gl[16] = {c * scale.x, s * scale.x, 0, 0, -s * scale.y, c * scale.y, 0, 0, 0, 0, scale.z, 0,
                          at.x, at.y, at.z, 1};
    vmath::mat4<float> matrix(1.0f);
    std::copy(gl, gl + 16, matrix.m);
    return matrix;
}

// Three cubes, two red and one green, each placed under its own group
// (group -> mesh node -> material -> drawable), as a loaded model holds them.
struct Wood {
    Wood() {
        mesh = MakeCube(cube);
        model.AddMesh(mesh);
        red = MakeMaterial(0.9f, 0.1f, 0.1f);
        green = MakeMaterial(0.1f, 0.8f, 0.2f);
        model.AddMaterial(red);
        model.AddMaterial(green);
        Place(*red, Placement(30.0f, {1.0f, 1.0f, 2.5f}, {-2.0f, 0.0f, 1.25f}));
        Place(*green, Placement(-20.0f, {2.0f, 0.7f, 1.0f}, {1.5f, 1.0f, 0.5f}));
        Place(*red, Placement(75.0f, {0.6f, 1.4f, 0.8f}, {0.5f, -2.0f, 0.4f}));
        group.SetName("Wood");
    }
    void Place(Material& material, const vmath::mat4<float>& matrix) {
        auto* placed = new GroupNode;
        placed->GetTransform().SetMatrix(matrix);
        auto* meshNode = new MeshNode(*mesh);
        auto* state = new StateNode(material);
        state->AddChild(new DrawableNode(*cube));
        meshNode->AddChild(state);
        placed->AddChild(meshNode);
        group.AddChild(placed);
    }

    Model model;
    GroupNode group;
    Mesh* mesh;
    Geometry* cube;
    Material* red;
    Material* green;
};

class SceneryBatchesGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.IsValid()) << context.Error();
        ASSERT_TRUE(renderer.Initialize());
        renderer.SetViewport(Size, Size);
        light.SetPosition({4.0f, -6.0f, 9.0f, 1.0f});
        renderer.GetStateManager().InitializeLighting(light);
    }
    std::vector<std::uint8_t> Draw(const GroupNode& group) {
        renderer.SetProjection(Perspective(45.0, 1.0, 0.5, 50.0));
        glLoadIdentity();
        renderer.SetViewing(View({3.0f, -9.0f, 6.0f}, {0.0f, 0.0f, 0.5f}, {0.0f, 0.0f, 1.0f}));
        renderer.GetStateManager().SetLightTransform(light);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        group.Render(renderer);
        return context.ReadPixels();
    }

    static constexpr int Size = 160;
    GlContext context{Size, Size};
    OglRenderer renderer;
    Light light;
};

int Covered(const std::vector<std::uint8_t>& rgba) {
    int count = 0;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) count += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    return count;
}

int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int most = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
    return most;
}

}  // namespace

TEST_F(SceneryBatchesGl, BakedGroupDrawsTheSamePictureInOneDrawPerMaterial) {
    Wood wood;
    renderer.GenerateRessources(wood.model);
    const std::vector<std::uint8_t> before = Draw(wood.group);
    ASSERT_GT(Covered(before), Size * Size / 20);

    Mesh* baked = SceneryBatches::Merge(wood.model, wood.group);
    ASSERT_NE(baked, nullptr);
    EXPECT_EQ(wood.model.GetMeshCount(), 2u);
    renderer.GenerateRessources(*baked);
    // Red first (first used), then green; each one drawable.
    ASSERT_EQ(wood.group.GetChildCount(), 2u);
    EXPECT_EQ(&static_cast<const StateNode*>(wood.group.GetChild(0))->GetState(), wood.red);
    EXPECT_EQ(&static_cast<const StateNode*>(wood.group.GetChild(1))->GetState(), wood.green);
    EXPECT_EQ(baked->GetGeometryCount(), 2u);
    EXPECT_EQ(baked->GetGeometry(0)->GetVertexIndicesSize(), 72u);
    EXPECT_EQ(baked->GetGeometry(1)->GetVertexIndicesSize(), 36u);

    const std::vector<std::uint8_t> after = Draw(wood.group);
    EXPECT_LE(MaxDifference(before, after), 2);
    EXPECT_EQ(Covered(after), Covered(before));

    // The group's box holds every placed cube: the tall red one reaches 2.5 up.
    ASSERT_NE(wood.group.GetBoundingVolume(), nullptr);
    EXPECT_NEAR(wood.group.GetBoundingVolume()->GetMaximum().z, 2.5f, 1e-5f);
    EXPECT_NEAR(wood.group.GetBoundingVolume()->GetMinimum().z, 0.0f, 1e-5f);
    // The cube's own mesh is left as it was.
    EXPECT_EQ(wood.mesh->GetVertexArraySize(), 24u);
    EXPECT_EQ(wood.cube->GetVertexIndicesSize(), 36u);
    renderer.DeleteRessources(wood.model);
}

TEST(SceneryBatches, GroupsItCannotBakeStayAsTheyWere) {
    {
        // A drawable without normals.
        Wood wood;
        wood.cube->SetNormalIndices(std::vector<unsigned>());
        EXPECT_EQ(SceneryBatches::Merge(wood.model, wood.group), nullptr);
        EXPECT_EQ(wood.group.GetChildCount(), 3u);
        EXPECT_EQ(wood.model.GetMeshCount(), 1u);
    }
    {
        // A kind of node that has no place among placed objects.
        Wood wood;
        wood.group.AddChild(new ModelNode(wood.model));
        EXPECT_EQ(SceneryBatches::Merge(wood.model, wood.group), nullptr);
        EXPECT_EQ(wood.group.GetChildCount(), 4u);
    }
    {
        // Nothing left to draw: every triangle reads outside the arrays.
        Wood wood;
        wood.cube->SetVertexIndices(std::vector<unsigned>(36, 99));
        EXPECT_EQ(SceneryBatches::Merge(wood.model, wood.group), nullptr);
        EXPECT_EQ(wood.group.GetChildCount(), 3u);
        EXPECT_EQ(wood.group.GetBoundingVolume(), nullptr);
    }
}

TEST(SceneryBatches, BadTrianglesAreLeftOutAndAChildListedTwiceIsReleasedOnce) {
    Wood wood;
    std::vector<unsigned> indices = wood.cube->GetVertexIndices();
    indices[0] = 24;  // the first triangle reads past the 24 corners
    wood.cube->SetVertexIndices(indices);
    wood.group.AddChild(wood.group.GetChild(0));
    Mesh* baked = SceneryBatches::Merge(wood.model, wood.group);
    ASSERT_NE(baked, nullptr);
    // Red is placed three times now (one placement listed twice): 3 x 11 triangles.
    EXPECT_EQ(baked->GetGeometry(0)->GetVertexIndicesSize(), 99u);
    EXPECT_EQ(baked->GetGeometry(1)->GetVertexIndicesSize(), 33u);
}

// A wood spread along a road, baked in cells, seen from inside it: the cells
// behind the camera are culled, the ones before it drawn, and the picture is
// the one of the unbaked wood.
TEST_F(SceneryBatchesGl, WoodSpreadOverCellsIsCulledACellAtATimeAndLooksTheSame) {
    Wood wood;
    // Eleven more along y from -12 to 18, alternately red and green: the
    // wood, 31 m long and 5 m wide, is cut into 8 x 2 cells of about 4 m.
    for (int i = 0; i < 11; ++i)
        wood.Place(i % 2 ? *wood.green : *wood.red,
                   Placement(15.0f * i, {1.0f, 1.0f, 1.0f + 0.2f * i}, {0.2f + 0.8f * (i % 3), -12.0f + 3.0f * i, 0.5f}));
    renderer.GenerateRessources(wood.model);
    const auto draw = [&](GroupNode& group) {
        // From the road, looking along it: a third of the wood lies behind.
        renderer.SetProjection(Perspective(60.0, 1.0, 0.5, 60.0));
        glLoadIdentity();
        renderer.SetViewing(View({0.0f, -3.0f, 2.0f}, {0.0f, 10.0f, 0.5f}, {0.0f, 0.0f, 1.0f}));
        renderer.GetStateManager().SetLightTransform(light);
        group.Cull(renderer);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        group.Render(renderer);
        return context.ReadPixels();
    };
    const std::vector<std::uint8_t> before = draw(wood.group);
    ASSERT_GT(Covered(before), Size * Size / 10);

    Mesh* baked = SceneryBatches::Merge(wood.model, wood.group, 4.0f);
    ASSERT_NE(baked, nullptr);
    renderer.GenerateRessources(*baked);
    const std::vector<std::uint8_t> after = draw(wood.group);
    EXPECT_LE(MaxDifference(before, after), 2);
    EXPECT_EQ(Covered(after), Covered(before));

    // Each cell a group with a box that holds its cubes, red and green
    // apart; some behind the camera are culled, the rest drawn.
    unsigned culled = 0, drawn = 0, triangles = 0;
    for (unsigned i = 0; i < wood.group.GetChildCount(); ++i) {
        const auto* cell = dynamic_cast<const GroupNode*>(wood.group.GetChild(i));
        ASSERT_NE(cell, nullptr);
        ASSERT_NE(cell->GetBoundingVolume(), nullptr);
        const BoundingBox& box = *cell->GetBoundingVolume();
        EXPECT_LE(box.GetMaximum().y - box.GetMinimum().y, 4.0f + 2.0f) << cell->GetName();
        (cell->IsCulled() ? culled : drawn) += 1;
        for (unsigned k = 0; k < cell->GetChildCount(); ++k) {
            const auto* state = dynamic_cast<const StateNode*>(cell->GetChild(k));
            ASSERT_NE(state, nullptr);
            const auto& drawable = static_cast<const DrawableNode&>(*state->GetChild(0)).GetDrawable();
            triangles += static_cast<const Geometry&>(drawable).GetVertexIndicesSize() / 3;
        }
    }
    EXPECT_GE(wood.group.GetChildCount(), 8u);
    EXPECT_GE(culled, 2u);
    EXPECT_GE(drawn, 4u);
    // Every cube baked once: 14 x 12 triangles.
    EXPECT_EQ(triangles, 14u * 12u);
    renderer.DeleteRessources(wood.model);
}

TEST_F(SceneryBatchesGl, CoarseCopiesStandBesideEachCellWithFewerTrianglesAndLookTheSameFarOff) {
    // A row of 16 round crowns along y, red and green in turn, cut into cells of 8 m.
    Wood wood;
    std::vector<Node*> cubes;
    for (unsigned i = 0; i < wood.group.GetChildCount(); ++i) cubes.push_back(wood.group.GetChild(i));
    wood.group.RemoveAllChilds();
    for (Node* cube : cubes) delete cube;
    wood.model.AddMesh(wood.mesh = MakeSphere(wood.cube));
    for (int i = 0; i < 16; ++i)
        wood.Place(i % 2 ? *wood.green : *wood.red, Placement(10.0f * i, {1.0f, 1.0f, 1.5f}, {0.0f, -24.0f + 3.0f * i, 1.5f}));
    Mesh* baked = SceneryBatches::Merge(wood.model, wood.group, 8.0f);
    ASSERT_NE(baked, nullptr);
    EXPECT_TRUE(SceneryBatches::AddCoarseCopies(wood.group, *baked, 0.0f).empty());
    EXPECT_TRUE(SceneryBatches::AddCoarseCopies(wood.group, *baked, std::nanf("")).empty());
    const unsigned cells = wood.group.GetChildCount();
    ASSERT_GE(cells, 4u);
    const std::vector<CoarseCopy> pairs = SceneryBatches::AddCoarseCopies(wood.group, *baked, 1.0f);
    ASSERT_EQ(pairs.size(), cells);
    renderer.GenerateRessources(*baked);

    const auto triangles = [](const GroupNode& group) {
        unsigned count = 0;
        for (unsigned k = 0; k < group.GetChildCount(); ++k)
            count += static_cast<const Geometry&>(
                         static_cast<const DrawableNode&>(*group.GetChild(k)->GetChild(0)).GetDrawable())
                         .GetVertexIndicesSize() /
                     3;
        return count;
    };
    unsigned fine = 0, coarse = 0;
    for (unsigned i = 0; i < pairs.size(); ++i) {
        const CoarseCopy& pair = pairs[i];
        EXPECT_EQ(pair.fine, wood.group.GetChild(i));
        EXPECT_EQ(pair.coarse, wood.group.GetChild(cells + i)) << "beside the cells, after them";
        EXPECT_EQ(pair.coarse->GetBoundingVolume()->GetMinimum().y, pair.fine->GetBoundingVolume()->GetMinimum().y);
        EXPECT_EQ(pair.coarse->GetBoundingVolume()->GetMaximum().y, pair.fine->GetBoundingVolume()->GetMaximum().y);
        // Materials of the cell (one whose triangles all collapsed is left
        // out), each drawn from the baked mesh.
        ASSERT_GE(pair.coarse->GetChildCount(), 1u);
        for (unsigned k = 0; k < pair.coarse->GetChildCount(); ++k) {
            const State& state = static_cast<const StateNode*>(pair.coarse->GetChild(k))->GetState();
            bool ofTheCell = false;
            for (unsigned f = 0; f < pair.fine->GetChildCount(); ++f)
                ofTheCell = ofTheCell || &static_cast<const StateNode*>(pair.fine->GetChild(f))->GetState() == &state;
            EXPECT_TRUE(ofTheCell);
            const auto& geometry = static_cast<const Geometry&>(
                static_cast<const DrawableNode&>(*pair.coarse->GetChild(k)->GetChild(0)).GetDrawable());
            EXPECT_EQ(geometry.GetMesh(), baked);
            for (unsigned v : geometry.GetVertexIndices()) EXPECT_LT(v, baked->GetVertexArraySize());
            for (unsigned n : geometry.GetNormalIndices()) EXPECT_LT(n, baked->GetNormalArraySize());
        }
        fine += triangles(*pair.fine);
        coarse += triangles(*pair.coarse);
    }
    EXPECT_EQ(fine, 16u * 12u * 8u * 2u);
    EXPECT_LT(coarse, fine / 3);
    EXPECT_GT(coarse, 0u);

    // From 900 m off through a 10 degree view, where a pixel is about the
    // metre the copies may stray, they cover most of what the cells do (the
    // crowns' edges shrink by up to a pixel), in the same colours.
    const auto draw = [&](bool coarseShown) {
        for (const CoarseCopy& pair : pairs) {
            pair.fine->SetCulled(coarseShown);
            pair.coarse->SetCulled(!coarseShown);
        }
        renderer.SetProjection(Perspective(10.0, 1.0, 100.0, 2000.0));
        glLoadIdentity();
        renderer.SetViewing(View({900.0f, -2.0f, 40.0f}, {0.0f, 0.0f, 1.5f}, {0.0f, 0.0f, 1.0f}));
        renderer.GetStateManager().SetLightTransform(light);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        wood.group.Render(renderer);
        return context.ReadPixels();
    };
    const std::vector<std::uint8_t> cellsPicture = draw(false), copiesPicture = draw(true);
    const int covered = Covered(cellsPicture);
    ASSERT_GT(covered, 40);
    EXPECT_NEAR(Covered(copiesPicture), covered, covered * 2 / 5);
    const auto reddish = [](const std::vector<std::uint8_t>& rgba) {
        int count = 0;
        for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) count += rgba[i] > rgba[i + 1] + 40;
        return count;
    };
    EXPECT_GT(reddish(cellsPicture), 10);
    EXPECT_NEAR(reddish(copiesPicture), reddish(cellsPicture), reddish(cellsPicture) * 2 / 5);

    // A group baked in one piece gets one cell for its copy to stand beside.
    Wood one;
    Mesh* whole = SceneryBatches::Merge(one.model, one.group, 0.0f);
    ASSERT_NE(whole, nullptr);
    const std::vector<CoarseCopy> single = SceneryBatches::AddCoarseCopies(one.group, *whole, 0.5f);
    ASSERT_EQ(single.size(), 1u);
    ASSERT_EQ(one.group.GetChildCount(), 2u);
    EXPECT_EQ(single[0].fine, one.group.GetChild(0));
    EXPECT_EQ(single[0].coarse, one.group.GetChild(1));
    EXPECT_EQ(single[0].fine->GetChildCount(), 2u) << "red and green";
    EXPECT_EQ(single[0].fine->GetBoundingVolume()->GetMaximum().x, one.group.GetBoundingVolume()->GetMaximum().x);
    renderer.DeleteRessources(wood.model);
}
