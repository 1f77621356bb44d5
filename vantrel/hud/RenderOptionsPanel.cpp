#include "RenderOptionsPanel.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <GL/glew.h>

#include <lumora/OglStateManager.h>
#include <nodara/Renderer.h>
#include <nodara/StateManager.h>

#include "FrameStatistics.h"
#include "platform/WindowMessage.h"

namespace {

// Names of the renderer's settings by value, for the messages and the panel.
const char* const RenderModeNames[] = {"VertexBufferObjects", "Immediate", "DisplayLists"};
const char* const PolygonModeNames[] = {"Fill", "Wireframe"};
const char* const TextureFilterNames[] = {"Nearest", "Nearest Bilinear", "Nearest Trilinear",
                                          "Linear",  "Bilinear",         "Trilinear"};
const char* const AnisotropicFilterNames[] = {"Off", "2x", "4x", "8x", "16x"};

template <std::size_t N>
const char* NameOf(const char* const (&names)[N], int value) {
    return value >= 0 && static_cast<std::size_t>(value) < N ? names[value] : "?";
}

}  // namespace

void RenderOptionsPanel::SetMessage(const std::string& text) {
    message = text.substr(0, MaxMessageLength);
    messageAge = 0.0f;
}

void RenderOptionsPanel::Step(float dtS) {
    if (dtS > 0.0f) messageAge += dtS;
}

bool RenderOptionsPanel::OnKey(Renderer& renderer, unsigned key) {
    if (key < VK_F1 || key > VK_F1 + 8) return false;
    StateManager& states = renderer.GetStateManager();
    switch (key - VK_F1 + 1) {
    case 1:
        shown = !shown;
        messageAge = MessageS;
        break;
    case 3: {
        const int mode = (renderer.GetPolygonMode() + 1) % 2;
        renderer.SetPolygonMode(static_cast<Renderer::PolygonMode>(mode));
        SetMessage(std::string("PolygonMode: ") + NameOf(PolygonModeNames, mode));
        break;
    }
    case 4: {
        const int filter = (states.GetTextureFilter() + 1) % 6;
        states.SetTextureFilter(static_cast<StateManager::TextureFilter>(filter));
        SetMessage(std::string("Texture filtering: ") + NameOf(TextureFilterNames, filter));
        break;
    }
    case 5: {
        const int filter = (states.GetAnisotropicFilter() + 1) % 5;
        states.SetAnisotropicFilter(static_cast<StateManager::AnisotropicFilter>(filter));
        SetMessage(std::string("Anisotropic filtering: ") + NameOf(AnisotropicFilterNames, filter));
        break;
    }
    case 6: {
        const int mode = (renderer.GetRenderMode() + 1) % 3;
        renderer.SetRenderMode(static_cast<Renderer::RenderMode>(mode));
        SetMessage(std::string("RenderMode: ") + NameOf(RenderModeNames, mode));
        break;
    }
    case 9: {
        const bool transparency = !renderer.GetRenderTransparency();
        renderer.SetRenderTransparency(transparency);
        SetMessage(transparency ? "Render Transparencies: On" : "Render Transparencies: Off");
        break;
    }
    default: break;  // F2, F7 and F8 are free
    }
    return true;
}

void RenderOptionsPanel::Draw(Renderer& renderer, Font& font, const FrameStatistics& frames,
                              QualityPreset::Level quality, float w, float h) const {
    Renderer::FontManager& fonts = renderer.GetFontManager();
    if (messageAge < MessageS) {
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f - messageAge / MessageS);
        fonts.Print(font, 50.0f, 50.0f, message);
    }
    if (!shown) return;
    glColor4f(0.2f, 0.2f, 0.8f, 0.6f);
    glBegin(GL_QUADS);
    glVertex3f(50.0f, 400.0f, -0.5f);
    glVertex3f(w - 50.0f, 400.0f, -0.5f);
    glVertex3f(w - 50.0f, h - 50.0f, -0.5f);
    glVertex3f(50.0f, h - 50.0f, -0.5f);
    glEnd();
    frames.DrawFrameRateLine(h);
    StateManager& states = renderer.GetStateManager();
    char line[128];
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    std::snprintf(line, sizeof line, "RenderMode: %s [F6]", NameOf(RenderModeNames, renderer.GetRenderMode()));
    fonts.Print(font, 70, h - 100, line);
    std::snprintf(line, sizeof line, "PolygonMode: %s [F3]", NameOf(PolygonModeNames, renderer.GetPolygonMode()));
    fonts.Print(font, 70, h - 120, line);
    std::snprintf(line, sizeof line, "Texture filtering: %s [F4]",
                  NameOf(TextureFilterNames, states.GetTextureFilter()));
    fonts.Print(font, 70, h - 140, line);
    // The degree in force: the renderer may take less than the setting asks.
    const int filter = states.GetAnisotropicFilter();
    const int filterCount = static_cast<int>(std::size(OglStateManager::AnisotropicFilters));
    int degree = filter >= 0 && filter < filterCount ? OglStateManager::AnisotropicFilters[filter] : 1;
    if (auto* oglStates = dynamic_cast<OglStateManager*>(&states))
        degree = std::min(degree, std::max(1, oglStates->SupportedAnisotropy()));
    if (degree > 1)
        std::snprintf(line, sizeof line, "Anisotropic filtering: %dx [F5]", degree);
    else
        std::snprintf(line, sizeof line, "Anisotropic filtering: Off [F5]");
    fonts.Print(font, 70, h - 160, line);
    fonts.Print(font, 70, h - 180,
                renderer.GetRenderTransparency() ? "Render Transparencies: On [F9]" : "Render Transparencies: Off [F9]");
    std::snprintf(line, sizeof line, "Graphics: %s (in the show room)", QualityPreset::Name(quality));
    fonts.Print(font, 70, h - 200, line);
}
