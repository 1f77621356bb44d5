// Text benchmark: six HUD-like lines a frame printed with the font manager
// (one batch of quads from the glyph texture) beside the same lines through
// the font's display lists (one glBitmap a glyph), in the same run, with an
// empty frame as the floor both stand on. On llvmpipe every glBitmap is
// processor time on the calling thread, so the main thread's time is the
// number that matters; the wall clock and the whole process are shown too.
//
// Usage: TextBench [frames]   (default 300 a round, best of 5 rounds; under Xvfb)
#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <lumora/Lumora.h>
#include <lumora/OglFontManager.h>
#include <nodara/Font.h>

#include "FrameTimer.h"
#include "GlContext.h"

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;
constexpr int Rounds = 5;
constexpr int WarmUpFrames = 20;

// What a race HUD shows at once: 30 to 40 characters a line.
const std::vector<std::string> Lines = {
    "Lap 2/3     Position 3/6     0:41.27",
    "Best lap 1:12.804   Last lap 1:13.551",
    "Speed 187 km/h   Gear 5   RPM 6850",
    "Gap to leader +2.315 s (car 4)",
    "Split 2: -0.412   Sector best 0:23.9",
    "Fuel 41 %   Tyres 88 %   Damage 0 %",
};

struct Cost {
    double wallMs = 1e30;
    double processMs = 1e30;
    double mainMs = 1e30;
};

// Times `frames` frames, each ended by glFinish so the rasterising is in.
Cost TimeRound(int frames, const std::function<void()>& frame) {
    for (int i = 0; i < WarmUpFrames; ++i) {
        frame();
        glFinish();
    }
    const auto start = std::chrono::steady_clock::now();
    const double process = CpuSeconds(), main = ThreadCpuSeconds();
    for (int i = 0; i < frames; ++i) {
        frame();
        glFinish();
    }
    const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
    return {wall.count() / frames, (CpuSeconds() - process) * 1e3 / frames,
            (ThreadCpuSeconds() - main) * 1e3 / frames};
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    GlContext context(Width, Height);
    if (!context.IsValid()) {
        std::printf("TextBench: no GL context: %s\n", context.Error().c_str());
        return 1;
    }
    Lumora engine;
    if (!engine.Initialize()) {
        std::printf("TextBench: the engine could not initialise OpenGL 2.0\n");
        return 1;
    }
    OglFontManager fonts;
    Font* font = fonts.Generate("Arial", 20);
    if (!font) {
        std::printf("TextBench: no font\n");
        return 1;
    }
    glViewport(0, 0, Width, Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, Width, 0, Height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);

    const auto lineY = [](std::size_t i) { return static_cast<float>(Height - 40 - 28 * static_cast<int>(i)); };
    // Opaque, and blended like the HUD's text over the scene.
    const auto lists = [&](bool blended) {
        return [&, blended] {
            glClear(GL_COLOR_BUFFER_BIT);
            if (blended) glEnable(GL_BLEND);
            glColor4f(1.0f, 0.9f, 0.2f, blended ? 0.9f : 1.0f);
            for (std::size_t i = 0; i < Lines.size(); ++i) {
                glRasterPos3f(30.0f, lineY(i), 0.0f);
                glPushAttrib(GL_LIST_BIT);
                glListBase(font->GetId() - 32);
                glCallLists(static_cast<GLsizei>(Lines[i].size()), GL_UNSIGNED_BYTE, Lines[i].data());
                glPopAttrib();
            }
            glDisable(GL_BLEND);
        };
    };
    const auto print = [&](bool blended) {
        return [&, blended] {
            glClear(GL_COLOR_BUFFER_BIT);
            if (blended) glEnable(GL_BLEND);
            glColor4f(1.0f, 0.9f, 0.2f, blended ? 0.9f : 1.0f);
            for (std::size_t i = 0; i < Lines.size(); ++i) fonts.Print(*font, 30.0f, lineY(i), Lines[i]);
            glDisable(GL_BLEND);
        };
    };
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    struct Row {
        const char* name;
        std::function<void()> frame;
        Cost best;
    } rows[] = {
        {"empty frame (clear)", [] { glClear(GL_COLOR_BUFFER_BIT); }, {}},
        {"opaque, display lists (glBitmap)", lists(false), {}},
        {"opaque, Print (one batch)", print(false), {}},
        {"blended, display lists (glBitmap)", lists(true), {}},
        {"blended, Print (one batch)", print(true), {}},
    };

    std::size_t characters = 0;
    for (const std::string& line : Lines) characters += line.size();
    std::printf("TextBench: %zu lines, %zu characters a frame, %d x %d, %d frames a round, best of %d, on %s\n",
                Lines.size(), characters, Width, Height, frames, Rounds,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    // The rows take turns, so a burst of load elsewhere spoils one round of
    // one row rather than a whole row.
    for (int round = 0; round < Rounds; ++round)
        for (Row& row : rows) {
            const Cost cost = TimeRound(frames, row.frame);
            row.best.wallMs = std::min(row.best.wallMs, cost.wallMs);
            row.best.processMs = std::min(row.best.processMs, cost.processMs);
            row.best.mainMs = std::min(row.best.mainMs, cost.mainMs);
        }
    context.Swap();

    const Cost& empty = rows[0].best;
    std::printf("%-34s %9s %11s %11s   (text alone: the row less the empty frame)\n", "per frame", "wall ms",
                "process ms", "main ms");
    for (const Row& row : rows)
        std::printf("%-34s %9.3f %11.3f %11.3f   text: wall %.3f, main thread %.3f ms\n", row.name,
                    row.best.wallMs, row.best.processMs, row.best.mainMs, row.best.wallMs - empty.wallMs,
                    row.best.mainMs - empty.mainMs);
    for (int lists = 1; lists <= 3; lists += 2) {
        const double listsMain = rows[lists].best.mainMs - empty.mainMs;
        const double printMain = rows[lists + 1].best.mainMs - empty.mainMs;
        const double listsWall = rows[lists].best.wallMs - empty.wallMs;
        const double printWall = rows[lists + 1].best.wallMs - empty.wallMs;
        std::printf("%s: Print / lists, text alone: main thread %.3f, wall %.3f\n", lists == 1 ? "opaque" : "blended",
                    listsMain > 0.0 ? printMain / listsMain : 0.0, listsWall > 0.0 ? printWall / listsWall : 0.0);
    }
    return 0;
}
