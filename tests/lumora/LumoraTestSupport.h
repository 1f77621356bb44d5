#pragma once
// Shared pieces of the engine's GL tests: a fixture with a current context
// and an initialised renderer, a temporary folder, a TGA writer and a
// textured, lit quad model built in code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GlContext.h"
#include "QuadModel.h"

class OglRenderer;

/// A temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    /// Path of `name` inside the folder.
    std::string File(const std::string& name) const { return path + "/" + name; }
    /// Writes `text` into `name` as it is (no line-end translation).
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string path;
};

/// Changes the working directory for its lifetime, then goes back.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous;
};

/// Writes an uncompressed 32-bit TGA; `rgba` holds width * height pixels,
/// bottom row first.
void WriteTga(const std::string& path, int width, int height, const std::vector<std::uint32_t>& rgba);

/// Packs a colour the way GlContext::Pixel reports it.
constexpr std::uint32_t Rgba(int r, int g, int b, int a = 255) {
    return std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16) | (std::uint32_t(a) << 24);
}

/// Per test: a 64 x 64 window with a current GL 2.0 context and an
/// initialised renderer looking down -z at the unit quad, which fills the
/// view exactly (orthographic -1..1).
class GlTest : public testing::Test {
protected:
    static constexpr int Size = 64;

    GlTest();
    ~GlTest() override;
    void SetUp() override;

    /// Loads the identity view and an orthographic -1..1 projection.
    void LookDownZ();

    GlContext context{Size, Size};
    OglRenderer* renderer = nullptr;
};

/// The largest per-channel difference between two read-backs.
int MaxDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);
