#include "Season.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "storage/IniFile.h"

namespace {

const char* const SeasonSection = "season";
// The file's layout; another is not read.
const unsigned FileVersion = 1;

std::optional<unsigned long> ReadNumber(const IniFile& ini, const std::string& section, const char* key,
                                        unsigned long most, int base = 10) {
    const std::optional<std::string> text = ini.Get(section, key);
    if (!text || text->empty()) return std::nullopt;
    unsigned long value = 0;
    const char* end = text->data() + text->size();
    const std::from_chars_result result = std::from_chars(text->data(), end, value, base);
    if (result.ec != std::errc() || result.ptr != end || value > most) return std::nullopt;
    return value;
}

std::string Hex(std::uint32_t value) {
    char text[9];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value, 16);
    return std::string(text, result.ptr);
}

}  // namespace

Season::Season(std::vector<Round> rounds, std::vector<Driver> drivers)
    : rounds(std::move(rounds)), drivers(std::move(drivers)) {}

bool Season::Record(const std::vector<std::string>& order) {
    if (IsOver()) return false;
    for (Driver& driver : drivers) driver.lastPlace = 0;
    unsigned place = 0;
    for (const std::string& name : order) {
        const auto found = std::find_if(drivers.begin(), drivers.end(),
                                        [&](const Driver& driver) { return driver.name == name; });
        if (found == drivers.end() || found->lastPlace != 0) continue;
        ++place;
        found->lastPlace = place;
        if (place <= std::size(PointsByPlace)) found->points += PointsByPlace[place - 1];
        if (found->bestPlace == 0 || place < found->bestPlace) found->bestPlace = place;
    }
    ++roundsRun;
    return true;
}

std::vector<std::size_t> Season::Standings() const {
    std::vector<std::size_t> order(drivers.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // No best place yet counts as worse than any.
    const auto best = [](const Driver& driver) { return driver.bestPlace == 0 ? ~0u : driver.bestPlace; };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (drivers[a].points != drivers[b].points) return drivers[a].points > drivers[b].points;
        return best(drivers[a]) < best(drivers[b]);
    });
    return order;
}

std::vector<std::string> Season::GridOrder() const {
    std::vector<std::string> grid;
    if (roundsRun == 0) return grid;
    const std::vector<std::size_t> standings = Standings();
    for (auto i = standings.rbegin(); i != standings.rend(); ++i) grid.push_back(drivers[*i].name);
    return grid;
}

bool Season::IsPlayableOn(const std::vector<Round>& found) const {
    return std::all_of(rounds.begin(), rounds.end(), [&](const Round& round) {
        return std::find(found.begin(), found.end(), round) != found.end();
    });
}

void Season::Write(IniFile& ini) const {
    ini.Set(SeasonSection, "version", std::to_string(FileVersion));
    ini.Set(SeasonSection, "rounds", std::to_string(rounds.size()));
    ini.Set(SeasonSection, "drivers", std::to_string(drivers.size()));
    ini.Set(SeasonSection, "run", std::to_string(roundsRun));
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        const std::string section = "round." + std::to_string(i);
        ini.Set(section, "track", rounds[i].trackKey);
        ini.Set(section, "way", TrackDescription::DirectionName(rounds[i].direction));
        ini.Set(section, "road", Hex(rounds[i].roadChecksum));
    }
    for (std::size_t i = 0; i < drivers.size(); ++i) {
        const std::string section = "driver." + std::to_string(i);
        const Driver& driver = drivers[i];
        ini.Set(section, "name", driver.name);
        ini.Set(section, "car", std::to_string(driver.carIndex));
        ini.Set(section, "player", driver.player ? "1" : "0");
        ini.Set(section, "points", std::to_string(driver.points));
        ini.Set(section, "best", std::to_string(driver.bestPlace));
        ini.Set(section, "last", std::to_string(driver.lastPlace));
    }
}

bool Season::Read(const IniFile& ini, std::string& error) {
    const auto refuse = [&](const std::string& where) {
        error = where;
        return false;
    };
    if (ReadNumber(ini, SeasonSection, "version", ~0ul) != FileVersion) return refuse("season: version");
    const std::optional<unsigned long> roundCount = ReadNumber(ini, SeasonSection, "rounds", MaxRounds);
    const std::optional<unsigned long> driverCount = ReadNumber(ini, SeasonSection, "drivers", MaxDrivers);
    if (!roundCount || *roundCount == 0) return refuse("season: rounds");
    if (!driverCount || *driverCount == 0) return refuse("season: drivers");
    const std::optional<unsigned long> run = ReadNumber(ini, SeasonSection, "run", *roundCount);
    if (!run) return refuse("season: run");
    std::vector<Round> readRounds(*roundCount);
    for (std::size_t i = 0; i < readRounds.size(); ++i) {
        const std::string section = "round." + std::to_string(i);
        const std::optional<std::string> key = ini.Get(section, "track");
        if (!key || key->empty()) return refuse(section + ": track");
        const std::optional<std::string> way = ini.Get(section, "way");
        const std::optional<TrackDescription::Direction> direction =
            way ? TrackDescription::ParseDirection(*way) : std::nullopt;
        if (!direction) return refuse(section + ": way");
        const std::optional<unsigned long> road = ReadNumber(ini, section, "road", 0xFFFFFFFFul, 16);
        if (!road) return refuse(section + ": road");
        readRounds[i] = {*key, *direction, static_cast<std::uint32_t>(*road)};
    }
    std::vector<Driver> readDrivers(*driverCount);
    for (std::size_t i = 0; i < readDrivers.size(); ++i) {
        const std::string section = "driver." + std::to_string(i);
        Driver& driver = readDrivers[i];
        const std::optional<std::string> name = ini.Get(section, "name");
        if (!name || name->empty()) return refuse(section + ": name");
        driver.name = *name;
        const struct {
            const char* key;
            unsigned long most;
            unsigned* value;
        } numbers[] = {{"car", 255, &driver.carIndex},
                       {"points", 100000, &driver.points},
                       {"best", MaxDrivers, &driver.bestPlace},
                       {"last", MaxDrivers, &driver.lastPlace}};
        for (const auto& number : numbers) {
            const std::optional<unsigned long> value = ReadNumber(ini, section, number.key, number.most);
            if (!value) return refuse(section + ": " + number.key);
            *number.value = static_cast<unsigned>(*value);
        }
        const std::optional<unsigned long> player = ReadNumber(ini, section, "player", 1);
        if (!player) return refuse(section + ": player");
        driver.player = *player == 1;
    }
    rounds = std::move(readRounds);
    drivers = std::move(readDrivers);
    roundsRun = *run;
    return true;
}
