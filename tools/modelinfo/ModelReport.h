#pragma once
#include <ostream>

class Model;

/// Writes what a modeller needs to check a loaded model to `out`: the node
/// tree, meshes with their geometry, materials with their textures, and the
/// images with whether each file can be read from the current directory.
/// Faults that would keep the game from drawing the model as meant (indices
/// out of range, index lists shorter than the vertex list, unreadable
/// images, ...) are written as "PROBLEM:" lines.
/// @return the number of problems found.
unsigned int WriteModelReport(const Model& model, std::ostream& out);
