#pragma once
#include <nodara/StateNode.h>
#include <nodara/Transform.h>

/// A state node whose state is its own embedded transform.
///
/// NOTE: copies keep the source's state pointer, so a copy renders with the
/// source's transform and follows its later changes. The game relies on this
/// to let a node of its own stand in for a group of a loaded model.
class TransformNode : public StateNode {
public:
    TransformNode() : StateNode(transform) {}
    explicit TransformNode(const Transform& value) : StateNode(transform), transform(value) {}
    TransformNode(const TransformNode& other) = default;
    TransformNode& operator=(const TransformNode& other) = default;

    NodeType GetType() const override { return TRANSFORM_NODE; }

    Transform& GetTransform() { return transform; }
    const Transform& GetTransform() const { return transform; }

private:
    Transform transform;
};
