// The game's own models, when the data folder holds them: each loads cleanly
// and safely, and the track has the nodes the race looks up.
#include <gtest/gtest.h>

#include <filesystem>

#include <nodara/ModelNode.h>

#include "QuorvexTestSupport.h"

namespace {

class ColladaGameData : public testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(ColladaGameData, LoadsWithoutWarnings) {
    const std::string path = std::string(QUORVEX_GAME_DATA) + "/" + GetParam();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " not generated yet";
    const LoadResult result = LoadCapturing(path);
    ASSERT_TRUE(result.model) << result.Log();
    ExpectSafeToDraw(*result.model);
    EXPECT_GT(CountTriangles(*result.model), 0u);
    EXPECT_EQ(result.Count("[Warn]") + result.Count("[Error]"), 0u) << result.Log();
}

INSTANTIATE_TEST_SUITE_P(Models, ColladaGameData,
                         testing::Values("cars/NissanSkyline/NissanSkyline.dae", "cars/BugattiVeyron/BugattiVeyron.dae",
                                         "tracks/GreenValley/GreenValley.dae", "tracks/KestrelPass/KestrelPass.dae",
                                         "tracks/KestrelPass/SkyDome.dae", "models/SkyDome/SkyDome.dae",
                                         "models/ShowRoom/ShowRoom.dae"));

TEST(ColladaGameDataTrack, HasTheTerrainTheRaceLooksUp) {
    for (const char* track : {"GreenValley", "KestrelPass"}) {
        const std::string path = std::string(QUORVEX_GAME_DATA) + "/tracks/" + track + "/" + track + ".dae";
        if (!std::filesystem::exists(path)) continue;
        SCOPED_TRACE(path);
        const LoadResult result = LoadCapturing(path);
        ASSERT_TRUE(result.model);
        Node* terrain = Find(result.model->GetModelNode(), "Terrain");
        ASSERT_NE(terrain, nullptr);
        EXPECT_NE(Find(terrain, "Terrain-mesh"), nullptr);
    }
}
