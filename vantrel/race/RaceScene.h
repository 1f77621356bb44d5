#pragma once
#include <string>

#include "graphics/QualityPreset.h"
#include "track/TrackDescription.h"

class Lumora;
class Model;
class OglEffectPass;
struct Car;
struct Track;

namespace physics {
class World;
}

/// What a race draws, loaded into its engine: the sky dome, the track with
/// its ground cut into tiles and its scenery merged into batches (with
/// coarse copies far off, as the preset asks), the track's light, and the
/// effect pass that lights, shadows and reflects the cars. The terrain goes
/// into the physics world as it loads.
class RaceScene {
public:
    /// The light hangs high above the track's middle and sees all of it.
    static const class Perspective LightProjection;

    /// Loads into `engine` at `quality`; the engine must outlive the scene.
    RaceScene(Lumora& engine, QualityPreset::Level quality) : engine(engine), quality(quality) {}

    /// The sky and the track of `description` driven as `track` holds it
    /// (its road and checkpoints already set): the model, the terrain's
    /// frame, the terrain into `world`, the ground tiles and scenery batches.
    /// @return empty on success, else why the track cannot be raced, as the
    ///         player reads it ("its model has no terrain")
    std::string Load(const TrackDescription& description, Track& track, physics::World& world);
    /// The track's light, looking at the middle of its road.
    void Light(const TrackDescription& description, const Track& track);
    /// The effect pass over the sky, the track and `car`, at the preset;
    /// nothing on a renderer other than OpenGL's.
    /// @return false when it does not initialise
    bool AddEffects(const Track& track, Car& car);
    /// A further car lit, shadowed and reflected as the first.
    void AddCar(Car& car);

    Model* GetSkyDome() const { return skyDome; }
    OglEffectPass* GetEffectPass() const { return effectPass; }

private:
    Lumora& engine;
    QualityPreset::Level quality;
    Model* skyDome = nullptr;            ///< owned by the engine
    OglEffectPass* effectPass = nullptr;  ///< owned by the engine once added
};
