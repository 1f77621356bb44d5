#include <nodara/View.h>

#include <cmath>

bool View::Project(const vmath::vec3<double>& point, double fovYDeg, double aspect, double& x, double& y) const {
    const vmath::vec3<double> forward = vmath::normalize(center - eye);
    const vmath::vec3<double> side = vmath::normalize(vmath::cross(forward, up));
    const vmath::vec3<double> upright = vmath::cross(side, forward);
    const vmath::vec3<double> d = point - eye;
    const double depth = vmath::dot(d, forward);
    if (!(depth > 0.0)) return false;
    const double halfHeight = depth * std::tan(fovYDeg * 3.14159265358979323846 / 360.0);
    x = 0.5 + 0.5 * vmath::dot(d, side) / (halfHeight * aspect);
    y = 0.5 + 0.5 * vmath::dot(d, upright) / halfHeight;
    return std::isfinite(x) && std::isfinite(y);
}
