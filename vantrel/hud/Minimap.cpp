#include "Minimap.h"

#include <algorithm>
#include <cmath>

#include <GL/glew.h>

#include "track/RoadCentreLine.h"
#include "physics/DynamicObjectCar.h"

void Minimap::SetRoad(const RoadCentreLine& road) {
    outline.clear();
    if (road.IsEmpty()) return;
    for (double s = 0.0; s < road.GetLength(); s += OutlineStepM) {
        const RoadCentreLine::Point p = road.At(s);
        outline.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    const vmath::vec2<double> low = road.GetMin(), high = road.GetMax();
    worldMin = vmath::vec2<float>(static_cast<float>(low.x), static_cast<float>(low.y));
    // A road along one axis has no extent across it: keep a metre.
    roadSize = vmath::vec2<float>(std::max(1.0f, static_cast<float>(high.x - low.x)),
                                  std::max(1.0f, static_cast<float>(high.y - low.y)));
}

void Minimap::Layout(float width, float height) {
    scale = std::min(MaxWidthPx / roadSize.x, MaxHeightPx / roadSize.y);
    panelMax = vmath::vec2<float>(width - MarginPx, height - MarginPx);
    panelMin = vmath::vec2<float>(panelMax.x - roadSize.x * scale - 2.0f * PaddingPx,
                                  panelMax.y - roadSize.y * scale - 2.0f * PaddingPx);
}

vmath::vec2<float> Minimap::Project(float x, float y) const {
    return vmath::vec2<float>(panelMin.x + PaddingPx + (x - worldMin.x) * scale,
                              panelMin.y + PaddingPx + (y - worldMin.y) * scale);
}

std::array<vmath::vec2<float>, 3> Minimap::CarMarker(const vmath::vec3<float>& position,
                                                     const vmath::vec3<float>& forward) const {
    const float length = std::hypot(forward.x, forward.y);
    // A car on its nose or tail has no heading on the ground: point north.
    const float fx = length > 1.0e-3f ? forward.x / length : 0.0f, fy = length > 1.0e-3f ? forward.y / length : 1.0f;
    const vmath::vec2<float> c = Project(position.x, position.y);
    const float ahead = 8.0f, behind = 5.0f, half = 5.0f;  // pixels
    return {vmath::vec2<float>(c.x + fx * ahead, c.y + fy * ahead),
            vmath::vec2<float>(c.x - fx * behind - fy * half, c.y - fy * behind + fx * half),
            vmath::vec2<float>(c.x - fx * behind + fy * half, c.y - fy * behind - fx * half)};
}

void Minimap::Draw(float width, float height, const physics::DynamicObjectCar& car,
                   const Track::Checkpoint* checkpoint, const std::vector<MapDot>& others) {
    Draw(width, height, car.GetPosition(), car.GetAxis(1), checkpoint, others);
}

void Minimap::Draw(float width, float height, const vmath::vec3<float>& position, const vmath::vec3<float>& forward,
                   const Track::Checkpoint* checkpoint, const std::vector<MapDot>& others) {
    if (outline.empty()) return;
    Layout(width, height);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // The instruments' translucent grey under the map.
    glColor4f(0.2f, 0.2f, 0.2f, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(panelMin.x, panelMin.y);
    glVertex2f(panelMax.x, panelMin.y);
    glVertex2f(panelMax.x, panelMax.y);
    glVertex2f(panelMin.x, panelMax.y);
    glEnd();

    glLineWidth(2.0f);
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    glBegin(GL_LINE_LOOP);
    for (const vmath::vec2<float>& p : outline) {
        const vmath::vec2<float> q = Project(p.x, p.y);
        glVertex2f(q.x, q.y);
    }
    glEnd();

    if (checkpoint) {
        // The checkpoint line's yellow.
        const vmath::vec2<float> c = Project(checkpoint->x, checkpoint->y);
        const float half = 4.0f;
        glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
        glBegin(GL_QUADS);
        glVertex2f(c.x - half, c.y - half);
        glVertex2f(c.x + half, c.y - half);
        glVertex2f(c.x + half, c.y + half);
        glVertex2f(c.x - half, c.y + half);
        glEnd();
    }

    // Round dots under the player's marker, which stays on top.
    glEnable(GL_POINT_SMOOTH);
    glPointSize(7.0f);
    glBegin(GL_POINTS);
    for (const MapDot& dot : others) {
        if (dot.hollow) continue;
        const vmath::vec2<float> p = Project(dot.position.x, dot.position.y);
        glColor4f(dot.colour.x, dot.colour.y, dot.colour.z, 1.0f);
        glVertex2f(p.x, p.y);
    }
    glEnd();
    // A ring as wide as the dots, for a car that is not really there.
    for (const MapDot& dot : others) {
        if (!dot.hollow) continue;
        const vmath::vec2<float> p = Project(dot.position.x, dot.position.y);
        glColor4f(dot.colour.x, dot.colour.y, dot.colour.z, 1.0f);
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < 12; ++i) {
            const float angle = 0.5235988f * static_cast<float>(i);
            glVertex2f(p.x + 4.0f * std::cos(angle), p.y + 4.0f * std::sin(angle));
        }
        glEnd();
    }

    // The dials' needle red.
    const std::array<vmath::vec2<float>, 3> marker = CarMarker(position, forward);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    for (const vmath::vec2<float>& p : marker) glVertex2f(p.x, p.y);
    glEnd();
    glPopAttrib();
}
