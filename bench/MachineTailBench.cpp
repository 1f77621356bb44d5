// The frame time tail this machine gives a frame with nothing drawn in it:
// each frame the main thread works alone, then hands work to worker threads,
// which take it in pieces as a software rasteriser takes its tiles, and
// waits until they are done. Given the processor time of a game frame
// (ShowRoomBench and RaceBench print it: main thread, whole process) and as
// many workers as the game gives llvmpipe (twice the cores), the 99th
// percentile over the median here is what the scheduler and the machine
// alone put under the game's figure. Needs no display.
//   bin/MachineTailBench [frames] [--main-ms M] [--workers-ms W] [--workers N] [--pieces P]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "SeriesStats.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile double spinResult;

/// Processor work that neither the compiler nor the memory shortens: a chain
/// of dependent multiplications and additions, its result kept.
void Spin(long iterations) {
    double x = spinResult;
    for (long i = 0; i < iterations; ++i) x = x * 1.0000001 + 1e-9;
    spinResult = x;
}

/// Iterations of Spin per millisecond, from the fastest of a few timed
/// calls (the slower ones were interrupted).
double IterationsPerMs() {
    const long probe = 2000000;
    double fastestMs = 1e9;
    for (int i = 0; i < 7; ++i) {
        const Clock::time_point start = Clock::now();
        Spin(probe);
        fastestMs = std::min(fastestMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return probe / fastestMs;
}

/// Worker threads that share out each frame's pieces of work and report
/// when the last piece is done.
class Workers {
public:
    Workers(unsigned count, long iterationsPerPiece) : iterations(iterationsPerPiece) {
        for (unsigned i = 0; i < count; ++i) threads.emplace_back([this] { Work(); });
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        started.notify_all();
        for (std::thread& thread : threads) thread.join();
    }

    /// Hands out `count` pieces and waits until all are done.
    void Run(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        pieces = count;
        taken = 0;
        busy = static_cast<int>(threads.size());
        ++frame;
        started.notify_all();
        finished.wait(lock, [this] { return busy == 0; });
    }

private:
    void Work() {
        unsigned long seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            started.wait(lock, [&] { return quit || frame != seen; });
            if (quit) return;
            seen = frame;
            while (taken < pieces) {
                ++taken;
                lock.unlock();
                Spin(iterations);
                lock.lock();
            }
            if (--busy == 0) finished.notify_one();
        }
    }

    const long iterations;
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable started, finished;
    unsigned long frame = 0;
    int pieces = 0, taken = 0, busy = 0;
    bool quit = false;
};

}  // namespace

int main(int argc, char** argv) {
    int frames = 1200, pieces = 64;
    double mainMs = 1.3, workersMs = 5.3;
    unsigned workers = 2 * std::max(1u, std::thread::hardware_concurrency());
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--main-ms" && i + 1 < argc)
            mainMs = std::max(0.0, std::atof(argv[++i]));
        else if (argument == "--workers-ms" && i + 1 < argc)
            workersMs = std::max(0.0, std::atof(argv[++i]));
        else if (argument == "--workers" && i + 1 < argc)
            workers = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        else if (argument == "--pieces" && i + 1 < argc)
            pieces = std::max(1, std::atoi(argv[++i]));
        else
            frames = std::max(1, std::atoi(argv[i]));
    }
    const double perMs = IterationsPerMs();
    const long mainIterations = static_cast<long>(mainMs * perMs);
    Workers pool(workers, static_cast<long>(workersMs * perMs / pieces));
    const auto frame = [&] {
        Spin(mainIterations);
        pool.Run(pieces);
    };
    for (int i = 0; i < 60; ++i) frame();
    std::vector<double> frameS;
    frameS.reserve(frames);
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        frame();
        frameS.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    const double meanMs = std::accumulate(frameS.begin(), frameS.end(), 0.0) / frames * 1e3;
    std::vector<double> sorted = frameS;
    std::sort(sorted.begin(), sorted.end());
    std::printf("MachineTailBench: %d frames, main thread %.2f ms then %u workers %.2f ms in %d pieces (processor time "
                "a frame), %u cores\n",
                frames, mainMs, workers, workersMs, pieces, std::thread::hardware_concurrency());
    std::printf("frame time: mean %.2f ms (%.1f fps), 95th percentile %.2f ms\n", meanMs, 1e3 / meanMs,
                sorted[sorted.size() * 95 / 100] * 1e3);
    PrintFrameTimeTail(frameS);
    return 0;
}
