// Load times of the COLLADA plug-in against a peer importer and against the
// floor any reader pays: a bare XML parse plus converting every number.
//
//   bin/QuorvexBench [runs] [extra.dae ...]
//
// Files: a generated 512 x 512-vertex terrain document with 20 instancing
// nodes, the corpus files over 100 KB (assimp-testmodels) and any extra
// files named. Each loader runs `runs` times per file (best CPU time, warm
// page cache); peak memory is measured once per loader in a fresh process
// (`QuorvexBench --peak <loader> <file>`).
//
// ============================================================================
// Initialization: documents, plug-in, peer importer
// ============================================================================
#include <dlfcn.h>
#include <algorithm>
#include <charconv>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <pugixml.hpp>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>

namespace {

/// Writes the terrain document: a 512 x 512 height field with positions,
/// normals and one texture-coordinate set, each indexed at its own offset,
/// instanced by 20 nodes.
void WriteTerrain(const std::string& path) {
    const int n = 512;
    std::ofstream out(path);
    char buffer[64];
    auto height = [](int x, int y) { return 8.0 * std::sin(x * 0.05) * std::cos(y * 0.04) + 0.5 * std::sin(x * 0.7 + y); };
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
           "version=\"1.4.1\">\n<library_geometries><geometry id=\"terrain\"><mesh>\n";
    out << "<source id=\"p\"><float_array id=\"pa\" count=\"" << n * n * 3 << "\">";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::snprintf(buffer, sizeof(buffer), "%.6g %.6g %.6g ", x * 2.0, y * 2.0, height(x, y));
            out << buffer;
        }
    out << "</float_array><technique_common><accessor source=\"#pa\" count=\"" << n * n
        << "\" stride=\"3\"/></technique_common></source>\n";
    out << "<source id=\"n\"><float_array id=\"na\" count=\"" << n * n * 3 << "\">";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double dx = height(x + 1, y) - height(x - 1, y), dy = height(x, y + 1) - height(x, y - 1);
            const double l = std::sqrt(dx * dx + dy * dy + 16.0);
            std::snprintf(buffer, sizeof(buffer), "%.6g %.6g %.6g ", -dx / l, -dy / l, 4.0 / l);
            out << buffer;
        }
    out << "</float_array><technique_common><accessor source=\"#na\" count=\"" << n * n
        << "\" stride=\"3\"/></technique_common></source>\n";
    out << "<source id=\"t\"><float_array id=\"ta\" count=\"" << n * n * 2 << "\">";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::snprintf(buffer, sizeof(buffer), "%.6g %.6g ", x / 16.0, y / 16.0);
            out << buffer;
        }
    out << "</float_array><technique_common><accessor source=\"#ta\" count=\"" << n * n
        << "\" stride=\"2\"/></technique_common></source>\n";
    out << "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>\n";
    out << "<triangles material=\"ground\" count=\"" << 2 * (n - 1) * (n - 1) << "\">"
        << "<input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><input semantic=\"NORMAL\" source=\"#n\" offset=\"1\"/>"
        << "<input semantic=\"TEXCOORD\" source=\"#t\" offset=\"2\" set=\"0\"/><p>";
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x, b = a + 1, c = a + n, d = c + 1;
            for (int corner : {a, b, d, a, d, c}) out << corner << ' ' << corner << ' ' << corner << ' ';
        }
    out << "</p></triangles></mesh></geometry></library_geometries>\n";
    out << "<library_effects><effect id=\"ground-fx\"><profile_COMMON><technique sid=\"t\"><lambert><diffuse>"
           "<color>0.4 0.6 0.3 1</color></diffuse></lambert></technique></profile_COMMON></effect></library_effects>\n"
           "<library_materials><material id=\"ground-material\"><instance_effect url=\"#ground-fx\"/></material>"
           "</library_materials>\n<library_visual_scenes><visual_scene id=\"Terrain\">\n";
    for (int i = 0; i < 20; ++i)
        out << "<node id=\"Tile" << i << "\"><translate>" << (i % 5) * 1022 << ' ' << (i / 5) * 1022
            << " 0</translate><instance_geometry url=\"#terrain\"><bind_material><technique_common>"
               "<instance_material symbol=\"ground\" target=\"#ground-material\"/></technique_common>"
               "</bind_material></instance_geometry></node>\n";
    out << "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#Terrain\"/></scene></COLLADA>\n";
}

/// The floor: parse the file with pugixml and convert every number of every
/// text (floats as floats, index lists as integers), keeping the results as
/// any reader must until it builds its model.
std::size_t ParseAndConvert(const std::string& path) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str(), pugi::parse_default & ~pugi::parse_eol)) return 0;
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<unsigned>> indices;
    std::size_t numbers = 0;
    std::vector<pugi::xml_node> stack{document.document_element()};
    while (!stack.empty()) {
        const pugi::xml_node node = stack.back();
        stack.pop_back();
        for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling())
            if (child.type() == pugi::node_element) stack.push_back(child);
        const char* text = node.child_value();
        const char* end = text + std::strlen(text);
        const bool integers = !std::strcmp(node.name(), "p") || !std::strcmp(node.name(), "vcount");
        if (integers) indices.emplace_back(); else floats.emplace_back();
        while (text < end) {
            while (text < end && static_cast<unsigned char>(*text) <= ' ') ++text;
            if (text == end) break;
            if (integers) {
                unsigned value;
                auto result = std::from_chars(text, end, value);
                if (result.ptr == text) break;
                indices.back().push_back(value);
                text = result.ptr;
            } else {
                float value;
                auto result = std::from_chars(text, end, value);
                if (result.ptr == text) break;  // not a number list
                floats.back().push_back(value);
                text = result.ptr;
            }
            ++numbers;
        }
    }
    return numbers;
}

ModelLoader* OpenPlugin(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "QuorvexBench: %s\n", dlerror());
        return nullptr;
    }
    auto registerLoader = reinterpret_cast<ModelLoaderRegisterFunction>(
        dlsym(library, ModelLoader::RegisterFunction.c_str()));
    return registerLoader ? registerLoader() : nullptr;
}

/// CPU time of this thread (user and system, page faults included): on a
/// busy shared machine it varies far less than wall time, and every loader
/// here runs on one thread.
double CpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Milliseconds(const std::function<void()>& work) {
    const double start = CpuMilliseconds();
    work();
    return CpuMilliseconds() - start;
}

long StatusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(key), key) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

/// Runs loader `which` (0 ours, 1 assimp, 2 floor) once on `file`.
void RunOnce(int which, ModelLoader* loader, const std::string& file) {
    if (which == 0) delete loader->Load(file);
    if (which == 1) aiReleaseImport(aiImportFile(file.c_str(), aiProcess_Triangulate));
    if (which == 2) ParseAndConvert(file);
}

/// Peak resident memory (MiB) one load adds, measured in a fresh process of
/// this program, so that memory kept by earlier runs does not hide it.
double PeakMegabytes(const char* self, int which, const std::string& file) {
    const std::string command = std::string("'") + self + "' --peak " + std::to_string(which) + " '" + file + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    double megabytes = -1;
    if (std::fscanf(pipe, "%lf", &megabytes) != 1) megabytes = -1;
    pclose(pipe);
    return megabytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && !std::strcmp(argv[1], "--peak")) {
        ModelLoader* loader = OpenPlugin(QUORVEX_PLUGIN);
        std::cout.setstate(std::ios::failbit);
        const long before = StatusKilobytes("VmRSS:");
        RunOnce(std::atoi(argv[2]), loader, argv[3]);
        std::printf("%.1f\n", (StatusKilobytes("VmHWM:") - before) / 1024.0);
        return 0;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string terrain = (std::filesystem::temp_directory_path() / "quorvex-bench-terrain.dae").string();
    if (!std::filesystem::exists(terrain)) WriteTerrain(terrain);
    std::vector<std::string> files{terrain};
    const std::string corpus = "/usr/share/assimp/models/Collada/";
    if (std::filesystem::exists(corpus))
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            const std::string ext = entry.path().extension().string();
            if (entry.file_size() > 100 * 1024 && (ext == ".dae" || ext == ".DAE" || ext == ".zae"))
                files.push_back(entry.path().string());
        }
    std::sort(files.begin() + 1, files.end());
    for (int i = 2; i < argc; ++i) files.push_back(argv[i]);

    ModelLoader* loader = OpenPlugin(QUORVEX_PLUGIN);
    if (!loader) return 1;
    std::cout.setstate(std::ios::failbit);  // the loader's log lines

    // ========================================================================
    // Update: time every loader on every file
    // ========================================================================
    std::printf("%-44s %9s | %9s %9s %9s | %7s %7s | %8s %8s %8s\n", "file", "size MB", "Quorvex", "assimp",
                "floor", "x assimp", "x floor", "MB ours", "MB assimp", "MB floor");
    for (const std::string& file : files) {
        const bool archive = file.size() > 4 && file.compare(file.size() - 4, 4, ".zae") == 0;
        double best[3] = {1e30, 1e30, 1e30};
        for (int r = 0; r < runs; ++r)
            for (int which = 0; which < (archive ? 2 : 3); ++which)
                best[which] = std::min(best[which], Milliseconds([&] { RunOnce(which, loader, file); }));
        const double size = std::filesystem::file_size(file) / 1048576.0;
        double memory[3] = {0, 0, 0};
        for (int which = 0; which < (archive ? 2 : 3); ++which) memory[which] = PeakMegabytes(argv[0], which, file);
        std::printf("%-44s %9.2f | %7.1fms %7.1fms %7.1fms | %7.2f %7.2f | %8.1f %8.1f %8.1f\n",
                    std::filesystem::path(file).filename().string().substr(0, 44).c_str(), size, best[0], best[1],
                    archive ? 0.0 : best[2], best[1] / best[0], archive ? 0.0 : best[0] / best[2], memory[0],
                    memory[1], memory[2]);
    }

    // ========================================================================
    // De-Initialization: the plug-in stays loaded until exit, as in the engine
    // ========================================================================
    return 0;
}
