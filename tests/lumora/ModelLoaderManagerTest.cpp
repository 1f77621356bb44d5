#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>

#include <lumora/ModelLoaderManager.h>
#include <nodara/Model.h>

// Test plug-ins built beside this test (see TestLoaderPlugin.cpp); the
// manager finds them by bare name through the engine's RUNPATH, as it finds
// the real plug-in.
namespace {

const std::string First = "libLumoraTestLoaderFirst.so";
const std::string Second = "libLumoraTestLoaderSecond.so";
const std::string NoRegister = "libLumoraTestLoaderNoRegister.so";
const std::string NullRegister = "libLumoraTestLoaderNullRegister.so";

// The test plug-in `name` by its full path. Asking by bare name would only
// match a library the engine opened by bare name.
std::string InBin(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

// Whether test plug-in `name` is loaded in this process right now.
bool IsLoaded(const std::string& name) {
    void* handle = dlopen(InBin(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);  // RTLD_NOLOAD still counts a reference
    return true;
}

// A counter a loaded test plug-in exports (LoadCalls, RegisterCalls).
int Counter(const std::string& name, const char* function) {
    void* handle = dlopen(InBin(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return -1;
    auto counter = reinterpret_cast<int (*)()>(dlsym(handle, function));
    const int value = counter ? counter() : -1;
    dlclose(handle);
    return value;
}

// A manager of its own per test, emptied of whatever plug-in its flavour
// found, so each test sees only the plug-ins it loads.
class TestManager : public ModelLoaderManager {
public:
    TestManager() { UnloadPlugins(); }
};

}  // namespace

class ModelLoaderManagerTest : public testing::Test {
protected:
    void SetUp() override {
        testing::internal::CaptureStdout();  // a warning where no real plug-in is built
        manager = std::make_unique<TestManager>();
        testing::internal::GetCapturedStdout();
    }
    void TearDown() override {
        testing::internal::CaptureStdout();  // the test plug-ins say "Unregister"
        manager->UnloadPlugins();
        testing::internal::GetCapturedStdout();
    }

    // LoadPlugin with its standard output.
    std::string LoadPlugin(const std::string& name) {
        testing::internal::CaptureStdout();
        manager->LoadPlugin(name);
        return testing::internal::GetCapturedStdout();
    }

    std::unique_ptr<TestManager> manager;
};

TEST_F(ModelLoaderManagerTest, EmptyRegistryLoadsNothing) {
    EXPECT_EQ(manager->GetLoaderCount(), 0u);
    EXPECT_EQ(manager->LoadModel("any.model"), nullptr);
    manager->DeleteModel(nullptr);  // ignored
}

TEST_F(ModelLoaderManagerTest, FirstNonNullModelWinsInRegistrationOrder) {
    EXPECT_EQ(LoadPlugin(First), "");
    EXPECT_EQ(LoadPlugin(Second), "");
    ASSERT_EQ(manager->GetLoaderCount(), 2u);
    EXPECT_EQ(Counter(First, "RegisterCalls"), 1);

    // Both could read it: the first registered makes it, the second is never asked.
    Model* model = manager->LoadModel("any.model");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetName(), "First:any.model");
    EXPECT_EQ(Counter(First, "LoadCalls"), 1);
    EXPECT_EQ(Counter(Second, "LoadCalls"), 0);
    manager->DeleteModel(model);

    // Only the second reads it: the first is asked and declines.
    model = manager->LoadModel("Second.model");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetName(), "Second:Second.model");
    EXPECT_EQ(Counter(First, "LoadCalls"), 2);
    EXPECT_EQ(Counter(Second, "LoadCalls"), 1);
    manager->DeleteModel(model);

    // Nobody reads it: null after asking both.
    EXPECT_EQ(manager->LoadModel("nobody.model"), nullptr);
    EXPECT_EQ(Counter(Second, "LoadCalls"), 2);
}

TEST_F(ModelLoaderManagerTest, UnusablePluginsAreReportedAndNotKept) {
    struct Case {
        std::string library;
        std::string message;
    };
    const Case cases[] = {
        // No such file anywhere on the search path.
        {"libLumoraTestLoaderMissing.so",
         "[WARN] ModelLoaderManager: Cannot load plug-in libLumoraTestLoaderMissing.so: "},
        // Loads, but exports no "Register".
        {NoRegister, "[WARN] ModelLoaderManager: Plug-in " + NoRegister + " has no entry point Register\n"},
        // "Register" hands out no loader.
        {NullRegister,
         "[WARN] ModelLoaderManager: Plug-in " + NullRegister + " returned no loader from Register\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        const std::string output = LoadPlugin(c.library);
        EXPECT_EQ(output.compare(0, c.message.size(), c.message), 0) << output;
        EXPECT_EQ(manager->GetLoaderCount(), 0u);
        EXPECT_FALSE(IsLoaded(c.library)) << "an unusable plug-in must be unloaded at once";
    }
    EXPECT_EQ(manager->LoadModel("any.model"), nullptr);

    // A usable plug-in after the unusable ones still works.
    LoadPlugin(First);
    Model* model = manager->LoadModel("any.model");
    ASSERT_NE(model, nullptr);
    manager->DeleteModel(model);
}

TEST_F(ModelLoaderManagerTest, UnloadCallsUnregisterInOrderThenUnloads) {
    LoadPlugin(First);
    LoadPlugin(Second);
    ASSERT_TRUE(IsLoaded(First));
    ASSERT_TRUE(IsLoaded(Second));

    testing::internal::CaptureStdout();
    manager->UnloadPlugins();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unregister First\nUnregister Second\n");
    EXPECT_EQ(manager->GetLoaderCount(), 0u);
    EXPECT_FALSE(IsLoaded(First));
    EXPECT_FALSE(IsLoaded(Second));
    EXPECT_EQ(manager->LoadModel("any.model"), nullptr);
}

TEST_F(ModelLoaderManagerTest, PluginLoadedTwiceIsAskedTwice) {
    // Registering is not deduplicated: the same loader twice answers first.
    LoadPlugin(Second);
    LoadPlugin(Second);
    ASSERT_EQ(manager->GetLoaderCount(), 2u);
    EXPECT_EQ(manager->LoadModel("First.model"), nullptr);
    EXPECT_EQ(Counter(Second, "LoadCalls"), 2);
}

TEST(ModelLoaderManagerSingleton, InstanceIsOneObject) {
    testing::internal::CaptureStdout();  // a warning when no real plug-in is built
    ModelLoaderManager& manager = Singleton<ModelLoaderManager>::Instance();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(&Singleton<ModelLoaderManager>::Instance(), &manager);
}

TEST(ModelLoaderManagerSingleton, PluginNameFollowsTheFlavour) {
    // These tests link the debug flavour of the engine.
    EXPECT_STREQ(ModelLoaderManager::PluginName, "libQuorvexD.so");
}
