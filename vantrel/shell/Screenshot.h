#pragma once
// The window as the player sees it, kept as a PNG in the pictures folder.
// Reading the frame back is all the frame loop pays for: encoding and
// writing happen on a thread of the screenshots' own.
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// Screenshots of the window as drawn, HUD included. Take reads the back
/// buffer in the frame it is called in, before the swap; a worker thread,
/// started by the first Take and joined by the destructor, encodes each shot
/// as PNG and writes it under a name of its own (the local date and time,
/// never an existing file's). The frame loop collects what became of the
/// shots with TakeOutcomes.
///
/// Take, TakeOutcomes, Wait and the destructor belong to the thread that
/// draws; the worker touches no GL and no state of the game.
class Screenshot {
public:
    /// What became of one shot.
    struct Outcome {
        bool saved = false;
        std::string file;   ///< the PNG's path, when saved
        std::string error;  ///< why it was not saved ("<path>: <reason>"), when not
        /// The HUD's line: "Screenshot: ~/Pictures/Vantrel/….png", or
        /// "Screenshot not saved: …", the home folder written as "~".
        std::string NoticeLine() const;
    };

    /// Shots that may wait for the worker at once, each a copy of the window's
    /// pixels; one more is refused until the worker catches up.
    static const std::size_t MaxWaiting = 4;

    /// @param folder where the shots go; empty for the player's pictures
    ///        folder (UserFolders::PicturesFolder, looked up for each shot
    ///        on the worker, as it runs a program)
    explicit Screenshot(std::string folder = {});
    /// Writes the shots still waiting, then ends the worker; outcomes never
    /// collected that are failures get their Warn line now.
    ~Screenshot();
    Screenshot(const Screenshot&) = delete;
    Screenshot& operator=(const Screenshot&) = delete;

    /// Reads the `widthPx` × `heightPx` pixels at the window's origin from
    /// the back buffer of the current context (the window's, whatever frame
    /// buffer is bound) and hands them to the worker, named by the time of
    /// the call. The GL state it changes is given back.
    /// @return false when the read fails, the size is empty or too many shots
    ///         wait; an outcome then says why
    bool Take(int widthPx, int heightPx);
    /// The outcomes since the last call, in the order the shots were taken;
    /// never waits. Each failure also prints one line
    /// "[WARN] Screenshot: not saved: <why>" on standard output.
    std::vector<Outcome> TakeOutcomes();
    /// Blocks until every shot taken so far has an outcome.
    void Wait();

    /// "Vantrel 2026-12-08 21-55-03.png" for the local time `when`; from the
    /// second shot in that second on (`count` 2, 3, ...) "Vantrel
    /// 2026-12-08 21-55-03 (2).png" and so on.
    static std::string FileName(std::time_t when, int count = 1);
    /// Writes `png` into `folder`, made with its parents when missing, as
    /// FileName(`when`) or the first FileName(`when`, n) not taken yet:
    /// each name is created exclusively, so no file is ever overwritten.
    /// A file left incomplete by a failed write is removed.
    static Outcome Write(const std::string& folder, std::time_t when, const std::vector<unsigned char>& png);

private:
    /// A window's pixels waiting for the worker.
    struct Shot {
        std::vector<unsigned char> bgra;  ///< bottom row first, as GL reads them
        int widthPx = 0, heightPx = 0;
        std::time_t when = 0;
    };

    /// The worker's loop: shots in order until told to stop with none waiting.
    void Work();
    /// Encodes and writes one shot.
    Outcome Save(const Shot& shot) const;
    /// Prints the Warn line of a failed shot.
    static void Report(const Outcome& outcome);

    const std::string folder;
    std::mutex mutex;  ///< guards everything below but `worker`
    std::condition_variable shotWaiting;  ///< to the worker: a shot waits, or stop
    std::condition_variable shotDone;     ///< to Wait: an outcome came
    std::deque<Shot> waiting;
    std::vector<Outcome> outcomes;  ///< not collected yet
    std::size_t takenCount = 0;     ///< shots handed to the worker
    std::size_t doneCount = 0;      ///< of which it has finished
    bool stopping = false;
    std::thread worker;  ///< started by the first shot
};
