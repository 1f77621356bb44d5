// The game's show room as the program runs it, from its own folder on the real
// data: time from process start to the first shown frame, then the frame time
// over a run of frames at the window's 1024 × 768 (mean and 95th percentile),
// where that time goes, and the peak memory.
// With --quality the room is drawn at that preset, else at the one the
// player's settings (or the renderer) give; --frame-times writes each timed
// frame's time (ms) to a file, a line each.
//   xvfb-run -a -s "-screen 0 1280x1024x24" env SDL_VIDEODRIVER=x11 ./ShowRoomBench [frames] [--quality low|medium|high] [--frame-times file]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include <GL/glew.h>
#include <sys/resource.h>
#include <unistd.h>

#include <lumora/Lumora.h>

#include "FrameTimer.h"
#include "hud/FrameStatistics.h"
#include "showroom/ShowRoom.h"
#include "shell/VantrelApp.h"
#include "platform/AppWindow.h"
#include "platform/ProgramFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

/// Seconds since the kernel started this process (10 ms resolution).
double SinceProcessStartS() {
    std::ifstream stat("/proc/self/stat");
    std::string field;
    // Field 22 is the start time in clock ticks after boot; the command name
    // (field 2) holds no blanks here.
    for (int i = 0; i < 22 && stat >> field;) ++i;
    const double startS = std::atof(field.c_str()) / static_cast<double>(sysconf(_SC_CLK_TCK));
    double uptimeS = 0.0;
    std::ifstream("/proc/uptime") >> uptimeS;
    return uptimeS - startS;
}

double PeakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct Summary {
    double meanMs, p95Ms;
};

Summary Summarise(std::vector<double> timesS) {
    const double mean = std::accumulate(timesS.begin(), timesS.end(), 0.0) / timesS.size();
    std::sort(timesS.begin(), timesS.end());
    const double p95 = timesS[std::min(timesS.size() - 1, static_cast<std::size_t>(timesS.size() * 0.95))];
    return {mean * 1e3, p95 * 1e3};
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine::Choices choices;
    int frames = 600;
    std::string frameTimesFile;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--quality" && i + 1 < argc)
            choices.quality = QualityPreset::FromKey(argv[++i]);
        else if (std::string(argv[i]) == "--frame-times" && i + 1 < argc)
            // Before the program's folder becomes the working folder.
            frameTimesFile = std::filesystem::absolute(argv[++i]).string();
        else
            frames = std::max(1, std::atoi(argv[i]));
    }
    const Clock::time_point mainEntered = Clock::now();
    const double beforeMainS = SinceProcessStartS();

    // Start-up as the program does it, up to the first shown frame.
    ChangeToProgramFolder();
    VantrelApp& app = VantrelApp::Instance();
    app.Configure(choices);
    if (!app.Initialize() || !app.Start() || !app.GetShowRoom()) {
        std::printf("ShowRoomBench: the game did not start\n");
        return 1;
    }
    app.Frame();
    glFinish();
    const double firstFrameS = beforeMainS + Seconds(mainEntered, Clock::now());

    // Whole passes of the frame loop, as the player gets them.
    std::vector<double> frameS;
    frameS.reserve(frames);
    const double processCpuStart = CpuSeconds(), mainCpuStart = ThreadCpuSeconds();
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        app.Frame();
        frameS.push_back(Seconds(start, Clock::now()));
    }
    const double processCpuS = CpuSeconds() - processCpuStart, mainCpuS = ThreadCpuSeconds() - mainCpuStart;
    const Summary whole = Summarise(frameS);
    if (!frameTimesFile.empty() && !WriteFrameTimes(frameTimesFile, frameS)) return 1;

    // The same frame in its parts, each drained from the GL queue before the
    // next starts, so the time lands on the step that caused it.
    ShowRoom& room = *app.GetShowRoom();
    const int parted = std::min(frames, 200);
    std::vector<double> updateS, sceneS, overlayS, swapS;
    for (int i = 0; i < parted; ++i) {
        Clock::time_point t0 = Clock::now();
        room.Update();
        room.GetFrameStatistics().Step();
        Clock::time_point t1 = Clock::now();
        room.RenderScene();
        glFinish();
        Clock::time_point t2 = Clock::now();
        room.DrawOverlay();
        glFinish();
        Clock::time_point t3 = Clock::now();
        app.GetWindow()->SwapBuffers();
        Clock::time_point t4 = Clock::now();
        updateS.push_back(Seconds(t0, t1));
        sceneS.push_back(Seconds(t1, t2));
        overlayS.push_back(Seconds(t2, t3));
        swapS.push_back(Seconds(t3, t4));
    }

    std::printf("ShowRoomBench: renderer %s, window 1024 x 768, preset %s\n", glGetString(GL_RENDERER),
                QualityPreset::Name(app.GetQuality()));
    std::printf("first show-room frame after process start: %.3f s (target <= 2 s; %.3f s before main)\n", firstFrameS,
                beforeMainS);
    std::printf("frame time over %d frames: mean %.2f ms (%.1f fps), 95th percentile %.2f ms (target >= 30 fps)\n",
                frames, whole.meanMs, 1e3 / whole.meanMs, whole.p95Ms);
    PrintFrameTail(frameS, processCpuS, mainCpuS);
    std::printf("where it goes (mean over %d frames, GL drained after each step):\n", parted);
    std::printf("  turntable and timing   %8.3f ms\n", Summarise(updateS).meanMs);
    std::printf("  scene (with stretch)   %8.3f ms\n", Summarise(sceneS).meanMs);
    std::printf("  overlay (menu, sign)   %8.3f ms\n", Summarise(overlayS).meanMs);
    std::printf("  buffer swap            %8.3f ms\n", Summarise(swapS).meanMs);
    std::printf("peak memory (resident): %.1f MB (target < 400 MB)\n", PeakMemoryMb());
    app.OnQuit(app.GetEventHandler());
    return 0;
}
