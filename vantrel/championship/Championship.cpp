#include "Championship.h"

#include <cstdio>

#include "cars/CarPool.h"
#include "race/GameEngine.h"
#include "race/RaceField.h"
#include "storage/RecordsStore.h"
#include "track/TrackList.h"

Championship::Championship(SeasonStore& store, RecordsStore* records) : store(store), records(records) {}

std::vector<Season::Round> Championship::RoundsOf(const TrackList& tracks) {
    std::vector<Season::Round> rounds;
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        const TrackDescription& track = tracks.TrackOf(choice);
        rounds.push_back({track.GetKey(), choice.direction, track.RoadFor(choice.direction).GetChecksum()});
    }
    return rounds;
}

std::string Championship::EntryLine() {
    if (!loaded) {
        kept = store.Load();
        loaded = true;
    }
    if (!kept || kept->IsOver()) return "Championship: new";
    return "Championship: continue (race " + std::to_string(kept->GetRoundsRun() + 1) + " of " +
           std::to_string(kept->GetRounds().size()) + ")   N: new";
}

std::string Championship::Begin(bool anew, const TrackList& tracks, const std::vector<Season::Driver>& players,
                                unsigned opponents) {
    EntryLine();
    const std::vector<Season::Round> rounds = RoundsOf(tracks);
    std::string told;
    if (!anew && kept && !kept->IsOver()) {
        if (kept->IsPlayableOn(rounds)) {
            season = *kept;
            active = true;
            return told;
        }
        // Kept aside, not lost: the player may bring the tracks back.
        store.SetAside("its tracks changed since");
        told = "The tracks changed since the championship was saved: a new one starts";
    }
    std::vector<Season::Driver> drivers = players;
    for (unsigned i = 0; i < opponents && i < RaceField::MaxOpponents; ++i)
        drivers.push_back({RaceField::DriverNames[i], i % CarPool::Count(), false});
    season = Season(rounds, drivers);
    store.Save(season);
    kept = season;
    active = !rounds.empty();
    return told;
}

std::optional<std::size_t> Championship::NextChoice(const TrackList& tracks) const {
    if (season.IsOver()) return std::nullopt;
    const Season::Round& round = season.GetNextRound();
    return tracks.Find(round.trackKey, round.direction);
}

unsigned Championship::GetOpponentCount() const {
    unsigned opponents = 0;
    for (const Season::Driver& driver : season.GetDrivers()) opponents += driver.player ? 0 : 1;
    return opponents;
}

bool Championship::SetUp(GameEngine& race, const TrackList& tracks, RacingDriver::Skill skill) const {
    const std::optional<std::size_t> choice = NextChoice(tracks);
    if (!choice) return false;
    const TrackList::Choice& chosen = tracks.GetChoices()[*choice];
    race.SetTrack(tracks.TrackOf(chosen), chosen.direction);
    race.SetOpponents(GetOpponentCount(), skill);
    race.SetGridOrder(season.GridOrder());
    race.SetEndTable("Return: standings   Escape: show room");
    return true;
}

void Championship::AfterFrame(GameEngine& race) {
    if (!race.IsOver()) {
        scored = standingsShown = false;
        return;
    }
    if (scored || !race.GetField()) return;
    RaceOver(race.GetField()->Results());
    scored = true;
}

Championship::Next Championship::OnReturn(GameEngine& race) {
    if (!scored) return Next::Stay;
    if (!standingsShown) {
        race.SetEndTable("", Standings());
        standingsShown = true;
        return Next::Stay;
    }
    scored = standingsShown = false;
    if (!season.IsOver()) return Next::NextRace;
    active = false;
    return Next::ShowRoom;
}

void Championship::RaceOver(const std::vector<ResultsTable::Row>& results) {
    std::vector<std::string> order;
    for (const ResultsTable::Row& row : results) order.push_back(row.name);
    if (!season.Record(order)) return;
    store.Save(season);
    kept = season;
    if (!season.IsOver() || !records) return;
    const std::vector<std::size_t> standings = season.Standings();
    for (std::size_t place = 0; place < standings.size(); ++place) {
        const Season::Driver& driver = season.GetDrivers()[standings[place]];
        if (driver.player && driver.carIndex < CarPool::Count())
            records->SubmitChampionshipPlace(CarPool::Describe(driver.carIndex).GetKey(),
                                             static_cast<unsigned>(place + 1));
    }
}

ResultsTable::Table Championship::Standings() const {
    ResultsTable::Table table;
    const std::vector<std::size_t> standings = season.Standings();
    if (season.IsOver() && !standings.empty()) {
        table.title = "Champion: " + season.GetDrivers()[standings.front()].name;
        table.keys = "Return: show room";
    } else {
        table.title = "Championship: race " + std::to_string(season.GetRoundsRun()) + " of " +
                      std::to_string(season.GetRounds().size());
        table.keys = "Return: next race   Escape: show room";
    }
    for (std::size_t place = 0; place < standings.size(); ++place) {
        const Season::Driver& driver = season.GetDrivers()[standings[place]];
        ResultsTable::Row row;
        row.position = static_cast<unsigned>(place + 1);
        row.name = driver.name;
        row.car = CarPool::ShownName(driver.carIndex);
        char result[48];
        if (driver.lastPlace)
            std::snprintf(result, sizeof result, "%u pts  (%u.)", driver.points, driver.lastPlace);
        else
            std::snprintf(result, sizeof result, "%u pts", driver.points);
        row.result = result;
        row.player = driver.player;
        table.rows.push_back(row);
    }
    return table;
}
