// A peer's COLLADA corpus (Debian's assimp-testmodels): every document loads
// safely, with the triangles, positions and nodes an independent count finds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nodara/Image.h>

#include "QuorvexTestSupport.h"

namespace {

struct CorpusEntry {
    const char* file;
    std::size_t triangles;
    std::size_t vertices;
    std::vector<std::string> nodes;
};

const CorpusEntry corpus[] = {
#include "CorpusCounts.inc"
};

const std::string CorpusFolder = "/usr/share/assimp/models/Collada/";

class ColladaCorpus : public testing::TestWithParam<CorpusEntry> {};

std::string EntryName(const testing::TestParamInfo<CorpusEntry>& info) {
    std::string name = info.param.file;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace

TEST_P(ColladaCorpus, LoadsWithTheIndependentCounts) {
    const CorpusEntry& entry = GetParam();
    const std::string path = CorpusFolder + entry.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "corpus not installed (assimp-testmodels)";
    const LoadResult result = LoadCapturing(path);
    ASSERT_TRUE(result.model) << result.Log();
    ExpectSafeToDraw(*result.model);
    EXPECT_EQ(CountTriangles(*result.model), entry.triangles);
    EXPECT_EQ(CountVertices(*result.model), entry.vertices);
    EXPECT_EQ(GroupNames(*result.model), entry.nodes);
    EXPECT_EQ(result.Count("[Error]"), 0u) << result.Log();
}

INSTANTIATE_TEST_SUITE_P(AssimpTestModels, ColladaCorpus, testing::ValuesIn(corpus), EntryName);

TEST(ColladaCorpusArchives, TexturesAreExtractedWhereTheRendererLooks) {
    const std::string path = CorpusFolder + "duck.zae";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "corpus not installed (assimp-testmodels)";
    const LoadResult result = LoadCapturing(path);
    ASSERT_TRUE(result.model) << result.Log();
    ASSERT_EQ(result.model->GetImageCount(), 1u);
    const std::string image = result.model->GetImage(0u)->GetFilename();
    EXPECT_NE(image.find("duck zaeCM.png"), std::string::npos) << image;  // "%20" decoded
    std::ifstream file(image, std::ios::binary);
    char magic[4] = {};
    file.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}
