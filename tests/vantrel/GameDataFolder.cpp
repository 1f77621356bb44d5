#include "GameDataFolder.h"

#include <cstdint>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "cars/CarPool.h"

namespace fs = std::filesystem;

const unsigned char GameDataFolder::SignColour[3] = {0, 200, 0};
const unsigned char GameDataFolder::Car0Colour[3] = {220, 30, 30};
const unsigned char GameDataFolder::Car1Colour[3] = {30, 30, 220};

namespace {

struct Box {
    std::string name;                 ///< node and geometry id
    float centre[3], half[3];
    const unsigned char* colour;
};

/// Twelve triangles with face normals, counter-clockwise seen from outside.
std::string BoxGeometry(const Box& box) {
    static const int corners[6][4][3] = {
        {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},     {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
        {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}};
    static const int normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    std::ostringstream positions, normalValues, indices;
    for (int f = 0; f < 6; ++f) {
        for (int c = 0; c < 4; ++c)
            for (int a = 0; a < 3; ++a) positions << box.centre[a] + corners[f][c][a] * box.half[a] << ' ';
        normalValues << normals[f][0] << ' ' << normals[f][1] << ' ' << normals[f][2] << ' ';
        const int quad[6] = {0, 1, 2, 0, 2, 3};
        for (int k : quad) indices << f * 4 + k << ' ' << f << ' ';
    }
    const std::string id = box.name;
    std::ostringstream out;
    out << "<geometry id=\"" << id << "-mesh\"><mesh>"
        << "<source id=\"" << id << "-p\"><float_array id=\"" << id << "-pa\" count=\"72\">" << positions.str()
        << "</float_array><technique_common><accessor source=\"#" << id << "-pa\" count=\"24\" stride=\"3\">"
        << "<param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/>"
        << "</accessor></technique_common></source>"
        << "<source id=\"" << id << "-n\"><float_array id=\"" << id << "-na\" count=\"18\">" << normalValues.str()
        << "</float_array><technique_common><accessor source=\"#" << id << "-na\" count=\"6\" stride=\"3\">"
        << "<param name=\"X\" type=\"float\"/><param name=\"Y\" type=\"float\"/><param name=\"Z\" type=\"float\"/>"
        << "</accessor></technique_common></source>"
        << "<vertices id=\"" << id << "-v\"><input semantic=\"POSITION\" source=\"#" << id << "-p\"/></vertices>"
        << "<triangles material=\"m\" count=\"12\">"
        << "<input semantic=\"VERTEX\" source=\"#" << id << "-v\" offset=\"0\"/>"
        << "<input semantic=\"NORMAL\" source=\"#" << id << "-n\" offset=\"1\"/>"
        << "<p>" << indices.str() << "</p></triangles></mesh></geometry>";
    return out.str();
}

std::string Colour(const unsigned char* c) {
    std::ostringstream out;
    out << c[0] / 255.0 << ' ' << c[1] / 255.0 << ' ' << c[2] / 255.0 << " 1";
    return out.str();
}

/// A document whose scene holds `outer` nodes, each wrapping one box node;
/// `outer` names the node the game looks up.
void WriteDocument(const fs::path& file, const std::string& outer, const Box* boxes, int count) {
    std::ostringstream effects, materials, geometries, nodes;
    for (int i = 0; i < count; ++i) {
        const Box& box = boxes[i];
        effects << "<effect id=\"" << box.name << "-fx\"><profile_COMMON><technique sid=\"common\"><lambert>"
                << "<diffuse><color>" << Colour(box.colour) << "</color></diffuse>"
                << "</lambert></technique></profile_COMMON></effect>";
        materials << "<material id=\"" << box.name << "-mat\"><instance_effect url=\"#" << box.name
                  << "-fx\"/></material>";
        geometries << BoxGeometry(box);
        const std::string group = outer.empty() ? box.name + "-group" : outer;
        nodes << "<node id=\"" << group << "\" name=\"" << group << "\" type=\"NODE\">"
              << "<node id=\"" << box.name << "\" name=\"" << box.name << "\" type=\"NODE\">"
              << "<instance_geometry url=\"#" << box.name << "-mesh\"><bind_material><technique_common>"
              << "<instance_material symbol=\"m\" target=\"#" << box.name << "-mat\"/>"
              << "</technique_common></bind_material></instance_geometry></node></node>";
    }
    std::ofstream out(file);
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"
        << "<asset><up_axis>Z_UP</up_axis></asset>"
        << "<library_effects>" << effects.str() << "</library_effects>"
        << "<library_materials>" << materials.str() << "</library_materials>"
        << "<library_geometries>" << geometries.str() << "</library_geometries>"
        << "<library_visual_scenes><visual_scene id=\"Scene\" name=\"Scene\">" << nodes.str()
        << "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#Scene\"/></scene></COLLADA>\n";
}

void Put16(std::ofstream& out, std::uint16_t v) { out.put(char(v & 0xFF)).put(char(v >> 8)); }
void Put32(std::ofstream& out, std::uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

/// An 8 × 8 single-colour 24-bit BMP; the image loader goes by the content,
/// so the ".jpg" name does not matter.
void WriteImage(const fs::path& file, const unsigned char* colour) {
    const std::uint32_t side = 8, size = 54 + side * side * 3;
    std::ofstream out(file, std::ios::binary);
    out.write("BM", 2), Put32(out, size), Put32(out, 0), Put32(out, 54);
    Put32(out, 40), Put32(out, side), Put32(out, side), Put16(out, 1), Put16(out, 24);
    Put32(out, 0), Put32(out, side * side * 3), Put32(out, 2835), Put32(out, 2835), Put32(out, 0), Put32(out, 0);
    for (std::uint32_t i = 0; i < side * side; ++i) out.put(char(colour[2])).put(char(colour[1])).put(char(colour[0]));
}

/// Half a second of a 16-bit mono tone as a WAV file under a sound's name.
void WriteTone(const fs::path& file) {
    const std::uint32_t rate = 22050, samples = rate / 2;
    std::ofstream out(file, std::ios::binary);
    out.write("RIFF", 4), Put32(out, 36 + samples * 2), out.write("WAVEfmt ", 8);
    Put32(out, 16), Put16(out, 1), Put16(out, 1), Put32(out, rate), Put32(out, rate * 2), Put16(out, 2), Put16(out, 16);
    out.write("data", 4), Put32(out, samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i) Put16(out, static_cast<std::uint16_t>((i / 25) % 2 ? 8000 : -8000));
}

const unsigned char RoomGrey[3] = {150, 150, 150};
const unsigned char GroundGreen[3] = {60, 140, 60};
const unsigned char SkyBlue[3] = {120, 160, 230};

/// The game's own data, beside the shaders the folder copies.
fs::path GameData() { return fs::path(SHADER_DIR).parent_path(); }

/// A track folder with a sound description: a 100 m x 200 m loop of road
/// whose start line is at the origin, heading +y forward.
void WriteTrack(const fs::path& tracks, const GameDataFolder::StandInTrack& track) {
    const fs::path folder = tracks / track.key;
    fs::create_directories(folder);
    const std::string model = track.key + ".dae", road = track.key + ".road";
    if (track.model == GameDataFolder::TrackModel::NoDocument) {
        std::ofstream(folder / model) << "a track's model, once\n";
    } else {
        // The ground's top at z = 0, under the whole loop.
        const Box ground{track.model == GameDataFolder::TrackModel::Ground ? "Terrain" : "Meadow",
                         {-50, 0, -0.5f}, {150, 200, 0.5f}, GroundGreen};
        WriteDocument(folder / model, "", &ground, 1);
    }
    std::ofstream(folder / road) << "vantrel-road 1 5\n0 0\n0 100\n-100 100\n-100 -100\n0 -100\n";
    std::ofstream(folder / "track.ini")
        << "[track]\nname = " << (track.name.empty() ? track.key : track.name) << "\nmodel = " << model
        << "\nroad = " << road << "\nsky = ../../models/Sky/Sky.dae\nroad_half_width = 6\n"
        << "light_position = 0 0 500\nlight_colour = 1 1 1\ndirections = forward reverse\n"
        << "[forward]\nstart = 0 0 0\ncheckpoint1 = 0 90 30\ncheckpoint2 = -50 100 30\n"
        << "checkpoint3 = -100 0 30\ncheckpoint4 = -50 -100 30\ncheckpoint5 = 0 -50 30\n"
        << "[reverse]\nstart = 0 0 180\ncheckpoint1 = 0 -50 30\ncheckpoint2 = -50 -100 30\n"
        << "checkpoint3 = -100 0 30\ncheckpoint4 = -50 100 30\ncheckpoint5 = 0 90 30\n";
}

}  // namespace

bool GameDataFolder::HasGameCars() {
    for (const char* car : {"NissanSkyline", "BugattiVeyron"})
        if (!fs::exists(GameData() / "cars" / car / (std::string(car) + ".dae"))) return false;
    return true;
}

GameDataFolder::GameDataFolder(const Contents& contents) {
    root = fs::temp_directory_path() / ("vantrel-data-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    const fs::path data = root / "data";
    fs::create_directories(data / "models" / "ShowRoom");
    if (contents.room) {
        // A floor under the turntable and a back wall, as two top-level groups.
        const Box room[2] = {{"Floor", {1.7f, 3.6f, -2.75f}, {6, 6, 0.05f}, RoomGrey},
                             {"Wall", {1.7f, 9.0f, 0.0f}, {6, 0.1f, 3}, RoomGrey}};
        WriteDocument(data / "models" / "ShowRoom" / "ShowRoom.dae", "", room, 2);
    }
    if (contents.sign) WriteImage(data / "models" / "ShowRoom" / "Sign-Vantrel.jpg", SignColour);
    // Each car: a body box inside the car node, in the car's own coordinates.
    const char* folders[2] = {"NissanSkyline", "BugattiVeyron"};
    const bool present[2] = {contents.car0, contents.car1};
    const unsigned char* colours[2] = {Car0Colour, Car1Colour};
    for (int i = 0; i < 2; ++i) {
        if (contents.gameCars) {
            if (!present[i]) continue;
            fs::create_directories(data / "cars");
            fs::create_directory_symlink(GameData() / "cars" / folders[i], data / "cars" / folders[i]);
            continue;
        }
        // The game's description and dials of the car, the stand-in model in its place.
        const fs::path folder = data / "cars" / folders[i];
        fs::create_directories(folder);
        fs::copy_file(GameData() / "cars" / folders[i] / "car.ini", folder / "car.ini");
        fs::create_directory_symlink(GameData() / "cars" / folders[i] / "gauges", folder / "gauges");
        const fs::path model = folder / (std::string(folders[i]) + ".dae");
        if (!present[i]) {
            std::ofstream(model) << "no document\n";
            continue;
        }
        const Box body{std::string(folders[i]) + "Body", {0, 0, 0}, {0.9f, 2.0f, 0.5f}, colours[i]};
        const std::string node = (i == 0 && contents.car0WithoutNode) ? "SomeOtherCar" : folders[i];
        WriteDocument(model, node, &body, 1);
    }
    if (!contents.tracks.empty()) {
        fs::create_directories(data / "models" / "Sky");
        const Box sky{"Sky", {0, 0, 0}, {1000, 1000, 1000}, SkyBlue};
        WriteDocument(data / "models" / "Sky" / "Sky.dae", "", &sky, 1);
        for (const StandInTrack& track : contents.tracks) WriteTrack(data / "tracks", track);
    }
    // The engine's own shaders, as the game has them.
    fs::create_directories(data / "shaders");
    for (const auto& shader : fs::directory_iterator(SHADER_DIR)) fs::copy(shader.path(), data / "shaders");
    if (contents.music) {
        fs::create_directories(data / "music");
        WriteTone(data / "music" / "Halverd - Evenfall.mp3");
        fs::create_directories(data / "sounds");
        for (const char* sound : {"engine-idle.wav", "engine-load.wav", "squeal.wav", "thud.wav"})
            WriteTone(data / "sounds" / sound);
    }
    previous = fs::current_path();
    fs::current_path(root / "bin");
    // The cars the game's classes see are this folder's, as a program started here reads them.
    CarPool::ReloadCars();
}

GameDataFolder::~GameDataFolder() {
    fs::current_path(previous);
    fs::remove_all(root);
    CarPool::ReloadCars();
}
