#pragma once
#include <vector>

#include "CoarseCopy.h"

class GroupNode;
class Mesh;
class MeshNode;
class Model;

/// Cuts a track's ground into square tiles, each a group with its own
/// bounding box, so that every view (the camera's and each face of the
/// environment map) culls the ground tile by tile rather than drawing all of
/// it: the ground is one mesh spanning the whole valley.
///
/// The tiles draw from a new mesh, owned by the model, with a copy of the
/// ground's arrays and one geometry per tile and material. The ground's own
/// mesh stays in the model as it was (the physics reads it); its node leaves
/// the tree and is destroyed.
class TerrainTiles {
public:
    /// Replaces `meshNode`, a child of `ground`, by the tiles: triangles go to
    /// the tile of their centre on the mesh's own x and y, in `tileSize`
    /// squares; triangles with an index outside the mesh's arrays are left
    /// out. The tiles are added in order of their position, and each keeps the
    /// materials in the order the mesh node had them.
    /// @return the new mesh, whose buffers the caller generates; null when
    ///         nothing changed (no such child, a mesh the model does not own,
    ///         a tile size that is not a positive number, or no triangle).
    static Mesh* Split(Model& model, GroupNode& ground, MeshNode& meshNode, float tileSize);

    /// Adds beside every tile of `ground` that draws from `tiles` (as Split
    /// made them) a copy with fewer triangles: its materials simplified as
    /// one surface within `errorM` metres with the tile's border kept, so
    /// that neighbours still meet, each new triangle taking the material
    /// under its centre. The copy has the tile's box and draws from new
    /// geometries of `tiles`, whose buffers the caller generates. A copy is
    /// drawn in the tile's place only where the caller says so (culled flag).
    /// @return the pairs; none for an error that is not a positive number.
    static std::vector<CoarseCopy> AddCoarseCopies(GroupNode& ground, Mesh& tiles, float errorM);
};
