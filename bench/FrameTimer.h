#pragma once
// Frame timing shared by the GL benchmarks.
#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "SeriesStats.h"

/// Wall-clock and process CPU time per frame (ms).
struct FrameTime {
    double wallMs;
    double cpuMs;
};

/// CPU time of the whole process (s): llvmpipe rasterises on its own
/// threads, and this counts them while counting little of the machine's
/// other load.
inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

/// CPU time of the calling thread alone (s): on the main thread, the
/// game's own code and the renderer's vertex path, without the rasteriser's
/// threads.
inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

/// Prints the frame time tail of a run (s) and the processor time of the
/// whole process and of the main thread per frame (s totals over the run).
inline void PrintFrameTail(const std::vector<double>& frameS, double processCpuS, double mainCpuS) {
    if (frameS.empty()) return;
    PrintFrameTimeTail(frameS);
    const double frames = static_cast<double>(frameS.size());
    std::printf("processor time per frame: whole process %.2f ms, main thread %.2f ms (%.0f %%)\n",
                processCpuS * 1e3 / frames, mainCpuS * 1e3 / frames,
                processCpuS > 0.0 ? 100.0 * mainCpuS / processCpuS : 0.0);
}

/// Times `frames` calls of `frame` after `warmUpFrames` untimed ones. Each
/// frame ends in glFinish, so the rasterising is inside the time.
inline FrameTime TimeFrames(int warmUpFrames, int frames, const std::function<void()>& frame) {
    for (int i = 0; i < warmUpFrames; ++i) {
        frame();
        glFinish();
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    for (int i = 0; i < frames; ++i) {
        frame();
        glFinish();
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count() / frames, (CpuSeconds() - cpuStart) * 1000.0 / frames};
}
