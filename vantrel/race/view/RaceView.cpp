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
