#pragma once
// A scratch copy of the game's folder layout, "bin" with "../data" beside it,
// holding small generated stand-ins for the show room's files and a copy of
// the engine's shaders, so the game's classes can be driven without the
// real (large, regenerated) game data.
#include <filesystem>
#include <string>

class GameDataFolder {
public:
    /// What the folder holds; every file is there by default.
    struct Contents {
        bool room = true;
        bool sign = true;
        bool car0 = true;
        bool car1 = true;
        bool music = false;  ///< the music and the race's sounds, tones standing in
        /// Car 0's document without its "NissanSkyline" node.
        bool car0WithoutNode = false;
    };

    /// Colours the stand-ins are drawn in (RGB, 0..255), told apart on screen.
    static const unsigned char SignColour[3];
    static const unsigned char Car0Colour[3];
    static const unsigned char Car1Colour[3];

    /// Makes the folder and enters its "bin" for the life of the object.
    explicit GameDataFolder(const Contents& contents);
    GameDataFolder() : GameDataFolder(Contents{}) {}
    ~GameDataFolder();
    GameDataFolder(const GameDataFolder&) = delete;
    GameDataFolder& operator=(const GameDataFolder&) = delete;

private:
    std::filesystem::path root, previous;
};
