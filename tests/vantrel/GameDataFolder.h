#pragma once
// A scratch copy of the game's folder layout, "bin" with "../data" beside it,
// holding small generated stand-ins for the show room's files and a copy of
// the engine's shaders, so the game's classes can be driven without the
// real (large, regenerated) game data.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class GameDataFolder {
public:
    /// What a stand-in track's model file holds: a flat ground to race on
    /// (its "Terrain" node and "Terrain-mesh"), a model without them, or
    /// text that is no document at all. Its description is sound either way:
    /// a square loop of road round the ground, driven forward and reverse.
    enum class TrackModel { Ground, NoTerrain, NoDocument };
    struct StandInTrack {
        StandInTrack(std::string key, TrackModel model = TrackModel::Ground, std::string name = "")
            : key(std::move(key)), model(model), name(std::move(name)) {}
        std::string key;  ///< the folder's name, and the track's name unless `name` is set
        TrackModel model;
        std::string name;
    };
    /// What the folder holds; every file is there by default.
    struct Contents {
        bool room = true;
        bool sign = true;
        /// The cars' models; a car without one has its description and a
        /// model file that is no document.
        bool car0 = true;
        bool car1 = true;
        bool music = false;  ///< the music and the race's sounds, tones standing in
        /// Car 0's document without its "NissanSkyline" node.
        bool car0WithoutNode = false;
        /// The game's own cars (wheels, dials) instead of the stand-ins: what
        /// a race needs. The tests that take them skip without the game's data.
        bool gameCars = false;
        /// Track folders under "data/tracks", none by default.
        std::vector<StandInTrack> tracks;
    };

    /// Colours the stand-ins are drawn in (RGB, 0..255), told apart on screen.
    static const unsigned char SignColour[3];
    static const unsigned char Car0Colour[3];
    static const unsigned char Car1Colour[3];

    /// Makes the folder and enters its "bin" for the life of the object; the
    /// game's cars (CarPool) are read from it, and read again on leaving.
    explicit GameDataFolder(const Contents& contents);
    GameDataFolder() : GameDataFolder(Contents{}) {}
    ~GameDataFolder();
    /// Whether the game's own data, which gameCars links, is there.
    static bool HasGameCars();
    GameDataFolder(const GameDataFolder&) = delete;
    GameDataFolder& operator=(const GameDataFolder&) = delete;

private:
    std::filesystem::path root, previous;
};
