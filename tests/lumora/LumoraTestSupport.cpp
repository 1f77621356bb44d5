#include "LumoraTestSupport.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <lumora/OglRenderer.h>
#include <nodara/Ortho3d.h>

TempDir::TempDir() {
    char pattern[] = "/tmp/lumora-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    path = made ? made : "/tmp";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (path != "/tmp") std::filesystem::remove_all(path, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
    const std::string file = File(name);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

WorkingDirectory::WorkingDirectory(const std::string& path) {
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
}

void WriteTga(const std::string& path, int width, int height, const std::vector<std::uint32_t>& rgba) {
    std::ofstream out(path, std::ios::binary);
    // Uncompressed true-colour, 32 bits, 8 alpha bits, rows bottom-up.
    const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      static_cast<unsigned char>(width & 0xFF),
                                      static_cast<unsigned char>(width >> 8),
                                      static_cast<unsigned char>(height & 0xFF),
                                      static_cast<unsigned char>(height >> 8), 32, 8};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (std::uint32_t p : rgba) {
        const char bgra[4] = {char((p >> 16) & 0xFF), char((p >> 8) & 0xFF), char(p & 0xFF), char(p >> 24)};
        out.write(bgra, 4);
    }
}

GlTest::GlTest() : renderer(new OglRenderer) {}

GlTest::~GlTest() { delete renderer; }

void GlTest::SetUp() {
    ASSERT_TRUE(context.IsValid()) << context.Error();
    ASSERT_TRUE(renderer->Initialize());
    renderer->SetViewport(Size, Size);
    LookDownZ();
}

void GlTest::LookDownZ() {
    renderer->SetProjection(Ortho3d(-1.0, 1.0, -1.0, 1.0, -10.0, 10.0));
    glLoadIdentity();
}

int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}
