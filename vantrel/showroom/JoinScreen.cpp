#include "JoinScreen.h"

#include <algorithm>
#include <cstdio>

#include <GL/glew.h>

#include "input/EventHandler.h"
#include "input/KeySets.h"
#include "platform/WindowMessage.h"

void JoinScreen::Open(unsigned count, unsigned firstCar, unsigned cars) {
    players = std::clamp(count, 2u, 4u);
    carCount = std::max(1u, cars);
    places.clear();
    ready = false;
    open = true;
    // The first place waits for its player too: the device they press with is theirs.
    firstCarIndex = firstCar % carCount;
}

int JoinScreen::PlaceOf(const InputDevice& device) const {
    for (std::size_t i = 0; i < places.size(); ++i)
        if (places[i].device == device)
            return static_cast<int>(i);
    return -1;
}

bool JoinScreen::OnKey(const EventHandler& handler, const KeySets& keys, unsigned key) {
    if (!open) return false;
    if (key == VK_ESCAPE) {
        open = false;
        return true;
    }
    const InputDevice device = keys.DeviceOf(handler.GetPadSlot(), key);
    const KeyBindings& bindings = keys.For(device);
    const std::optional<KeyBindings::Action> action = bindings.ActionOf(key);
    const int place = PlaceOf(device);
    if (place < 0) {
        // Return or throttle takes the next free place.
        if ((key == VK_RETURN || action == KeyBindings::Throttle) && places.size() < players)
            places.push_back({device, places.empty() ? firstCarIndex : 0});
        return true;
    }
    Place& taken = places[static_cast<std::size_t>(place)];
    if (action == KeyBindings::SteerLeft) taken.carIndex = (taken.carIndex + carCount - 1) % carCount;
    if (action == KeyBindings::SteerRight) taken.carIndex = (taken.carIndex + 1) % carCount;
    if (key == VK_RETURN && places.size() == players) ready = true;
    return true;
}

std::vector<std::string> JoinScreen::Lines(const char* (*carName)(unsigned)) const {
    std::vector<std::string> lines;
    for (unsigned i = 0; i < players; ++i) {
        char line[128];
        if (i < places.size())
            std::snprintf(line, sizeof line, "Player %u  %s  %s", i + 1, places[i].device.Name().c_str(),
                          carName(places[i].carIndex));
        else
            std::snprintf(line, sizeof line, "Player %u: press Return or throttle", i + 1);
        lines.push_back(line);
    }
    lines.push_back(places.size() == players ? "Left / Right: car   Return: start   Escape: back"
                                             : "Left / Right: car   Escape: back");
    return lines;
}

void JoinScreen::Draw(Renderer::FontManager& fonts, Font& font, float w, float h,
                      const char* (*carName)(unsigned)) const {
    if (!open) return;
    const std::vector<std::string> lines = Lines(carName);
    const float top = h / 2 + 110, lineHeight = 36.0f;
    const float bottom = top - lineHeight * static_cast<float>(lines.size()) - 20;
    glColor4f(0.05f, 0.05f, 0.1f, 0.8f);
    glBegin(GL_QUADS);
    glVertex3f(w / 2 - 330, bottom, -0.5f);
    glVertex3f(w / 2 + 330, bottom, -0.5f);
    glVertex3f(w / 2 + 330, top + 20, -0.5f);
    glVertex3f(w / 2 - 330, top + 20, -0.5f);
    glEnd();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool taken = i < places.size() || i == lines.size() - 1;
        if (taken)
            glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
        else
            glColor4f(0.75f, 0.75f, 0.75f, 1.0f);
        fonts.Print(font, w / 2 - 310, top - lineHeight * static_cast<float>(i + 1), lines[i]);
    }
}
