#pragma once
#include <nodara/GroupNode.h>

class Mesh;

/// The group of one mesh. It draws nothing itself: the mesh's geometry hangs
/// below it in drawable nodes. Its box is a copy of the mesh's box taken at
/// construction.
class MeshNode : public GroupNode {
public:
    explicit MeshNode(Mesh& mesh);

    NodeType GetType() const override { return MESH_NODE; }
    const Mesh& GetMesh() const { return *mesh; }

private:
    Mesh* mesh;
};
