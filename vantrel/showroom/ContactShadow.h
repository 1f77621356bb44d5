#pragma once
#include <nodara/BoundingBox.h>
#include "vmath/mat4.h"

class GroupNode;
class Renderer;
class View;

/// A soft dark patch on the ground under a car: what stands for its shadow
/// where the preset draws no shadow map. It is drawn after the scene into the
/// scene's depth buffer, so whatever stands in front of it (the car's body and
/// wheels) keeps its colour and only the ground around the car darkens.
class ContactShadow {
public:
    /// The patch's extent in the car node's own frame, z up (m).
    struct Footprint {
        float minX = 0.0f, maxX = 0.0f, minY = 0.0f, maxY = 0.0f;
        float groundZ = 0.0f;  ///< where the wheels touch the ground
        bool IsEmpty() const { return !(maxX > minX && maxY > minY); }
    };

    /// The x-y extent of every mesh vertex below `car`, in the car node's
    /// frame, grown a little on each side as a shadow under a lit car is,
    /// and its lowest point as the ground; empty for a car without geometry.
    static Footprint FootprintOf(const GroupNode& car);
    /// The box of every mesh vertex below `car`, in the car node's frame;
    /// empty (its maximum below its minimum) for a car without geometry.
    static BoundingBox BoxOf(const GroupNode& car);

    /// Darkens the ground under a car placed by `carMatrix` (GL order), as
    /// `view` sees it with the projection now loaded. Leaves GL's state as it
    /// found it, the model-view matrix included. An empty footprint draws
    /// nothing.
    static void Draw(Renderer& renderer, const View& view, const vmath::mat4<float>& carMatrix,
                     const Footprint& footprint);

    /// How much of the light the patch takes away at its centre.
    static constexpr float Darkness = 0.6f;
};
