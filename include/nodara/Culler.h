#pragma once

class BoundingBox;
class GroupNode;
class Model;
class Node;

/// Marks group nodes as culled, and builds group bounding boxes for a model.
class Culler {
public:
    Culler() = default;
    Culler(const Culler&) = default;
    Culler& operator=(const Culler&) = default;
    virtual ~Culler() = default;

    /// Sets the group's culled flag: true when its box, in the coordinates
    /// current at the call, lies wholly outside one plane of the view volume.
    /// A group without a box keeps its flag.
    virtual void Cull(GroupNode& group) = 0;

    /// A flag for the owner's use; the cull traversal does not consult it.
    void SetIsEnabled(bool value) { enabled = value; }
    bool IsEnabled() const { return enabled; }

    /// Gives every group of the model's tree a new box built bottom-up from
    /// its group children. Does nothing for a model without a node.
    void GenerateBoundingVolumes(Model& model);

private:
    const BoundingBox* GenerateBVTravers(Node& node);

    bool enabled = false;
};
