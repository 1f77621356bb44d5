#pragma once
#include "vmath/vec3.h"

/// A look-at view: eye, centre and up, in world space.
class View {
public:
    View(const vmath::vec3<double>& eye, const vmath::vec3<double>& center, const vmath::vec3<double>& up)
        : eye(eye), center(center), up(up) {}

    const vmath::vec3<double>& GetEye() const { return eye; }
    const vmath::vec3<double>& GetCenter() const { return center; }
    const vmath::vec3<double>& GetUp() const { return up; }
    void SetEye(const vmath::vec3<double>& value) { eye = value; }
    void SetCenter(const vmath::vec3<double>& value) { center = value; }
    void SetUp(const vmath::vec3<double>& value) { up = value; }

    /// Where `point` shows through a perspective of `fovYDeg` vertically and
    /// `aspect` (width over height) from this view: `x` and `y` from 0 (left,
    /// bottom) to 1 (right, top) inside the view, beyond outside it.
    /// @return false for a point behind the eye (or on its plane)
    bool Project(const vmath::vec3<double>& point, double fovYDeg, double aspect, double& x, double& y) const;

private:
    vmath::vec3<double> eye;
    vmath::vec3<double> center;
    vmath::vec3<double> up;
};
