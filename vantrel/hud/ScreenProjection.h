#pragma once

/// While alive, draws in window pixels: an orthographic projection over the
/// current viewport (origin bottom-left) with an identity model-view. Both
/// matrices are given back when it goes out of scope; the model-view matrix
/// stays selected.
///
/// With a scale below 1 a pixel of the drawing covers less than one of the
/// viewport's, so what is drawn for a whole window fits a smaller view; the
/// width and height are then the viewport's divided by the scale. Text drawn
/// from bitmaps keeps its size, only its place scales.
class ScreenProjection {
public:
    explicit ScreenProjection(float scale = 1.0f);
    ~ScreenProjection();
    ScreenProjection(const ScreenProjection&) = delete;
    ScreenProjection& operator=(const ScreenProjection&) = delete;

    float GetWidth() const { return width; }
    float GetHeight() const { return height; }

private:
    float width;
    float height;
};
