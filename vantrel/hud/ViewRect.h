#pragma once

/// A rectangle of the window in pixels, from its bottom left corner, as
/// glViewport takes it.
struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const ViewRect& other) const {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};
