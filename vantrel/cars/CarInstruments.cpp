// The car's dials and gear line, drawn with GL: kept apart from Car.cpp so
// that a car without a window (the server's, a headless client's) links no GL.
#include <cstdio>

#include <GL/glew.h>

#include <lumora/Lumora.h>

#include "Car.h"
#include "hud/Gauge.h"
#include "physics/DynamicObjectCar.h"

void Car::DrawInstruments(Lumora& engine, float viewportWidth) {
    DrawInstruments(engine, viewportWidth, body ? body->GetCurrentGear() : 0);
}

void Car::DrawInstruments(Lumora& engine, float viewportWidth, int gear) {
    const float w = viewportWidth;
    glColor4f(0.2f, 0.2f, 0.2f, 0.6f);
    glBegin(GL_TRIANGLES);
    glVertex3f(w - 470.0f, 0.0f, -0.8f);
    glVertex3f(w, 0.0f, -0.8f);
    glVertex3f(w, 140.0f, -0.8f);
    glEnd();
    if (speedGauge) {
        speedGauge->SetPosition(w - 285.0f, 90.0f);
        speedGauge->Draw();
    }
    if (rpmGauge) {
        rpmGauge->SetPosition(w - 110.0f, 140.0f);
        rpmGauge->Draw();
    }
    if (gearFont && engine.GetRenderer()) {
        char line[32];
        std::snprintf(line, sizeof line, "Gear: %s", GearLabel(gear).c_str());
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
        engine.GetRenderer()->GetFontManager().Print(*gearFont, w - 145.0f, 25.0f, line);
        // Left of the dials, in the dial's unit.
        std::snprintf(line, sizeof line, "%.0f %s", shownSpeedMs * SpeedPerMs(speedUnit), SpeedUnitName(speedUnit));
        engine.GetRenderer()->GetFontManager().Print(*gearFont, w - 490.0f, 25.0f, line);
    }
}
