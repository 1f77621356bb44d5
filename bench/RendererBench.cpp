// Renderer benchmark: one scene of 200 groups, each drawing the same
// 2,000-triangle textured mesh under its own transform and material, drawn
// for a few hundred frames by the engine in each render mode and by a raw
// GL loop that issues the same state changes over the same vertex buffers.
// Prints wall-clock and CPU milliseconds per frame (each the best of ten
// interleaved rounds) and the ratio of each to the raw loop.
//
// Usage: RendererBench [frames]   (default 300; run under Xvfb)
#include <GL/glew.h>
#include <GL/glu.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <algorithm>
#include <functional>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglBufferManager.h>
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

const int Width = 800;
const int Height = 600;
const int Columns = 20;     // groups across
const int Rows = 10;        // groups deep: 200 in all
const int QuadsAcross = 50; // 50 x 20 quads = 2,000 triangles a mesh
const int QuadsDown = 20;
const int WarmUpFrames = 10;

// A wavy 2 x 2 sheet in the xy plane, facing +z, with per-vertex normals.
Mesh* MakeSheet() {
    const auto height = [](float x, float y) { return 0.1f * std::sin(6.0f * x) * std::cos(6.0f * y); };
    using vec3 = vmath::vec3<float>;
    return MakeSurface(QuadsAcross, QuadsDown, 2.0f, [&](float u, float v, vec3& p, vec3& n) {
        const float x = -1.0f + 2.0f * u, y = -1.0f + 2.0f * v, e = 0.01f;
        const vec3 dx(2 * e, 0.0f, height(x + e, y) - height(x - e, y));
        const vec3 dy(0.0f, 2 * e, height(x, y + e) - height(x, y - e));
        p = vec3(x, y, height(x, y));
        n = vmath::normalize(vmath::cross(dx, dy));
    });
}

// The model: one mesh, one textured material, and 200 groups in a grid
// under the model node, each group -> material -> drawable.
// The image is handed back for the caller to add to the model once the
// engine has made the model's buffers: its texture is made here, not loaded.
Model* MakeScene(std::vector<GroupNode*>& groups, Image*& image) {
    auto* model = new Model;
    Mesh* mesh = MakeSheet();
    Geometry* geometry = mesh->GetGeometry(0);
    model->AddMesh(mesh);
    image = new Image("checker");
    const unsigned char light[3] = {230, 200, 120}, dark[3] = {60, 90, 160};
    MakeChecker(*image, light, dark);
    auto* material = new Material;
    material->SetSpecular({0.3f, 0.3f, 0.3f, 1.0f});
    material->SetShininess(20.0f);
    material->AddTexture(new Texture(*image, Texture::Diffuse, {1.0f, 1.0f}, {0.0f, 0.0f}, 0.0f));
    model->AddMaterial(material);

    auto* root = new ModelNode(*model);
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Columns; ++c) {
            auto* group = new GroupNode(*new BoundingBox(mesh->GetBoundingVolume()));
            group->GetTransform().Translate({2.2f * (c - Columns / 2 + 0.5f), 2.2f * r, 0.0f});
            auto* state = new StateNode(*material);
            state->AddChild(new DrawableNode(*geometry));
            group->AddChild(state);
            root->AddChild(group);
            groups.push_back(group);
        }
    model->SetModelNode(root);
    return model;
}

// What the engine does per group, written out as plain GL: transform,
// material colours, texture on unit 2 with filter, anisotropy and texture
// matrix, the three client arrays from the geometry's buffers, one indexed
// draw.
void RawFrame(const View& view, const std::vector<GroupNode*>& groups, const Material& material,
              const Geometry& geometry) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(view.GetEye().x, view.GetEye().y, view.GetEye().z, view.GetCenter().x, view.GetCenter().y,
              view.GetCenter().z, view.GetUp().x, view.GetUp().y, view.GetUp().z);
    const GLfloat lightPosition[4] = {0.0f, 0.0f, 100.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    const GLuint texture = material.GetTexture(0)->GetImage().GetBindId();
    for (const GroupNode* group : groups) {
        glPushMatrix();
        glMultMatrixf(group->GetTransform().GetMatrix().ptr());
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.GetAmbient().ptr());
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.GetDiffuse().ptr());
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.GetSpecular().ptr());
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.GetShininess());
        glMatrixMode(GL_TEXTURE);
        glActiveTexture(GL_TEXTURE2);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glPushMatrix();
        glEnable(GL_TEXTURE_2D);
        glMatrixMode(GL_MODELVIEW);

        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glClientActiveTexture(GL_TEXTURE2);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, geometry.GetTexCoordBindId());
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, geometry.GetNormalBindId());
        glNormalPointer(GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, geometry.GetVertexBindId());
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, geometry.GetElementBindId());
        const unsigned int vertices = geometry.GetBufferVertexCount();
        glDrawRangeElements(GL_TRIANGLES, 0, vertices - 1, static_cast<GLsizei>(geometry.GetVertexIndicesSize()),
                            OglBufferManager::ElementType(vertices), nullptr);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);

        glMatrixMode(GL_TEXTURE);
        glDisable(GL_TEXTURE_2D);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --- Initialization
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    GlContext context(Width, Height);
    if (!context.IsValid()) {
        std::printf("RendererBench: no GL context: %s\n", context.Error().c_str());
        return 1;
    }
    Lumora engine;
    if (!engine.Initialize()) {
        std::printf("RendererBench: the engine could not initialise OpenGL 2.0\n");
        return 1;
    }
    Renderer& renderer = *engine.GetRenderer();
    renderer.SetViewport(Width, Height);
    renderer.SetProjection(Perspective(60.0, double(Width) / Height, 0.5, 200.0));
    engine.GetCamera().SetView(View({0.0, -12.0, 14.0}, {0.0, 10.0, 0.0}, {0.0, 0.0, 1.0}));

    std::vector<GroupNode*> groups;
    Image* image = nullptr;
    Model* model = MakeScene(groups, image);
    renderer.GenerateRessources(*model);
    model->AddImage(image);
    engine.GetScene().AddNode(model->GetModelNode());
    const Material& material = *model->GetMaterial(0);
    const Geometry& geometry = *model->GetMesh(0)->GetGeometry(0);

    // --- Measure
    std::printf("RendererBench: %d groups x %u triangles, %d x %d, %d frames each, on %s\n", Rows * Columns,
                geometry.GetVertexIndicesSize() / 3, Width, Height, frames,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    struct Row {
        const char* name;
        Renderer::RenderMode mode;
        bool engine;
        bool cull;
        FrameTime best;
    } rows[] = {{"raw GL, vertex buffer objects", Renderer::VertexBufferObjects, false, false, {1e30, 1e30}},
                {"engine, vertex buffer objects", Renderer::VertexBufferObjects, true, true, {1e30, 1e30}},
                {"  the same without culling", Renderer::VertexBufferObjects, true, false, {1e30, 1e30}},
                {"engine, display lists", Renderer::DisplayLists, true, true, {1e30, 1e30}},
                {"engine, immediate mode", Renderer::Immediate, true, true, {1e30, 1e30}}};
    // The paths take turns over several rounds and each keeps its best round,
    // so a burst of load from elsewhere on the machine hits one round of one
    // path rather than a whole path.
    const int rounds = 10;
    for (int round = 0; round < rounds; ++round)
        for (Row& row : rows) {
            renderer.SetRenderMode(row.mode);
            const FrameTime time = TimeFrames(WarmUpFrames, std::max(1, frames / rounds), [&] {
                if (!row.engine) {
                    RawFrame(engine.GetCamera().GetView(), groups, material, geometry);
                    return;
                }
                // A whole frame as the game runs it: cull, then render.
                if (row.cull) engine.CullScene();
                engine.RenderScene();
            });
            context.Swap();
            row.best.wallMs = std::min(row.best.wallMs, time.wallMs);
            row.best.cpuMs = std::min(row.best.cpuMs, time.cpuMs);
        }
    const FrameTime raw = rows[0].best;

    // --- Report
    std::printf("%-32s %10s %10s %10s %10s\n", "path", "wall ms", "vs raw", "CPU ms", "vs raw");
    for (const Row& row : rows)
        std::printf("%-32s %10.2f %10.2f %10.2f %10.2f\n", row.name, row.best.wallMs, row.best.wallMs / raw.wallMs,
                    row.best.cpuMs, row.best.cpuMs / raw.cpuMs);

    // --- De-initialization: the node tree goes with the model, not the scene.
    engine.GetScene().RemoveNode(model->GetModelNode());
    renderer.DeleteRessources(*model);
    delete model;
    return 0;
}
