#pragma once
#include <nodara/Renderer.h>
#include <vmath/vec3.h>

class Font;
class RoadCentreLine;

/// Tells a driver who goes the wrong way round: once the car has moved
/// against the race's direction along the road, faster than MinSpeedMs, for
/// DelayS without a break, "Wrong way" shows until it moves the race's way
/// faster than that. Slower motion breaks the count but keeps the sign.
class WrongWay {
public:
    static constexpr float MinSpeedMs = 2.0f;  ///< along the road (m/s)
    static constexpr float DelayS = 2.0f;

    /// One frame of `dtS` seconds of a car at `position` moving with
    /// `velocityMs` (world, m and m/s). Nothing on an empty road.
    void Update(const RoadCentreLine& road, const vmath::vec3<float>& position,
                const vmath::vec3<float>& velocityMs, float dtS);
    /// Forgets the count and hides the sign, as for a car just put on the road.
    void Reset();
    bool IsShowing() const { return showing; }

    /// "Wrong way" in `font`, centred over the middle of a window `width` x
    /// `height` pixels, in the caller's window-pixel projection; nothing
    /// while the sign is hidden.
    void Draw(Renderer::FontManager& fonts, Font& font, float width, float height) const;

private:
    float againstS = 0.0f;  ///< how long the car has gone the wrong way without a break (s)
    bool showing = false;
};
