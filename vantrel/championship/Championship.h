#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Season.h"
#include "SeasonStore.h"
#include "drivers/RacingDriver.h"
#include "hud/ResultsTable.h"

class GameEngine;
class RecordsStore;
class TrackList;

/// The championship as the game plays it: the season begun or continued from
/// the show room, each race's result scored and kept at once (quitting
/// between races loses nothing), the standings between races and the
/// champion at the end, with each player's car's best place in the records.
class Championship {
public:
    /// `store` and `records` (null: no best places kept) must outlive it.
    Championship(SeasonStore& store, RecordsStore* records);

    /// The rounds of a season on `tracks`: every track and way, in the
    /// list's order, with the centre line each is driven on.
    static std::vector<Season::Round> RoundsOf(const TrackList& tracks);
    /// The show room's line: "Championship: continue (race 3 of 4)   N: new"
    /// when a season is kept, else "Championship: new".
    std::string EntryLine();
    /// A new season on `tracks` between `players` (their names and cars,
    /// named as the race names them) and `opponents` of the game's drivers;
    /// unless `anew`, the season kept goes on instead, when its tracks are
    /// all still there unchanged.
    /// @return a line for the player when the kept season could not go on
    ///         ("The tracks changed since the championship was saved: a new
    ///         one starts"), or empty
    std::string Begin(bool anew, const TrackList& tracks, const std::vector<Season::Driver>& players,
                      unsigned opponents);
    /// Whether a season is being played.
    bool IsActive() const { return active; }
    /// Back to the show room: the season stays kept for another day.
    void Leave() { active = false; }
    const Season& GetSeason() const { return season; }
    /// The next race's choice in `tracks`; none once the season is over or
    /// its track is gone.
    std::optional<std::size_t> NextChoice(const TrackList& tracks) const;
    /// The game's drivers in the next race.
    unsigned GetOpponentCount() const;

    /// The next race's choice in `tracks` set up on `race` before its Start:
    /// the season's field on a grid in reverse order of the standings, and
    /// Return at its end the championship's (OnReturn).
    /// @return false when there is no next race or its track is gone
    bool SetUp(GameEngine& race, const TrackList& tracks, RacingDriver::Skill skill) const;
    /// Once `race` is over, its result scored and kept, once.
    void AfterFrame(GameEngine& race);
    /// Where Return at the end of a race leads: first the standings, shown
    /// on `race`; from them, the next race, or the show room after the last.
    enum class Next { Stay, NextRace, ShowRoom };
    Next OnReturn(GameEngine& race);

    /// Scores the race just run from its results (first to last) and keeps
    /// the season; at the season's end each player's car gets its place in
    /// the records.
    void RaceOver(const std::vector<ResultsTable::Row>& results);
    /// The standings in the results' look: "Championship: race 2 of 4" (the
    /// races run) over place, name, car, points and last place; at the end,
    /// "Champion: <name>".
    ResultsTable::Table Standings() const;

private:
    SeasonStore& store;
    RecordsStore* records;
    Season season;
    bool active = false;
    std::optional<Season> kept;  ///< as last loaded
    bool loaded = false;
    bool scored = false;          ///< the race being run is scored
    bool standingsShown = false;  ///< and its standings are on the end screen
};
