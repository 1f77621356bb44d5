#include <lumora/Scene.h>

#include <lumora/Lumora.h>
#include <nodara/Renderer.h>
#include <nodara/StateManager.h>

bool Scene::Initialize(Lumora& engine) {
    light.SetPosition(vmath::vec4<float>(0.0f, 0.0f, 100.0f, 1.0f));
    engine.GetRenderer()->GetStateManager().InitializeLighting(light);
    return true;
}

void Scene::AddNode(Node* node) {
    if (node) rootNode.AddChild(node);
}

void Scene::RemoveNode(Node* node) {
    if (node) rootNode.RemoveChild(node);
}

void Scene::Cull(Renderer& renderer) { rootNode.Cull(renderer); }

void Scene::Render(Renderer& renderer) const { rootNode.Render(renderer); }
