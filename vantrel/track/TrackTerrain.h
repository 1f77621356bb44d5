#pragma once
// A track's ground as the physics world needs it, read without a window.
#include <string>
#include <vector>

#include <vmath/vec3.h>

class ModelPlugin;

namespace physics {
class World;
}

/// The triangles of a track model's "Terrain-mesh" node and the frame of its
/// "Terrain" node (identity without one), read through the model plug-in and
/// kept as plain arrays: the model itself is let go at once. The same
/// arrays go into as many worlds as wanted, as the race's scene puts the
/// terrain into its world.
class TrackTerrain {
public:
    /// Reads `modelFile` through `plugin`.
    /// @param problem set to why, as a player reads it, when false is returned
    bool Load(ModelPlugin& plugin, const std::string& modelFile, std::string& problem);
    bool IsLoaded() const { return !indices.empty(); }
    /// Adds the terrain to `world` as a static mesh.
    /// @return false when nothing is loaded or the world refuses it
    bool AddTo(physics::World& world) const;
    std::size_t GetTriangleCount() const { return indices.size() / 3; }

private:
    std::vector<vmath::vec3<float>> vertices;
    std::vector<unsigned int> indices;
    float matrixGL[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
