#pragma once
// Processor time and the summary of a series of timings, shared by the
// benchmarks that need no window.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

/// This thread's processor time (ms): unlike the wall clock it does not
/// count time the scheduler gave to other programs.
inline double ThreadMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

/// Prints mean, median, 95th percentile and maximum of a series (ms) in one
/// line, with `decimals` places, and, for each of `limitsMs`, how many
/// values lie over it.
inline void PrintSeries(const char* what, std::vector<double> ms, int decimals = 3,
                        const std::vector<double>& limitsMs = {}) {
    if (ms.empty()) return;
    double mean = 0.0;
    for (double value : ms) mean += value;
    mean /= static_cast<double>(ms.size());
    std::sort(ms.begin(), ms.end());
    std::printf("%s: mean %.*f ms, median %.*f ms, 95th percentile %.*f ms, max %.*f ms", what, decimals, mean,
                decimals, ms[ms.size() / 2], decimals, ms[ms.size() * 95 / 100], decimals, ms.back());
    for (std::size_t i = 0; i < limitsMs.size(); ++i)
        std::printf("%s%td over %.*f ms", i == 0 ? "; " : ", ",
                    ms.end() - std::upper_bound(ms.begin(), ms.end(), limitsMs[i]), decimals, limitsMs[i]);
    if (!limitsMs.empty()) std::printf(" of %zu", ms.size());
    std::printf("\n");
}

/// Prints the median and 99th percentile of a run's frame times (s) and how
/// far the slow tail stands above the median: a hitch shows there, not in
/// the mean.
inline void PrintFrameTimeTail(std::vector<double> frameS) {
    if (frameS.empty()) return;
    std::sort(frameS.begin(), frameS.end());
    const double median = frameS[frameS.size() / 2];
    const double p99 = frameS[std::min(frameS.size() - 1, frameS.size() * 99 / 100)];
    std::printf("frame time tail: median %.2f ms, 99th percentile %.2f ms (%.2f x the median)\n", median * 1e3,
                p99 * 1e3, median > 0.0 ? p99 / median : 0.0);
}

/// Writes each frame's time (s) as milliseconds, one a line in the order
/// drawn, so runs can be compared frame by frame; false (and a message) if
/// the file cannot be written.
inline bool WriteFrameTimes(const std::string& path, const std::vector<double>& frameS) {
    FILE* file = std::fopen(path.c_str(), "w");
    bool written = file != nullptr;
    for (std::size_t i = 0; written && i < frameS.size(); ++i) written = std::fprintf(file, "%.4f\n", frameS[i] * 1e3) > 0;
    if (file && std::fclose(file) != 0) written = false;
    if (!written) std::printf("could not write the frame times to \"%s\"\n", path.c_str());
    return written;
}
