#include "RaceView.h"

#include <algorithm>
#include <cmath>

double RaceView::FieldOfViewDeg(double verticalDeg) const {
    if (rect.IsEmpty()) return verticalDeg;
    const double aspect = static_cast<double>(rect.width) / rect.height;
    const double windowAspect = 4.0 / 3.0;
    // At 4:3 and narrower the view is the window's; wider, the sideways field
    // stays and the vertical one shrinks, but never below half of it.
    if (aspect <= windowAspect) return verticalDeg;
    const double halfRad = verticalDeg * 3.14159265358979323846 / 360.0;
    const double sideways = std::atan(std::tan(halfRad) * windowAspect);
    const double vertical = std::atan(std::tan(sideways) / aspect) * 360.0 / 3.14159265358979323846;
    return std::max(vertical, verticalDeg * 0.5);
}

float RaceView::HudScale() const {
    if (rect.IsEmpty()) return 1.0f;
    // A third more than the view's share: the dials stay readable in a quarter.
    const float share = std::min(static_cast<float>(rect.width) / 1024.0f, static_cast<float>(rect.height) / 768.0f);
    return std::clamp(share * 1.3f, 0.5f, 1.0f);
}
