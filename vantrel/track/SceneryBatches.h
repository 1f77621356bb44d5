#pragma once
class GroupNode;
class Mesh;
class Model;

/// Bakes a group of many small objects (a wood's trees and rocks, a row of
/// fences) into one geometry per material, so that drawing the group costs a
/// few draws instead of one per object.
///
/// The group keeps its own transform and gets a bounding box around what it
/// holds, so it is culled as a whole; the objects' transforms are applied to
/// copies of their vertices and normals in a new mesh, owned by the model.
/// The objects' own meshes stay in the model as they were.
class SceneryBatches {
public:
    /// Replaces the children of `group` by one material node per material
    /// (in order of first use), each over one drawable of the baked
    /// triangles. Only transform, group, mesh and material nodes may lie
    /// between the group and its drawables, and every drawable must be a
    /// geometry with normals; triangles with an index outside their mesh's
    /// arrays are left out.
    /// @return the new mesh, whose buffers the caller generates; null when
    ///         nothing changed (another kind of node or drawable below the
    ///         group, or no triangle).
    static Mesh* Merge(Model& model, GroupNode& group);
};
