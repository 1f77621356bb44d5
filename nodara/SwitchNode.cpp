#include <nodara/SwitchNode.h>

#include <nodara/Culler.h>
#include <nodara/Renderer.h>

void SwitchNode::Cull(Renderer& renderer) {
    state->Push(renderer);
    renderer.GetCuller().Cull(*this);
    if (!IsCulled())
        if (Node* child = GetChild(selected)) child->Cull(renderer);
    state->Pop(renderer);
}

void SwitchNode::Render(Renderer& renderer) const {
    if (IsCulled()) return;
    const Node* child = GetChild(selected);
    state->Push(renderer);
    if (child) child->Render(renderer);
    state->Pop(renderer);
}
