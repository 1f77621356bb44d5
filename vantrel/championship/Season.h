#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "track/TrackDescription.h"

class IniFile;

/// A championship: one race on each track and way, the same drivers in the
/// same cars all season, points for each place. It draws nothing and reads
/// no file: the show room and the races read it, SeasonStore keeps it.
class Season {
public:
    /// Points for first to eighth; further back scores nothing.
    static constexpr unsigned PointsByPlace[] = {10, 8, 6, 5, 4, 3, 2, 1};
    /// Bounds on a kept season, far beyond any the game makes.
    static constexpr std::size_t MaxRounds = 64;
    static constexpr std::size_t MaxDrivers = 16;

    /// One race of the season: which track, which way, and the centre line
    /// it was planned on (a track changed since is another track).
    struct Round {
        std::string trackKey;
        TrackDescription::Direction direction = TrackDescription::Direction::Forward;
        std::uint32_t roadChecksum = 0;
        bool operator==(const Round& other) const {
            return trackKey == other.trackKey && direction == other.direction && roadChecksum == other.roadChecksum;
        }
    };
    /// A driver of the season, a local player or one of the game's.
    struct Driver {
        std::string name;
        unsigned carIndex = 0;
        bool player = false;
        unsigned points = 0;
        unsigned bestPlace = 0;  ///< 0 before the first race
        unsigned lastPlace = 0;
    };

    Season() = default;
    /// A new season over `rounds`, in their order, between `drivers`.
    Season(std::vector<Round> rounds, std::vector<Driver> drivers);

    const std::vector<Round>& GetRounds() const { return rounds; }
    const std::vector<Driver>& GetDrivers() const { return drivers; }
    /// How many races are run; the next one's index while not over.
    std::size_t GetRoundsRun() const { return roundsRun; }
    bool IsOver() const { return roundsRun >= rounds.size(); }
    /// The next race; only while not over.
    const Round& GetNextRound() const { return rounds[roundsRun]; }

    /// The next race's result, `order` the drivers' names from first to
    /// last: each scores its place's points. Names not of the season are
    /// passed over; a driver missing from `order` scores nothing.
    /// @return false, changing nothing, once the season is over
    bool Record(const std::vector<std::string>& order);
    /// The drivers' indices from the leader down: most points first, ties
    /// by the better best place, then as the season listed them.
    std::vector<std::size_t> Standings() const;
    /// The next race's grid from the front: the standings reversed, the
    /// leader at the back; before the first race, empty (the race's own grid).
    std::vector<std::string> GridOrder() const;

    /// Whether `found` holds every round of the season, unchanged.
    bool IsPlayableOn(const std::vector<Round>& found) const;

    /// The season into `ini`'s sections "season", "round.N" and "driver.N".
    void Write(IniFile& ini) const;
    /// Reads a season Write wrote.
    /// @param error set to what is missing or wrong ("driver.2: points")
    /// @return false, changing nothing, for a missing or malformed season
    bool Read(const IniFile& ini, std::string& error);

private:
    std::vector<Round> rounds;
    std::vector<Driver> drivers;
    std::size_t roundsRun = 0;
};
