// Cutting the ground into tiles: every triangle lands in exactly one tile with
// its own normal and texture-coordinate indices, each tile's box holds its
// triangles, and anything the split cannot take leaves the tree as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/StateNode.h>

#include "track/TerrainTiles.h"

namespace {

using vec3 = vmath::vec3<float>;
using Triangle = std::array<unsigned, 9>;  // three (vertex, normal, texture) triples

// A 4 x 4 grid of unit squares on z = 0 from (0, 0); each square is two
// triangles. Grass covers the squares with x < 3, road the column x = 3.
// The normals and texture coordinates are indexed differently from the
// positions, so a tile that mixed the lists up would show.
struct Ground {
    Ground() {
        mesh = new Mesh;
        mesh->SetName("Ground-mesh");
        for (int y = 0; y <= 4; ++y)
            for (int x = 0; x <= 4; ++x) {
                mesh->AddVertex(vec3(float(x), float(y), 0.0f));
                mesh->GetBoundingVolume().Expand(vec3(float(x), float(y), 0.0f));
            }
        for (int i = 0; i < 25; ++i) mesh->AddNormal(vec3(0.0f, 0.01f * i, 1.0f));
        for (int i = 0; i < 25; ++i) mesh->AddTexCoord(vmath::vec2<float>(0.1f * i, 0.0f));
        grass = AddGeometry("grass", [](int x) { return x < 3; });
        road = AddGeometry("road", [](int x) { return x == 3; });
        model.AddMesh(mesh);
        grassMaterial = new Material;
        roadMaterial = new Material;
        model.AddMaterial(grassMaterial);
        model.AddMaterial(roadMaterial);

        meshNode = new MeshNode(*mesh);
        meshNode->SetName("Ground-mesh");
        auto* grassNode = new StateNode(*grassMaterial);
        grassNode->AddChild(new DrawableNode(*grass));
        auto* roadNode = new StateNode(*roadMaterial);
        roadNode->AddChild(new DrawableNode(*road));
        meshNode->AddChild(grassNode);
        meshNode->AddChild(roadNode);
        ground.SetName("Ground");
        ground.AddChild(meshNode);
    }

    template <typename Columns>
    Geometry* AddGeometry(const char* name, Columns columns) {
        auto* geometry = new Geometry;
        geometry->SetName(name);
        geometry->SetMesh(mesh);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                if (!columns(x)) continue;
                const unsigned a = y * 5 + x;
                for (unsigned corner : {a, a + 1, a + 6, a, a + 6, a + 5}) {
                    geometry->AddVertexIndex(corner);
                    geometry->AddNormalIndex(24 - corner);
                    geometry->AddTexCoordIndex((corner * 7) % 25);
                }
            }
        mesh->AddGeometry(geometry);
        return geometry;
    }

    Model model;
    GroupNode ground;
    Mesh* mesh;
    MeshNode* meshNode;
    Geometry* grass;
    Geometry* road;
    Material* grassMaterial;
    Material* roadMaterial;
};

std::vector<Triangle> Triangles(const Geometry& geometry) {
    std::vector<Triangle> triangles;
    const auto& v = geometry.GetVertexIndices();
    const auto& n = geometry.GetNormalIndices();
    const auto& t = geometry.GetTexCoordIndices();
    for (std::size_t i = 0; i + 2 < v.size(); i += 3) {
        Triangle triangle{};
        for (std::size_t k = 0; k < 3; ++k) {
            triangle[k * 3] = v[i + k];
            triangle[k * 3 + 1] = k + i < n.size() ? n[i + k] : 0;
            triangle[k * 3 + 2] = k + i < t.size() ? t[i + k] : 0;
        }
        triangles.push_back(triangle);
    }
    return triangles;
}

bool Same(const vec3& a, const vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

const Geometry& GeometryOf(const Node& stateNode) {
    return static_cast<const Geometry&>(static_cast<const DrawableNode*>(stateNode.GetChild(0))->GetDrawable());
}

}  // namespace

TEST(TerrainTiles, EveryTriangleGoesWithItsMaterialIntoTheTileOfItsCentre) {
    Ground g;
    const std::vector<Triangle> grass = Triangles(*g.grass);
    const std::vector<Triangle> road = Triangles(*g.road);
    Mesh* tiles = TerrainTiles::Split(g.model, g.ground, *g.meshNode, 2.0f);
    ASSERT_NE(tiles, nullptr);

    EXPECT_EQ(g.model.GetMeshCount(), 2u);
    EXPECT_EQ(g.model.GetMesh(1), tiles);
    EXPECT_EQ(tiles->GetVertexArraySize(), 25u);
    // Four 2 x 2 tiles, in order of position, in place of the mesh node.
    ASSERT_EQ(g.ground.GetChildCount(), 4u);
    const vec3 lows[] = {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}, {2, 2, 0}};
    std::vector<Triangle> grassFound, roadFound;
    for (unsigned i = 0; i < 4; ++i) {
        const auto* tile = dynamic_cast<const GroupNode*>(g.ground.GetChild(i));
        ASSERT_NE(tile, nullptr) << i;
        ASSERT_NE(tile->GetBoundingVolume(), nullptr) << i;
        const BoundingBox& box = *tile->GetBoundingVolume();
        EXPECT_TRUE(Same(box.GetMinimum(), lows[i])) << i;
        EXPECT_TRUE(Same(box.GetMaximum(), lows[i] + vec3(2, 2, 0))) << i;
        // The left tiles are all grass; the right ones hold grass, then road.
        const bool right = lows[i].x > 0.0f;
        ASSERT_EQ(tile->GetChildCount(), right ? 2u : 1u) << i;
        for (unsigned s = 0; s < tile->GetChildCount(); ++s) {
            const auto* state = dynamic_cast<const StateNode*>(tile->GetChild(s));
            ASSERT_NE(state, nullptr);
            const bool isRoad = s == 1;
            EXPECT_EQ(&state->GetState(), isRoad ? static_cast<State*>(g.roadMaterial) : g.grassMaterial);
            const Geometry& part = GeometryOf(*state);
            EXPECT_EQ(part.GetMesh(), tiles);
            for (const Triangle& triangle : Triangles(part)) {
                for (int k = 0; k < 3; ++k) {
                    const vec3& corner = tiles->GetVertexArray()[triangle[k * 3]];
                    EXPECT_TRUE(corner.x >= box.GetMinimum().x && corner.x <= box.GetMaximum().x &&
                                corner.y >= box.GetMinimum().y && corner.y <= box.GetMaximum().y);
                }
                (isRoad ? roadFound : grassFound).push_back(triangle);
            }
        }
    }
    std::sort(grassFound.begin(), grassFound.end());
    std::sort(roadFound.begin(), roadFound.end());
    std::vector<Triangle> grassSorted = grass, roadSorted = road;
    std::sort(grassSorted.begin(), grassSorted.end());
    std::sort(roadSorted.begin(), roadSorted.end());
    EXPECT_EQ(grassFound, grassSorted);
    EXPECT_EQ(roadFound, roadSorted);

    // The ground's own mesh is kept as it was, for the physics.
    EXPECT_EQ(g.mesh->GetGeometryCount(), 2u);
    EXPECT_EQ(Triangles(*g.grass), grass);
    EXPECT_EQ(Triangles(*g.road), road);
}

TEST(TerrainTiles, TrianglesThatWouldReadOutsideTheArraysAreLeftOut) {
    Ground g;
    // One bad corner in the first grass triangle's positions, another in the
    // second one's texture coordinates.
    std::vector<unsigned> v = g.grass->GetVertexIndices();
    v[1] = 25;
    g.grass->SetVertexIndices(v);
    std::vector<unsigned> t = g.grass->GetTexCoordIndices();
    t[4] = 99;
    g.grass->SetTexCoordIndices(t);
    const std::size_t grassTriangles = Triangles(*g.grass).size();
    ASSERT_NE(TerrainTiles::Split(g.model, g.ground, *g.meshNode, 2.0f), nullptr);
    std::size_t drawn = 0;
    for (unsigned i = 0; i < g.ground.GetChildCount(); ++i)
        drawn += GeometryOf(*g.ground.GetChild(i)->GetChild(0)).GetVertexIndicesSize() / 3;
    EXPECT_EQ(drawn, grassTriangles - 2);
}

TEST(TerrainTiles, GeometryWithoutTextureCoordinatesStaysWithout) {
    Ground g;
    g.road->SetTexCoordIndices(std::vector<unsigned>());
    ASSERT_NE(TerrainTiles::Split(g.model, g.ground, *g.meshNode, 4.0f), nullptr);
    ASSERT_EQ(g.ground.GetChildCount(), 1u);
    const Geometry& road = GeometryOf(*g.ground.GetChild(0)->GetChild(1));
    EXPECT_EQ(road.GetVertexIndicesSize(), 24u);
    EXPECT_EQ(road.GetNormalIndicesSize(), 24u);
    EXPECT_EQ(road.GetTexCoordIndicesSize(), 0u);
}

TEST(TerrainTiles, WhatCannotBeSplitLeavesTheTreeAsItWas) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float size : {0.0f, -1.0f, nan, std::numeric_limits<float>::infinity()}) {
        Ground g;
        EXPECT_EQ(TerrainTiles::Split(g.model, g.ground, *g.meshNode, size), nullptr) << size;
        EXPECT_EQ(g.ground.GetChild(0), g.meshNode);
        EXPECT_EQ(g.model.GetMeshCount(), 1u);
    }
    {
        // The mesh node elsewhere in the tree than under the ground.
        Ground g;
        GroupNode other;
        EXPECT_EQ(TerrainTiles::Split(g.model, other, *g.meshNode, 1.0f), nullptr);
        EXPECT_EQ(g.ground.GetChild(0), g.meshNode);
    }
    {
        // A mesh the model does not own.
        Ground g;
        Model stranger;
        EXPECT_EQ(TerrainTiles::Split(stranger, g.ground, *g.meshNode, 1.0f), nullptr);
        EXPECT_EQ(stranger.GetMeshCount(), 0u);
        EXPECT_EQ(g.ground.GetChild(0), g.meshNode);
    }
    {
        // No triangle left to draw.
        Ground g;
        g.grass->SetVertexIndices(std::vector<unsigned>());
        g.road->SetVertexIndices(std::vector<unsigned>{0, 1});
        EXPECT_EQ(TerrainTiles::Split(g.model, g.ground, *g.meshNode, 1.0f), nullptr);
        EXPECT_EQ(g.ground.GetChild(0), g.meshNode);
        EXPECT_EQ(g.model.GetMeshCount(), 1u);
    }
}

TEST(TerrainTiles, VerticesFarOffOrNotNumbersStillFindATile) {
    Ground g;
    std::vector<vec3> vertices = g.mesh->GetVertexArray();
    vertices[0] = vec3(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f);
    vertices[24] = vec3(3.0e38f, -3.0e38f, 0.0f);
    g.mesh->SetVertexArray(vertices);
    ASSERT_NE(TerrainTiles::Split(g.model, g.ground, *g.meshNode, 1.0f), nullptr);
    std::size_t triangles = 0;
    for (unsigned i = 0; i < g.ground.GetChildCount(); ++i)
        for (unsigned s = 0; s < g.ground.GetChild(i)->GetChildCount(); ++s)
            triangles += GeometryOf(*g.ground.GetChild(i)->GetChild(s)).GetVertexIndicesSize() / 3;
    EXPECT_EQ(triangles, 32u);
}

TEST(TerrainTiles, CoarseCopiesCoverEachTileWithFewerTrianglesKeepItsBorderItsPeaksAndWhereEachMaterialLies) {
    // A 20 x 10 m ground of 1 m squares, flat but for one peak 1 m high at
    // (4, 5), grass west of x = 3 and road east of it, cut into two 10 m tiles.
    Model model;
    GroupNode ground;
    auto* mesh = new Mesh;
    for (int y = 0; y <= 10; ++y)
        for (int x = 0; x <= 20; ++x) {
            const vec3 p(float(x), float(y), x == 4 && y == 5 ? 1.0f : 0.0f);
            mesh->AddVertex(p);
            mesh->AddNormal(vec3(0.0f, 0.0f, 1.0f));
            mesh->AddTexCoord(vmath::vec2<float>(float(x), float(y)));
            mesh->GetBoundingVolume().Expand(p);
        }
    model.AddMesh(mesh);
    auto* meshNode = new MeshNode(*mesh);
    for (bool grass : {true, false}) {
        auto* geometry = new Geometry;
        geometry->SetMesh(mesh);
        for (unsigned y = 0; y < 10; ++y)
            for (unsigned x = 0; x < 20; ++x) {
                if ((x < 3) != grass) continue;
                for (unsigned corner :
                     {y * 21 + x, y * 21 + x + 1, y * 21 + x + 22, y * 21 + x, y * 21 + x + 22, y * 21 + x + 21}) {
                    geometry->AddVertexIndex(corner);
                    geometry->AddNormalIndex(corner);
                    geometry->AddTexCoordIndex(corner);
                }
            }
        mesh->AddGeometry(geometry);
        auto* material = new Material;
        model.AddMaterial(material);
        auto* state = new StateNode(*material);
        state->SetName(grass ? "grass" : "road");
        state->AddChild(new DrawableNode(*geometry));
        meshNode->AddChild(state);
    }
    ground.AddChild(meshNode);
    Mesh* tiles = TerrainTiles::Split(model, ground, *meshNode, 10.0f);
    ASSERT_NE(tiles, nullptr);
    ASSERT_EQ(ground.GetChildCount(), 2u);

    EXPECT_TRUE(TerrainTiles::AddCoarseCopies(ground, *tiles, 0.0f).empty());
    EXPECT_TRUE(TerrainTiles::AddCoarseCopies(ground, *tiles, std::numeric_limits<float>::quiet_NaN()).empty());
    EXPECT_EQ(ground.GetChildCount(), 2u);
    const std::vector<CoarseCopy> pairs = TerrainTiles::AddCoarseCopies(ground, *tiles, 0.05f);
    ASSERT_EQ(pairs.size(), 2u);
    ASSERT_EQ(ground.GetChildCount(), 4u);
    const auto& vertices = tiles->GetVertexArray();
    std::vector<unsigned> coarseCorners;
    for (const CoarseCopy& pair : pairs) {
        EXPECT_EQ(ground.GetChild(pair.fine == ground.GetChild(0) ? 2 : 3), pair.coarse);
        EXPECT_TRUE(Same(pair.coarse->GetBoundingVolume()->GetMinimum(), pair.fine->GetBoundingVolume()->GetMinimum()));
        std::vector<unsigned> fineCorners, corners;
        for (unsigned i = 0; i < pair.fine->GetChildCount(); ++i) {
            const auto& v = GeometryOf(*pair.fine->GetChild(i)).GetVertexIndices();
            fineCorners.insert(fineCorners.end(), v.begin(), v.end());
        }
        double area = 0.0;
        for (unsigned i = 0; i < pair.coarse->GetChildCount(); ++i) {
            const Geometry& coarse = GeometryOf(*pair.coarse->GetChild(i));
            const bool grass = pair.coarse->GetChild(i)->GetName() == "grass";
            EXPECT_EQ(coarse.GetMesh(), tiles);
            EXPECT_EQ(coarse.GetNormalIndices().size(), coarse.GetVertexIndices().size());
            EXPECT_EQ(coarse.GetTexCoordIndices().size(), coarse.GetVertexIndices().size());
            const auto& v = coarse.GetVertexIndices();
            for (std::size_t k = 0; k + 2 < v.size(); k += 3) {
                const vec3 a = vertices[v[k]], b = vertices[v[k + 1]], c = vertices[v[k + 2]];
                area += 0.5 * std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
                // Each triangle has the material under its centre.
                EXPECT_EQ((a.x + b.x + c.x) / 3.0f <= 3.0f, grass) << "triangle " << k / 3;
            }
            corners.insert(corners.end(), v.begin(), v.end());
        }
        // No hole: the coarse triangles cover the tile's whole 10 x 10 m, with far fewer of them.
        EXPECT_NEAR(area, 100.0, 1e-3);
        EXPECT_LT(corners.size() * 2, fineCorners.size());
        // Every border point of the fine tile is still a corner: neighbours meet.
        const float x0 = pair.fine->GetBoundingVolume()->GetMinimum().x;
        for (unsigned index : fineCorners) {
            const vec3& p = vertices[index];
            if (p.x != x0 && p.x != x0 + 10.0f && p.y != 0.0f && p.y != 10.0f) continue;
            EXPECT_NE(std::count(corners.begin(), corners.end(), index), 0) << "border vertex " << index;
        }
        coarseCorners.insert(coarseCorners.end(), corners.begin(), corners.end());
    }
    // The peak is more than the error off the plane: it stays.
    EXPECT_NE(std::count(coarseCorners.begin(), coarseCorners.end(), 5u * 21u + 4u), 0);
}
