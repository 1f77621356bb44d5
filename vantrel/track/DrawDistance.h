#pragma once
#include <vector>

#include "CoarseCopy.h"

class Lumora;

/// Leaves out of the next frame what lies far ahead: the camera's cull
/// traversal runs once with the far plane pulled in to a distance, so every
/// group whose bounding box lies wholly beyond it (or outside the view) is
/// marked culled, a ground tile or a wood at a time. The sky and the other
/// unbounded groups are never culled; the projection the frame is drawn with
/// keeps its far plane.
class DrawDistance {
public:
    /// Culls `engine`'s scene for a view reaching `distanceM` ahead; at a
    /// distance of 0 (no limit) the view reaches its own far plane. Of each
    /// pair in `copies`, the coarse copy is drawn in place of the fine group
    /// where the frame's own view holds the group but it lies wholly beyond
    /// `coarseBeyondM` (0: beyond the draw distance), and left out otherwise,
    /// so the far hills stay on the horizon. Needs the GL context current
    /// and the game's perspective projection in GL_PROJECTION, which it
    /// gives back as it was; leaves GL_MODELVIEW selected.
    static void Cull(Lumora& engine, float distanceM, const std::vector<CoarseCopy>& copies = {},
                     float coarseBeyondM = 0.0f);
};
