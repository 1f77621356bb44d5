// A championship's points, standings and grids over a whole season, and the
// season kept across runs of the game.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "FileText.h"
#include "championship/Season.h"
#include "championship/SeasonStore.h"
#include "storage/IniFile.h"
#include "storage/RecordsStore.h"

namespace fs = std::filesystem;

namespace {

using Direction = TrackDescription::Direction;

Season FourRounds() {
    return Season({{"GreenValley", Direction::Forward, 0x1234u},
                   {"GreenValley", Direction::Reverse, 0x4321u},
                   {"KestrelPass", Direction::Forward, 0xabcdu},
                   {"KestrelPass", Direction::Reverse, 0xdcbau}},
                  {{"Mira", 0, false}, {"Oskar", 1, false}, {"Tessa", 0, false}, {"You", 1, true}});
}

class SeasonFolder : public ::testing::Test {
protected:
    SeasonFolder() {
        std::string pattern = (fs::temp_directory_path() / "vantrel-season-XXXXXX").string();
        if (mkdtemp(pattern.data())) folder = pattern;
    }
    ~SeasonFolder() override { fs::remove_all(folder); }
    fs::path folder;
};

}  // namespace

TEST(Season, AWholeSeasonScoresEachPlaceBreaksTiesByTheBestPlaceAndReversesTheGrid) {
    Season season = FourRounds();
    EXPECT_TRUE(season.GridOrder().empty()) << "the first race lines up as the race does";
    ASSERT_TRUE(season.Record({"Mira", "Oskar", "Tessa", "You"}));
    // The leader starts the next race at the back.
    EXPECT_EQ(season.GridOrder(), (std::vector<std::string>{"You", "Tessa", "Oskar", "Mira"}));
    ASSERT_TRUE(season.Record({"You", "Tessa", "Oskar", "Mira"}));
    ASSERT_TRUE(season.Record({"Oskar", "Mira", "You", "Tessa"}));
    ASSERT_FALSE(season.IsOver());
    EXPECT_EQ(season.GetNextRound().trackKey, "KestrelPass");
    EXPECT_EQ(season.GetNextRound().direction, Direction::Reverse);
    // Names the season does not know, and a driver twice, count for nothing;
    // one missing (Mira) scores nothing.
    ASSERT_TRUE(season.Record({"Nobody", "Oskar", "Tessa", "Tessa", "You"}));
    EXPECT_TRUE(season.IsOver());
    EXPECT_FALSE(season.Record({"Mira"}));
    const std::vector<Season::Driver>& drivers = season.GetDrivers();
    EXPECT_EQ(drivers[0].points, 10u + 5 + 8);
    EXPECT_EQ(drivers[1].points, 8u + 6 + 10 + 10);
    EXPECT_EQ(drivers[2].points, 6u + 8 + 5 + 8);
    EXPECT_EQ(drivers[3].points, 5u + 10 + 6 + 6);
    EXPECT_EQ(drivers[0].lastPlace, 0u);
    EXPECT_EQ(drivers[2].bestPlace, 2u);
    // Tessa and You on 27: You won a race, Tessa never did.
    EXPECT_EQ(season.Standings(), (std::vector<std::size_t>{1, 3, 2, 0}));
}

TEST(Season, WrittenAndReadBackItIsTheSameSeasonAndAFieldWrongIsNamed) {
    Season season = FourRounds();
    season.Record({"Tessa", "You", "Mira", "Oskar"});
    IniFile ini;
    season.Write(ini);
    Season read;
    std::string error;
    ASSERT_TRUE(read.Read(ini, error)) << error;
    EXPECT_EQ(read.GetRoundsRun(), 1u);
    EXPECT_EQ(read.GetRounds(), season.GetRounds());
    EXPECT_EQ(read.GridOrder(), season.GridOrder());
    EXPECT_TRUE(read.GetDrivers()[3].player);
    EXPECT_TRUE(read.IsPlayableOn(season.GetRounds()));
    // A track's centre line changed since: not the same season's track.
    std::vector<Season::Round> changed = season.GetRounds();
    changed[2].roadChecksum ^= 1;
    EXPECT_FALSE(read.IsPlayableOn(changed));

    const struct {
        const char* section;
        const char* key;
        const char* value;
        const char* named;
    } faults[] = {
        {"season", "version", "2", "season: version"},  {"season", "rounds", "0", "season: rounds"},
        {"season", "run", "5", "season: run"},          {"round.1", "way", "sideways", "round.1: way"},
        {"round.3", "road", "xyz", "round.3: road"},    {"driver.2", "points", "-3", "driver.2: points"},
        {"driver.0", "best", "99", "driver.0: best"},   {"season", "drivers", "9999", "season: drivers"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.named);
        IniFile broken = ini;
        ASSERT_TRUE(broken.Set(fault.section, fault.key, fault.value));
        Season untouched = read;
        EXPECT_FALSE(untouched.Read(broken, error));
        EXPECT_EQ(error, fault.named);
        EXPECT_EQ(untouched.GetRoundsRun(), 1u) << "a refused read changes nothing";
    }
}

TEST_F(SeasonFolder, TheSeasonLastsAcrossRunsAndADamagedOrStaleFileIsSetAsideNotLost) {
    ASSERT_FALSE(folder.empty());
    Season season = FourRounds();
    season.Record({"You", "Mira", "Oskar", "Tessa"});
    {
        SeasonStore store(folder.string());
        EXPECT_FALSE(store.Load());
        ASSERT_TRUE(store.Save(season));
        season.Record({"Mira", "You", "Oskar", "Tessa"});
        ASSERT_TRUE(store.Save(season));
    }
    // The next run goes on with race 3.
    {
        SeasonStore store(folder.string());
        const std::optional<Season> kept = store.Load();
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->GetRoundsRun(), 2u);
        EXPECT_EQ(kept->GetDrivers()[3].points, 18u);
    }
    // Damaged: the backup (after race 1) is read, the damaged file kept aside.
    const fs::path file = folder / SeasonStore::FileName;
    {
        std::ofstream(file, std::ios::trunc) << "[season\x01 broken";
        SeasonStore store(folder.string());
        const std::optional<Season> kept = store.Load();
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->GetRoundsRun(), 1u);
    }
    // Sound INI but no season in it, or a season on tracks since changed: set
    // aside, nothing kept, and the file aside still holds it.
    for (const char* text : std::initializer_list<const char*>{"[season]\nversion = 1\nrounds = 4\n", nullptr}) {
        SCOPED_TRACE(text ? "no season" : "stale");
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
        SeasonStore store(folder.string());
        ASSERT_TRUE(store.Save(season));
        if (text) std::ofstream(file, std::ios::trunc) << text;
        const std::optional<Season> kept = SeasonStore(folder.string()).Load();
        if (!text) {
            ASSERT_TRUE(kept);
            store.SetAside("the tracks changed since");
        }
        EXPECT_FALSE(fs::exists(file));
        std::size_t aside = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string(), base = SeasonStore::FileName;
            if (name.rfind(base, 0) == 0 && name != base + ".bak" && name != base + ".lock") ++aside;
        }
        EXPECT_EQ(aside, 1u);
    }
}

TEST_F(SeasonFolder, TheRecordsKeepEachCarsBestChampionshipPlace) {
    RecordsStore records(folder.string());
    EXPECT_FALSE(records.BestChampionshipPlace("NissanSkyline"));
    EXPECT_TRUE(records.SubmitChampionshipPlace("NissanSkyline", 3));
    EXPECT_FALSE(records.SubmitChampionshipPlace("NissanSkyline", 4));
    EXPECT_TRUE(records.SubmitChampionshipPlace("NissanSkyline", 1));
    EXPECT_FALSE(records.SubmitChampionshipPlace("NissanSkyline", 0));
    EXPECT_EQ(RecordsStore(folder.string()).BestChampionshipPlace("NissanSkyline"), 1u);
}
