#pragma once
#include <nodara/View.h>

/// Holds the view the scene is rendered from. By default it stands one unit
/// down the y axis looking at the origin, z up.
class Camera {
public:
    Camera() : view({0.0, -1.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 0.0, 1.0}) {}

    View& GetView() { return view; }
    const View& GetView() const { return view; }
    void SetView(const View& value) { view = value; }

private:
    View view;
};
