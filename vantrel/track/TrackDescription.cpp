#include "TrackDescription.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "storage/AtomicFile.h"
#include "storage/DescriptionText.h"
#include "storage/IniFile.h"

const char* const TrackDescription::FileName = "track.ini";
const char* const TrackDescription::OriginalTrack = "GreenValley";

Logger TrackDescription::logger("TrackDescription");

namespace {

const char* const TrackSection = "track";
// Coordinates beyond this are not a track's (m), as for the centre line.
const double MaxCoordinate = 1.0e6;
const double Pi = 3.14159265358979323846;

std::string Plural(std::size_t count, const char* what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

}  // namespace

const char* TrackDescription::DirectionName(Direction direction) {
    return direction == Direction::Reverse ? "reverse" : "forward";
}

std::optional<TrackDescription::Direction> TrackDescription::ParseDirection(const std::string& text) {
    if (text == "forward") return Direction::Forward;
    if (text == "reverse") return Direction::Reverse;
    return std::nullopt;
}

bool TrackDescription::Refuse(const std::string& field, const std::string& why) {
    const std::string path = file;
    *this = TrackDescription();
    file = path;
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << path << ": " << field << " " << why << "; the track is left out";
    return false;
}

bool TrackDescription::Load(const std::string& folder) {
    *this = TrackDescription();
    const std::filesystem::path base(folder);
    file = (base / FileName).string();
    IniFile ini;
    std::string why;
    if (!DescriptionText::ReadFile(file, MaxFileBytes, ini, why)) return Refuse("the file", why);

    // [track]: each field in turn, the first one wrong named.
    const auto get = [&](const char* section, const std::string& field, std::string& value) {
        const std::optional<std::string> found = ini.Get(section, field);
        if (!found || found->empty()) return false;
        value = *found;
        return true;
    };
    const auto where = [](const char* section, const std::string& field) {
        return std::string("[") + section + "] " + field;
    };
    std::string value;
    if (!get(TrackSection, "name", value)) return Refuse(where(TrackSection, "name"), "is missing");
    std::string trackName = value;
    const bool nameCut = DescriptionText::CutToCharacters(trackName, MaxNameCharacters);
    std::string paths[3];
    const char* const fileFields[3] = {"model", "road", "sky"};
    for (int i = 0; i < 3; ++i) {
        if (!get(TrackSection, fileFields[i], value)) return Refuse(where(TrackSection, fileFields[i]), "is missing");
        paths[i] = (base / value).lexically_normal().string();
        std::error_code status;
        if (!std::filesystem::is_regular_file(paths[i], status))
            return Refuse(where(TrackSection, fileFields[i]), "names \"" + value + "\", which is no file there");
    }
    std::vector<double> numbers;
    if (!get(TrackSection, "road_half_width", value)) return Refuse(where(TrackSection, "road_half_width"), "is missing");
    if (!DescriptionText::ReadNumbers(value, 1, numbers) || !(numbers[0] >= 1.0 && numbers[0] <= 100.0))
        return Refuse(where(TrackSection, "road_half_width"), "= \"" + value + "\" is not a width of 1 to 100 m");
    const double halfWidth = numbers[0];
    vmath::vec3<float> vectors[2];
    const char* const vectorFields[2] = {"light_position", "light_colour"};
    for (int i = 0; i < 2; ++i) {
        if (!get(TrackSection, vectorFields[i], value)) return Refuse(where(TrackSection, vectorFields[i]), "is missing");
        if (!DescriptionText::ReadNumbers(value, 3, numbers)) return Refuse(where(TrackSection, vectorFields[i]), "= \"" + value + "\" is not three numbers");
        const double limit = i == 0 ? MaxCoordinate : 1.0;
        for (double n : numbers)
            if (!(std::fabs(n) <= limit) || (i == 1 && n < 0.0))
                return Refuse(where(TrackSection, vectorFields[i]), "= \"" + value + "\" lies outside " +
                                                                        (i == 0 ? "the track's range" : "0 to 1"));
        vectors[i] = vmath::vec3<float>(static_cast<float>(numbers[0]), static_cast<float>(numbers[1]),
                                        static_cast<float>(numbers[2]));
    }
    if (!get(TrackSection, "directions", value)) return Refuse(where(TrackSection, "directions"), "is missing");
    std::vector<Direction> directions;
    {
        std::istringstream words(value);
        std::string word;
        while (words >> word) {
            const std::optional<Direction> direction = ParseDirection(word);
            if (!direction) return Refuse(where(TrackSection, "directions"), "names \"" + word + "\", neither forward nor reverse");
            for (Direction earlier : directions)
                if (earlier == *direction) return Refuse(where(TrackSection, "directions"), "names " + word + " twice");
            directions.push_back(*direction);
        }
    }

    // The road, read here once: every start and checkpoint is checked against it.
    RoadCentreLine forwardRoad;
    if (!forwardRoad.Load(paths[1], why)) return Refuse(where(TrackSection, "road"), "is unusable: " + why);

    std::vector<Way> read;
    for (Direction direction : directions) {
        const char* section = DirectionName(direction);
        const RoadCentreLine wayRoad = direction == Direction::Reverse ? forwardRoad.Reversed() : forwardRoad;
        Way way;
        way.direction = direction;
        if (!get(section, "start", value)) return Refuse(where(section, "start"), "is missing");
        if (!DescriptionText::ReadNumbers(value, 3, numbers) || std::fabs(numbers[0]) > MaxCoordinate ||
            std::fabs(numbers[1]) > MaxCoordinate || std::fabs(numbers[2]) > 360.0)
            return Refuse(where(section, "start"), "= \"" + value + "\" is not \"x y heading\"");
        way.startX = numbers[0];
        way.startY = numbers[1];
        way.startHeadingDeg = numbers[2];
        // The start line is where the centre line begins, and the car faces the way it runs.
        const RoadCentreLine::Point first = wayRoad.GetPoint(0);
        if (std::hypot(first.x - way.startX, first.y - way.startY) > halfWidth)
            return Refuse(where(section, "start"), "is not on the road's start line");
        const double heading = way.startHeadingDeg * Pi / 180.0;
        const vmath::vec2<double> along = wayRoad.Tangent(0.0);
        if (-std::sin(heading) * along.x + std::cos(heading) * along.y < std::cos(Pi / 4.0))
            return Refuse(where(section, "start"), "faces away from the road's " + std::string(section) + " way");
        double lastS = 0.0;
        for (std::size_t i = 1; ini.Get(section, "checkpoint" + std::to_string(i)); ++i) {
            const std::string field = "checkpoint" + std::to_string(i);
            if (i > CheckpointCount)
                return Refuse(where(section, field), "is one too many: a way has " + Plural(CheckpointCount, "checkpoint"));
            get(section, field, value);
            if (!DescriptionText::ReadNumbers(value, 3, numbers) || std::fabs(numbers[0]) > MaxCoordinate ||
                std::fabs(numbers[1]) > MaxCoordinate || !(numbers[2] > 0.0 && numbers[2] <= 3600.0))
                return Refuse(where(section, field), "= \"" + value + "\" is not \"x y seconds\" (seconds 0 to 3600)");
            const double s = wayRoad.Project(numbers[0], numbers[1]);
            const RoadCentreLine::Point on = wayRoad.At(s);
            if (std::hypot(on.x - numbers[0], on.y - numbers[1]) > halfWidth)
                return Refuse(where(section, field), "is not on the road");
            if (s <= lastS)
                return Refuse(where(section, field), "comes before the one ahead of it along the " +
                                                         std::string(section) + " way");
            lastS = s;
            way.checkpoints.push_back({static_cast<float>(numbers[0]), static_cast<float>(numbers[1]),
                                       static_cast<float>(numbers[2])});
        }
        if (way.checkpoints.size() != CheckpointCount)
            return Refuse(where(section, "checkpoint" + std::to_string(way.checkpoints.size() + 1)),
                          "is missing: a way has " + Plural(CheckpointCount, "checkpoint"));
        read.push_back(way);
    }
    if (read.empty()) return Refuse(where(TrackSection, "directions"), "names no direction");

    key = base.lexically_normal().filename().string();
    if (key.empty()) key = base.lexically_normal().parent_path().filename().string();
    // The key goes into file names and section names: letters, digits and '_' only.
    const bool plain = !key.empty() && key.size() <= 40 && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (!plain) return Refuse("the folder's name", "\"" + key + "\" is not 1 to 40 letters, digits or '_'");
    // Said only for a track that is kept: a refused one has said its one line.
    if (nameCut && logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << file << ": " << where(TrackSection, "name") << " is longer than " << MaxNameCharacters
            << " characters; the menu shows \"" << trackName << "\"";
    name = trackName;
    modelFile = paths[0];
    roadFile = paths[1];
    skyFile = paths[2];
    roadHalfWidthM = halfWidth;
    lightPosition = vectors[0];
    lightColour = vectors[1];
    ways = std::move(read);
    road = std::move(forwardRoad);
    loaded = true;
    return true;
}

const TrackDescription::Way* TrackDescription::FindWay(Direction direction) const {
    for (const Way& way : ways)
        if (way.direction == direction) return &way;
    return nullptr;
}

RoadCentreLine TrackDescription::RoadFor(Direction direction) const {
    return direction == Direction::Reverse ? road.Reversed() : road;
}

std::string TrackDescription::Label(Direction direction) const {
    return direction == Direction::Reverse ? name + " reversed" : name;
}

std::string TrackDescription::GhostKey(Direction direction) const {
    return direction == Direction::Reverse ? key + "-reverse" : key;
}

std::string TrackDescription::RecordsKey(Direction direction, const std::string& car) const {
    if (direction == Direction::Forward && key == OriginalTrack) return car;
    return GhostKey(direction) + "." + car;
}
