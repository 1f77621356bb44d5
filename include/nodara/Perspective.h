#pragma once
#include <nodara/Projection.h>

/// Perspective projection: vertical field of view (degrees), aspect
/// (width / height) and the clip planes.
class Perspective : public Projection {
public:
    Perspective(double fov, double aspect, double nearPlane, double farPlane)
        : fov(fov), aspect(aspect), nearPlane(nearPlane), farPlane(farPlane) {}

    Projection::Type GetType() const override { return PERSPECTIVE; }

    double GetFOV() const { return fov; }
    double GetAspect() const { return aspect; }
    double GetNearPlane() const { return nearPlane; }
    double GetFarPlane() const { return farPlane; }
    void SetFOV(double value) { fov = value; }
    void SetAspect(double value) { aspect = value; }
    void SetNearPlane(double value) { nearPlane = value; }
    void SetFarPlane(double value) { farPlane = value; }

private:
    double fov;
    double aspect;
    double nearPlane;
    double farPlane;
};
