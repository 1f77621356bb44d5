#pragma once
#include <utility>
#include <vector>

/// A dial of the race's HUD: a textured face with a red needle. The needle's
/// angle follows a value through a linear calibration; values outside it
/// leave the needle where it was, as a real dial pinned at its stop.
class Gauge {
public:
    /// One calibration point: a value and the needle angle for it (degrees,
    /// anticlockwise from +x).
    using CalibrationPoint = std::pair<float, float>;

    /// @param texture GL texture of the dial's face, owned by the gauge; 0 for none
    /// @param scale size of the 100 x 100 pixel face and the 40 pixel needle
    /// @param calibration at least two points make the needle move; the first two are used
    Gauge(unsigned int texture, float scale, std::vector<CalibrationPoint> calibration);
    /// Deletes the texture; needs the GL context current when there is one.
    ~Gauge();
    Gauge(const Gauge&) = delete;
    Gauge& operator=(const Gauge&) = delete;

    /// Turns the needle to `value` when it lies within the first two
    /// calibration points; otherwise the needle keeps its angle.
    /// Inline: a car updates its dials where nothing is drawn too.
    void SetValue(float value) {
        if (calibration.size() < 2) return;
        const auto [lowValue, lowAngle] = calibration[0];
        const auto [highValue, highAngle] = calibration[1];
        // NOTE: a NaN fails both comparisons and also keeps the needle still.
        if (!(lowValue <= value && value <= highValue) || highValue == lowValue) return;
        needleAngle = lowAngle + (value - lowValue) / (highValue - lowValue) * (highAngle - lowAngle);
    }
    /// Draws the face and the needle centred at the position, in the caller's
    /// window-pixel projection. Leaves texture unit 3 active.
    void Draw() const;

    void SetPosition(float xPx, float yPx) {
        x = xPx;
        y = yPx;
    }
    float GetX() const { return x; }
    float GetY() const { return y; }
    float GetScale() const { return scale; }
    float GetNeedleAngle() const { return needleAngle; }
    unsigned int GetTexture() const { return texture; }

private:
    unsigned int texture = 0;
    float scale = 1.0f;
    float x = 0.0f, y = 0.0f;  ///< centre of the dial (px)
    std::vector<CalibrationPoint> calibration;
    float needleAngle = 0.0f;  ///< degrees
};
