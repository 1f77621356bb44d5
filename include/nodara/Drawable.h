#pragma once
#include <nodara/Object.h>

class Renderer;

/// Something the renderer can draw.
class Drawable : public Object {
public:
    virtual void Render(Renderer& renderer) const = 0;
};
