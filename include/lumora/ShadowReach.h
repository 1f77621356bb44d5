#pragma once
#include <vector>

#include <nodara/BoundingBox.h>
#include "vmath/mat4.h"
#include "vmath/vec3.h"
#include "vmath/vec4.h"

/// Where in a view a moving body and the shadow it casts can show: the
/// rectangle a frame redraws over a kept picture of everything else (drawn
/// without the body). A software rasteriser pays for every pixel it lights;
/// with the room standing still, only the part the body's shadow can reach
/// needs it again.
///
/// The shadow lies in the map's frustum behind the body: within the body's
/// rectangle on the map, widened by what the map's filter reaches, and no
/// nearer the light than the body's nearest corner. Points beyond the map's
/// far plane are lit whatever the map holds. The receivers' boxes, when given,
/// bound it further; the view's frustum clips it. All matrices are vmath's
/// (row-major, column vectors).
class ShadowReach {
public:
    /// `cameraClip` takes the world into the view's clip space.
    explicit ShadowReach(const vmath::mat4<float>& cameraClip) : cameraClip(cameraClip) {}

    /// A shadow map whose `lightClip` takes the world into the light's clip
    /// space, `texels` across, filtered `filterTexels` around each lookup.
    /// Without one only the body itself is reached.
    void SetShadowMap(const vmath::mat4<float>& lightClip, unsigned texels, float filterTexels = 2.0f);
    /// The body's box under its world matrix `model`; called again for each
    /// pose the frame may show (where the map drew it and where it is now).
    void AddBody(const BoundingBox& box, const vmath::mat4<float>& model);
    /// Something the shadow can fall on, its box under `model`. Without any,
    /// only the map's far plane ends the shadow.
    void AddReceiver(const BoundingBox& box, const vmath::mat4<float>& model);

    /// The rectangle of a `width` x `height` viewport (x, y, width, height,
    /// from its lower left, a pixel wider on every side than the projection)
    /// that holds every pixel the body or its shadow covers; an empty one
    /// when neither shows.
    /// @return false, `rect` the whole viewport, when no bound is known: no
    ///         body, or a corner of it level with or behind the light
    bool Region(int width, int height, int rect[4]) const;
    /// The window depth (0 at the view's near plane, 1 at its far plane) of
    /// the farthest point the shadow can fall on: what lies beyond it in the
    /// view is out of the shadow's reach. 1 when no bound is known; 0 when
    /// the shadow lies outside the view or there is no shadow map.
    double FarthestShadowDepth() const;

private:
    using Point = vmath::vec3<double>;
    /// Adds the corners of the shadow's reach within the view (and the
    /// receivers' boxes); false when the projection folds over.
    bool AddShadowCorners(double tolerance, std::vector<Point>& corners) const;
    /// How far apart two corners may be and still be one: grows with the scene's coordinates.
    double Tolerance() const;

    vmath::mat4<float> cameraClip;
    vmath::mat4<float> lightClip = vmath::mat4<float>::identity();
    unsigned mapTexels = 0;
    float filterTexels = 0.0f;
    std::vector<vmath::vec3<float>> bodyCorners;      ///< world space
    std::vector<vmath::vec3<float>> receiverCorners;  ///< world space
};
