#pragma once
// A car as the game reads it from its folder's car.ini: the files it is
// drawn from, its dials, its paint and every value its physics is tuned by.
#include <cstddef>
#include <string>
#include <vector>

#include <nodara/Logger.h>

#include "physics/CarTemplate.h"

/// One car's description, read from "<folder>/car.ini":
///
///     [car]
///     name = Nissan Skyline              as the players read it
///     model = NissanSkyline.dae          files relative to the folder
///     node = NissanSkyline               the car's group node in the model
///     paint = Paint-material Paint2-material   one or two body paints, first the main one
///     [dials]                            image, then value and degrees at both ends of the scale
///     rpm = gauges/rpm.png 0 215 9000 30
///     speed_kmh = gauges/tacho.png 0 215 320 -35
///     speed_mph = gauges/tacho-mph.png 0 215 200 -35
///     [body] [wheels] [suspension] [tyres] [brakes] [engine] [gearbox]
///                                        the physics (physics::CarTemplate; see the files)
///     [limits]                           what the game's drivers plan with, as measured
///     lateral_grip = 12.2                m/s^2, steady cornering on flat ground
///     braking = 11.6                     m/s^2, full brake from speed
///     top_speed = 77.8                   m/s, full throttle on the flat
///
/// Every field must be there and within its range; the files it names must
/// exist. The file is read as the player's files are (a regular file,
/// bounded, never waited on). A description that fails is refused with one
/// Warn line naming the file and the field, and the car is left out.
class CarDescription {
public:
    /// One HUD dial: its image and the needle's calibration, a straight line
    /// through two (value, angle) points.
    struct Dial {
        std::string imageFile;  ///< from the program's folder
        float lowValue = 0.0f, lowAngleDeg = 0.0f;
        float highValue = 1.0f, highAngleDeg = 0.0f;
    };
    /// The car's limits as the game's drivers plan with them.
    struct Limits {
        double lateralGripMs2 = 0.0;
        double brakingMs2 = 0.0;
        double topSpeedMs = 0.0;
    };

    static const char* const FileName;  ///< "car.ini"
    /// A larger description is refused: ours are a few kilobytes.
    static constexpr std::size_t MaxFileBytes = 64 * 1024;
    /// Characters of a name the show room and the tables show whole.
    static constexpr std::size_t MaxNameCharacters = 24;
    /// The most body paints a car has (a two-tone car has two).
    static constexpr std::size_t MaxPaints = 2;

    /// Reads "<folder>/car.ini". On failure the description is empty
    /// (IsLoaded false) and one Warn line says which file and field are wrong.
    bool Load(const std::string& folder);
    bool IsLoaded() const { return loaded; }

    /// The folder's own name: the car's key in the records and the ghosts'
    /// file names.
    const std::string& GetKey() const { return key; }
    const std::string& GetName() const { return name; }
    /// The description's path.
    const std::string& GetFile() const { return file; }
    /// The model's path from the program's folder.
    const std::string& GetModelFile() const { return modelFile; }
    const std::string& GetNodeName() const { return nodeName; }
    /// Material names of the body paint in the converted model, the main one first.
    const std::vector<std::string>& GetPaints() const { return paints; }
    const Dial& GetRpmDial() const { return rpmDial; }
    const Dial& GetSpeedDialKmh() const { return speedDialKmh; }
    const Dial& GetSpeedDialMph() const { return speedDialMph; }
    /// The physics of the car, ready for physics::World::CreateCar.
    const physics::CarTemplate& GetTemplate() const { return settings; }
    const Limits& GetLimits() const { return limits; }

private:
    bool Refuse(const std::string& field, const std::string& why);

    bool loaded = false;
    std::string key, name, file, modelFile, nodeName;
    std::vector<std::string> paints;
    Dial rpmDial, speedDialKmh, speedDialMph;
    physics::CarTemplate settings;
    Limits limits;

    static Logger logger;
};
