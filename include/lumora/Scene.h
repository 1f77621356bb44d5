#pragma once
#include <nodara/Camera.h>
#include <nodara/Light.h>
#include <nodara/RootNode.h>

class Lumora;
class Node;
class Renderer;

/// What the renderer draws: a root node under which all content hangs, the
/// one light (GL light 0) and the camera.
class Scene {
public:
    Scene() = default;

    /// Puts the light 100 units up the z axis and sets up lighting on the
    /// engine's renderer. Needs a current context. @return true.
    bool Initialize(Lumora& engine);

    const RootNode& GetRootNode() const { return rootNode; }
    Light& GetLight() { return light; }
    const Light& GetLight() const { return light; }
    Camera& GetCamera() { return camera; }
    const Camera& GetCamera() const { return camera; }

    /// Appends `node` under the root, which then owns it; null is ignored.
    void AddNode(Node* node);
    /// Takes `node` from under the root without destroying it; null is ignored.
    void RemoveNode(Node* node);

    /// The cull traversal from the root.
    void Cull(Renderer& renderer);
    /// The render traversal from the root.
    void Render(Renderer& renderer) const;

private:
    RootNode rootNode;
    Light light;
    Camera camera;
};
