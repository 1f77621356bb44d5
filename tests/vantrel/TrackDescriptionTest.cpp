// Tracks read from their descriptions: every field of a broken one refused
// in one Warn line while the other tracks stay, the reversed centre line,
// the choice kept in the settings, and the records and ghosts of each track
// and way kept apart, the original track's forward ones where they were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "race/TrackSettings.h"
#include "storage/GhostFile.h"
#include "storage/RecordsStore.h"
#include "storage/SettingsStore.h"
#include "track/TrackList.h"

namespace fs = std::filesystem;

namespace {

using Direction = TrackDescription::Direction;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A scratch data folder: tracks/ holding the original track's files (as
/// links to the game's) and its description, models/ the sky it names.
class TrackFolders : public ::testing::Test {
protected:
    void SetUp() override {
        original = fs::path(TrackList::DataFolder) / TrackDescription::OriginalTrack;
        if (!fs::exists(original / TrackDescription::FileName)) GTEST_SKIP() << "no game data in " << original;
        std::string pattern = (fs::temp_directory_path() / "vantrel-tracks-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root / "models" / "SkyDome");
        fs::create_symlink(fs::absolute("../data/models/SkyDome/SkyDome.dae"), root / "models/SkyDome/SkyDome.dae");
        description = ReadText(original / TrackDescription::FileName);
        MakeTrack(TrackDescription::OriginalTrack, description);
    }
    void TearDown() override {
        if (!root.empty()) fs::remove_all(root);
    }
    /// A track folder `name` with the original's model and road and `text` as its description.
    fs::path MakeTrack(const std::string& name, const std::string& text) {
        const fs::path folder = root / "tracks" / name;
        fs::create_directories(folder);
        for (const char* file : {"GreenValley.dae", "GreenValley.road"})
            fs::create_symlink(fs::absolute(original / file), folder / file);
        std::ofstream(folder / TrackDescription::FileName) << text;
        return folder;
    }
    /// The original's description with `from` replaced by `to` (which must be there).
    std::string Edited(const std::string& from, const std::string& to) const {
        std::string text = description;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    }

    fs::path original, root;
    std::string description;
};

}  // namespace

TEST_F(TrackFolders, EachBrokenFieldIsRefusedInOneWarningNamingFileAndFieldAndTheOtherTracksStay) {
    struct Case {
        const char* from;
        const char* to;
        const char* field;  ///< what the Warn line names after the file
    };
    const Case cases[] = {
        {"name = GreenValley\n", "", "[track] name is missing"},
        {"model = GreenValley.dae", "model =", "[track] model is missing"},
        {"road = GreenValley.road", "road = Nowhere.road", "[track] road names \"Nowhere.road\""},
        {"sky = ../../models/SkyDome/SkyDome.dae", "sky = ../../models", "[track] sky names"},
        {"road_half_width = 5.5", "road_half_width = wide", "[track] road_half_width"},
        {"road_half_width = 5.5", "road_half_width = 0", "[track] road_half_width"},
        {"light_position = 0 0 2000", "light_position = 0 0 inf", "[track] light_position"},
        {"light_position = 0 0 2000", "light_position = 0 0", "[track] light_position"},
        {"light_colour = 1 1 1", "light_colour = 1 1 nan", "[track] light_colour"},
        {"light_colour = 1 1 1", "light_colour = 1 2 1", "[track] light_colour"},
        {"directions = forward reverse", "directions = forward backward", "[track] directions names \"backward\""},
        {"directions = forward reverse", "directions = forward forward", "[track] directions names forward twice"},
        {"directions = forward reverse", "directions =", "[track] directions is missing"},
        {"[reverse]\nstart = 0 0 180", "[reverse]\nbegin = 0 0 180", "[reverse] start is missing"},
        {"start = 0 0 180", "start = 0 0 0", "[reverse] start faces away"},
        {"start = 0 0 0", "start = 0 40 0", "[forward] start is not on the road's start line"},
        {"start = 0 0 0", "start = 0 0", "[forward] start"},
        {"checkpoint5 = 1169 -1933 75\n", "", "[forward] checkpoint5 is missing"},
        {"checkpoint5 = -388 90 90", "checkpoint5 = -388 90 90\ncheckpoint6 = -388 90 90",
         "[reverse] checkpoint6 is one too many"},
        {"checkpoint2 = -1156 1884 80", "checkpoint2 = nan 1884 80", "[forward] checkpoint2"},
        {"checkpoint2 = -1156 1884 80", "checkpoint2 = -1156 1884 soon", "[forward] checkpoint2"},
        {"checkpoint2 = -1156 1884 80", "checkpoint2 = -1156 1884 -80", "[forward] checkpoint2"},
        {"checkpoint3 = 757 1454 50", "checkpoint3 = 757 1554 50", "[forward] checkpoint3 is not on the road"},
        {"checkpoint2 = -1156 1884 80\ncheckpoint3 = 757 1454 50",
         "checkpoint2 = 757 1454 50\ncheckpoint3 = -1156 1884 80", "[forward] checkpoint3 comes before"},
        {"[track]", "[track\x01]", "the file is no description"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const fs::path broken = MakeTrack("Broken", Edited(c.from, c.to));
        TrackList tracks;
        testing::internal::CaptureStdout();
        const std::size_t found = tracks.Load((root / "tracks").string());
        const std::string output = testing::internal::GetCapturedStdout();
        ASSERT_EQ(found, 1u);
        EXPECT_EQ(tracks.GetTracks()[0].GetKey(), TrackDescription::OriginalTrack);
        EXPECT_EQ(tracks.GetChoices().size(), 2u);
        const std::string line = "[Warn] TrackDescription - " + (broken / TrackDescription::FileName).string() + ": " +
                                 c.field;
        EXPECT_EQ(output.rfind(line, 0), 0u) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
        fs::remove_all(broken);
    }
}

TEST_F(TrackFolders, AFileThatIsNoRegularSmallTextIsRefusedWithoutWaitingAndAnOrderedListStays) {
    // A FIFO under the description's name would block a plain open.
    const fs::path fifo = root / "tracks" / "Fifo";
    fs::create_directories(fifo);
    ASSERT_EQ(mkfifo((fifo / TrackDescription::FileName).c_str(), 0600), 0);
    // Too large, a road that is no centre line, and a second usable track.
    MakeTrack("Huge", description + std::string(TrackDescription::MaxFileBytes, ';'));
    const fs::path badRoad = MakeTrack("BadRoad", description);
    fs::remove(badRoad / "GreenValley.road");
    std::ofstream(badRoad / "GreenValley.road") << "not a road\n";
    MakeTrack("AValley", Edited("name = GreenValley", "name = AValley"));
    TrackList tracks;
    testing::internal::CaptureStdout();
    ASSERT_EQ(tracks.Load((root / "tracks").string()), 2u);
    const std::string output = testing::internal::GetCapturedStdout();
    for (const char* expected : {"Fifo/track.ini: the file cannot be read", "Huge/track.ini: the file cannot be read",
                                 "BadRoad/track.ini: [track] road is unusable"})
        EXPECT_NE(output.find(expected), std::string::npos) << expected << " in\n" << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 3) << output;
    // The original first whatever its name, then by name; each track's ways in its file's order.
    ASSERT_EQ(tracks.GetChoices().size(), 4u);
    EXPECT_EQ(tracks.Label(tracks.GetChoices()[0]), "GreenValley");
    EXPECT_EQ(tracks.Label(tracks.GetChoices()[1]), "GreenValley reversed");
    EXPECT_EQ(tracks.Label(tracks.GetChoices()[2]), "AValley");
    EXPECT_EQ(tracks.Label(tracks.GetChoices()[3]), "AValley reversed");
    EXPECT_EQ(tracks.Find("AValley", Direction::Reverse), 3u);
    EXPECT_FALSE(tracks.Find("Huge", Direction::Forward));
}

TEST_F(TrackFolders, TheReverseWayRunsTheSameLoopBackFromTheSameStartLine) {
    TrackDescription track;
    ASSERT_TRUE(track.Load((root / "tracks" / TrackDescription::OriginalTrack).string()));
    const RoadCentreLine forward = track.RoadFor(Direction::Forward), reverse = track.RoadFor(Direction::Reverse);
    ASSERT_EQ(reverse.GetPointCount(), forward.GetPointCount());
    EXPECT_NEAR(reverse.GetLength(), forward.GetLength(), 1e-6 * forward.GetLength());
    EXPECT_EQ(reverse.GetPoint(0).x, forward.GetPoint(0).x);
    EXPECT_EQ(reverse.GetPoint(0).y, forward.GetPoint(0).y);
    // A ghost of one way is told from the other's by the line's checksum.
    EXPECT_NE(reverse.GetChecksum(), forward.GetChecksum());
    EXPECT_EQ(reverse.Reversed().GetChecksum(), forward.GetChecksum());
    // Everywhere along it, the same point with the way and the bends turned round.
    for (double s = 0.0; s < forward.GetLength(); s += forward.GetLength() / 97.0) {
        const double back = forward.GetLength() - s;
        const RoadCentreLine::Point a = forward.At(s), b = reverse.At(back);
        ASSERT_NEAR(a.x, b.x, 1e-6);
        ASSERT_NEAR(a.y, b.y, 1e-6);
        EXPECT_NEAR(forward.Tangent(s).x, -reverse.Tangent(back).x, 1e-6);
        EXPECT_NEAR(forward.Curvature(s), -reverse.Curvature(back), 1e-6);
    }
    // The reverse way's checkpoints lie along its road in order, the last the finish.
    const TrackDescription::Way& way = *track.FindWay(Direction::Reverse);
    EXPECT_EQ(way.startHeadingDeg, 180.0);
    double last = 0.0;
    for (const Track::Checkpoint& checkpoint : way.checkpoints) {
        const double s = reverse.Project(checkpoint.x, checkpoint.y);
        EXPECT_GT(s, last);
        last = s;
    }
}

TEST_F(TrackFolders, RecordsGhostsAndTheChoiceAreKeptPerTrackAndWayTheOriginalForwardUnderItsOldKeys) {
    MakeTrack("AValley", Edited("name = GreenValley", "name = AValley"));
    TrackList tracks;
    ASSERT_EQ(tracks.Load((root / "tracks").string()), 2u);
    const TrackDescription& valley = tracks.GetTracks()[0];
    const TrackDescription& other = tracks.GetTracks()[1];

    // A records file from before there were other tracks: still the original's forward best.
    const fs::path data = root / "data";
    fs::create_directories(data);
    std::ofstream(data / RecordsStore::FileName) << "[NissanSkyline]\nbest_ms = 83456\n";
    RecordsStore records(data.string());
    EXPECT_EQ(records.BestMs(valley.RecordsKey(Direction::Forward, "NissanSkyline")), 83456u);
    EXPECT_FALSE(records.BestMs(valley.RecordsKey(Direction::Reverse, "NissanSkyline")));
    EXPECT_FALSE(records.BestMs(other.RecordsKey(Direction::Forward, "NissanSkyline")));
    // Each way's record its own, none touching another's.
    for (const TrackList::Choice& choice : tracks.GetChoices()) {
        const std::string key = tracks.TrackOf(choice).RecordsKey(choice.direction, "NissanSkyline");
        EXPECT_TRUE(IniFile::IsValidName(key)) << key;
        EXPECT_TRUE(records.Submit(key, 70000 + static_cast<std::uint32_t>(choice.track) * 1000 +
                                            (choice.direction == Direction::Reverse ? 500 : 0)));
    }
    RecordsStore reread(data.string());
    EXPECT_EQ(reread.BestMs("NissanSkyline"), 70000u);
    EXPECT_EQ(reread.BestMs("GreenValley-reverse.NissanSkyline"), 70500u);
    EXPECT_EQ(reread.BestMs("AValley.NissanSkyline"), 71000u);
    EXPECT_EQ(reread.BestMs("AValley-reverse.NissanSkyline"), 71500u);

    // The ghosts: the original forward's file where it always was.
    const fs::path ghosts = root / "ghosts";
    const auto ghostName = [&](const TrackDescription& track, Direction direction) {
        return fs::path(GhostFile(ghosts.string(), track.GhostKey(direction), "NissanSkyline").GetPath()).filename();
    };
    EXPECT_EQ(ghostName(valley, Direction::Forward), "GreenValley-NissanSkyline.ghost");
    EXPECT_EQ(ghostName(valley, Direction::Reverse), "GreenValley-reverse-NissanSkyline.ghost");
    EXPECT_EQ(ghostName(other, Direction::Reverse), "AValley-reverse-NissanSkyline.ghost");

    // The choice: kept by track key and way, read back; one naming no track found is the first, with one Warn line.
    const fs::path config = root / "config";
    fs::create_directories(config);
    SettingsStore settings(config.string());
    EXPECT_EQ(TrackSettings::Read(&settings, tracks), 0u);
    TrackSettings::Keep(&settings, tracks, 3);
    SettingsStore next(config.string());
    EXPECT_EQ(TrackSettings::Read(&next, tracks), 3u);
    EXPECT_NE(ReadText(config / SettingsStore::FileName).find("track = AValley\ndirection = reverse"),
              std::string::npos);
    for (const auto& [track, direction] : {std::pair<const char*, const char*>{"Nowhere", "forward"},
                                           {"AValley", "backwards"}}) {
        next.Set("race", "track", track);
        next.Set("race", "direction", direction);
        testing::internal::CaptureStdout();
        EXPECT_EQ(TrackSettings::Read(&next, tracks), 0u);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output.rfind("[WARN] TrackSettings: [race] track = \"" + std::string(track), 0), 0u) << output;
        EXPECT_NE(output.find("GreenValley it is"), std::string::npos) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    }
}

TEST_F(TrackFolders, ANameLongerThanTheMenuTakesIsCutToWholeCharactersWithOneWarning) {
    const std::string accented = "\xC3\xA9";  // é, two bytes
    struct Case {
        std::string name, shown;
        bool warned;
    };
    const Case cases[] = {
        {std::string(10000, 'x'), std::string(TrackDescription::MaxNameCharacters, 'x'), true},
        // Counted in characters, not bytes: 32 characters of 34 bytes stay whole.
        {std::string(30, 'a') + accented + accented, std::string(30, 'a') + accented + accented, false},
        // A character is never split: the cut falls after the 32nd, before the 33rd's first byte.
        {std::string(31, 'a') + accented + accented + "zz", std::string(31, 'a') + accented, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 40));
        const fs::path folder = MakeTrack("Long", Edited("name = GreenValley", "name = " + c.name));
        TrackDescription track;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(track.Load(folder.string()));
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(track.GetName(), c.shown);
        EXPECT_EQ(track.Label(Direction::Reverse), c.shown + " reversed");
        const std::string line = "[Warn] TrackDescription - " + (folder / TrackDescription::FileName).string() +
                                 ": [track] name is longer than 32 characters; the menu shows \"" + c.shown + "\"\n";
        EXPECT_EQ(output, c.warned ? line : "");
        fs::remove_all(folder);
    }
    // A description refused for another field says that alone.
    const fs::path broken = MakeTrack("Long", Edited("name = GreenValley\nmodel = GreenValley.dae",
                                                     "name = " + std::string(100, 'x') + "\nmodel ="));
    TrackDescription track;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(track.Load(broken.string()));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    EXPECT_EQ(output.find("name"), std::string::npos) << output;
}
