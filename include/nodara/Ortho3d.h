#pragma once
#include <nodara/Projection.h>

/// Orthographic projection given by its six clip planes.
class Ortho3d : public Projection {
public:
    Ortho3d(double left, double right, double bottom, double top, double nearPlane, double farPlane)
        : left(left), right(right), bottom(bottom), top(top), nearPlane(nearPlane), farPlane(farPlane) {}

    Projection::Type GetType() const override { return ORTHO3D; }

    double GetLeft() const { return left; }
    double GetRight() const { return right; }
    double GetBottom() const { return bottom; }
    double GetTop() const { return top; }
    double GetNearPlane() const { return nearPlane; }
    double GetFarPlane() const { return farPlane; }
    void SetLeft(double value) { left = value; }
    void SetRight(double value) { right = value; }
    void SetBottom(double value) { bottom = value; }
    void SetTop(double value) { top = value; }
    void SetNearPlane(double value) { nearPlane = value; }
    void SetFarPlane(double value) { farPlane = value; }

private:
    double left;
    double right;
    double bottom;
    double top;
    double nearPlane;
    double farPlane;
};
