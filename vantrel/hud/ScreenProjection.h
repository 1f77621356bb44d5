#pragma once

/// While alive, draws in window pixels: an orthographic projection over the
/// current viewport (origin bottom-left) with an identity model-view. Both
/// matrices are given back when it goes out of scope; the model-view matrix
/// stays selected.
class ScreenProjection {
public:
    ScreenProjection();
    ~ScreenProjection();
    ScreenProjection(const ScreenProjection&) = delete;
    ScreenProjection& operator=(const ScreenProjection&) = delete;

    float GetWidth() const { return width; }
    float GetHeight() const { return height; }

private:
    float width;
    float height;
};
