// The built plug-in through its two exported entry points, as the engine uses it.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/time.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

#include "DaeExtractFolder.h"
#include "QuorvexTestSupport.h"

TEST(QuorvexPlugin, LoadsThroughTheEntryPoints) {
    void* library = dlopen(QUORVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerLoader = reinterpret_cast<ModelLoaderRegisterFunction>(
        dlsym(library, ModelLoader::RegisterFunction.c_str()));
    auto unregisterLoader = reinterpret_cast<ModelLoaderUnregisterFunction>(
        dlsym(library, ModelLoader::UnregisterFunction.c_str()));
    ASSERT_NE(registerLoader, nullptr);
    ASSERT_NE(unregisterLoader, nullptr);

    ModelLoader* loader = registerLoader();
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(registerLoader(), loader);  // one loader, the same every time

    TempFolder folder;
    const std::string notCollada = folder.Write("car.txt", "just text");
    testing::internal::CaptureStdout();
    Model* none = loader->Load(notCollada);
    Model* first = loader->Load(std::string(QUORVEX_TEST_DATA) + "/cube.dae");
    Model* second = loader->Load(std::string(QUORVEX_TEST_DATA) + "/cube.dae");
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(log.find("[Error] ColladaModelLoader - Can not load file=" + notCollada + "."), std::string::npos) << log;
    ASSERT_NE(first, nullptr) << log;
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->GetName(), "CubeScene");
    EXPECT_EQ(first->GetModelNode()->GetChildCount(), 1u);
    ExpectSafeToDraw(*first);
    // Freed on this side, through the virtual destructor, while the plug-in is loaded.
    delete first;
    delete second;

    unregisterLoader();
    EXPECT_EQ(dlclose(library), 0);
}

namespace {

/// Sets a file's or folder's times `seconds` into the past.
void Age(const std::string& path, long seconds) {
    const timeval then{std::time(nullptr) - seconds, 0};
    const timeval times[2] = {then, then};
    ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

/// TMPDIR pointed at a folder of the test's own while it lives.
class TemporaryFolderAt {
public:
    explicit TemporaryFolderAt(const std::string& path) {
        if (const char* old = std::getenv("TMPDIR")) previous = old;
        setenv("TMPDIR", path.c_str(), 1);
    }
    ~TemporaryFolderAt() {
        if (previous)
            setenv("TMPDIR", previous->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> previous;
};

}  // namespace

TEST(QuorvexPlugin, LoadingSweepsOnlyOurStaleExtractFolders) {
    TempFolder tmp;
    const TemporaryFolderAt redirected(tmp.GetPath());
    const std::string base = tmp.GetPath() + "/";
    const long TwoHours = 2 * 3600;
    // What a killed process left: an old folder of our pattern, with files in it.
    tmp.Write("quorvex-Ab3dE9/models/skin.png", "pixels");
    Age(base + "quorvex-Ab3dE9/models", TwoHours);
    Age(base + "quorvex-Ab3dE9", TwoHours);
    // What must stay: a young one (a game extracting now), other names, a file, and one in use.
    tmp.Write("quorvex-Y0ung1/skin.png", "pixels");
    Age(base + "quorvex-Y0ung1", 10 * 60);
    for (const char* name : {"quorvex-test-abcdef", "other-Ab3dE9", "quorvex-Ab3dE9x", "quorvex-Ab3d"}) {
        tmp.Write(std::string(name) + "/file", "theirs");
        Age(base + name, TwoHours);
    }
    tmp.Write("quorvex-F1le00", "a file, not a folder");
    Age(base + "quorvex-F1le00", TwoHours);
    const std::shared_ptr<DaeExtractFolder> inUse = DaeExtractFolder::Make();
    ASSERT_TRUE(inUse);
    ASSERT_EQ(inUse->GetPath().rfind(base + "quorvex-", 0), 0u) << inUse->GetPath();
    Age(inUse->GetPath(), TwoHours);  // a game running for hours still holds its folder

    void* library = dlopen(QUORVEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerLoader = reinterpret_cast<ModelLoaderRegisterFunction>(
        dlsym(library, ModelLoader::RegisterFunction.c_str()));
    ASSERT_NE(registerLoader, nullptr);
    ASSERT_NE(registerLoader(), nullptr);

    EXPECT_FALSE(std::filesystem::exists(base + "quorvex-Ab3dE9"));
    EXPECT_TRUE(std::filesystem::exists(base + "quorvex-Y0ung1/skin.png"));
    for (const char* name : {"quorvex-test-abcdef", "other-Ab3dE9", "quorvex-Ab3dE9x", "quorvex-Ab3d"})
        EXPECT_TRUE(std::filesystem::exists(base + name + "/file")) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(base + "quorvex-F1le00"));
    EXPECT_TRUE(std::filesystem::is_directory(inUse->GetPath()));
    EXPECT_EQ(dlclose(library), 0);
}
