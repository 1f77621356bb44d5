#include "WrongWay.h"

#include <GL/glew.h>

#include "track/RoadCentreLine.h"

void WrongWay::Update(const RoadCentreLine& road, const vmath::vec3<float>& position,
                      const vmath::vec3<float>& velocityMs, float dtS) {
    if (road.IsEmpty()) return;
    const vmath::vec2<double> along = road.Tangent(road.Project(position.x, position.y));
    const double speedAlong = velocityMs.x * along.x + velocityMs.y * along.y;
    if (speedAlong < -MinSpeedMs) {
        againstS += dtS;
        if (againstS >= DelayS) showing = true;
    } else {
        againstS = 0.0f;
        if (speedAlong > MinSpeedMs) showing = false;
    }
}

void WrongWay::Reset() {
    againstS = 0.0f;
    showing = false;
}

void WrongWay::Draw(Renderer::FontManager& fonts, Font& font, float width, float height) const {
    if (!showing) return;
    // The countdown's colour and height; about 300 pixels wide in the large font.
    glColor4f(1.0f, 0.8f, 0.0f, 1.0f);
    fonts.Print(font, width / 2 - 150.0f, height / 2 + 100.0f, "Wrong way");
}
