// Effect pass benchmark: a show-room-sized scene (a textured floor, four
// walls, six pillars and a 16,000-triangle car-sized body on a plinth) drawn
// at 1024 x 768 by the plain renderer and by the effect pass with per-pixel
// lighting, with shadows, with reflections and with both, as the show room
// uses it. Prints milliseconds per frame (best of interleaved rounds, wall
// clock and process CPU) and the ratio of each to the plain renderer, then
// the shares of the full pass's CPU time that its sub-passes account for.
//
// Usage: EffectPassBench [frames]   (default 120; run under Xvfb from any folder)
#include <GL/glew.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Image.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>
#include <nodara/StateNode.h>
#include <nodara/Texture.h>

#include "BenchMeshes.h"
#include "FrameTimer.h"
#include "GlContext.h"

namespace {

using vec2 = vmath::vec2<float>;
using vec3 = vmath::vec3<float>;
using vec4 = vmath::vec4<float>;

const int Width = 1024;
const int Height = 768;
const int WarmUpFrames = 6;  // one turn of the environment map
const int Rounds = 5;

// The five sides of a box but its bottom, each a grid of 4 x 4 quads.
std::vector<Mesh*> MakeBoxSides(const vec3& half) {
    std::vector<Mesh*> sides;
    const vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis)
        for (float sign : {-1.0f, 1.0f}) {
            if (axis == 2 && sign < 0.0f) continue;
            const vec3 n = axes[axis] * sign;
            const vec3 u = axes[(axis + 1) % 3] * sign;
            const vec3 v = axes[(axis + 2) % 3];
            sides.push_back(MakeSurface(4, 4, 1.0f, [&](float s, float t, vec3& p, vec3& normal) {
                const vec3 local = n + u * (2.0f * s - 1.0f) + v * (2.0f * t - 1.0f);
                p = vec3(local.x * half.x, local.y * half.y, local.z * half.z);
                normal = n;
            }));
        }
    return sides;
}

// The scene as one model: every piece a group under the model node, like the
// children of a loaded room. `car` receives the car body's group.
struct Scene3d {
    Model* model = nullptr;
    Image* checker = nullptr;
    std::vector<GroupNode*> room;
    GroupNode* car = nullptr;
    unsigned int triangles = 0;
};

Scene3d MakeScene() {
    Scene3d scene;
    scene.model = new Model;
    auto* root = new ModelNode(*scene.model);
    scene.model->SetModelNode(root);
    const auto add = [&](Mesh* mesh, Material* material, const vec3& at) {
        scene.model->AddMesh(mesh);
        scene.triangles += mesh->GetGeometry(0)->GetVertexIndicesSize() / 3;
        auto* group = new GroupNode(*new BoundingBox(mesh->GetBoundingVolume()));
        group->GetTransform().Translate(at);
        auto* state = new StateNode(*material);
        state->AddChild(new DrawableNode(*mesh->GetGeometry(0)));
        group->AddChild(state);
        root->AddChild(group);
        return group;
    };
    const auto material = [&](const vec4& colour, float shininess) {
        auto* m = new Material;
        m->SetAmbient(colour);
        m->SetDiffuse(colour);
        m->SetSpecular({0.4f, 0.4f, 0.4f, 1.0f});
        m->SetShininess(shininess);
        scene.model->AddMaterial(m);
        return m;
    };

    scene.checker = new Image("checker");
    const unsigned char light[3] = {220, 220, 220}, dark[3] = {90, 90, 90};
    MakeChecker(*scene.checker, light, dark);
    Material* floorPaint = material({0.9f, 0.9f, 0.9f, 1.0f}, 10.0f);
    floorPaint->AddTexture(new Texture(*scene.checker, Texture::Diffuse, {1.0f, 1.0f}, {0.0f, 0.0f}, 0.0f));
    scene.room.push_back(add(MakeSurface(32, 32, 8.0f, [](float s, float t, vec3& p, vec3& n) {
                                 p = vec3(16.0f * s - 8.0f, 16.0f * t - 8.0f, 0.0f);
                                 n = vec3(0.0f, 0.0f, 1.0f);
                             }),
                             floorPaint, {0.0f, 3.0f, -2.1f}));
    // Walls facing inwards, 4 units high.
    Material* wallPaint = material({0.8f, 0.75f, 0.65f, 1.0f}, 5.0f);
    const struct {
        vec3 at, across, normal;
    } walls[] = {{{0.0f, 11.0f, 0.0f}, {1, 0, 0}, {0, -1, 0}},
                 {{0.0f, -5.0f, 0.0f}, {-1, 0, 0}, {0, 1, 0}},
                 {{8.0f, 3.0f, 0.0f}, {0, -1, 0}, {-1, 0, 0}},
                 {{-8.0f, 3.0f, 0.0f}, {0, 1, 0}, {1, 0, 0}}};
    for (const auto& wall : walls)
        scene.room.push_back(add(MakeSurface(16, 4, 1.0f,
                                             [&](float s, float t, vec3& p, vec3& n) {
                                                 p = wall.across * (16.0f * s - 8.0f) + vec3(0, 0, 4.0f * t);
                                                 n = wall.normal;
                                             }),
                                 wallPaint, wall.at + vec3(0.0f, 0.0f, -2.1f)));
    Material* pillarPaint = material({0.5f, 0.55f, 0.7f, 1.0f}, 30.0f);
    for (int i = 0; i < 6; ++i)
        for (Mesh* side : MakeBoxSides({0.3f, 0.3f, 2.0f}))
            scene.room.push_back(add(side, pillarPaint, {i < 3 ? -5.0f : 5.0f, -1.0f + 4.0f * (i % 3), -0.1f}));
    Material* plinthPaint = material({0.3f, 0.3f, 0.3f, 1.0f}, 20.0f);
    scene.room.push_back(add(MakeSurface(64, 4, 1.0f,
                                         [](float s, float t, vec3& p, vec3& n) {
                                             const float a = 6.2831853f * s;
                                             n = vec3(std::cos(a), std::sin(a), 0.0f);
                                             p = vec3(2.6f * n.x, 2.6f * n.y, 0.15f * t);
                                         }),
                             plinthPaint, {1.68f, 3.63f, -2.1f}));
    // The body: a squashed sphere the size of a car, 80 x 100 quads.
    Material* carPaint = material({0.7f, 0.1f, 0.1f, 1.0f}, 60.0f);
    const vec3 radii(0.9f, 2.1f, 0.6f);
    scene.car = add(MakeSurface(100, 80, 1.0f,
                                [&](float s, float t, vec3& p, vec3& n) {
                                    const float phi = 6.2831853f * s, theta = 3.1415927f * t;
                                    const vec3 unit(std::sin(theta) * std::cos(phi),
                                                    std::sin(theta) * std::sin(phi), -std::cos(theta));
                                    p = vec3(unit.x * radii.x, unit.y * radii.y, unit.z * radii.z);
                                    n = vmath::normalize(vec3(unit.x / radii.x, unit.y / radii.y, unit.z / radii.z));
                                }),
                    carPaint, {1.68f, 3.63f, -1.35f});
    return scene;
}

}  // namespace

int main(int argc, char** argv) {
    // --- Initialization
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    // The shaders are found as "../data/shaders" from the program's folder, as the game finds them.
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe").parent_path(), ignored);
    GlContext context(Width, Height);
    if (!context.IsValid()) {
        std::printf("EffectPassBench: no GL context: %s\n", context.Error().c_str());
        return 1;
    }
    Lumora engine;
    if (!engine.Initialize()) {
        std::printf("EffectPassBench: the engine could not initialise OpenGL 2.0\n");
        return 1;
    }
    auto& renderer = static_cast<OglRenderer&>(*engine.GetRenderer());
    renderer.SetViewport(Width, Height);
    renderer.SetProjection(Perspective(45.0, double(Width) / Height, 0.1, 100.0));
    engine.GetCamera().SetView(View({-2.5, -3.5, 0.2}, {1.68, 3.63, -1.5}, {0.0, 0.0, 1.0}));
    Light& light = engine.GetScene().GetLight();
    light.SetPosition({0.0f, -2.0f, 2.5f, 1.0f});
    light.SetSpotDirection({0.0f, 3.63f, 0.0f});
    renderer.GetStateManager().InitializeLighting(light);

    Scene3d scene = MakeScene();
    renderer.GenerateRessources(*scene.model);
    scene.model->AddImage(scene.checker);
    engine.GetScene().AddNode(scene.model->GetModelNode());

    // One pass per configuration, each given the groups as the game would.
    const Perspective lightProjection(85.0, 1.0, 1.0, 20.0);
    const auto makePass = [&](OglEffectPass::Effect room, OglEffectPass::Effect car, bool reflections,
                              unsigned int shadowMapSize) {
        auto pass = std::make_unique<OglEffectPass>(renderer);
        pass->SetShadowMapSize(shadowMapSize);
        if (!pass->Initialize(lightProjection)) std::printf("EffectPassBench: a pass did not initialise\n");
        for (GroupNode* group : scene.room) {
            pass->AddGroup(room, *group);
            if (reflections) pass->AddGroup(OglEffectPass::Environment, *group);
        }
        pass->AddGroup(car, *scene.car);
        if (reflections) pass->AddGroup(OglEffectPass::Reflections, *scene.car);
        return pass;
    };
    struct Row {
        const char* name;
        std::unique_ptr<OglEffectPass> pass;  // null: the plain renderer
        FrameTime best{1e30, 1e30};
    } rows[] = {
        {"plain renderer (fixed function)", nullptr},
        {"pass, per-pixel lighting", makePass(OglEffectPass::PerPixelLighting, OglEffectPass::PerPixelLighting, false, 2048)},
        {"pass, shadows", makePass(OglEffectPass::Shadows, OglEffectPass::Shadows, false, 2048)},
        {"pass, reflections", makePass(OglEffectPass::PerPixelLighting, OglEffectPass::PerPixelLighting, true, 2048)},
        {"pass, shadows + reflections", makePass(OglEffectPass::Shadows, OglEffectPass::Shadows, true, 2048)},
        {"  the same, 1024 shadow map", makePass(OglEffectPass::Shadows, OglEffectPass::Shadows, true, 1024)},
    };

    // --- Measure
    std::printf("EffectPassBench: %u triangles in %zu groups, %d x %d, %d frames a round, best of %d, on %s\n",
                scene.triangles, scene.room.size() + 1, Width, Height, frames, Rounds,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    // The configurations take turns, so a burst of load elsewhere spoils one
    // round of one row rather than a whole row.
    for (int round = 0; round < Rounds; ++round)
        for (Row& row : rows) {
            const FrameTime t = TimeFrames(WarmUpFrames, frames, [&] {
                engine.CullScene();
                if (row.pass)
                    row.pass->Render(engine.GetScene());
                else
                    renderer.RenderScene(engine.GetScene());
            });
            row.best.wallMs = std::min(row.best.wallMs, t.wallMs);
            row.best.cpuMs = std::min(row.best.cpuMs, t.cpuMs);
        }
    context.Swap();

    // --- Report
    const FrameTime plain = rows[0].best;
    std::printf("%-34s %9s %9s %9s %9s\n", "configuration", "wall ms", "x plain", "cpu ms", "x plain");
    for (const Row& row : rows)
        std::printf("%-34s %9.2f %9.2f %9.2f %9.2f\n", row.name, row.best.wallMs, row.best.wallMs / plain.wallMs,
                    row.best.cpuMs, row.best.cpuMs / plain.cpuMs);
    // Shares by CPU time, which other load on the machine disturbs less than the wall clock.
    const double full = rows[4].best.cpuMs;
    std::printf("full pass, CPU time: main view lit per pixel %.0f%%, shadow map and comparison %.0f%%, "
                "environment face and reflection %.0f%%\n",
                100.0 * rows[1].best.cpuMs / full, 100.0 * (rows[2].best.cpuMs - rows[1].best.cpuMs) / full,
                100.0 * (full - rows[2].best.cpuMs) / full);

    // --- De-initialization: passes first, then the model's GL objects.
    for (Row& row : rows) row.pass.reset();
    engine.GetScene().RemoveNode(scene.model->GetModelNode());
    renderer.DeleteRessources(*scene.model);
    delete scene.model;
    return 0;
}
