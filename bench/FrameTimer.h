#pragma once
// Frame timing shared by the GL benchmarks.
#include <GL/glew.h>

#include <chrono>
#include <ctime>
#include <functional>

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
