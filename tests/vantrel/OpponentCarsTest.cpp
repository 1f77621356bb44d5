// The opponents' cars on the real car models: copies that draw from the
// model's geometry in paints of their own, the simplified looks and their
// distances, and the copies' bodies going back to the world. Drawn in the
// application's window; skipped where the game data is missing.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include <lumora/Lumora.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>
#include <nodara/StateNode.h>
#include <nodara/SwitchNode.h>
#include <nodara/View.h>

#include "GameWindow.h"
#include "cars/CarDetailLevels.h"
#include "cars/CarPool.h"
#include "graphics/QualityPreset.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"

namespace {

using mat4 = vmath::mat4<float>;

// The car node's matrix for a car standing at (x, y), facing +y as loaded.
mat4 At(const Car& car, float x, float y) {
    mat4 m = car.node->GetTransform().GetMatrix();
    m[12] = x;
    m[13] = y;
    return m;
}

// Every geometry below `node`, at every level.
void Geometries(const Node& node, std::set<const Geometry*>& found) {
    if (const auto* drawable = dynamic_cast<const DrawableNode*>(&node))
        found.insert(dynamic_cast<const Geometry*>(&drawable->GetDrawable()));
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) Geometries(*child, found);
}

// The materials the state nodes below `node` push, at every level.
void Materials(const Node& node, std::set<const Material*>& found) {
    if (const auto* state = dynamic_cast<const StateNode*>(&node))
        if (const auto* material = dynamic_cast<const Material*>(&state->GetState())) found.insert(material);
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) Materials(*child, found);
}

// Triangles drawn below `node` as its switches stand now.
unsigned DrawnTriangles(const Node& node) {
    if (const auto* levels = dynamic_cast<const SwitchNode*>(&node)) {
        const Node* chosen = levels->GetChild(levels->GetSelected());
        return chosen ? DrawnTriangles(*chosen) : 0;
    }
    unsigned triangles = 0;
    if (const auto* drawable = dynamic_cast<const DrawableNode*>(&node))
        triangles += static_cast<const Geometry&>(drawable->GetDrawable()).GetVertexIndicesSize() / 3;
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) triangles += DrawnTriangles(*child);
    return triangles;
}

bool IsRed(int r, int g, int b) { return r > g + 50 && r > b + 50; }
bool IsPaintYellow(int r, int g, int b) { return r > b + 60 && g > b + 50 && std::abs(r - g) < 70; }
bool IsBlue(int r, int g, int b) { return b > r + 30 && b > g + 10; }

class OpponentCars : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(CarPool::Describe(0).GetModelFile()) ||
            !std::filesystem::exists(CarPool::Describe(1).GetModelFile()))
            GTEST_SKIP() << "no game data beside " << std::filesystem::current_path();
        ASSERT_TRUE(engine.Initialize());
        pool = std::make_unique<CarPool>(engine, &world);
    }
    void TearDown() override { pool.reset(); }

    /// Loads through the debug plug-in, which reports every object it adds.
    Car* Opponent(unsigned model, const float paint[3]) {
        testing::internal::CaptureStdout();
        Car* car = pool->MakeOpponent(model, paint);
        testing::internal::GetCapturedStdout();
        return car;
    }
    Car* PlayerCar(unsigned model) {
        testing::internal::CaptureStdout();
        Car* car = pool->GetCar(model);
        testing::internal::GetCapturedStdout();
        return car;
    }

    /// The whole scene from `eye` towards `centre`, on black. The window's
    /// projection and clear colour are given back: the races of the other
    /// tests draw with them.
    BackBuffer Draw(const vmath::vec3<double>& eye, const vmath::vec3<double>& centre) {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        engine.GetRenderer()->SetProjection(Perspective(45.0, double(viewport[2]) / viewport[3], 0.5, 1000.0));
        engine.GetCamera().SetView(View(eye, centre, {0.0, 0.0, 1.0}));
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        engine.RenderScene();
        const BackBuffer shot;
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        return shot;
    }

    Lumora engine;
    physics::World world;
    std::unique_ptr<CarPool> pool;
};

}  // namespace

TEST_F(OpponentCars, CopiesDrawFromTheModelsGeometryInTheirOwnPaint) {
    Car* player = PlayerCar(0);
    ASSERT_NE(player, nullptr);
    const unsigned meshes = player->model->GetMeshCount();
    const float red[3] = {0.85f, 0.10f, 0.10f}, yellow[3] = {0.95f, 0.75f, 0.05f}, green[3] = {0.1f, 0.7f, 0.3f};
    Car* left = Opponent(0, red);
    Car* right = Opponent(0, yellow);
    Car* other = Opponent(1, green);
    ASSERT_TRUE(left && right && other);

    // Each model loaded once: the copies of the player's model are in its tree.
    EXPECT_EQ(engine.GetScene().GetRootNode().GetChildCount(), 2u);
    EXPECT_EQ(left->model, player->model);
    EXPECT_NE(other->model, player->model);
    EXPECT_EQ(left->node->GetParent(), player->model->GetModelNode());
    // No new mesh, so no new buffers: the copies draw the very geometries of
    // the player's car, whose buffers the model made.
    EXPECT_EQ(player->model->GetMeshCount(), meshes);
    std::set<const Geometry*> original, copied;
    Geometries(*player->node, original);
    Geometries(*left->node, copied);
    EXPECT_EQ(copied, original);
    for (const Geometry* geometry : copied) EXPECT_NE(geometry->GetVertexBindId(), 0u) << geometry->GetName();
    // Only the paint is a material of the copy's own.
    std::set<const Material*> modelMaterials, leftMaterials;
    Materials(*player->node, modelMaterials);
    Materials(*left->node, leftMaterials);
    std::vector<const Material*> own;
    std::set_difference(leftMaterials.begin(), leftMaterials.end(), modelMaterials.begin(), modelMaterials.end(),
                        std::back_inserter(own));
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0]->GetName(), "Paint-material");
    EXPECT_FLOAT_EQ(own[0]->GetDiffuse().x, 0.85f);
    EXPECT_EQ(leftMaterials.size(), modelMaterials.size());

    // Side by side seen from behind: the player's car in its blue, the
    // copies in red and yellow, each in its own third of the window. The
    // tail lamps are red on every car: each paint must stand out.
    ASSERT_TRUE(pool->ResetCar(*player, At(*player, -3.5f, 0.0f)));
    ASSERT_TRUE(pool->ResetCar(*left, At(*left, 0.0f, 0.0f)));
    ASSERT_TRUE(pool->ResetCar(*right, At(*right, 3.5f, 0.0f)));
    ASSERT_TRUE(pool->ResetCar(*other, At(*other, 0.0f, -100.0f)));  // behind the camera
    const BackBuffer shot = Draw({0.0, -11.0, 4.0}, {0.0, 0.0, 0.3});
    const int w = shot.Width(), h = shot.Height();
    bool (*const paints[3])(int, int, int) = {IsBlue, IsRed, IsPaintYellow};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("third " + std::to_string(i));
        int count[3];
        for (int p = 0; p < 3; ++p) count[p] = shot.Count(i * w / 3, 0, (i + 1) * w / 3, h, paints[p]);
        EXPECT_GT(count[i], w * h / 300);
        for (int p = 0; p < 3; ++p) {
            if (p != i) {
                EXPECT_GT(count[i], 5 * count[p]) << "paint " << p;
            }
        }
    }
}

TEST_F(OpponentCars, ADisplayCarHasTheLooksOfARaceCarAndIsItsNearLookOnTheStandWhereThePresetSays) {
    CarPool display(engine);
    for (unsigned model = 0; model < CarPool::Count(); ++model) {
        SCOPED_TRACE(CarPool::Describe(model).GetKey());
        testing::internal::CaptureStdout();
        Car* car = display.GetCar(model);
        testing::internal::GetCapturedStdout();
        ASSERT_NE(car, nullptr);
        const unsigned full = CarDetailLevels::CountTriangles(*car->node, CarDetailLevels::Full);
        const unsigned nearLook = CarDetailLevels::CountTriangles(*car->node, CarDetailLevels::Near);
        EXPECT_GT(full, 15000u);
        EXPECT_NEAR(nearLook, double(CarDetailLevels::NearTriangles), 0.15 * CarDetailLevels::NearTriangles);
        // From the show room's eye, about 6 m off, as the show room selects.
        const mat4& m = car->node->GetTransform().GetMatrix();
        for (QualityPreset::Level level : {QualityPreset::Low, QualityPreset::Medium, QualityPreset::High}) {
            display.GetLevelOfDetail().Select({m[12] + 6.0, m[13], m[14]}, 1.0f,
                                              QualityPreset::For(level).nearCarLook);
            EXPECT_EQ(DrawnTriangles(*car->node), level == QualityPreset::High ? full : nearLook)
                << QualityPreset::Name(level);
        }
    }
}

TEST_F(OpponentCars, SimplifiedLooksHaveTheirTrianglesAndTakeOverAtTheirDistances) {
    for (unsigned model = 0; model < CarPool::Count(); ++model) {
        SCOPED_TRACE(CarPool::Describe(model).GetKey());
        Car* car = PlayerCar(model);
        ASSERT_NE(car, nullptr);
        const CarPool::DetailReport report = pool->GetDetailReport(model);
        EXPECT_GT(report.triangles[0], 15000u);
        EXPECT_NEAR(report.triangles[1], 8000.0, 1200.0);
        EXPECT_NEAR(report.triangles[2], 2000.0, 300.0);
        EXPECT_NEAR(report.triangles[3], 500.0, 100.0);

        // Distances from the car along x; each level's triangles drawn, the
        // wheels drawn on their own (turning) nodes except at the far look.
        CarLevelOfDetail& levels = pool->GetLevelOfDetail();
        const mat4& m = car->node->GetTransform().GetMatrix();
        const auto select = [&](double distance) {
            levels.Select({m[12] + distance, m[13], m[14]});
            return levels.GetLevel(*car->node);
        };
        // Out to the far look, then back in: finer only 2 m inside each threshold.
        const double distances[] = {29.0, 31.0, 149.0, 151.0, 149.0, 147.0, 29.0, 27.0, 5.0};
        const unsigned expected[] = {0, 2, 2, 3, 3, 2, 2, 0, 0};
        for (std::size_t i = 0; i < std::size(distances); ++i) {
            const unsigned level = select(distances[i]);
            EXPECT_EQ(level, expected[i]) << "at " << distances[i] << " m";
            EXPECT_EQ(DrawnTriangles(*car->node), report.triangles[level]) << "at " << distances[i] << " m";
            for (GroupNode* wheel : car->wheels)
                EXPECT_EQ(DrawnTriangles(*wheel) > 0, level < 3) << wheel->GetName() << " at " << distances[i] << " m";
        }
        // Where the preset asks for it, the near look inside the middle
        // distance; beyond it the same looks as without.
        const double nearDistances[] = {5.0, 29.0, 31.0, 27.0, 151.0};
        const unsigned nearExpected[] = {1, 1, 2, 1, 3};
        for (std::size_t i = 0; i < std::size(nearDistances); ++i) {
            levels.Select({m[12] + nearDistances[i], m[13], m[14]}, 1.0f, true);
            EXPECT_EQ(levels.GetLevel(*car->node), nearExpected[i]) << "near look, at " << nearDistances[i] << " m";
            EXPECT_EQ(DrawnTriangles(*car->node), report.triangles[nearExpected[i]]);
        }
        levels.Select({m[12] + 5.0, m[13], m[14]});
    }
    // An opponent keeps its middle look near the camera.
    const float paint[3] = {1.0f, 0.0f, 0.0f};
    Car* opponent = Opponent(0, paint);
    ASSERT_NE(opponent, nullptr);
    const mat4& m = opponent->node->GetTransform().GetMatrix();
    for (bool nearLook : {false, true}) {
        pool->GetLevelOfDetail().Select({m[12] + 5.0, m[13], m[14]}, 1.0f, nearLook);
        EXPECT_EQ(pool->GetLevelOfDetail().GetLevel(*opponent->node), CarDetailLevels::Middle);
    }

    // At Low's scale the player's car behind the chase camera is the middle
    // look, a car 20 m off the far one; a scale that is no number is 1.
    Car* car = PlayerCar(0);
    ASSERT_NE(car, nullptr);
    const float low = QualityPreset::For(QualityPreset::Low).carDetailDistanceScale;
    const mat4& p = car->node->GetTransform().GetMatrix();
    CarLevelOfDetail& levels = pool->GetLevelOfDetail();
    const double distances[] = {2.0, 6.0, 20.0, 14.9, 14.0, 2.0};
    const unsigned expected[] = {0, 2, 3, 3, 2, 0};
    for (std::size_t i = 0; i < std::size(distances); ++i) {
        levels.Select({p[12] + distances[i], p[13], p[14]}, low);
        EXPECT_EQ(levels.GetLevel(*car->node), expected[i]) << "at " << distances[i] << " m, scale " << low;
    }
    levels.Select({p[12] + 6.0, p[13], p[14]}, std::nanf(""));
    EXPECT_EQ(levels.GetLevel(*car->node), 0u);
}

TEST_F(OpponentCars, SimplifiedLooksCoverTheCarsOutline) {
    // Seen from the side, where the wheels stand out: every look covers about
    // the same pixels as the full car, the far one with its wheels in their
    // places.
    for (unsigned model = 0; model < CarPool::Count(); ++model) {
        SCOPED_TRACE(CarPool::Describe(model).GetKey());
        Car* car = PlayerCar(model);
        ASSERT_NE(car, nullptr);
        ASSERT_TRUE(pool->ResetCar(*car, At(*car, 0.0f, 1000.0f * model)));
        std::vector<SwitchNode*> switches;
        std::vector<const Node*> open{car->node};
        while (!open.empty()) {
            const Node* node = open.back();
            open.pop_back();
            if (auto* levels = dynamic_cast<const SwitchNode*>(node)) switches.push_back(const_cast<SwitchNode*>(levels));
            for (unsigned i = 0; const Node* child = node->GetChild(i); ++i) open.push_back(child);
        }
        std::vector<std::vector<bool>> covered;
        for (unsigned level = 0; level < CarDetailLevels::LevelCount; ++level) {
            for (SwitchNode* levels : switches) levels->Select(level);
            const BackBuffer shot = Draw({8.0, 1000.0 * model, 0.8}, {0.0, 1000.0 * model, 0.5});
            std::vector<bool> mask;
            for (int y = 0; y < shot.Height(); ++y)
                for (int x = 0; x < shot.Width(); ++x) {
                    const std::uint8_t* p = shot.At(x, y);
                    mask.push_back(p[0] + p[1] + p[2] > 0);
                }
            covered.push_back(std::move(mask));
        }
        const auto count = [](const std::vector<bool>& mask) { return std::count(mask.begin(), mask.end(), true); };
        const long full = count(covered[0]);
        ASSERT_GT(full, 20000);
        // Pixels covered by one look and not the other: a few along the
        // outline, many where a wheel or a part were out of place.
        const long allowed[CarDetailLevels::LevelCount] = {0, full / 12, full / 12, full / 5};
        for (unsigned level = 1; level < CarDetailLevels::LevelCount; ++level) {
            long differing = 0;
            for (std::size_t i = 0; i < covered[0].size(); ++i) differing += covered[0][i] != covered[level][i];
            EXPECT_LT(differing, allowed[level]) << "level " << level;
        }
        for (SwitchNode* levels : switches) levels->Select(0);
    }
}

TEST_F(OpponentCars, ReleasedOpponentsLeaveTheWorldAndTheScene) {
    Car* player = PlayerCar(1);
    ASSERT_NE(player, nullptr);
    ModelNode* top = player->model->GetModelNode();
    const unsigned children = top->GetChildCount();
    const float paint[3] = {0.2f, 0.3f, 0.9f};
    for (int round = 0; round < 2; ++round) {
        for (unsigned i = 0; i < 5; ++i) ASSERT_NE(Opponent(i % 2, paint), nullptr);
        EXPECT_EQ(world.GetCarCount(), 6u);
        EXPECT_EQ(pool->GetOpponentCount(), 5u);
        EXPECT_EQ(pool->GetLevelOfDetail().GetCarCount(), 6u);
        EXPECT_EQ(top->GetChildCount(), children + 2);  // the second and fourth
        pool->ReleaseOpponents();
        EXPECT_EQ(world.GetCarCount(), 1u);
        EXPECT_EQ(top->GetChildCount(), children);
        EXPECT_EQ(pool->GetLevelOfDetail().GetCarCount(), 1u);
    }
    ASSERT_NE(Opponent(1, paint), nullptr);
    // A new start for an opponent: a new body at the new place, at rest.
    Car* opponent = Opponent(0, paint);
    ASSERT_TRUE(pool->ResetCar(*opponent, At(*opponent, 40.0f, -20.0f)));
    EXPECT_NEAR(opponent->body->GetPosition().x, 40.0f, 1e-3f);
    EXPECT_NEAR(opponent->body->GetPosition().y, -20.0f, 1e-3f);
    EXPECT_EQ(world.GetCarCount(), 3u);
    // A car the pool did not make is not reset.
    Car stranger;
    EXPECT_FALSE(pool->ResetCar(stranger, At(*opponent, 0.0f, 0.0f)));
    // Under ASan: the pool gives every body back to the world, and its nodes
    // and paints go without leaks.
    pool.reset();
    EXPECT_EQ(world.GetCarCount(), 0u);
    EXPECT_EQ(top->GetChildCount(), children);
}
