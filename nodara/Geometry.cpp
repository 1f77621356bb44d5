#include <nodara/Geometry.h>

#include <nodara/Renderer.h>

void Geometry::Render(Renderer& renderer) const { renderer.Draw(*this); }

void Geometry::SetMesh(Mesh* value) {
    if (value) mesh = value;
}
