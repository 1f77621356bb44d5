#pragma once
#include <vector>

#include "CoarseCopy.h"

class GroupNode;
class Mesh;
class Model;

/// Bakes a group of many small objects (a wood's trees and rocks, a row of
/// fences) into one geometry per material, so that drawing the group costs a
/// few draws instead of one per object.
///
/// The group keeps its own transform and gets a bounding box around what it
/// holds, so it is culled as a whole. A group spread over more than one
/// square cell of the ground is baked a cell at a time, each cell a group of
/// its own with its own box, so that the view culls the part of a wood
/// behind the camera or past the draw distance rather than drawing the whole
/// group whenever a corner of it shows. The objects' transforms are applied
/// to copies of their vertices and normals in a new mesh, owned by the
/// model. The objects' own meshes stay in the model as they were.
class SceneryBatches {
public:
    /// The side of a cell (m): small enough that a near wood is mostly
    /// culled behind the camera, large enough that a cell still costs a few
    /// draws rather than one per tree.
    static constexpr float CellSizeM = 250.0f;

    /// Replaces the children of `group` by one material node per material
    /// (in order of first use), each over one drawable of the baked
    /// triangles; when the objects lie in more than one cell of `cellSizeM`
    /// a side (the group's own x and y, an object going by the centre of its
    /// box), by one group per cell (with its box) over such material nodes.
    /// A size of 0 keeps the group in one piece. Only transform, group, mesh and material nodes may lie
    /// between the group and its drawables, and every drawable must be a
    /// geometry with normals; triangles with an index outside their mesh's
    /// arrays are left out.
    /// @return the new mesh, whose buffers the caller generates; null when
    ///         nothing changed (another kind of node or drawable below the
    ///         group, or no triangle).
    static Mesh* Merge(Model& model, GroupNode& group, float cellSizeM = CellSizeM);

    /// Adds beside every cell of `group` (as Merge made it) a copy of its
    /// batches drawn from `batches` with fewer triangles, within `errorM`
    /// metres: the objects are drawn as a few coarse shapes, which is all a
    /// wood shows a kilometre off. The copy has the cell's box and draws
    /// from new geometries of `batches`, whose buffers the caller generates.
    /// A group baked in one piece first gets one cell (with its box) over its
    /// material nodes, so that the copy has something to stand beside. A copy
    /// is drawn in the cell's place only where the caller says so (culled flag).
    /// @return the pairs; none for an error that is not a positive number.
    static std::vector<CoarseCopy> AddCoarseCopies(GroupNode& group, Mesh& batches, float errorM);
};
