#pragma once
#include <array>
#include <vector>

#include <vmath/vec2.h>
#include <vmath/vec3.h>

#include "track/Track.h"

class RoadCentreLine;

namespace physics {
class DynamicObjectCar;
}

/// Another car on the map: a round dot in its paint.
struct MapDot {
    vmath::vec3<float> position;  ///< world (m)
    vmath::vec3<float> colour;    ///< 0 ... 1
    bool hollow = false;          ///< a ring instead: a car that is not really there (a ghost)
};

/// The race's map in the top right corner of the HUD: the road's outline,
/// north (+y) up, the car as a triangle pointing its way and the next
/// checkpoint as a square. The layout is plain arithmetic, so it is
/// computed apart from the drawing.
class Minimap {
public:
    /// The largest the road's outline is drawn (pixels); the map keeps the
    /// road's proportions inside this.
    static constexpr float MaxWidthPx = 200.0f;
    static constexpr float MaxHeightPx = 240.0f;
    static constexpr float MarginPx = 20.0f;   ///< from the window's edges
    static constexpr float PaddingPx = 10.0f;  ///< round the outline, inside the panel
    /// Every this many metres of road a point of the outline.
    static constexpr double OutlineStepM = 25.0;

    /// Takes the road's outline and extents (copied); an empty road leaves
    /// no map to draw.
    void SetRoad(const RoadCentreLine& road);
    /// Puts the map into the top right corner of a window `width` x `height` pixels.
    void Layout(float width, float height);

    bool IsEmpty() const { return outline.empty(); }
    /// Window pixel (origin bottom left) of the ground point (x, y) (m).
    vmath::vec2<float> Project(float x, float y) const;
    /// The car's triangle in window pixels: its tip ahead along `forward`
    /// (world, only x and y count), then the rear corners.
    std::array<vmath::vec2<float>, 3> CarMarker(const vmath::vec3<float>& position,
                                                const vmath::vec3<float>& forward) const;
    /// The panel's lower left and upper right corners in window pixels.
    vmath::vec2<float> GetPanelMin() const { return panelMin; }
    vmath::vec2<float> GetPanelMax() const { return panelMax; }

    /// Lays the map out for a window `width` x `height` pixels and draws the
    /// panel, the outline, `checkpoint` when given, the `others` and `car`, in the caller's
    /// window-pixel projection; fixed-function GL, every state it changes
    /// given back. Nothing without a road.
    void Draw(float width, float height, const physics::DynamicObjectCar& car, const Track::Checkpoint* checkpoint,
              const std::vector<MapDot>& others = {});
    /// The same for a car at `position` heading along `forward` (world): a
    /// car posed without its body, as in a replay.
    void Draw(float width, float height, const vmath::vec3<float>& position, const vmath::vec3<float>& forward,
              const Track::Checkpoint* checkpoint, const std::vector<MapDot>& others = {});

private:
    std::vector<vmath::vec2<float>> outline;  ///< ground points (m)
    vmath::vec2<float> worldMin{0.0f, 0.0f};
    float scale = 1.0f;  ///< pixels per metre
    vmath::vec2<float> panelMin{0.0f, 0.0f}, panelMax{0.0f, 0.0f};
    vmath::vec2<float> roadSize{0.0f, 0.0f};  ///< extents of the road (m)
};
