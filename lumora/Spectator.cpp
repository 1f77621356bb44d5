#include <lumora/Spectator.h>

#include <cmath>

#include <nodara/Camera.h>

namespace {

using Vec3 = vmath::vec3<double>;

const double Pi = 3.141592653589793;
// Below this fraction of |up| * |dir|, s counts as zero: dir is parallel to up.
const double ParallelTolerance = 1e-12;

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Radians for a pixel difference, as the mouse moved from the reference.
double Angle(int reference, int current, float degreesPerPixel) {
    return static_cast<double>(reference - current) * degreesPerPixel * Pi / 180.0;
}

// Unit vector of v, or false when v has no direction (zero or non-finite).
bool Normalized(const Vec3& v, Vec3& result) {
    const double length = vmath::length(v);
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    result = v * (1.0 / length);
    return IsFinite(result);
}

// s = up x dir, or false when dir is zero or parallel to up.
bool Side(const View& view, Vec3& s) {
    const Vec3 dir = view.GetCenter() - view.GetEye();
    s = vmath::cross(view.GetUp(), dir);
    const double scale = vmath::length(view.GetUp()) * vmath::length(dir);
    return vmath::length(s) > ParallelTolerance * scale && IsFinite(s);
}

// Sets eye and centre together, or neither when one would not be finite.
void Place(View& view, const Vec3& eye, const Vec3& center) {
    if (!IsFinite(eye) || !IsFinite(center)) return;
    view.SetEye(eye);
    view.SetCenter(center);
}

}  // namespace

void Spectator::Move(Camera& camera, double step) {
    View& view = camera.GetView();
    const Vec3 dir = view.GetCenter() - view.GetEye();
    const Vec3 eye = view.GetEye() + dir * step;
    Place(view, eye, eye + dir);
}

void Spectator::Strafe(Camera& camera, double step) {
    View& view = camera.GetView();
    const Vec3 dir = view.GetCenter() - view.GetEye();
    const Vec3 s = vmath::cross(view.GetUp(), dir);
    const Vec3 eye = view.GetEye() + s * step;
    Place(view, eye, eye + dir);
}

void Spectator::Yaw(Camera& camera, float degreesPerPixel, int x) {
    View& view = camera.GetView();
    Vec3 s;
    if (!Side(view, s)) return;
    const double a = Angle(referencePoint.x, x, degreesPerPixel);
    const Vec3 dir = view.GetCenter() - view.GetEye();
    Vec3 turned;
    if (!Normalized(dir * std::cos(a) + s * std::sin(a), turned)) return;
    Place(view, view.GetEye(), view.GetEye() + turned);
}

void Spectator::Pitch(Camera& camera, float degreesPerPixel, int y) {
    View& view = camera.GetView();
    const double a = Angle(referencePoint.y, y, degreesPerPixel);
    Vec3 s;
    if (!Side(view, s)) return;
    const Vec3 dir = view.GetCenter() - view.GetEye();
    Vec3 tilted;
    if (!Normalized(dir * std::cos(a) + view.GetUp() * std::sin(a), tilted)) return;
    // Tilting right onto up would leave no side vector for later turns.
    const View next(view.GetEye(), view.GetEye() + tilted, view.GetUp());
    if (!Side(next, s)) return;
    Place(view, view.GetEye(), view.GetEye() + tilted);
}

void Spectator::Roll(Camera& camera, float degreesPerPixel, int x) {
    View& view = camera.GetView();
    Vec3 s;
    if (!Side(view, s)) return;
    const double a = Angle(referencePoint.x, x, degreesPerPixel);
    Vec3 up;
    if (!Normalized(view.GetUp() * std::cos(a) + s * std::sin(a), up)) return;
    const Vec3 dir = view.GetCenter() - view.GetEye();
    view.SetUp(up);
    Place(view, view.GetEye(), view.GetEye() + dir);
}
