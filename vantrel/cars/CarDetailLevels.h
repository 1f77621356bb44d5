#pragma once
#include <vector>

class GroupNode;
class Mesh;
class Model;
class Node;

/// Simplified looks of a car, made once when its model loads, so that a car
/// far off costs a few hundred triangles instead of twenty thousand.
///
/// Level 0 is the model as loaded. At levels 1 and 2 every mesh is a copy
/// simplified with meshoptimizer, the whole car about `NearTriangles` (a look
/// for a car near the camera where the full one costs too much) and
/// `MiddleTriangles`, shared out by each mesh's triangles; the wheels keep
/// their own nodes, so they still turn and steer. Level 3 is the whole car at
/// rest as one mesh of about `FarTriangles`, wheels included: that far off (a
/// wheel a few pixels across) their turning cannot be seen, and one mesh
/// costs a draw per material instead of one per material and part. A mesh
/// whose share would be a few triangles (a brake caliper) is left out of a
/// level.
///
/// The levels hang in the car's own tree: each mesh node goes under a switch
/// (SwitchNode) whose child i is its look at level i, so copies of the tree
/// bring the levels along, and selecting a level is setting the switches.
class CarDetailLevels {
public:
    static constexpr unsigned LevelCount = 4;
    static constexpr unsigned Full = 0, Near = 1, Middle = 2, Far = 3;
    /// Triangles of the whole car at levels 1, 2 and 3, roughly.
    static constexpr unsigned NearTriangles = 8000;
    static constexpr unsigned MiddleTriangles = 2000;
    static constexpr unsigned FarTriangles = 500;

    /// Puts each mesh node below `car` under a switch with its simplified
    /// looks, in its place among its siblings. The mesh with the most
    /// triangles (the body) carries level 3 in its switch; the others draw
    /// nothing there. Materials are the model's, so a state swapped in a copy
    /// of the tree (its paint) is swapped at every level.
    /// @return the new meshes, owned by `model`, whose buffers the caller
    ///         generates; none when `car` has no mesh node or has its levels
    ///         already (then nothing changed)
    static std::vector<Mesh*> Make(Model& model, GroupNode& car);

    /// Triangles drawn below `node` at `level`: at a switch only the child of
    /// that level counts, as it alone is drawn.
    static unsigned CountTriangles(const Node& node, unsigned level);
};
