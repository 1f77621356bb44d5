#pragma once
#include <nodara/TransformNode.h>

class BoundingBox;

/// A transform node with a bounding box (owned, may be null) and a culled
/// flag, so that the culler can skip a whole subtree.
/// Copies share the source's box but do not own it; a group assigned an
/// earlier copy of itself keeps owning the box.
class GroupNode : public TransformNode {
public:
    GroupNode() = default;
    /// Takes ownership of `box`, which must have been made with new.
    explicit GroupNode(BoundingBox& box) : boundingVolume(&box) {}
    GroupNode(const GroupNode& other);
    GroupNode& operator=(const GroupNode& other);
    ~GroupNode() override;

    NodeType GetType() const override { return GROUP_NODE; }
    /// Pushes the transform, lets the culler decide, visits the children if
    /// not culled, pops.
    void Cull(Renderer& renderer) override;
    /// Renders nothing at all while culled.
    void Render(Renderer& renderer) const override;

    /// May be null.
    BoundingBox* GetBoundingVolume() const { return boundingVolume; }
    /// Deletes the current box (if owned) and takes ownership of `box`.
    void SetBoundingVolume(BoundingBox& box);

    bool IsCulled() const { return culled; }
    void SetCulled(bool value) { culled = value; }

private:
    bool culled = false;
    BoundingBox* boundingVolume = nullptr;
    bool ownsBoundingVolume = true;  ///< false for shallow copies
};
