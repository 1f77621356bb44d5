#pragma once
// A track as the game reads it from its folder's track.ini: the files it is
// made of, its light, the width of its road and, for each way it may be
// driven, the start and the checkpoints.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nodara/Logger.h>
#include <vmath/vec3.h>

#include "RoadCentreLine.h"
#include "Track.h"

/// One track's description, read from "<folder>/track.ini":
///
///     [track]
///     name = GreenValley
///     model = GreenValley.dae            files relative to the folder
///     road = GreenValley.road
///     sky = ../../models/SkyDome/SkyDome.dae
///     road_half_width = 5.5              m
///     light_position = 0 0 2000          m
///     light_colour = 1 1 1               0 to 1 each
///     directions = forward reverse
///     [forward]                          one section per direction
///     start = 0 0 0                      x y heading (degrees anticlockwise from +y)
///     checkpoint1 = -388 90 95           x y seconds; five of them, the fifth the finish
///
/// "reverse" is the centre line walked the other way round from the same
/// start line. The file is read as the player's files are (a regular file,
/// bounded, never waited on), and everything in it is checked: the files it
/// names exist, numbers are finite, each start and checkpoint lies on the
/// road, the start faces the direction's way and the checkpoints follow it
/// in order. A description that fails is refused with one Warn line naming
/// the file and the field. A name longer than MaxNameCharacters is cut to
/// that many (whole UTF-8 characters), with one Warn line as well: it has
/// to fit the menu.
class TrackDescription {
public:
    enum class Direction { Forward, Reverse };
    /// The way a direction is driven: its start and its checkpoints.
    struct Way {
        Direction direction = Direction::Forward;
        double startX = 0.0, startY = 0.0;  ///< on the start line (m)
        double startHeadingDeg = 0.0;       ///< anticlockwise from +y
        std::vector<Track::Checkpoint> checkpoints;
    };

    static const char* const FileName;  ///< "track.ini"
    static constexpr std::size_t CheckpointCount = 5;
    /// A larger description is refused: ours are a few hundred bytes.
    static constexpr std::size_t MaxFileBytes = 64 * 1024;
    /// Characters of a name the menu shows whole, " reversed" after it.
    static constexpr std::size_t MaxNameCharacters = 32;
    /// The track whose forward records and ghosts keep the keys they had
    /// while it was the game's only track, so an upgrade loses none of them.
    static const char* const OriginalTrack;  ///< "GreenValley"

    /// Reads "<folder>/track.ini" and the road it names. On failure the
    /// description is empty (IsLoaded false) and one Warn line says which
    /// file and field are wrong.
    bool Load(const std::string& folder);
    bool IsLoaded() const { return loaded; }

    /// The folder's own name: the track's key in the settings, the records
    /// and the ghosts' file names.
    const std::string& GetKey() const { return key; }
    const std::string& GetName() const { return name; }
    /// The description's path.
    const std::string& GetFile() const { return file; }
    /// The paths of the files it names, from the program's folder.
    const std::string& GetModelFile() const { return modelFile; }
    const std::string& GetRoadFile() const { return roadFile; }
    const std::string& GetSkyFile() const { return skyFile; }
    double GetRoadHalfWidthM() const { return roadHalfWidthM; }
    const vmath::vec3<float>& GetLightPosition() const { return lightPosition; }
    const vmath::vec3<float>& GetLightColour() const { return lightColour; }
    /// The directions in the order the file lists them.
    const std::vector<Way>& GetWays() const { return ways; }
    /// The way of `direction`, or null when the track is not driven so.
    const Way* FindWay(Direction direction) const;
    /// The centre line as `direction` drives it, start point first.
    RoadCentreLine RoadFor(Direction direction) const;

    /// "GreenValley", or "GreenValley reversed".
    std::string Label(Direction direction) const;
    /// The track and direction in the ghosts' file names: the key forward,
    /// "<key>-reverse" reversed.
    std::string GhostKey(Direction direction) const;
    /// The records file's section of `car` on the track driven `direction`:
    /// "<ghost key>.<car>", or the car alone for the original track forward.
    std::string RecordsKey(Direction direction, const std::string& car) const;

    /// "forward", "reverse".
    static const char* DirectionName(Direction direction);
    static std::optional<Direction> ParseDirection(const std::string& text);

private:
    bool Refuse(const std::string& field, const std::string& why);

    bool loaded = false;
    std::string key, name, file, modelFile, roadFile, skyFile;
    double roadHalfWidthM = 0.0;
    vmath::vec3<float> lightPosition{0.0f, 0.0f, 0.0f};
    vmath::vec3<float> lightColour{1.0f, 1.0f, 1.0f};
    std::vector<Way> ways;
    RoadCentreLine road;  ///< as the file runs: forward

    static Logger logger;
};
