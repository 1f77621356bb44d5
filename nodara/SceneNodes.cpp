// Render traversal of the small node classes, and the mesh node's box.
#include <nodara/BoundingBox.h>
#include <nodara/Drawable.h>
#include <nodara/DrawableNode.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/State.h>
#include <nodara/StateNode.h>

void DrawableNode::Render(Renderer& renderer) const {
    drawable->Render(renderer);
    Node::Render(renderer);
}

void StateNode::Render(Renderer& renderer) const {
    state->Push(renderer);
    Node::Render(renderer);
    state->Pop(renderer);
}

MeshNode::MeshNode(Mesh& mesh) : GroupNode(*new BoundingBox(mesh.GetBoundingVolume())), mesh(&mesh) {}
