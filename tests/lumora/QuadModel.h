#pragma once
#include <string>

class Model;

/// A model of one quad from (-1, -1, 0) to (1, 1, 0) facing +z: two
/// triangles over four shared vertices, normals and texture coordinates, a
/// white material with one texture of `imageFile`, and the node tree
/// ModelNode -> MeshNode -> StateNode(material) -> DrawableNode(geometry).
/// Ownership to the caller.
Model* MakeQuadModel(const std::string& imageFile);
