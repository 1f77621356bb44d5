#include <nodara/GroupNode.h>

#include <nodara/BoundingBox.h>
#include <nodara/Culler.h>
#include <nodara/Renderer.h>

GroupNode::GroupNode(const GroupNode& other)
    : TransformNode(other),
      culled(other.culled),
      boundingVolume(other.boundingVolume),
      ownsBoundingVolume(false) {}

GroupNode& GroupNode::operator=(const GroupNode& other) {
    if (this == &other) return *this;
    TransformNode::operator=(other);
    // Our box stays ours when the source shares it (an earlier copy of this
    // group assigned back); otherwise it goes.
    const bool keepBox = ownsBoundingVolume && boundingVolume == other.boundingVolume;
    if (ownsBoundingVolume && !keepBox) delete boundingVolume;
    culled = other.culled;
    boundingVolume = other.boundingVolume;
    ownsBoundingVolume = keepBox;
    return *this;
}

GroupNode::~GroupNode() {
    if (ownsBoundingVolume) delete boundingVolume;
}

void GroupNode::SetBoundingVolume(BoundingBox& box) {
    if (ownsBoundingVolume && boundingVolume != &box) delete boundingVolume;
    boundingVolume = &box;
    ownsBoundingVolume = true;
}

void GroupNode::Cull(Renderer& renderer) {
    state->Push(renderer);
    renderer.GetCuller().Cull(*this);
    if (!culled) Node::Cull(renderer);
    state->Pop(renderer);
}

void GroupNode::Render(Renderer& renderer) const {
    if (culled) return;
    state->Push(renderer);
    Node::Render(renderer);
    state->Pop(renderer);
}
