#pragma once

/// While alive, GL_PROJECTION holds the race's perspective: the vertical
/// field of view given, the current viewport's shape, and the near and far
/// planes the window's own projection has (ResizeView). The projection it
/// found is loaded back when it goes out of scope; the model-view matrix
/// stays selected.
/// NOTE: saved by value rather than pushed: the effect pass pushes the
/// projection too, and GL promises a stack of two only.
class ViewProjection {
public:
    static constexpr double NearPlaneM = 0.1;
    static constexpr double FarPlaneM = 50000.0;

    explicit ViewProjection(double verticalFieldOfViewDeg);
    ~ViewProjection();
    ViewProjection(const ViewProjection&) = delete;
    ViewProjection& operator=(const ViewProjection&) = delete;

private:
    double saved[16];
};
