#pragma once
// The player's run as the race records it, and the best run raced as a
// ghost: a see-through copy of the car driving it, the live gap to it and
// the split at each checkpoint.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nodara/Renderer.h>

#include "replay/RecordedRun.h"
#include "RunRecorder.h"
#include "drivers/GhostDriver.h"
#include "hud/Minimap.h"
#include "storage/GhostFile.h"
#include "track/RoadProgress.h"

class CarPool;
class Font;
class RoadCentreLine;
class SettingsStore;
class View;
struct Car;

/// One start of a race as the ghosts see it. Every run of the player is
/// recorded from the moment the car is released until the run is over; the
/// last one stays until the next start. In a Time Trial the best run of the
/// car on the track, when there is one, drives beside the player at the
/// race's time: a copy of the car from the car pool without a body, drawn
/// see-through after the opaque scene and fading out as the player's car
/// comes near, so it never hides the road. A won trial that is the car's
/// best keeps its run as the new ghost.
///
/// The race owns it for one start, after its car pool and before the pool
/// goes; the pool and the road outlive it.
class GhostRace {
public:
    /// The ghost's opacity far from the player's car; it fades from there
    /// to nothing between FadeFarM and FadeNearM from the player's car.
    static constexpr float MaxOpacity = 0.45f;
    static constexpr float FadeFarM = 8.0f;
    static constexpr float FadeNearM = 3.0f;
    /// Seconds a checkpoint's split stays on the HUD.
    static constexpr float SplitShownS = 4.0f;
    /// The setting that shows ghosts or not: [race] ghost = on | off.
    static const char* const SettingsKey;  ///< "ghost"

    /// A race on `road` whose ghost car `cars` makes; both must outlive it.
    /// `trackKey` names the track and its direction in the ghosts' file
    /// names (TrackDescription::GhostKey).
    GhostRace(CarPool& cars, const RoadCentreLine& road, const std::string& trackKey);
    /// Gives the ghost car back to the pool.
    ~GhostRace();
    GhostRace(const GhostRace&) = delete;
    GhostRace& operator=(const GhostRace&) = delete;

    /// Reads the ghost of car `carIndex` on this track (GhostFile, which
    /// sets an unusable file aside with one Warn line) and makes its car.
    /// Without a file, or when it cannot be used, the race goes on without
    /// a ghost.
    /// @return true when the race has a ghost now
    bool LoadGhost(unsigned carIndex);
    /// Races `run`, `timeMs` long to the finish, as the ghost instead of a
    /// file's; the car is model `carIndex`'s.
    /// @return false, leaving the race without a ghost, for a run of fewer
    ///         than two samples or a car that cannot be made
    bool SetGhost(unsigned carIndex, const RecordedRun& run, std::uint32_t timeMs);
    bool HasGhost() const { return ghostCar != nullptr; }
    /// Shows the ghost, its gap and its dot (true), or hides them; the run
    /// is still recorded.
    void SetShown(bool shown) { this->shown = shown; }
    bool IsShown() const { return shown; }

    /// A new start with `car` where it stands: the recording starts anew
    /// from here, the distance along the road too, the ghost back at its
    /// start, no splits.
    void Restart(const Car& car);
    /// After the world's step of `dtS` seconds. While the car is held
    /// (`released` false) the recording keeps starting where it stands; once
    /// released each frame is recorded, the ghost driven to the run's time
    /// and faded by its distance to `car`. `over`: the run has ended (won,
    /// time up, finished), and the recording stops.
    void Frame(const Car& car, float dtS, bool released, bool over);
    /// The player has just passed checkpoint `index`: the gap to the ghost
    /// there is its split, shown for a while.
    void CheckpointPassed(unsigned index);
    /// A won Time Trial of car `carIndex` in `timeMs`: the recording stops,
    /// the finish's split is shown, and the run is kept as the car's ghost
    /// when it is `newBest` or the car had no ghost (GhostFile::Save never
    /// replaces a faster one).
    /// @return true when the run was written as the ghost
    bool TrialWon(unsigned carIndex, std::uint32_t timeMs, bool newBest);

    /// The race's record of the player's inputs since its start, kept with
    /// a won trial's ghost so that the run can be driven again; null for none.
    /// It must outlive its use.
    void SetInputs(const RunInputs* value) { inputs = value; }
    /// The player's run so far, all of it once over; until the next Restart.
    const RecordedRun& GetRun() const { return recorder.GetRun(); }
    const RunRecorder& GetRecorder() const { return recorder; }
    /// Seconds since the release, as far as the recording has come.
    double GetTimeS() const { return recorder.GetTimeS(); }
    /// The player's distance along the centre line (m).
    double GetDistanceM() const { return progress.GetDistanceM(); }
    /// The ghost being raced (empty without one).
    const RecordedRun& GetGhostRun() const { return ghostRun; }
    /// The ghost's car, or null; the pool's.
    const Car* GetGhostCar() const { return ghostCar; }
    float GetOpacity() const { return opacity; }

    /// The live gap to the ghost: positive when behind it (s). None without
    /// a ghost, before the release, or where the ghost never got.
    std::optional<double> GetGapS() const;
    /// A gap as the HUD writes it: "-1.23" ahead, "+0.45" behind.
    static std::string FormatGap(double gapS);
    /// The last split and the checkpoint it was taken at; at a won
    /// trial's finish, the difference of the two times. None before the first.
    std::optional<double> GetSplitS() const { return split; }
    unsigned GetSplitCheckpoint() const { return splitCheckpoint; }

    /// The gap under the clock, green ahead and red behind, and the last
    /// split below it for SplitShownS, in the caller's window-pixel
    /// projection; nothing while hidden or without a ghost.
    void DrawLines(Renderer::FontManager& fonts, Font& gapFont, Font& splitFont, float widthPx, float heightPx) const;
    /// The ghost on the map: a hollow dot.
    std::vector<MapDot> MapDots() const;
    /// Draws the ghost car see-through over the scene drawn last, seen
    /// through `view` with the projection in force: its depth first, then
    /// its colour blended where it is nearest, so the inside of the car does
    /// not show through its body. Fixed function, every state it changes
    /// given back. Nothing while hidden, faded out or without a ghost.
    void Draw(Renderer& renderer, const View& view) const;

    /// The best run of car `carIndex` on track `trackKey` with centre line
    /// `road`, from its ghost file, as LoadGhost reads it; `timeMs` its time
    /// to the finish.
    /// @return false, leaving `run` alone, when there is none to use
    static bool LoadBestRun(const std::string& trackKey, unsigned carIndex, const RoadCentreLine& road,
                            RecordedRun& run, std::uint32_t& timeMs);
    /// Whether car `carIndex` has a ghost file on track `trackKey`, unread:
    /// what the show room offers to watch.
    static bool HasBestRun(const std::string& trackKey, unsigned carIndex);
    const std::string& GetTrackKey() const { return trackKey; }

    /// The setting kept in `store` (null: shown). A value other than "on" or
    /// "off" shows them, with one Warn line.
    static bool ReadShown(SettingsStore* store);
    /// Keeps `shown` in `store` (null: nothing).
    static void KeepShown(SettingsStore* store, bool shown);

private:
    CarPool& cars;
    const RoadCentreLine& road;
    std::string trackKey;
    RunRecorder recorder;
    const RunInputs* inputs = nullptr;
    RoadProgress progress;
    RecordedRun ghostRun;
    std::uint32_t ghostTimeMs = 0;  ///< the ghost's time at the finish
    Car* ghostCar = nullptr;        ///< the pool's
    std::unique_ptr<GhostDriver> ghostDriver;
    bool hadGhostFile = false;  ///< a usable ghost of this car was on the disk at the start
    bool shown = true;
    bool released = false;
    float opacity = 0.0f;
    std::optional<double> split;
    unsigned splitCheckpoint = 0;
    bool splitAtFinish = false;  ///< the last split is the finish's: it stays
    float splitAgeS = 0.0f;
};
