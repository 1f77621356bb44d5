// The effect pass drawn for real in a hidden window and read back: shadows
// of a box on a floor at show-room scale, the environment map's faces, which
// lists a frame draws, the state it gives back and what per-pixel lighting
// adds to fixed function; and the pass drawn at half size into a scaled view.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <lumora/OglScaledView.h>
#include <lumora/OglShadowedPicture.h>
#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/Perspective.h>
#include <nodara/StateNode.h>

#include "LumoraTestSupport.h"

namespace {

using vec3 = vmath::vec3<float>;
using vec4 = vmath::vec4<float>;

// The show room's light: its position, the point it looks at and its projection.
const vec4 LightPosition(0.0f, -2.0f, 2.5f, 1.0f);
const vec3 LightTarget(0.0f, 3.63f, 0.0f);
const Perspective LightProjection(85.0, 1.0, 1.0, 20.0);
const float FloorZ = -2.1f;

const vec4 GreyPaint(0.7f, 0.7f, 0.7f, 1.0f);
const vec4 RedPaint(0.8f, 0.1f, 0.1f, 1.0f);

// Faces of an axis-aligned box: outward normal and two edge directions
// whose cross product is the normal, so each face winds counter-clockwise
// seen from outside.
struct Face {
    vec3 normal, u, v;
};
const Face BoxFaces[6] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
};

vec3 Scale(const vec3& a, const vec3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

// A mesh of the given faces of the box from -half to +half, one flat
// normal per face.
Mesh* MakeBoxMesh(const vec3& half, const std::vector<Face>& faces) {
    auto* mesh = new Mesh;
    auto* geometry = new Geometry;
    geometry->SetMesh(mesh);
    for (const Face& face : faces) {
        const unsigned int first = mesh->GetVertexArraySize();
        const unsigned int normal = mesh->GetNormalArraySize();
        mesh->AddNormal(face.normal);
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            const vec3 local = face.normal + face.u * c[0] + face.v * c[1];
            mesh->AddVertex(Scale(local, half));
            mesh->GetBoundingVolume().Expand(mesh->GetVertexArray().back());
        }
        for (unsigned int corner : {0u, 1u, 2u, 0u, 2u, 3u}) {
            geometry->AddVertexIndex(first + corner);
            geometry->AddNormalIndex(normal);
        }
    }
    mesh->AddGeometry(geometry);
    return mesh;
}

// Signed area test of the 2-D convex hull (counter-clockwise), monotone chain.
struct Point {
    double x, y;
};
double Cross(const Point& o, const Point& a, const Point& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
std::vector<Point> ConvexHull(std::vector<Point> points) {
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
        return a.x < b.x || (a.x == b.x && a.y < b.y);
    });
    std::vector<Point> hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) --k;
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
    return hull;
}
// Distance from `p` to the polygon's outline, negative inside.
double SignedDistance(const std::vector<Point>& polygon, const Point& p) {
    bool inside = true;
    double nearest = 1e30;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point& a = polygon[i];
        const Point& b = polygon[(i + 1) % polygon.size()];
        if (Cross(a, b, p) < 0) inside = false;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        nearest = std::min(nearest, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
    }
    return inside ? -nearest : nearest;
}

int Channel(const std::vector<std::uint8_t>& pixels, int index, int channel) { return pixels[index * 4 + channel]; }

// Live GL objects of each kind the pass makes (textures, frame buffers,
// render buffers, programs), counted over the first few thousand names.
std::vector<int> LiveGlObjects() {
    const auto count = [](auto isName) {
        int live = 0;
        for (GLuint name = 1; name <= 4096; ++name) live += isName(name) ? 1 : 0;
        return live;
    };
    return {count([](GLuint n) { return glIsTexture(n); }), count([](GLuint n) { return glIsFramebufferEXT(n); }),
            count([](GLuint n) { return glIsRenderbufferEXT(n); }), count([](GLuint n) { return glIsProgram(n); })};
}

}  // namespace

// A Lumora engine on a 200 x 150 hidden window, lit by the show room's light
// and looking through a 60 degree perspective. Groups hang under the scene's
// root, so the engine's cull traversal marks them as the game's would.
class OglEffectPassTest : public testing::Test {
protected:
    static constexpr int Width = 200;
    static constexpr int Height = 150;

    void SetUp() override {
        ASSERT_TRUE(context.IsValid()) << context.Error();
        ASSERT_TRUE(engine.Initialize());
        std::filesystem::create_directories(dir.File("bin"));
        std::filesystem::create_directories(dir.File("data"));
        std::filesystem::create_directory_symlink(SHADER_DIR, dir.File("data/shaders"));
        Renderer().SetViewport(Width, Height);
        Renderer().SetProjection(Perspective(60.0, double(Width) / Height, 0.1, 100.0));
        SetLight(LightPosition);
    }

    void TearDown() override {
        passes.clear();
        Renderer().DeleteRessources(model);
    }

    OglRenderer& Renderer() { return static_cast<OglRenderer&>(*engine.GetRenderer()); }
    Scene& GetScene() { return engine.GetScene(); }

    void SetLight(const vec4& position, const vec3& target = LightTarget) {
        GetScene().GetLight().SetPosition(position);
        GetScene().GetLight().SetSpotDirection(target);
        Renderer().GetStateManager().InitializeLighting(GetScene().GetLight());
    }

    void LookAt(const vmath::vec3<double>& eye, const vmath::vec3<double>& centre,
                const vmath::vec3<double>& up = {0.0, 0.0, 1.0}) {
        engine.GetCamera().SetView(View(eye, centre, up));
    }

    // An initialised pass, owned by the fixture; the output of Initialize
    // goes to `log` when given.
    OglEffectPass& MakePass(unsigned int shadowMapSize = 2048, unsigned int environmentMapSize = 512,
                            bool expectInitialized = true, std::string* log = nullptr) {
        passes.emplace_back(new OglEffectPass(Renderer()));
        OglEffectPass& pass = *passes.back();
        pass.SetShadowMapSize(shadowMapSize);
        pass.SetEnvironmentMapSize(environmentMapSize);
        WorkingDirectory bin(dir.File("bin"));
        testing::internal::CaptureStdout();
        const bool initialized = pass.Initialize(LightProjection);
        const std::string out = testing::internal::GetCapturedStdout();
        if (log) *log = out;
        EXPECT_EQ(initialized, expectInitialized) << out;
        return pass;
    }

    // A grey floor with a red box standing on it, seen from above and in front.
    struct BoxOnFloor {
        GroupNode& floor;
        GroupNode& box;
    };
    BoxOnFloor AddBoxOnFloor() {
        GroupNode& floor = AddQuad({0.0f, 5.0f, FloorZ}, 5.0f, 5.0f, GreyPaint);
        GroupNode& box = AddBox({0.0f, 5.0f, FloorZ + 0.5f}, {0.5f, 0.5f, 0.5f}, RedPaint);
        LookAt({0.0, 0.0, 1.0}, {0.0, 5.0, FloorZ});
        return {floor, box};
    }

    // A box of half extents `half` placed at `centre` by its group's
    // transform, with `colour` as ambient and diffuse colour.
    GroupNode& AddBox(const vec3& centre, const vec3& half, const vec4& colour) {
        return AddMesh(MakeBoxMesh(half, {std::begin(BoxFaces), std::end(BoxFaces)}), centre, colour);
    }

    // A single quad facing +z, from -half to +half about `centre`.
    GroupNode& AddQuad(const vec3& centre, float halfX, float halfY, const vec4& colour) {
        return AddMesh(MakeBoxMesh({halfX, halfY, 0.0f}, {BoxFaces[4]}), centre, colour);
    }

    GroupNode& AddMesh(Mesh* mesh, const vec3& centre, const vec4& colour) {
        model.AddMesh(mesh);
        auto* material = new Material;
        material->SetAmbient(colour);
        material->SetDiffuse(colour);
        model.AddMaterial(material);
        auto* group = new GroupNode(*new BoundingBox(mesh->GetBoundingVolume()));
        group->GetTransform().Translate(centre);
        auto* state = new StateNode(*material);
        state->AddChild(new DrawableNode(*mesh->GetGeometry(0)));
        group->AddChild(state);
        GetScene().AddNode(group);
        Renderer().GenerateRessources(model);
        return *group;
    }

    // One frame as the game draws it: cull with the camera, then the pass.
    void Frame(OglEffectPass& pass) {
        engine.CullScene();
        pass.Render(GetScene());
    }

    // The window pixel a world point lands on, for the camera and
    // projection now set.
    void Project(const vec3& point, int& x, int& y) {
        double modelView[16], projection[16];
        int viewport[4];
        CameraMatrices(modelView, projection, viewport);
        double wx, wy, wz;
        gluProject(point.x, point.y, point.z, modelView, projection, viewport, &wx, &wy, &wz);
        x = static_cast<int>(wx);
        y = static_cast<int>(wy);
    }

    void CameraMatrices(double modelView[16], double projection[16], int viewport[4]) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        Renderer().SetViewing(engine.GetCamera().GetView());
        glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
        glPopMatrix();
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }

    // With LUMORA_TEST_SNAPSHOTS naming a folder, the frame is written there
    // as <name>.tga, for a person to look at.
    void Snapshot(const char* name) {
        const char* folder = std::getenv("LUMORA_TEST_SNAPSHOTS");
        if (!folder) return;
        const std::vector<std::uint8_t> pixels = context.ReadPixels();
        std::vector<std::uint32_t> rgba(pixels.size() / 4);
        for (std::size_t i = 0; i < rgba.size(); ++i)
            rgba[i] = Rgba(pixels[i * 4], pixels[i * 4 + 1], pixels[i * 4 + 2]);
        WriteTga(std::string(folder) + "/" + name + ".tga", Width, Height, rgba);
    }

    GlContext context{Width, Height};
    Lumora engine;
    Model model;  ///< meshes and materials of the groups; the groups belong to the scene
    TempDir dir;
    std::vector<std::unique_ptr<OglEffectPass>> passes;
};

TEST_F(OglEffectPassTest, BoxCastsAShadowThatMeetsItsBaseWithoutAcne) {
    // A car-sized box resting on the show room's floor, seen from the side
    // its shadow falls to.
    const vec3 boxHalf(0.9f, 2.0f, 0.6f);
    const vec3 boxCentre(1.68f, 3.63f, FloorZ + boxHalf.z);
    GroupNode& floor = AddQuad({1.68f, 3.63f, FloorZ}, 10.0f, 10.0f, GreyPaint);
    GroupNode& box = AddBox(boxCentre, boxHalf, RedPaint);
    LookAt({6.0, 11.0, 1.5}, {2.0, 5.0, FloorZ});

    // Reference: the same two lit per pixel without shadows.
    OglEffectPass& lit = MakePass();
    lit.AddGroup(OglEffectPass::PerPixelLighting, floor);
    lit.AddGroup(OglEffectPass::PerPixelLighting, box);
    Frame(lit);
    const std::vector<std::uint8_t> reference = context.ReadPixels();
    OglEffectPass& shadowed = MakePass();
    shadowed.AddGroup(OglEffectPass::Shadows, floor);
    shadowed.AddGroup(OglEffectPass::Shadows, box);
    Frame(shadowed);
    const std::vector<std::uint8_t> frame = context.ReadPixels();
    Snapshot("shadow");

    // The shadow on the floor: the box's base and its top cast from the light.
    std::vector<Point> corners, base;
    const float lightHeight = LightPosition.z - FloorZ;
    for (float sx : {-1.0f, 1.0f})
        for (float sy : {-1.0f, 1.0f}) {
            const Point foot{boxCentre.x + sx * boxHalf.x, boxCentre.y + sy * boxHalf.y};
            base.push_back(foot);
            const double scale = lightHeight / (LightPosition.z - (FloorZ + 2.0 * boxHalf.z));
            corners.push_back(foot);
            corners.push_back({LightPosition.x + (foot.x - LightPosition.x) * scale,
                               LightPosition.y + (foot.y - LightPosition.y) * scale});
        }
    const std::vector<Point> shadow = ConvexHull(corners);
    const std::vector<Point> footprint = ConvexHull(base);

    double modelView[16], projection[16];
    int viewport[4];
    CameraMatrices(modelView, projection, viewport);
    const auto isBox = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return false;
        const int i = y * Width + x;
        return Channel(reference, i, 0) > Channel(reference, i, 1) + 40;
    };
    // Shadow edges are soft over a few map texels; 8 cm either side is left alone.
    const double margin = 0.08;
    int umbra = 0, nearBase = 0, open = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const int i = y * Width + x;
            int boxNeighbours = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) boxNeighbours += isBox(x + dx, y + dy);
            // Pixels on the box's outline mix box and floor; they are left alone.
            if (boxNeighbours > 0 && boxNeighbours < 9) continue;
            if (boxNeighbours == 9) {
                // The box's lit faces see the light: no acne on them either.
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(Channel(frame, i, c), Channel(reference, i, c), 2) << "box pixel " << x << "," << y;
                continue;
            }
            // Where the pixel's ray meets the floor.
            double nx, ny, nz, fx, fy, fz;
            gluUnProject(x + 0.5, y + 0.5, 0.0, modelView, projection, viewport, &nx, &ny, &nz);
            gluUnProject(x + 0.5, y + 0.5, 1.0, modelView, projection, viewport, &fx, &fy, &fz);
            if (!(nz > FloorZ && fz < FloorZ)) continue;
            const double t = (nz - FloorZ) / (nz - fz);
            const Point p{nx + t * (fx - nx), ny + t * (fy - ny)};
            const double distance = SignedDistance(shadow, p);
            if (distance > margin) {
                ++open;
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(Channel(frame, i, c), Channel(reference, i, c), 2) << "open floor " << x << "," << y;
            } else if (distance < -margin) {
                ++umbra;
                if (SignedDistance(footprint, p) < 0.2) ++nearBase;
                // Ambient only: well under two thirds of the lit floor.
                ASSERT_LT(Channel(frame, i, 1) * 3, Channel(reference, i, 1) * 2) << "shadow " << x << "," << y;
            }
        }
    EXPECT_GT(open, 5000);
    EXPECT_GT(umbra, 500);
    // The shadow reaches right up to the box's foot: no gap under it.
    EXPECT_GT(nearBase, 20);
}

TEST_F(OglEffectPassTest, CasterOutsideTheViewStillCastsItsShadowAndNoneWithShadowsOff) {
    // Looking straight down at the floor where a box high above, out of
    // sight, throws its shadow.
    GroupNode& floor = AddQuad({0.0f, 6.0f, FloorZ}, 6.0f, 6.0f, GreyPaint);
    GroupNode& box = AddBox({0.0f, 2.0f, 0.8f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    LookAt({0.0, 8.8, 0.0}, {0.0, 8.8, FloorZ}, {0.0, 1.0, 0.0});

    OglEffectPass& open = MakePass();
    open.AddGroup(OglEffectPass::Shadows, floor);
    Frame(open);
    const std::uint32_t lit = context.Pixel(Width / 2, Height / 2);

    OglEffectPass& pass = MakePass();
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, box);
    Frame(pass);
    ASSERT_TRUE(box.IsCulled());  // the camera's cull traversal dropped it...
    EXPECT_LT(Green(context.Pixel(Width / 2, Height / 2)) * 3, Green(lit) * 2);  // ...the light did not
    EXPECT_TRUE(box.IsCulled());

    // Without shadows the same groups are lit as the plain renderer lights
    // them, per vertex, and nothing darkens the floor; back on, the shadow is back.
    pass.SetShadows(false);
    Frame(pass);
    const int unshadowed = Green(context.Pixel(Width / 2, Height / 2));
    Renderer().RenderScene(GetScene());
    EXPECT_NEAR(unshadowed, Green(context.Pixel(Width / 2, Height / 2)), 1);
    EXPECT_GT(unshadowed * 2, Green(lit));
    pass.SetShadows(true);
    Frame(pass);
    EXPECT_LT(Green(context.Pixel(Width / 2, Height / 2)) * 3, Green(lit) * 2);
}

TEST_F(OglEffectPassTest, PerPixelGroupsAreLeftOutWhileThereAreShadowGroups) {
    auto [floor, box] = AddBoxOnFloor();
    int x, y;
    Project({0.0f, 5.0f, FloorZ + 0.5f}, x, y);

    OglEffectPass& both = MakePass();
    both.AddGroup(OglEffectPass::Shadows, floor);
    both.AddGroup(OglEffectPass::PerPixelLighting, box);
    Frame(both);
    const std::uint32_t withShadows = context.Pixel(x, y);
    EXPECT_NEAR(Red(withShadows), Green(withShadows), 2) << "the floor, not the box";
    EXPECT_GT(Green(withShadows), 0);

    OglEffectPass& alone = MakePass();
    alone.AddGroup(OglEffectPass::PerPixelLighting, box);
    Frame(alone);
    EXPECT_GT(Red(context.Pixel(x, y)), Green(context.Pixel(x, y)) + 40);
}

TEST_F(OglEffectPassTest, EmptyShadowAndReflectionListsLeaveBothMapsAlone) {
    GroupNode& standard = AddBox({-1.5f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    GroupNode& perPixel = AddBox({1.5f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    GroupNode& environment = AddBox({0.0f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    LookAt({0.0, 0.0, 0.0}, {0.0, 5.0, 0.0});
    OglEffectPass& pass = MakePass(16, 16);
    pass.AddGroup(OglEffectPass::Standard, standard);
    pass.AddGroup(OglEffectPass::PerPixelLighting, perPixel);
    pass.AddGroup(OglEffectPass::Environment, environment);

    // Known contents in both maps: depth 0.25 and a grey in every face.
    const std::vector<GLuint> depths(16 * 16, 0x40000000u);
    const std::vector<std::uint32_t> grey(16 * 16, Rgba(128, 128, 128));
    glBindTexture(GL_TEXTURE_2D, pass.GetShadowMap());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 16, 16, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depths.data());
    glBindTexture(GL_TEXTURE_CUBE_MAP, pass.GetEnvironmentMap());
    for (int face = 0; face < 6; ++face)
        glTexSubImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, 0, 0, 16, 16, GL_RGBA, GL_UNSIGNED_BYTE, grey.data());
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    for (int frame = 0; frame < 2; ++frame) Frame(pass);
    EXPECT_EQ(pass.GetCurrentCubeFace(), 0u);
    int x, y;
    for (const vec3 at : {vec3(-1.5f, 4.5f, 0.0f), vec3(1.5f, 4.5f, 0.0f)}) {
        Project(at, x, y);
        EXPECT_GT(Red(context.Pixel(x, y)), 60) << "drawn at " << at.x;
    }
    Project({0.0f, 4.5f, 0.0f}, x, y);
    EXPECT_EQ(context.Pixel(x, y), Rgba(0, 0, 0)) << "environment-only group in the main view";

    std::vector<GLuint> depthsAfter(16 * 16);
    glBindTexture(GL_TEXTURE_2D, pass.GetShadowMap());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depthsAfter.data());
    EXPECT_NEAR(depthsAfter[100] / 4294967295.0, 0.25, 1e-6);
    glBindTexture(GL_TEXTURE_CUBE_MAP, pass.GetEnvironmentMap());
    std::vector<std::uint32_t> face(16 * 16);
    for (int f = 0; f < 6; ++f) {
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f, 0, GL_RGBA, GL_UNSIGNED_BYTE, face.data());
        EXPECT_EQ(face[100], Rgba(128, 128, 128)) << "face " << f;
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Six walls around a reflective box, one colour per world axis direction,
// each with a white marker towards the corner where its face's s and t are
// both large, as OpenGL's cube-map addressing defines them.
class EnvironmentMapTest : public OglEffectPassTest {
protected:
    struct Side {
        vec3 axis;        // the face's major axis
        vec3 s, t;        // world directions in which s and t grow on that face
        vec4 colour;
    };
    static constexpr int FaceSize = 64;
    const vec3 centre{0.0f, 10.0f, 0.0f};
    const Side sides[6] = {
        {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}, {1, 0, 0, 1}},   // +X red
        {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0, 1}},   // -X green
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 1, 1}},     // +Y blue
        {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}, {1, 1, 0, 1}},   // -Y yellow
        {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, {0, 1, 1, 1}},    // +Z cyan
        {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}, {1, 0, 1, 1}},  // -Z magenta
    };

    // Walls 4 units out in Environment (even faces) or Standard (odd faces),
    // markers in Environment, the light at the centre.
    void BuildRoom(OglEffectPass& pass) {
        for (int f = 0; f < 6; ++f) {
            const Side& side = sides[f];
            const vec3 extent = vec3(5.0f, 5.0f, 5.0f) - Scale(Abs(side.axis), vec3(4.95f, 4.95f, 4.95f));
            GroupNode& wall = AddBox(centre + side.axis * 4.0f, extent, side.colour);
            walls[f] = &wall;
            pass.AddGroup(f % 2 ? OglEffectPass::Standard : OglEffectPass::Environment, wall);
            GroupNode& marker = AddBox(centre + side.axis * 3.8f + side.s * 2.0f + side.t * 2.0f,
                                       {0.4f, 0.4f, 0.4f}, {1, 1, 1, 1});
            pass.AddGroup(OglEffectPass::Environment, marker);
            markers[f] = &marker;
        }
        SetLight({centre.x, centre.y, centre.z, 1.0f}, centre + vec3(0.0f, 0.0f, -1.0f));
    }

    // A grey box at the centre reflecting the room, in a pass of its own.
    struct Mirror {
        GroupNode& mirror;
        OglEffectPass& pass;
    };
    Mirror MirrorInRoom() {
        GroupNode& mirror = AddBox(centre, {0.5f, 0.5f, 0.5f}, GreyPaint);
        OglEffectPass& pass = MakePass(64, FaceSize);
        pass.AddGroup(OglEffectPass::Reflections, mirror);
        BuildRoom(pass);
        return {mirror, pass};
    }

    static vec3 Abs(const vec3& v) { return {std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}; }

    std::vector<std::uint32_t> ReadFace(OglEffectPass& pass, int face) {
        std::vector<std::uint32_t> texels(FaceSize * FaceSize);
        // NOTE: llvmpipe may hand back a face its rasteriser threads are
        // still drawing unless the queue is drained first.
        glFinish();
        glBindTexture(GL_TEXTURE_CUBE_MAP, pass.GetEnvironmentMap());
        glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        return texels;
    }

    // Each channel high where the colour has it and low where it does not.
    static bool Shows(std::uint32_t texel, const vec4& colour) {
        const int channels[3] = {Red(texel), Green(texel), Blue(texel)};
        for (int c = 0; c < 3; ++c)
            if ((colour[c] > 0.5f) != (channels[c] > 120) || (colour[c] < 0.5f && channels[c] > 40)) return false;
        return true;
    }

    GroupNode* walls[6] = {};
    GroupNode* markers[6] = {};
};

TEST_F(EnvironmentMapTest, TheFirstFrameDrawsEveryFaceThenOneAFrameInOrderTheWayCubeMapsAreAddressed) {
    auto [mirror, pass] = MirrorInRoom();
    LookAt({0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});

    // The map is new: the first frame draws all six faces.
    Frame(pass);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 6u);
    EXPECT_EQ(pass.GetCurrentCubeFace(), 0u);
    for (int face = 0; face < 6; ++face)
        EXPECT_TRUE(Shows(ReadFace(pass, face)[FaceSize * FaceSize / 2 + FaceSize / 2], sides[face].colour))
            << "face " << face << " in the first frame";

    // From then on one face a frame, in order.
    const std::vector<std::uint32_t> grey(FaceSize * FaceSize, Rgba(128, 128, 128));
    glBindTexture(GL_TEXTURE_CUBE_MAP, pass.GetEnvironmentMap());
    for (int face = 0; face < 6; ++face)
        glTexSubImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, 0, 0, FaceSize, FaceSize, GL_RGBA,
                        GL_UNSIGNED_BYTE, grey.data());
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

    const auto at = [](double s, double t) {
        return static_cast<int>(t * FaceSize) * FaceSize + static_cast<int>(s * FaceSize);
    };
    // The marker's near face spans 1.6 to 2.4 units along s and t at 3.4
    // out: tan 0.47 to 0.71, so s and t from 0.74 to 0.85.
    for (unsigned int frame = 0; frame < 6; ++frame) {
        Frame(pass);
        EXPECT_EQ(pass.GetCurrentCubeFace(), (frame + 1) % 6);
        for (unsigned int face = 0; face < 6; ++face) {
            const std::vector<std::uint32_t> texels = ReadFace(pass, face);
            if (face > frame) {
                EXPECT_EQ(texels[at(0.5, 0.5)], Rgba(128, 128, 128)) << "face " << face << " after frame " << frame;
                continue;
            }
            EXPECT_TRUE(Shows(texels[at(0.5, 0.5)], sides[face].colour)) << "face " << face;
            EXPECT_TRUE(Shows(texels[at(0.79, 0.79)], {1, 1, 1, 1})) << "marker on face " << face;
            EXPECT_TRUE(Shows(texels[at(0.21, 0.21)], sides[face].colour)) << "mirrored face " << face;
        }
    }
}

TEST_F(EnvironmentMapTest, WithATolerantPassAStillScenesMapIsDrawnOnceAndAgainAfterAMove) {
    const Mirror room = MirrorInRoom();
    GroupNode& mirror = room.mirror;
    OglEffectPass& pass = room.pass;
    LookAt({0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});
    pass.SetEnvironmentMapTolerance(0.01f);
    // The mirror turning in place, as a car on a turntable.
    const auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            mirror.GetTransform().Rotate(10.0f, {0.0f, 0.0f, 1.0f});
            Frame(pass);
        }
    };
    frames(9);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 6u);
    EXPECT_EQ(pass.GetCurrentCubeFace(), 0u);

    // What a pass drawing a face every frame shows after six frames.
    const auto sameAsDrawnEveryFrame = [&] {
        OglEffectPass& everyFrame = MakePass(64, FaceSize);
        everyFrame.AddGroup(OglEffectPass::Reflections, mirror);
        // BuildRoom's lists, without building the room again.
        for (int f = 0; f < 6; ++f) {
            everyFrame.AddGroup(f % 2 ? OglEffectPass::Standard : OglEffectPass::Environment, *walls[f]);
            everyFrame.AddGroup(OglEffectPass::Environment, *markers[f]);
        }
        for (int i = 0; i < 6; ++i) Frame(everyFrame);
        for (int face = 0; face < 6; ++face) {
            std::vector<std::uint32_t> kept = ReadFace(pass, face), drawn = ReadFace(everyFrame, face);
            if (kept != drawn) return false;
        }
        return true;
    };

    // A marker moved past the tolerance, then the mirror, then the light:
    // six faces more each time, showing the scene as it is now.
    const std::vector<std::uint32_t> before = ReadFace(pass, 0);
    markers[0]->GetTransform().Translate({0.0f, 0.0f, -1.5f});
    frames(8);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 12u);
    EXPECT_TRUE(ReadFace(pass, 0) != before) << "the +X face shows the marker moved";
    EXPECT_TRUE(sameAsDrawnEveryFrame());
    mirror.GetTransform().Translate({0.0f, 0.0f, 0.2f});
    frames(8);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 18u);
    EXPECT_TRUE(sameAsDrawnEveryFrame());
    SetLight({centre.x, centre.y + 1.0f, centre.z, 1.0f}, centre + vec3(0.0f, 0.0f, -1.0f));
    frames(8);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 24u);

    // Without a tolerance a face every frame, as before.
    pass.SetEnvironmentMapTolerance(0.0f);
    frames(2);
    EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), 26u);
}

TEST_F(EnvironmentMapTest, MirrorReflectsTheWallBehindTheCamera) {
    // A flat mirror facing the camera, which stands inside the room: the
    // wall behind the camera lies outside its view and is culled there.
    GroupNode& mirror = AddBox(centre, {1.0f, 0.05f, 1.0f}, GreyPaint);
    OglEffectPass& pass = MakePass(64, FaceSize);
    pass.AddGroup(OglEffectPass::Reflections, mirror);
    BuildRoom(pass);
    LookAt({centre.x, centre.y - 3.0, centre.z}, {centre.x, centre.y, centre.z});

    for (int frame = 0; frame < 6; ++frame) Frame(pass);
    Snapshot("mirror");
    ASSERT_TRUE(walls[3]->IsCulled());
    // Only the reflection is drawn there, blended over black: yellow squared.
    EXPECT_TRUE(Shows(context.Pixel(Width / 2, Height / 2), sides[3].colour));
}

TEST_F(OglEffectPassTest, FrameGivesBackTheStateItChanges) {
    auto [floor, box] = AddBoxOnFloor();
    OglEffectPass& pass = MakePass(256, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, box);
    pass.AddGroup(OglEffectPass::Reflections, box);

    const struct {
        Renderer::CullState cull;
        bool transparency;
    } cases[] = {
        {Renderer::CullNone, true},    // the game's "no culling" option; the shadow pass culls front faces
        {Renderer::CullFront, false},  // the other two, with transparency off
        {Renderer::CullBack, true},
    };
    for (const auto& c : cases) {
        Renderer().SetCullFace(c.cull);
        Renderer().SetRenderTransparency(c.transparency);
        Frame(pass);
        EXPECT_EQ(Renderer().GetCullFace(), c.cull);
        EXPECT_EQ(glIsEnabled(GL_CULL_FACE), c.cull != Renderer::CullNone);
        GLint mode = 0;
        glGetIntegerv(GL_CULL_FACE_MODE, &mode);
        if (c.cull != Renderer::CullNone) {
            EXPECT_EQ(mode, c.cull == Renderer::CullBack ? GL_BACK : GL_FRONT);
        }
        EXPECT_EQ(Renderer().GetRenderTransparency(), c.transparency);
        EXPECT_EQ(glIsEnabled(GL_BLEND), c.transparency);
        EXPECT_EQ(glIsEnabled(GL_ALPHA_TEST), c.transparency);
        GLint source = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        EXPECT_EQ(source, GL_SRC_ALPHA);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], Width);
        EXPECT_EQ(viewport[3], Height);
        GLint frameBuffer = -1, program = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &frameBuffer);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(frameBuffer, 0);
        EXPECT_EQ(program, 0);
        EXPECT_EQ(Renderer().GetStateManager().GetActiveProgram(), 0u);
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        GLboolean writes[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, writes);
        EXPECT_TRUE(writes[0] && writes[1] && writes[2] && writes[3]);
        GLint localViewer = -1;
        glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &localViewer);
        EXPECT_EQ(localViewer, GL_FALSE);
        if (GLEW_ARB_seamless_cube_map) {
            EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP_SEAMLESS));
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(OglEffectPassTest, StandardGroupsAreLitAsThePlainRendererLightsThem) {
    // The environment face drawn first moves light 0 under its own view;
    // the main view must place it again before the Standard groups.
    GroupNode& floor = AddQuad({0.0f, 5.0f, FloorZ}, 5.0f, 5.0f, GreyPaint);
    GroupNode& mirror = AddBox({20.0f, 0.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, GreyPaint);  // out of sight
    LookAt({0.0, 0.0, 1.0}, {0.0, 5.0, FloorZ});
    const int x = Width / 2, y = Height / 3;
    OglEffectPass& pass = MakePass(64, 32);
    pass.AddGroup(OglEffectPass::Standard, floor);
    pass.AddGroup(OglEffectPass::Reflections, mirror);
    std::vector<int> greens;
    for (int frame = 0; frame < 6; ++frame) {
        Frame(pass);
        greens.push_back(Green(context.Pixel(x, y)));
    }

    Renderer().RenderScene(GetScene());
    const int plain = Green(context.Pixel(x, y));
    ASSERT_GT(plain, 0);
    for (int frame = 0; frame < 6; ++frame) EXPECT_NEAR(greens[frame], plain, 1) << "frame " << frame;
}

TEST_F(OglEffectPassTest, PerPixelLightingShowsAHighlightVertexLightingMisses) {
    // A light 1 unit above the middle of a 20 x 20 quad of two triangles,
    // seen from straight above: from the corners it lies nearly in the
    // plane, so lighting at the vertices finds no highlight to interpolate.
    GroupNode& quad = AddQuad({0.0f, 0.0f, 0.0f}, 10.0f, 10.0f, {0, 0, 0, 1});
    Material& material = *model.GetMaterial(model.GetMaterialCount() - 1);
    material.SetSpecular({1.0f, 1.0f, 1.0f, 1.0f});
    material.SetShininess(20.0f);
    SetLight({0.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f});
    LookAt({0.0, 0.0, 5.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});

    OglEffectPass& fixed = MakePass(64, 32);
    fixed.AddGroup(OglEffectPass::Standard, quad);
    Frame(fixed);
    Snapshot("highlight-vertex");
    EXPECT_LT(Red(context.Pixel(Width / 2, Height / 2)), 30);

    OglEffectPass& perPixel = MakePass(64, 32);
    perPixel.AddGroup(OglEffectPass::PerPixelLighting, quad);
    Frame(perPixel);
    Snapshot("highlight-pixel");
    EXPECT_GT(Red(context.Pixel(Width / 2, Height / 2)), 200);
}

TEST_F(OglEffectPassTest, ASpotLightsConeBoundsWhatThePerPixelAndShadowedGroupsShow) {
    // A spot 2 units above a white quad with a 20 degree cone: a ring 0.73
    // units wide is lit, the rest stays dark, whether lit per pixel or shadowed.
    GroupNode& quad = AddQuad({0.0f, 0.0f, 0.0f}, 10.0f, 10.0f, {1, 1, 1, 1});
    Light& light = GetScene().GetLight();
    light.SetAmbient({0.0f, 0.0f, 0.0f, 1.0f});
    light.SetSpotCutoff(20);
    // GL takes the spot direction as a direction: straight down.
    SetLight({0.0f, 0.0f, 2.0f, 1.0f}, {0.0f, 0.0f, -1.0f});
    LookAt({0.0, 0.0, 5.0}, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});
    int inside[2], outside[2];
    Project({0.3f, 0.0f, 0.0f}, inside[0], inside[1]);
    Project({1.5f, 0.0f, 0.0f}, outside[0], outside[1]);
    for (OglEffectPass::Effect effect : {OglEffectPass::PerPixelLighting, OglEffectPass::Shadows}) {
        OglEffectPass& pass = MakePass(256, 32);
        pass.AddGroup(effect, quad);
        Frame(pass);
        EXPECT_GT(Red(context.Pixel(inside[0], inside[1])), 150) << effect;
        EXPECT_LT(Red(context.Pixel(outside[0], outside[1])), 60) << effect << ": the scene ambient only";
    }
    light.SetSpotCutoff(180);
}

TEST_F(OglEffectPassTest, IncompleteFrameBufferFailsInitializeAndItsSubPassIsSkipped) {
    GroupNode& standard = AddBox({-1.5f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    GroupNode& shadowed = AddBox({1.5f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    LookAt({0.0, 0.0, 0.0}, {0.0, 5.0, 0.0});

    const struct {
        unsigned int shadowMapSize, environmentMapSize;
        const char* message;  // nullptr: complete, nothing logged
    } cases[] = {
        {64, 32, nullptr},
        // No texel to hold: GL calls the attachment incomplete.
        {0, 32, "[Error] OglEffectPass - Error creating ShadowMap FBO ("},
        {64, 0, "[Error] OglEffectPass - Error creating EnvironmentMap FBO ("},
    };
    for (const auto& c : cases) {
        std::string log;
        OglEffectPass& pass = MakePass(c.shadowMapSize, c.environmentMapSize, c.message == nullptr, &log);
        if (c.message)
            EXPECT_NE(log.find(c.message), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("OglEffectPass"), std::string::npos) << log;
        pass.AddGroup(OglEffectPass::Standard, standard);
        pass.AddGroup(OglEffectPass::Shadows, shadowed);
        pass.AddGroup(OglEffectPass::Reflections, shadowed);

        testing::internal::CaptureStdout();
        Frame(pass);
        const std::string frameLog = testing::internal::GetCapturedStdout();
        EXPECT_EQ(frameLog, "") << c.shadowMapSize << " x " << c.environmentMapSize;
        // The rest of the frame is drawn: both boxes show.
        int x, y;
        for (const vec3 at : {vec3(-1.5f, 4.5f, 0.0f), vec3(1.5f, 4.5f, 0.0f)}) {
            Project(at, x, y);
            EXPECT_GT(Red(context.Pixel(x, y)), Green(context.Pixel(x, y)) + 40) << "box at " << at.x;
        }
        // A complete new map gets its six faces in the first frame.
        EXPECT_EQ(pass.GetEnvironmentFacesDrawn(), c.environmentMapSize ? 6u : 0u);
    }
}

TEST_F(OglEffectPassTest, InitializeAgainReplacesEveryObjectOfTheFirstAtTheNewSizes) {
    OglEffectPass& pass = MakePass(64, 32);
    const std::vector<int> firstSet = LiveGlObjects();
    pass.SetShadowMapSize(128);
    {
        WorkingDirectory bin(dir.File("bin"));
        testing::internal::CaptureStdout();
        EXPECT_TRUE(pass.Initialize(LightProjection));
        testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(LiveGlObjects(), firstSet) << "textures, frame buffers, render buffers, programs";
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, pass.GetShadowMap());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width, 128);
}

TEST_F(OglEffectPassTest, MissingShaderFilesFailInitializeAndTheGroupsStillDraw) {
    GroupNode& shadowed = AddBox({0.0f, 5.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    LookAt({0.0, 0.0, 0.0}, {0.0, 5.0, 0.0});
    TempDir empty;
    std::filesystem::create_directories(empty.File("bin"));
    OglEffectPass pass(Renderer());
    testing::internal::CaptureStdout();
    {
        WorkingDirectory bin(empty.File("bin"));
        EXPECT_FALSE(pass.Initialize(LightProjection));
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("../data/shaders/ShadowMapping.frag"), std::string::npos) << log;
    pass.AddGroup(OglEffectPass::Shadows, shadowed);
    pass.AddGroup(OglEffectPass::Reflections, shadowed);

    // Without programs the groups fall back to fixed function, quietly.
    testing::internal::CaptureStdout();
    Frame(pass);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    int x, y;
    Project({0.0f, 4.5f, 0.0f}, x, y);
    EXPECT_GT(Red(context.Pixel(x, y)), Green(context.Pixel(x, y)) + 40);
}

TEST_F(OglEffectPassTest, HalfScaleViewStretchesTheFrameAndLeavesTheWindowForAFullSizeOverlay) {
    auto [floor, box] = AddBoxOnFloor();
    // The shadow map's sub-pass binds its own frame buffer and must hand the
    // scaled one back, not the window's.
    OglEffectPass& pass = MakePass(256, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, box);
    int x = 0, y = 0;
    Project({0.0f, 5.0f, FloorZ + 0.5f}, x, y);

    // Twice, as when the player goes to full size and back: the second
    // target is made anew over the full-size frame's depths.
    OglScaledView view;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(view.Begin(1.0f));  // full size: straight into the window, the target dropped
        Frame(pass);  // full size, straight into the window: it leaves the box's depth there
        const std::vector<std::uint8_t> full = context.ReadPixels();
        float boxDepth = 1.0f;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &boxDepth);
        ASSERT_GT(Red(context.Pixel(x, y)), Green(context.Pixel(x, y)) + 40);

        // Blue wherever the stretch does not land (colour only: the box's depth stays).
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        ASSERT_TRUE(view.Begin(0.5f));
        EXPECT_EQ(view.GetTargetWidth(), Width / 2);
        EXPECT_EQ(view.GetTargetHeight(), Height / 2);
        Frame(pass);
        view.End();
        const std::vector<std::uint8_t> scaled = context.ReadPixels();
        Snapshot("half-scale");
        // At one half each texel is repeated over a square of 2 x 2 pixels, not blended with its neighbours.
        int blended = 0;
        for (int y0 = 0; y0 + 1 < Height; y0 += 2)
            for (int x0 = 0; x0 + 1 < Width; x0 += 2)
                for (int i : {y0 * Width + x0 + 1, (y0 + 1) * Width + x0, (y0 + 1) * Width + x0 + 1})
                    for (int c = 0; c < 3; ++c) blended += Channel(scaled, i, c) != Channel(scaled, y0 * Width + x0, c);
        EXPECT_EQ(blended, 0) << "channels of a 2 x 2 square unlike its first pixel";
        // The same picture, softer: the box where it was, the frame covered.
        EXPECT_GT(Red(context.Pixel(x, y)), Green(context.Pixel(x, y)) + 40);
        int differing = 0;
        for (int i = 0; i < Width * Height; ++i)
            for (int c = 0; c < 3; ++c)
                if (std::abs(Channel(full, i, c) - Channel(scaled, i, c)) > 48) {
                    ++differing;
                    break;
                }
        EXPECT_LT(differing, Width * Height / 25) << "pixels unlike the full-size frame";

        // A white overlay in window pixels, behind the box's old depth but in
        // front of the far plane, up to x = 101: a half-size view would round
        // its edge to an even pixel, and an uncleared depth buffer would hide it
        // over the box.
        const float overlayDepth = 0.99f;
        ASSERT_LT(boxDepth, overlayDepth);
        GLint viewport[4], frameBuffer = -1, program = -1;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &frameBuffer);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(viewport[2], Width);
        EXPECT_EQ(viewport[3], Height);
        EXPECT_EQ(frameBuffer, 0);
        EXPECT_EQ(program, 0);
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, Width, 0, Height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        const float z = 1.0f - 2.0f * overlayDepth;  // eye z giving that window depth
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_QUADS);
        glVertex3f(0, 0, z);
        glVertex3f(101, 0, z);
        glVertex3f(101, Height, z);
        glVertex3f(0, Height, z);
        glEnd();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopAttrib();
        ASSERT_NEAR(x, 100, 2);  // row y crosses the box at the edge
        for (int row : {y, Height / 4, 3 * Height / 4}) {
            EXPECT_EQ(context.Pixel(100, row) & 0xFFFFFFu, Rgba(255, 255, 255) & 0xFFFFFFu) << "row " << row;
            EXPECT_NE(context.Pixel(101, row) & 0xFFFFFFu, Rgba(255, 255, 255) & 0xFFFFFFu) << "row " << row;
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OglEffectPassTest, OverAFrameBufferWithoutDepthTheFullSizeViewGoesThroughATargetAndLooksTheSame) {
    auto [floor, box] = AddBoxOnFloor();
    OglEffectPass& pass = MakePass(256, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, box);
    // Drawn straight into the window, which has a depth buffer.
    OglScaledView view;
    EXPECT_FALSE(view.Begin(1.0f));
    Frame(pass);
    const std::vector<std::uint8_t> direct = context.ReadPixels();

    // A frame buffer of colour alone, as a window made without depth.
    GLuint colour = 0, frameBuffer = 0;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffersEXT(1, &frameBuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, frameBuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    for (float scale : {1.0f, 0.0f}) {  // a scale out of range counts as full size
        SCOPED_TRACE(scale);
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_TRUE(view.Begin(scale));
        EXPECT_EQ(view.GetTargetWidth(), Width);
        EXPECT_EQ(view.GetTargetHeight(), Height);
        Frame(pass);
        view.End();
        GLint bound = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), frameBuffer);
        // The box hides the floor behind it only with a depth buffer: the
        // same picture, pixel for pixel.
        const std::vector<std::uint8_t> copied = context.ReadPixels();
        int differing = 0;
        for (int i = 0; i < Width * Height; ++i)
            for (int c = 0; c < 3; ++c)
                if (Channel(copied, i, c) != Channel(direct, i, c)) {
                    ++differing;
                    break;
                }
        EXPECT_EQ(differing, 0) << "pixels unlike the frame drawn straight into the window";
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &frameBuffer);
    glDeleteTextures(1, &colour);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OglEffectPassTest, AKeptPictureComesBackWithItsDepthsUnderWhatIsDrawnOverIt) {
    auto [floor, box] = AddBoxOnFloor();
    // A green plane through the box's lower half, added once the picture is kept.
    GroupNode& plane = AddQuad({0.0f, 5.0f, FloorZ + 0.25f}, 5.0f, 5.0f, vec4(0.1f, 0.8f, 0.1f, 1.0f));
    OglEffectPass& pass = MakePass(256, 32);
    pass.AddGroup(OglEffectPass::Standard, floor);
    pass.AddGroup(OglEffectPass::Standard, box);
    int topX = 0, topY = 0, floorX = 0, floorY = 0;
    Project({0.0f, 5.0f, FloorZ + 1.0f}, topX, topY);
    Project({3.0f, 7.0f, FloorZ}, floorX, floorY);

    OglScaledView view;
    ASSERT_TRUE(view.Begin(0.5f));
    EXPECT_FALSE(view.RestorePicture()) << "nothing kept yet";
    Frame(pass);
    ASSERT_TRUE(view.KeepPicture());
    EXPECT_TRUE(view.HasPicture());
    // Anything else in the target: blue, and the depths gone.
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(view.RestorePicture());
    // Only the plane, over the picture: the box's top stands above it.
    floor.SetCulled(true);
    box.SetCulled(true);
    pass.AddGroup(OglEffectPass::Standard, plane);
    pass.SetClearsView(false);
    pass.Render(GetScene());
    pass.SetClearsView(true);
    view.End();
    Snapshot("kept-picture");
    const std::uint32_t top = context.Pixel(topX, topY), ground = context.Pixel(floorX, floorY);
    EXPECT_GT(Red(top), Green(top) + 40) << "the kept box hides the plane";
    EXPECT_GT(Green(ground), Red(ground) + 40) << "the plane covers the kept floor";
    const std::vector<std::uint8_t> pixels = context.ReadPixels();
    int blue = 0;
    for (int i = 0; i < Width * Height; ++i)
        blue += Channel(pixels, i, 2) > 200 && Channel(pixels, i, 0) < 50 && Channel(pixels, i, 1) < 50;
    EXPECT_EQ(blue, 0) << "pixels of the cleared target";

    // A target of another size drops the picture.
    ASSERT_TRUE(view.Begin(0.25f));
    EXPECT_FALSE(view.HasPicture());
    EXPECT_FALSE(view.RestorePicture());
    ASSERT_TRUE(view.KeepPicture());
    view.ForgetPicture();
    EXPECT_FALSE(view.RestorePicture());
    view.End();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

namespace {

// Counts the times it is drawn.
class CountingNode : public Node {
public:
    NodeType GetType() const override { return DRAWABLE_NODE; }
    void Render(Renderer&) const override { ++draws; }
    mutable int draws = 0;
};

}  // namespace

TEST_F(EnvironmentMapTest, AGroupInTwoListsIsDrawnOnceIntoAFaceInTheListsOrder) {
    // The race's sky is both a Standard and an Environment group.
    auto [mirror, pass] = MirrorInRoom();
    std::vector<CountingNode*> counters;
    for (int i = 0; i < 2; ++i) {
        auto* group = new GroupNode(*new BoundingBox({-100.0f, -100.0f, -100.0f}, {100.0f, 100.0f, 100.0f}));
        counters.push_back(new CountingNode);
        group->AddChild(counters.back());
        GetScene().AddNode(group);
        pass.AddGroup(OglEffectPass::Standard, *group);
        pass.AddGroup(OglEffectPass::Environment, *group);
    }
    LookAt({0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});
    Frame(pass);  // the new map's six faces
    for (int frame = 0; frame < 6; ++frame) {
        const int before = counters[0]->draws;
        Frame(pass);
        // Once into the face, once in the main view.
        EXPECT_EQ(counters[0]->draws - before, 2) << "frame " << frame;
        EXPECT_EQ(counters[1]->draws, counters[0]->draws);
    }
    // The walls of both lists still reach every face.
    for (unsigned int face = 0; face < 6; ++face)
        EXPECT_TRUE(Shows(ReadFace(pass, face)[(FaceSize / 2) * FaceSize + FaceSize / 2], sides[face].colour))
            << "face " << face;
}

TEST_F(EnvironmentMapTest, AStandInIsDrawnIntoTheFacesOnlyBeyondItsDistanceAndTheFlagsComeBack) {
    // A far wood and its coarse copy: both below one Environment group, 4 units out along +x.
    auto [mirror, pass] = MirrorInRoom();
    auto* parent = new GroupNode;
    GetScene().AddNode(parent);
    const vec3 at = centre + vec3(4.0f, 0.0f, 0.0f);
    CountingNode* counters[2] = {};
    GroupNode* pair[2] = {};
    for (int i = 0; i < 2; ++i) {
        pair[i] = new GroupNode(*new BoundingBox(at - vec3(0.2f, 0.2f, 0.2f), at + vec3(0.2f, 0.2f, 0.2f)));
        counters[i] = new CountingNode;
        pair[i]->AddChild(counters[i]);
        parent->AddChild(pair[i]);
    }
    pass.AddGroup(OglEffectPass::Environment, *parent);
    pass.AddStandIn(*pair[0], *pair[1]);
    LookAt({0.0, 0.0, 0.0}, {0.0, 1.0, 0.0});
    Frame(pass);  // the new map's six faces

    // Distance, then draws of the fine group and of the copy over one turn of the six faces.
    const struct {
        float distance;
        int fine, coarse;
    } cases[] = {{3.0f, 0, 1}, {10.0f, 1, 0}, {0.0f, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.distance);
        pass.SetStandInDistance(c.distance);
        const int fineBefore = counters[0]->draws, coarseBefore = counters[1]->draws;
        for (int frame = 0; frame < 6; ++frame) Frame(pass);
        EXPECT_EQ(counters[0]->draws - fineBefore, c.fine);
        EXPECT_EQ(counters[1]->draws - coarseBefore, c.coarse);
        // The main view draws whichever the camera's culling left in: here both.
        EXPECT_FALSE(pair[0]->IsCulled());
        EXPECT_FALSE(pair[1]->IsCulled());
    }
    // The walls still reach every face past the copy's two culls.
    for (unsigned int face = 0; face < 6; ++face)
        EXPECT_TRUE(Shows(ReadFace(pass, face)[(FaceSize / 2) * FaceSize + FaceSize / 2], sides[face].colour))
            << "face " << face;
}

TEST_F(EnvironmentMapTest, AReflectionSmallerOnScreenThanTheLeastIsSkippedALargerOneStays) {
    // The flat mirror of the test above, 2 x 2 units seen from 3 units away
    // (about 90 x 90 pixels), and a 0.2 unit one beside the far wall
    // (a few pixels): only the reflection pass draws either.
    GroupNode& mirror = AddBox(centre, {1.0f, 0.05f, 1.0f}, GreyPaint);
    GroupNode& small = AddBox(centre + vec3(-3.0f, 2.5f, 0.0f), {0.1f, 0.05f, 0.1f}, GreyPaint);
    LookAt({centre.x, centre.y - 3.0, centre.z}, {centre.x, centre.y, centre.z});
    int smallX, smallY;
    Project(centre + vec3(-3.0f, 2.45f, 0.0f), smallX, smallY);
    // Against the frame with neither reflected (more pixels than the window has).
    std::uint32_t plain[2] = {};
    for (const unsigned int least : {100000u, 0u, 400u}) {
        SCOPED_TRACE(least);
        OglEffectPass& pass = MakePass(64, FaceSize);
        pass.AddGroup(OglEffectPass::Reflections, mirror);
        pass.AddGroup(OglEffectPass::Reflections, small);
        BuildRoom(pass);
        pass.SetMinReflectionPixels(least);
        for (int frame = 0; frame < 6; ++frame) Frame(pass);
        const std::uint32_t large = context.Pixel(Width / 2, Height / 2), tiny = context.Pixel(smallX, smallY);
        if (least > 10000) {
            plain[0] = large, plain[1] = tiny;
            continue;
        }
        EXPECT_NE(large, plain[0]) << "the near mirror reflects";
        EXPECT_EQ(tiny == plain[1], least > 0) << "the far one only with no least size";
    }

    // A box reaching from behind the eye to beside the view: corners behind
    // the eye fold the projection over, so it counts as large, not small.
    GroupNode& beside = AddBox(centre + vec3(0.8f, -2.0f, 0.0f), {0.3f, 1.5f, 0.3f}, GreyPaint);
    int besideX, besideY;
    Project(centre + vec3(0.49f, -1.5f, 0.0f), besideX, besideY);
    std::uint32_t shown[2] = {};
    for (int withBeside = 0; withBeside < 2; ++withBeside) {
        OglEffectPass& pass = MakePass(64, FaceSize);
        pass.AddGroup(OglEffectPass::Reflections, mirror);
        if (withBeside) pass.AddGroup(OglEffectPass::Reflections, beside);
        BuildRoom(pass);
        pass.SetMinReflectionPixels(100000);
        for (int frame = 0; frame < 6; ++frame) Frame(pass);
        shown[withBeside] = context.Pixel(besideX, besideY);
    }
    EXPECT_NE(shown[1], shown[0]);
}

TEST_F(OglEffectPassTest, ShadowMapIsDrawnAgainOnceACasterOrTheLightMovedPastTheTolerance) {
    // The floor seen from above where a box high above, out of sight,
    // throws its shadow, as in the test above.
    GroupNode& floor = AddQuad({0.0f, 6.0f, FloorZ}, 6.0f, 6.0f, GreyPaint);
    GroupNode& box = AddBox({0.0f, 2.0f, 0.8f}, {0.5f, 0.5f, 0.5f}, RedPaint);
    GroupNode& other = AddBox({0.0f, 2.0f, 0.8f}, {0.05f, 0.05f, 0.05f}, RedPaint);
    // What the show room puts on its stand: a copy of a car's group, which
    // draws with the car's transform as the turntable turns it.
    GroupNode stand;
    stand = box;
    LookAt({0.0, 8.8, 0.0}, {0.0, 8.8, FloorZ}, {0.0, 1.0, 0.0});
    OglEffectPass& open = MakePass(512, 32);
    open.AddGroup(OglEffectPass::Shadows, floor);
    Frame(open);
    // The box's shadow is about 2.7 m across; the tiny one's a fifth of a
    // metre, so half a metre aside of the middle only the box's reaches.
    int asideX, asideY;
    Project({0.5f, 8.8f, FloorZ}, asideX, asideY);
    const int lit = Green(context.Pixel(Width / 2, Height / 2));
    const auto shadowedAt = [&](int x, int y) { return Green(context.Pixel(x, y)) * 3 < lit * 2; };
    const auto shadowed = [&] { return shadowedAt(Width / 2, Height / 2); };

    OglEffectPass& pass = MakePass(512, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, stand);
    EXPECT_EQ(pass.GetShadowMapTolerance(), 0.0f);
    Frame(pass);
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 2u) << "no tolerance: a map every frame";
    pass.SetShadowMapTolerance(0.05f);
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 2u);
    EXPECT_TRUE(shadowed());

    // A turn of the car's group that moves the box's corners 3 cm keeps
    // the map; the next 3 cm, 6 from where it was drawn, do not.
    const float step = 0.03f / (0.5f * std::sqrt(2.0f)) * 180.0f / static_cast<float>(M_PI);
    box.GetTransform().Rotate(step, {0.0f, 0.0f, 1.0f});
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 2u);
    box.GetTransform().Rotate(step, {0.0f, 0.0f, 1.0f});
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 3u);

    // Moved 3 m aside, the shadow goes with it at once: the frame is the
    // one a pass drawing its map every frame shows.
    const std::vector<std::uint8_t> before = context.ReadPixels();
    box.GetTransform().Translate({3.0f, 0.0f, 0.0f});
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 4u);
    const std::vector<std::uint8_t> moved = context.ReadPixels();
    OglEffectPass& everyFrame = MakePass(512, 32);
    everyFrame.AddGroup(OglEffectPass::Shadows, floor);
    everyFrame.AddGroup(OglEffectPass::Shadows, stand);
    Frame(everyFrame);
    EXPECT_TRUE(moved == context.ReadPixels());
    EXPECT_FALSE(moved == before);
    box.GetTransform().Translate({-3.0f, 0.0f, 0.0f});
    Frame(pass);
    EXPECT_TRUE(context.ReadPixels() == before);

    // Another body put on the stand in the same place, a tiny box: its
    // shadow, not the old one.
    EXPECT_TRUE(shadowedAt(asideX, asideY));
    stand = other;
    Frame(pass);
    EXPECT_TRUE(shadowed());
    EXPECT_FALSE(shadowedAt(asideX, asideY));
    stand = box;
    Frame(pass);
    EXPECT_TRUE(shadowedAt(asideX, asideY));

    // The light moved the shadow: drawn again however little it moved.
    const unsigned long drawn = pass.GetShadowMapsDrawn();
    SetLight({LightPosition.x + 0.001f, LightPosition.y, LightPosition.z, 1.0f});
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), drawn + 1);
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), drawn + 1);
    // Maps made anew hold nothing yet.
    {
        WorkingDirectory bin(dir.File("bin"));
        ASSERT_TRUE(pass.Initialize(LightProjection));
    }
    Frame(pass);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), drawn + 2);
    EXPECT_TRUE(shadowed());
}

TEST_F(OglEffectPassTest, RedrawnAroundAMovingCasterOverTheKeptRestTheFrameIsTheWholeOne) {
    // A box whose shadow falls well beyond its own outline, towards the
    // camera, over a floor; the light is the show room's.
    GroupNode& floor = AddQuad({0.0f, 6.0f, FloorZ}, 6.0f, 6.0f, GreyPaint);
    GroupNode& box = AddBox({0.0f, 4.0f, FloorZ + 1.2f}, {0.4f, 0.4f, 0.4f}, RedPaint);
    LookAt({0.0, 12.0, 3.0}, {0.0, 5.0, FloorZ});
    OglEffectPass& pass = MakePass(512, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.AddGroup(OglEffectPass::Shadows, box);
    pass.SetShadowMapTolerance(0.5f);

    // The floor alone, kept.
    OglScaledView view;
    ASSERT_TRUE(view.Begin(0.5f));
    EXPECT_TRUE(pass.RemoveGroup(OglEffectPass::Shadows, box));
    EXPECT_FALSE(pass.RemoveGroup(OglEffectPass::Shadows, box));
    Frame(pass);
    ASSERT_TRUE(view.KeepPicture());
    view.End();
    const std::vector<std::uint8_t> floorAlone = context.ReadPixels();
    pass.AddGroup(OglEffectPass::Shadows, box);

    // Where the box stood, moved less than the tolerance (the map still shows
    // it where it was) and moved past it.
    for (float step : {0.0f, 0.3f, 1.5f}) {
        SCOPED_TRACE(step);
        box.GetTransform().Translate({step, 0.0f, 0.0f});
        ASSERT_TRUE(view.Begin(0.5f));
        ASSERT_TRUE(view.RestorePicture());
        pass.SetRedrawnAround(&box);
        Frame(pass);
        pass.SetRedrawnAround(nullptr);
        const int* region = pass.GetRedrawnRegion();
        const int regionPixels = region[2] * region[3];
        view.End();
        const std::vector<std::uint8_t> redrawn = context.ReadPixels();

        ASSERT_TRUE(view.Begin(0.5f));
        Frame(pass);
        EXPECT_EQ(pass.GetRedrawnRegion()[2], Width / 2);
        view.End();
        const std::vector<std::uint8_t> whole = context.ReadPixels();

        int differing = 0, shadowBeyondBox = 0;
        // The box's outline on screen, at its corners.
        int left = Width, right = 0, bottom = Height, top = 0;
        const float* m = box.GetTransform().GetMatrix().ptr();
        for (int corner = 0; corner < 8; ++corner) {
            int x, y;
            Project({m[12] + ((corner & 1) ? 0.4f : -0.4f), m[13] + ((corner & 2) ? 0.4f : -0.4f),
                     m[14] + ((corner & 4) ? 0.4f : -0.4f)},
                    x, y);
            left = std::min(left, x), right = std::max(right, x), bottom = std::min(bottom, y), top = std::max(top, y);
        }
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const int i = y * Width + x;
                bool unlike = false, darker = false;
                for (int c = 0; c < 3; ++c) {
                    unlike |= std::abs(Channel(redrawn, i, c) - Channel(whole, i, c)) > 2;
                    darker |= Channel(whole, i, c) + 20 < Channel(floorAlone, i, c);
                }
                differing += unlike;
                shadowBeyondBox += darker && (x < left - 2 || x > right + 2 || y < bottom - 2 || y > top + 2);
            }
        EXPECT_EQ(differing, 0) << "pixels unlike the frame drawn whole";
        EXPECT_GT(shadowBeyondBox, 100) << "the shadow reaches past the box's outline";
        EXPECT_LT(regionPixels, Width / 2 * Height / 2 / 2) << "the region is a part of the view";
    }
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 3u) << "the floor's, the box's, and the box's moved past the tolerance";
}

TEST_F(OglEffectPassTest, TheShadowMixedOverTheStillPicturesIsTheFrameDrawnWhole) {
    // The scene of the test above.
    GroupNode& floor = AddQuad({0.0f, 6.0f, FloorZ}, 6.0f, 6.0f, GreyPaint);
    GroupNode& box = AddBox({0.0f, 4.0f, FloorZ + 1.2f}, {0.4f, 0.4f, 0.4f}, RedPaint);
    LookAt({0.0, 12.0, 3.0}, {0.0, 5.0, FloorZ});
    OglEffectPass& pass = MakePass(512, 32);
    pass.AddGroup(OglEffectPass::Shadows, floor);
    pass.SetShadowMapTolerance(0.5f);
    OglScaledView view;
    // What a frame leaves set: the picture's program, tests and textures
    // given back, as after a frame drawn whole.
    const auto glState = [] {
        std::vector<GLint> state(4);
        glGetIntegerv(GL_CURRENT_PROGRAM, &state[0]);
        glGetIntegerv(GL_DEPTH_FUNC, &state[1]);
        glGetIntegerv(GL_DEPTH_WRITEMASK, &state[2]);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &state[3]);
        for (GLenum test : {GL_DEPTH_TEST, GL_BLEND, GL_SCISSOR_TEST, GL_CULL_FACE, GL_ALPHA_TEST})
            state.push_back(glIsEnabled(test));
        for (int unit = 0; unit < 4; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            state.push_back(0);
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &state.back());
        }
        glActiveTexture(static_cast<GLenum>(state[3]));
        return state;
    };
    // The floor alone as the light shows it, with the light hidden, and as
    // the map shows it.
    OglShadowedPicture floorLight, unlitTwice;
    std::vector<std::uint8_t> pictures[2];
    for (OglShadowedPicture::Light light : {OglShadowedPicture::Seen, OglShadowedPicture::Hidden}) {
        ASSERT_TRUE(view.Begin(0.5f));
        pass.SetLightVisibility(light == OglShadowedPicture::Seen ? OglEffectPass::Everywhere : OglEffectPass::Nowhere);
        Frame(pass);
        EXPECT_TRUE(floorLight.Keep(light));
        EXPECT_EQ(floorLight.IsKept(Width / 2, Height / 2), light == OglShadowedPicture::Hidden);
        // The same unlit floor as both pictures.
        if (light == OglShadowedPicture::Hidden) {
            EXPECT_TRUE(unlitTwice.Keep(OglShadowedPicture::Seen) && unlitTwice.Keep(OglShadowedPicture::Hidden));
        }
        view.End();
        pictures[light] = context.ReadPixels();
    }
    pass.SetLightVisibility(OglEffectPass::Mapped);
    EXPECT_EQ(pass.GetShadowMapsDrawn(), 0u) << "neither picture draws the map";
    const int centre = (Height / 2) * Width + Width / 2;
    EXPECT_GT(Channel(pictures[OglShadowedPicture::Seen], centre, 0),
              Channel(pictures[OglShadowedPicture::Hidden], centre, 0) + 40);
    ASSERT_TRUE(view.Begin(0.5f));
    Frame(pass);
    const std::vector<GLint> stateAfterWhole = glState();
    ASSERT_TRUE(view.KeepPicture());
    EXPECT_TRUE(floorLight.IsKept(Width / 2, Height / 2));
    view.End();
    pass.AddGroup(OglEffectPass::Shadows, box);

    // Where the box stood, moved less than the tolerance (the map still shows
    // it there) and past it; the last with the lit picture's place taken by
    // the unlit one, so the floor shows as the pictures give it, not lit again.
    std::vector<GLint> stateAfterMixed;
    const auto redrawn = [&](const OglShadowedPicture& still) {
        EXPECT_TRUE(view.Begin(0.5f));
        EXPECT_TRUE(view.RestorePicture());
        pass.SetRedrawnAround(&box);
        pass.SetStillPicture(&still);
        Frame(pass);
        stateAfterMixed = glState();
        pass.SetStillPicture(nullptr);
        pass.SetRedrawnAround(nullptr);
        view.End();
        return context.ReadPixels();
    };
    for (float step : {0.0f, 0.3f, 1.5f}) {
        SCOPED_TRACE(step);
        box.GetTransform().Translate({step, 0.0f, 0.0f});
        const std::vector<std::uint8_t> mixed = redrawn(floorLight);
        const std::vector<std::uint8_t> unlit = redrawn(unlitTwice);
        ASSERT_TRUE(view.Begin(0.5f));
        Frame(pass);
        EXPECT_EQ(stateAfterMixed, stateAfterWhole);
        view.End();
        const std::vector<std::uint8_t> whole = context.ReadPixels();
        int differing = 0, shadowed = 0, darkened = 0;
        for (int i = 0; i < Width * Height; ++i) {
            bool unlike = false;
            for (int c = 0; c < 3; ++c) unlike |= std::abs(Channel(mixed, i, c) - Channel(whole, i, c)) > 2;
            differing += unlike;
            shadowed += Channel(whole, i, 1) + 40 < Channel(pictures[OglShadowedPicture::Seen], i, 1);
            darkened += Channel(unlit, i, 1) + 40 < Channel(whole, i, 1);
        }
        EXPECT_EQ(differing, 0) << "pixels unlike the frame drawn whole";
        EXPECT_GT(shadowed, 300) << "the box's shadow on the floor";
        EXPECT_GT(darkened, 300) << "the floor around the box from the pictures";
    }
    // Kept at another size, the pictures are not used: the view is drawn again.
    OglShadowedPicture smaller;
    OglScaledView quarter;
    ASSERT_TRUE(quarter.Begin(0.25f));
    ASSERT_TRUE(smaller.Keep(OglShadowedPicture::Seen) && smaller.Keep(OglShadowedPicture::Hidden));
    quarter.End();
    ASSERT_TRUE(view.Begin(0.5f));
    Frame(pass);
    view.End();
    const std::vector<std::uint8_t> whole = context.ReadPixels();
    EXPECT_TRUE(redrawn(smaller) == whole);

    // A frame buffer without depths has none to mix the shadow by.
    GLuint colour = 0, colourOnly = 0;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffersEXT(1, &colourOnly);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, colourOnly);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    glViewport(0, 0, 64, 64);
    OglShadowedPicture noDepths;
    EXPECT_FALSE(noDepths.Keep(OglShadowedPicture::Seen));
    EXPECT_TRUE(noDepths.Keep(OglShadowedPicture::Hidden));
    EXPECT_FALSE(noDepths.IsKept(64, 64));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, Width, Height);
    glDeleteFramebuffersEXT(1, &colourOnly);
    glDeleteTextures(1, &colour);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
