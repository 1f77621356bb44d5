#pragma once
#include <nodara/Node.h>

class Drawable;

/// Draws its drawable (not owned), then its children.
class DrawableNode : public Node {
public:
    explicit DrawableNode(Drawable& drawable) : drawable(&drawable) {}

    NodeType GetType() const override { return DRAWABLE_NODE; }
    void Render(Renderer& renderer) const override;

    const Drawable& GetDrawable() const { return *drawable; }
    void SetDrawable(Drawable& value) { drawable = &value; }

private:
    Drawable* drawable;
};
