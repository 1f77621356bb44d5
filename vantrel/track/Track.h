#pragma once
#include <vector>

#include <vmath/mat4.h>

#include "RoadCentreLine.h"
#include "CoarseCopy.h"

class Model;

/// The race's track as loaded: its model, the terrain's frame, the road's
/// centre line in the race's direction and the checkpoints of that
/// direction, from the track's description (TrackDescription).
struct Track {
    /// A gate on the ground plane (world coordinates, m) and the seconds it
    /// adds to the clock when it becomes the next one to reach.
    struct Checkpoint {
        float x = 0.0f;
        float y = 0.0f;
        float time = 0.0f;  ///< (s)
    };

    Model* model = nullptr;  ///< owned by the race's engine
    vmath::mat4<float> terrainMatrix = vmath::mat4<float>::identity();  ///< OpenGL order
    /// Ground tiles and scenery cells with their coarse copies, where the
    /// preset draws them coarse far off.
    std::vector<CoarseCopy> coarseCopies;
    RoadCentreLine road;  ///< empty when its file could not be read
    std::vector<Checkpoint> checkpoints;  ///< in the order they must be passed
};
