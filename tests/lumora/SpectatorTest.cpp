#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <lumora/Spectator.h>
#include <nodara/Camera.h>

using Vec3 = vmath::vec3<double>;

namespace {

// Eye at (1, 2, 3) looking two units along +x, z up: s = up x dir = +y (left).
Camera Standing() {
    Camera camera;
    camera.SetView(View({1.0, 2.0, 3.0}, {3.0, 2.0, 3.0}, {0.0, 0.0, 1.0}));
    return camera;
}

void ExpectNear(const Vec3& actual, const Vec3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-9) << what;
}

void ExpectView(const Camera& camera, const Vec3& eye, const Vec3& center, const Vec3& up) {
    ExpectNear(camera.GetView().GetEye(), eye, "eye");
    ExpectNear(camera.GetView().GetCenter(), center, "centre");
    ExpectNear(camera.GetView().GetUp(), up, "up");
}

bool IsFinite(const View& view) {
    for (const Vec3* v : {&view.GetEye(), &view.GetCenter(), &view.GetUp()})
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite((*v)[i])) return false;
    return true;
}

}  // namespace

TEST(Spectator, MoveAndStrafeKeepDirectionAndStepInMultiplesOfIt) {
    Spectator spectator;
    Camera camera = Standing();
    spectator.Move(camera, 0.5);  // half of |dir| = 1 unit forwards
    ExpectView(camera, {2.0, 2.0, 3.0}, {4.0, 2.0, 3.0}, {0.0, 0.0, 1.0});
    spectator.Strafe(camera, 1.0);  // |s| = 2: two units to the left (+y)
    ExpectView(camera, {2.0, 4.0, 3.0}, {4.0, 4.0, 3.0}, {0.0, 0.0, 1.0});
    spectator.Strafe(camera, -1.0);
    spectator.Move(camera, 0.0);
    spectator.Strafe(camera, 0.0);
    ExpectView(camera, {2.0, 2.0, 3.0}, {4.0, 2.0, 3.0}, {0.0, 0.0, 1.0});
}

TEST(Spectator, RotationsTurnAboutTheStoredVectorsAndNormaliseDir) {
    Spectator spectator;
    spectator.SetReferencePoint({100, 50});

    // x at the reference: direction unchanged, centre pulled to distance 1.
    Camera camera = Standing();
    spectator.Yaw(camera, 1.0f, 100);
    ExpectView(camera, {1.0, 2.0, 3.0}, {2.0, 2.0, 3.0}, {0.0, 0.0, 1.0});

    // Mouse 90 pixels left at 1 degree a pixel: a quarter turn to the left.
    camera = Standing();
    spectator.Yaw(camera, 1.0f, 10);
    ExpectView(camera, {1.0, 2.0, 3.0}, {1.0, 3.0, 3.0}, {0.0, 0.0, 1.0});

    // Mouse 30 pixels up (y below the reference) at 2 degrees: 60 degrees,
    // mixed from the unnormalised dir (2, 0, 0) and up, which is kept.
    camera = Standing();
    spectator.Pitch(camera, 2.0f, 20);
    const double length = std::sqrt(1.0 + 0.75);  // |dir cos 60 + up sin 60|
    ExpectView(camera, {1.0, 2.0, 3.0}, {1.0 + 1.0 / length, 2.0, 3.0 + std::sqrt(0.75) / length},
               {0.0, 0.0, 1.0});

    // Roll measures x like Yaw: up turns a quarter towards s, dir is kept.
    camera = Standing();
    spectator.Roll(camera, 1.0f, 10);
    ExpectView(camera, {1.0, 2.0, 3.0}, {3.0, 2.0, 3.0}, {0.0, 1.0, 0.0});
    EXPECT_EQ(spectator.GetReferencePoint().x, 100);
}

TEST(Spectator, DegenerateViewsStayFiniteAndUnchanged) {
    Spectator spectator;
    struct Case {
        const char* what;
        View view;
    };
    const Case cases[] = {
        // Looking straight up: s is zero.
        {"dir along up", View({0, 0, 0}, {0, 0, 5}, {0, 0, 1})},
        // Looking straight down.
        {"dir against up", View({0, 0, 0}, {0, 0, -5}, {0, 0, 1})},
        // Eye and centre in one place.
        {"zero dir", View({1, 1, 1}, {1, 1, 1}, {0, 0, 1})},
        // No up vector at all.
        {"zero up", View({0, 0, 0}, {1, 0, 0}, {0, 0, 0})},
    };
    for (const Case& c : cases) {
        for (int x : {-90, 0, 90, 180}) {
            Camera camera;
            camera.SetView(c.view);
            spectator.Yaw(camera, 1.0f, x);
            spectator.Pitch(camera, 1.0f, x);
            spectator.Roll(camera, 1.0f, x);
            EXPECT_TRUE(IsFinite(camera.GetView())) << c.what << " x " << x;
            ExpectView(camera, c.view.GetEye(), c.view.GetCenter(), c.view.GetUp());
        }
    }

    // A pitch that would land exactly on up (90 pixels, 1 degree each) is refused as well.
    spectator.SetReferencePoint({0, 50});
    Camera camera = Standing();
    spectator.Pitch(camera, 1.0f, -40);
    ExpectView(camera, {1.0, 2.0, 3.0}, {3.0, 2.0, 3.0}, {0.0, 0.0, 1.0});

    // Non-finite steps never reach the view.
    spectator.Move(camera, std::numeric_limits<double>::infinity());
    spectator.Strafe(camera, std::nan(""));
    EXPECT_TRUE(IsFinite(camera.GetView()));
}
