#pragma once
// What the end of a Time Trial shows under "Perfect !" or "Time is up !":
// the time taken, the car's best, a new record, and the keys that go on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nodara/Renderer.h>

class ClickAreas;
class Font;
class RecordsStore;

/// The outcome of one Time Trial. A won trial is offered to the player's
/// records; the store keeps the best time per car across runs.
class TrialResult {
public:
    /// The keys after a trial, in the HUD's words.
    static const char* const NextKeysLine;

    /// A trial won by `car` (its records key) in `takenS`, offered to
    /// `records` (null: no records, so neither a best nor a record).
    void Finish(RecordsStore* records, const std::string& car, double takenS);
    /// Back to no outcome, for a new start.
    void Clear() { *this = TrialResult(); }

    bool IsFinished() const { return finished; }
    /// The time taken, in whole milliseconds as the records keep it.
    std::uint32_t GetTakenMs() const { return takenMs; }
    /// The car's best after this trial (ms); none without records.
    std::optional<std::uint32_t> GetBestMs() const { return bestMs; }
    bool IsNewRecord() const { return newRecord; }

    /// The lines under the result, top down: for a won trial "Time: …",
    /// "Best: …" when known and "New record!" when it is one; then, for
    /// every ended trial, NextKeysLine.
    std::vector<std::string> Lines() const;
    /// Prints Lines() with `font` in the HUD's yellow, below the result's
    /// headline in the middle of a `widthPx` × `heightPx` window, in the
    /// caller's window-pixel projection; each key of NextKeysLine becomes an
    /// area of `areas` (null: none), the one under the pointer drawn white.
    void Draw(Renderer::FontManager& fonts, Font& font, float widthPx, float heightPx,
              ClickAreas* areas = nullptr) const;

private:
    bool finished = false;
    std::uint32_t takenMs = 0;
    std::optional<std::uint32_t> bestMs;
    bool newRecord = false;
};
