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

private:
    vmath::vec3<double> eye;
    vmath::vec3<double> center;
    vmath::vec3<double> up;
};
