#pragma once

/// A projection the renderer loads; the kind is told by GetType().
class Projection {
public:
    enum Type { PERSPECTIVE = 0, ORTHO3D = 1 };

    virtual ~Projection() = default;
    virtual Projection::Type GetType() const = 0;
};
