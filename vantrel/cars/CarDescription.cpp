#include "CarDescription.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>

#include "storage/AtomicFile.h"
#include "storage/DescriptionText.h"
#include "storage/IniFile.h"

const char* const CarDescription::FileName = "car.ini";

Logger CarDescription::logger("CarDescription");

namespace {

const float Gravity = 9.81f;

/// A single number of the description and where it goes.
struct Scalar {
    const char* section;
    const char* field;
    float min, max;  ///< the range it must lie in, ends included
    float* target;
};

/// Strut length and travel that put the box centre `restHeightM` above flat
/// ground under the car's own weight, so the model's wheels touch the road;
/// the wheel centre rises no higher than `highestWheelCentreZ`.
void FitSuspension(physics::CarTemplate& car, float upperPointZ, float restHeightM, float highestWheelCentreZ) {
    float sag = Gravity / (4.0f * car.suspensionStiffness);
    float wheelCentreAtRestZ = car.wheelRadiusM - restHeightM;
    car.suspensionRestLengthM = upperPointZ - wheelCentreAtRestZ + sag;
    car.suspensionTravelM = upperPointZ - highestWheelCentreZ < car.suspensionRestLengthM
                                ? car.suspensionRestLengthM - (upperPointZ - highestWheelCentreZ)
                                : 0.0f;
}

std::string Text(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

bool CarDescription::Refuse(const std::string& field, const std::string& why) {
    const std::string path = file;
    *this = CarDescription();
    file = path;
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream() << path << ": " << field << " " << why
                                                         << "; the car is left out";
    return false;
}

bool CarDescription::Load(const std::string& folder) {
    *this = CarDescription();
    const std::filesystem::path base(folder);
    file = (base / FileName).string();
    IniFile ini;
    std::string why;
    if (!DescriptionText::ReadFile(file, MaxFileBytes, ini, why)) return Refuse("the file", why);

    const auto where = [](const char* section, const char* field) {
        return std::string("[") + section + "] " + field;
    };
    // Each field in the file's order; the first one wrong is named.
    std::string value;
    const auto get = [&](const char* section, const char* field) {
        const std::optional<std::string> found = ini.Get(section, field);
        value = found ? *found : "";
        return !value.empty();
    };
    const auto existing = [&](const std::string& relative, std::string& path) {
        path = (base / relative).lexically_normal().string();
        std::error_code status;
        return std::filesystem::is_regular_file(path, status);
    };

    // [car]
    if (!get("car", "name")) return Refuse(where("car", "name"), "is missing");
    std::string shownName = value;
    if (DescriptionText::CutToCharacters(shownName, MaxNameCharacters))
        return Refuse(where("car", "name"), "is longer than " + std::to_string(MaxNameCharacters) + " characters");
    std::string model;
    if (!get("car", "model")) return Refuse(where("car", "model"), "is missing");
    if (!existing(value, model))
        return Refuse(where("car", "model"), "names \"" + value + "\", which is no file there");
    if (!get("car", "node")) return Refuse(where("car", "node"), "is missing");
    const std::string node = value;
    if (!get("car", "paint")) return Refuse(where("car", "paint"), "is missing");
    std::vector<std::string> paintNames;
    {
        std::istringstream words(value);
        for (std::string word; words >> word;) paintNames.push_back(word);
    }
    if (paintNames.size() > MaxPaints)
        return Refuse(where("car", "paint"), "names " + std::to_string(paintNames.size()) + " materials, more than " +
                                                 std::to_string(MaxPaints));

    // [dials]: an image that exists and a scale that rises.
    Dial dials[3];
    const char* const dialFields[3] = {"rpm", "speed_kmh", "speed_mph"};
    std::vector<float> floats;
    for (int i = 0; i < 3; ++i) {
        if (!get("dials", dialFields[i])) return Refuse(where("dials", dialFields[i]), "is missing");
        std::istringstream words(value);
        std::string image, rest;
        words >> image;
        std::getline(words, rest);
        if (!DescriptionText::ReadFloats(rest, 4, floats) || !(floats[2] > floats[0]) ||
            !std::all_of(floats.begin(), floats.end(), [](float f) { return std::fabs(f) <= 100000.0f; }))
            return Refuse(where("dials", dialFields[i]), "= \"" + value +
                                                             "\" is not \"image low-value low-degrees high-value "
                                                             "high-degrees\" with the high value above the low");
        if (!existing(image, dials[i].imageFile))
            return Refuse(where("dials", dialFields[i]), "names \"" + image + "\", which is no file there");
        dials[i].lowValue = floats[0];
        dials[i].lowAngleDeg = floats[1];
        dials[i].highValue = floats[2];
        dials[i].highAngleDeg = floats[3];
    }

    // The physics: the game's own rules (holding, reversing, swept
    // collisions) stay as CarTemplate has them; the car's values come from here.
    physics::CarTemplate car;
    float restHeightM = 0.0f, strutTopZ = 0.0f, highestWheelCentreZ = 0.0f;
    const Scalar beforeWheels[] = {
        {"body", "mass", 100.0f, 10000.0f, &car.massKg},
        {"body", "centre_of_mass_drop", 0.0f, 2.0f, &car.centreOfMassDropM},
        {"body", "drag", 0.0f, 5.0f, &car.dragCoefficient},
        {"body", "rolling_resistance", 0.0f, 0.2f, &car.rollingResistance},
    };
    const Scalar afterWheels[] = {
        {"wheels", "radius", 0.1f, 1.0f, &car.wheelRadiusM},
        {"wheels", "max_steering_angle", 0.05f, 1.2f, &car.maxSteeringAngleRad},
        {"wheels", "full_lock_lateral_acceleration", 1.0f, 50.0f, &car.fullLockLateralAccelerationMs2},
        {"suspension", "rest_height", 0.1f, 3.0f, &restHeightM},
        {"suspension", "strut_top", -2.0f, 2.0f, &strutTopZ},
        {"suspension", "highest_wheel_centre", -2.0f, 2.0f, &highestWheelCentreZ},
        {"suspension", "stiffness", 1.0f, 500.0f, &car.suspensionStiffness},
        {"suspension", "compression_damping", 0.0f, 100.0f, &car.suspensionCompressionDamping},
        {"suspension", "rebound_damping", 0.0f, 100.0f, &car.suspensionReboundDamping},
        {"suspension", "max_force", 100.0f, 1.0e6f, &car.maxSuspensionForceN},
        {"suspension", "roll_influence", 0.0f, 1.0f, &car.rollInfluence},
        {"tyres", "front_grip", 0.1f, 5.0f, &car.frontGrip},
        {"tyres", "rear_grip", 0.1f, 5.0f, &car.rearGrip},
        {"brakes", "max_force", 100.0f, 1.0e6f, &car.maxBrakeForceN},
        {"brakes", "front_share", 0.0f, 1.0f, &car.frontBrakeShare},
        {"engine", "idle_rpm", 100.0f, 5000.0f, &car.engine.idleRpm},
        {"engine", "launch_rpm", 100.0f, 20000.0f, &car.engine.launchRpm},
        {"engine", "rev_limit_rpm", 1000.0f, 20000.0f, &car.engine.revLimitRpm},
        {"engine", "limiter_band_rpm", 1.0f, 5000.0f, &car.engine.limiterBandRpm},
        {"engine", "max_torque", 10.0f, 10000.0f, &car.engine.maxTorqueNm},
        {"engine", "engine_braking_torque", 0.0f, 5000.0f, &car.engine.engineBrakingTorqueNm},
        {"engine", "rpm_response", 0.001f, 2.0f, &car.engine.rpmResponseS},
    };
    const Scalar gearbox[] = {
        {"gearbox", "reverse_ratio", 0.1f, 20.0f, &car.gearbox.reverseRatio},
        {"gearbox", "final_drive", 0.1f, 20.0f, &car.gearbox.finalDriveRatio},
        {"gearbox", "efficiency", 0.1f, 1.0f, &car.gearbox.efficiency},
        {"gearbox", "shift_up_rpm", 500.0f, 20000.0f, &car.gearbox.shiftUpRpm},
        {"gearbox", "shift_down_rpm", 100.0f, 20000.0f, &car.gearbox.shiftDownRpm},
        {"gearbox", "coast_down_rpm", 100.0f, 20000.0f, &car.gearbox.coastDownRpm},
        {"gearbox", "shift_time", 0.0f, 2.0f, &car.gearbox.shiftTimeS},
    };
    const auto readScalar = [&](const Scalar& s) {
        if (!get(s.section, s.field)) return Refuse(where(s.section, s.field), "is missing");
        if (!DescriptionText::ReadFloats(value, 1, floats) || !(floats[0] >= s.min && floats[0] <= s.max))
            return Refuse(where(s.section, s.field),
                          "= \"" + value + "\" is not a number from " + Text(s.min) + " to " + Text(s.max));
        *s.target = floats[0];
        return true;
    };
    for (const Scalar& s : beforeWheels)
        if (!readScalar(s)) return false;
    if (!get("body", "half_extents")) return Refuse(where("body", "half_extents"), "is missing");
    if (!DescriptionText::ReadFloats(value, 3, floats) ||
        !std::all_of(floats.begin(), floats.end(), [](float f) { return f >= 0.2f && f <= 10.0f; }))
        return Refuse(where("body", "half_extents"), "= \"" + value + "\" is not three half-extents of 0.2 to 10 m");
    car.halfExtentsM = vmath::vec3<float>(floats[0], floats[1], floats[2]);

    // [wheels]: in the model's node order. The left wheels stand at +x, the
    // front ones ahead of the rear; the fronts steer.
    const char* const wheelFields[4] = {"front_left", "front_right", "rear_left", "rear_right"};
    float wheelXY[4][2];
    for (int i = 0; i < 4; ++i) {
        if (!get("wheels", wheelFields[i])) return Refuse(where("wheels", wheelFields[i]), "is missing");
        const bool left = i % 2 == 0;
        if (!DescriptionText::ReadFloats(value, 2, floats) || !(left ? floats[0] > 0.0f : floats[0] < 0.0f) ||
            !(std::fabs(floats[0]) <= 10.0f && std::fabs(floats[1]) <= 10.0f))
            return Refuse(where("wheels", wheelFields[i]), std::string("= \"") + value + "\" is not \"x y\" with x " +
                                                               (left ? "above" : "below") + " 0");
        wheelXY[i][0] = floats[0];
        wheelXY[i][1] = floats[1];
    }
    for (int i = 2; i < 4; ++i)
        if (!(wheelXY[i][1] < wheelXY[i - 2][1]))
            return Refuse(where("wheels", wheelFields[i]), "is not behind " + std::string(wheelFields[i - 2]));
    if (!get("wheels", "drive")) return Refuse(where("wheels", "drive"), "is missing");
    const std::string drive = value;
    if (drive != "front" && drive != "rear" && drive != "all")
        return Refuse(where("wheels", "drive"), "= \"" + value + "\" is none of front, rear and all");

    for (const Scalar& s : afterWheels)
        if (!readScalar(s)) return false;
    if (!(car.engine.idleRpm < car.engine.launchRpm && car.engine.launchRpm < car.engine.revLimitRpm))
        return Refuse(where("engine", "launch_rpm"), "does not lie between idle_rpm and rev_limit_rpm");
    if (!get("engine", "torque_curve")) return Refuse(where("engine", "torque_curve"), "is missing");
    {
        bool usable = DescriptionText::ReadFloats(value, 0, floats) && floats.size() % 2 == 0 && floats.size() >= 4;
        std::vector<physics::EngineSettings::CurvePoint> curve;
        for (std::size_t i = 0; usable && i < floats.size(); i += 2) {
            usable = floats[i + 1] >= 0.0f && floats[i + 1] <= 1.0f && floats[i] >= 0.0f &&
                     (curve.empty() || floats[i] > curve.back().rpm);
            curve.push_back({floats[i], floats[i + 1]});
        }
        if (!usable)
            return Refuse(where("engine", "torque_curve"), "= \"" + value +
                                                               "\" is not two or more \"rpm fraction\" pairs, rising in "
                                                               "rpm, fractions 0 to 1");
        car.engine.torqueCurve = curve;
    }

    if (!get("gearbox", "ratios")) return Refuse(where("gearbox", "ratios"), "is missing");
    if (!DescriptionText::ReadFloats(value, 0, floats) || floats.size() > 12 ||
        !std::all_of(floats.begin(), floats.end(), [](float f) { return f > 0.0f && f <= 20.0f; }) ||
        !std::is_sorted(floats.begin(), floats.end(), std::greater<float>()) ||
        std::adjacent_find(floats.begin(), floats.end()) != floats.end())
        return Refuse(where("gearbox", "ratios"),
                      "= \"" + value + "\" is not 1 to 12 ratios, each below the one before");
    car.gearbox.forwardRatios = floats;
    for (const Scalar& s : gearbox)
        if (!readScalar(s)) return false;
    if (!(car.gearbox.shiftDownRpm < car.gearbox.shiftUpRpm && car.gearbox.shiftUpRpm <= car.engine.revLimitRpm))
        return Refuse(where("gearbox", "shift_up_rpm"), "does not lie between shift_down_rpm and the rev limit");

    const char* const limitFields[3] = {"lateral_grip", "braking", "top_speed"};
    double measured[3];
    std::vector<double> numbers;
    for (int i = 0; i < 3; ++i) {
        if (!get("limits", limitFields[i])) return Refuse(where("limits", limitFields[i]), "is missing");
        if (!DescriptionText::ReadNumbers(value, 1, numbers) || !(numbers[0] >= 1.0 && numbers[0] <= 200.0))
            return Refuse(where("limits", limitFields[i]), "= \"" + value + "\" is not a number from 1 to 200");
        measured[i] = numbers[0];
    }

    key = base.lexically_normal().filename().string();
    if (key.empty()) key = base.lexically_normal().parent_path().filename().string();
    // The key goes into file names and section names: letters, digits and '_' only.
    const bool plain = !key.empty() && key.size() <= 40 && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (!plain) return Refuse("the folder's name", "\"" + key + "\" is not 1 to 40 letters, digits or '_'");

    for (int i = 0; i < 4; ++i) {
        physics::CarTemplate::Wheel& wheel = car.wheels[i];
        wheel.upperPointCS = vmath::vec3<float>(wheelXY[i][0], wheelXY[i][1], strutTopZ);
        wheel.steered = i < 2;
        wheel.driven = drive == "all" || (drive == "front") == (i < 2);
        wheel.braked = true;
    }
    FitSuspension(car, strutTopZ, restHeightM, highestWheelCentreZ);

    name = shownName;
    modelFile = model;
    nodeName = node;
    paints = paintNames;
    rpmDial = dials[0];
    speedDialKmh = dials[1];
    speedDialMph = dials[2];
    settings = car;
    limits = {measured[0], measured[1], measured[2]};
    loaded = true;
    return true;
}
