#pragma once
// How much of the effects the machine can afford. A software rasteriser
// draws the full effect pass at a few frames a second, so the game starts
// there with the cheapest preset and the player may ask for more.
#include <optional>
#include <string>

class OglEffectPass;
class Perspective;

/// The graphics presets and what each one sets.
class QualityPreset {
public:
    enum Level { Low = 0, Medium = 1, High = 2 };

    /// What a preset asks of the effect pass, the show room and the race.
    struct Settings {
        unsigned shadowMapSize = 2048;      ///< texels a side
        /// Texels a side of each cube face. The car is a few hundred pixels
        /// on screen and its curved body spreads the whole cube over them:
        /// 256 shows what 512 did at a quarter of the face's pixels.
        unsigned environmentMapSize = 256;
        /// Whether the show room draws its shadow map; otherwise its room and
        /// car are lit per vertex and a dark patch lies under the car.
        bool shadows = true;
        /// Whether the environment map is drawn and reflected by the cars.
        bool reflections = true;
        /// A car whose box covers fewer pixels than this on screen (a far
        /// opponent) is not reflected; its reflection would be a few pixels.
        unsigned minReflectionPixels = 1024;
        /// The show room's shadow map is drawn again only once its light or a
        /// corner of a caster's box moved this far (m) since the last one: the
        /// turntable turns a car's corners about 1.7 cm a frame at 30 fps.
        float shadowMapToleranceM = 0.02f;
        /// The environment map's faces are drawn again only once the car or
        /// what they show moved this far (m): in the show room the car turns
        /// in place in a still room, and its map is drawn once.
        float environmentMapToleranceM = 0.02f;
        /// Whether the race's track is lit per pixel; otherwise by the
        /// fixed-function pipeline, per vertex.
        bool perPixelTrack = true;
        /// Whether the race's car is lit per pixel; otherwise per vertex.
        bool perPixelCar = true;
        /// Scenery and ground tiles wholly beyond this distance ahead (m), or
        /// outside the view, are not drawn in a race; 0: no limit, only what
        /// lies outside the view is left out.
        float drawDistanceM = 0.0f;
        /// Whether the ground far off is drawn from coarse copies of its
        /// tiles: beyond the draw distance, they keep the hills on the horizon.
        bool coarseFarGround = true;
        /// Whether the woods, fences and gates far off are drawn from coarse
        /// copies of their cells; without, they end at the draw distance.
        bool coarseFarScenery = true;
        /// Ground tiles and scenery cells wholly beyond this distance (m) are
        /// drawn from their coarse copies; 0: beyond the draw distance. A
        /// software rasteriser paid a fifth of High's view for the far woods'
        /// and hills' triangles, a few pixels each.
        float coarseBeyondM = 1500.0f;
        /// How far (m) a coarse copy may stray from what it stands for: seen
        /// from where copies take over, about a pixel of the view.
        float coarseErrorM = 3.0f;
        /// The environment map's faces draw the coarse copies of what lies
        /// wholly beyond this distance (m) from the car; nearer, the ground
        /// the car stands on is reflected as the view shows it.
        float coarseReflectedBeyondM = 300.0f;
        /// The side of the squares (m) the race's ground is cut into, each
        /// culled on its own: smaller squares leave out more of what lies
        /// behind or beside the view, larger ones cost fewer draws and,
        /// where the far ground is drawn coarse, simplify better.
        float groundTileM = 1000.0f;
        /// The distances at which the cars' simplified looks take over
        /// (CarLevelOfDetail) are scaled by this: at 0.1 the player's car
        /// behind the chase camera is drawn from its copy of about 2,000
        /// triangles, and every car beyond 15 m from the one of 500.
        float carDetailDistanceScale = 1.0f;
        /// Cars nearer than the middle distance (the player's behind the
        /// chase camera, the show room's on its stand) are drawn from their
        /// near look of about 8,000 triangles instead of at full detail.
        bool nearCarLook = false;
        /// The 3-D view is drawn at this fraction of the window's width and
        /// height and stretched over it; the HUD stays at full size. 1: drawn
        /// straight into the window.
        float renderScale = 1.0f;
    };

    /// High on a real GPU, Low on Mesa's software rasterisers ("llvmpipe",
    /// "softpipe", "swrast" anywhere in GL_RENDERER, in any case).
    static Level ForRenderer(const std::string& glRenderer);
    /// What `level` sets; High is the game's full look.
    static Settings For(Level level);
    /// Gives `pass` the map sizes, shadows and reflections of `level`: before the pass's
    /// Initialize, for it to make; after it, maps of another size are made
    /// anew at once (OglEffectPass::Initialize with `lightProjection`).
    /// @return false when that Initialize failed
    static bool Apply(Level level, OglEffectPass& pass, const Perspective& lightProjection);
    /// "High", "Medium", "Low": for the menu and the options panel.
    static const char* Name(Level level);
    /// "high", "medium", "low": in the settings file and on the command line.
    static const char* Key(Level level);
    /// The level whose Key is `key` (any case); none for anything else.
    static std::optional<Level> FromKey(const std::string& key);
    /// The menu's order: High, Medium, Low, High again.
    static Level Next(Level level);
};
