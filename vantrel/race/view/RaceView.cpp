#include "RaceView.h"

#include <algorithm>
#include <cmath>

namespace {
const double Pi = 3.14159265358979323846;
// The widest a view sees from side to side (degrees), as the options allow.
const double MaxSidewaysDeg = 100.0;
}  // namespace

double RaceView::FieldOfViewDeg(double verticalDeg) const {
    if (rect.IsEmpty()) return verticalDeg;
    // The height seen stays, so the car stands where it does in a whole
    // window; a wide view gains at the sides, up to a limit.
    const double aspect = static_cast<double>(rect.width) / rect.height;
    const double widest = 2.0 * std::atan(std::tan(MaxSidewaysDeg * Pi / 360.0) / aspect) * 180.0 / Pi;
    return std::min(verticalDeg, widest);
}

float RaceView::HudScale() const {
    if (rect.IsEmpty()) return 1.0f;
    // A third more than the view's share: the dials stay readable in a quarter.
    const float share = std::min(static_cast<float>(rect.width) / 1024.0f, static_cast<float>(rect.height) / 768.0f);
    return std::clamp(share * 1.3f, 0.5f, 1.0f);
}
