#include "QualityPreset.h"

#include <algorithm>
#include <cctype>

#include <lumora/OglEffectPass.h>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

QualityPreset::Level QualityPreset::ForRenderer(const std::string& glRenderer) {
    const std::string name = Lower(glRenderer);
    for (const char* software : {"llvmpipe", "softpipe", "swrast"})
        if (name.find(software) != std::string::npos) return Low;
    return High;
}

QualityPreset::Settings QualityPreset::For(Level level) {
    Settings settings;  // High: the game's full look
    switch (level) {
    case Medium:
        // The per-pixel look and the shadow map on half the pixels, without
        // reflections (a second pass over the car and a cube face a frame),
        // and the far hills coarse. The race's ground is lit per vertex: under
        // one far light its big triangles look the same either way (a mean
        // difference under one level of 255 in the race's picture), and per
        // pixel it cost a quarter of the frame.
        settings.perPixelTrack = false;
        // The player's car from its near look: a software rasteriser pays
        // per triangle too, and the full car's 17,000 cost a sixth of the
        // race's frame.
        settings.nearCarLook = true;
        settings.shadowMapSize = 1024;
        settings.environmentMapSize = 128;
        settings.reflections = false;
        settings.drawDistanceM = 1000.0f;
        // Beyond the draw distance the woods end; the hills stay, coarse
        // within a few metres (a few pixels from a kilometre off).
        settings.coarseFarScenery = false;
        settings.coarseBeyondM = 0.0f;
        settings.coarseErrorM = 4.0f;
        settings.renderScale = 0.7f;
        break;
    case Low:
        // A software rasteriser pays per pixel and per vertex: lighting per
        // vertex, no shadow map and no reflections, the far scenery and
        // ground left out (the far hills alone cost a tenth of the frame),
        // a quarter of the pixels in the 3-D view, and the cars from their
        // simplified looks (the full car alone, 17k triangles lit per
        // vertex, cost about a sixth of the frame).
        settings.shadowMapSize = 512;
        settings.environmentMapSize = 64;
        settings.shadows = false;
        settings.reflections = false;
        settings.perPixelTrack = false;
        settings.perPixelCar = false;
        settings.drawDistanceM = 800.0f;
        settings.coarseFarGround = false;
        settings.coarseFarScenery = false;
        settings.renderScale = 0.5f;
        settings.carDetailDistanceScale = 0.1f;
        settings.nearCarLook = true;
        // With the view 800 m deep, a 1 km square drew thousands of triangles
        // behind the camera whenever one corner showed.
        settings.groundTileM = 250.0f;
        break;
    case High: break;
    }
    return settings;
}

bool QualityPreset::Apply(Level level, OglEffectPass& pass, const Perspective& lightProjection) {
    const Settings settings = For(level);
    pass.SetReflections(settings.reflections);
    pass.SetShadows(settings.shadows);
    pass.SetMinReflectionPixels(settings.minReflectionPixels);
    pass.SetShadowMapTolerance(settings.shadowMapToleranceM);
    pass.SetEnvironmentMapTolerance(settings.environmentMapToleranceM);
    pass.SetStandInDistance(settings.coarseReflectedBeyondM);
    const bool resized = pass.GetShadowMapSize() != settings.shadowMapSize ||
                         pass.GetEnvironmentMapSize() != settings.environmentMapSize;
    pass.SetShadowMapSize(settings.shadowMapSize);
    pass.SetEnvironmentMapSize(settings.environmentMapSize);
    // Before the pass's own Initialize there are no maps to make anew yet.
    const bool initialized = pass.GetShadowMap() != 0 || pass.GetEnvironmentMap() != 0;
    return resized && initialized ? pass.Initialize(lightProjection) : true;
}

const char* QualityPreset::Name(Level level) {
    switch (level) {
    case Low: return "Low";
    case Medium: return "Medium";
    case High: break;
    }
    return "High";
}

const char* QualityPreset::Key(Level level) {
    switch (level) {
    case Low: return "low";
    case Medium: return "medium";
    case High: break;
    }
    return "high";
}

std::optional<QualityPreset::Level> QualityPreset::FromKey(const std::string& key) {
    const std::string name = Lower(key);
    for (Level level : {Low, Medium, High})
        if (name == Key(level)) return level;
    return std::nullopt;
}

QualityPreset::Level QualityPreset::Next(Level level) {
    switch (level) {
    case High: return Medium;
    case Medium: return Low;
    case Low: break;
    }
    return High;
}
