// Runs with LD_LIBRARY_PATH at a folder holding a stand-in plug-in under the
// engine's own plug-in name, so the manager's first use must find it there.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <lumora/ModelLoaderManager.h>
#include <nodara/Model.h>

TEST(DefaultPlugin, FirstUseLoadsThePluginOfTheFlavourOnce) {
    ModelLoaderManager& manager = Singleton<ModelLoaderManager>::Instance();
    EXPECT_EQ(&Singleton<ModelLoaderManager>::Instance(), &manager);
    ASSERT_EQ(manager.GetLoaderCount(), 1u);

    void* plugin = dlopen(ModelLoaderManager::PluginName, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(plugin, nullptr);
    auto registerCalls = reinterpret_cast<int (*)()>(dlsym(plugin, "RegisterCalls"));
    ASSERT_NE(registerCalls, nullptr) << "the real plug-in was found instead of the stand-in";
    EXPECT_EQ(registerCalls(), 1);
    dlclose(plugin);

    Model* model = manager.LoadModel("any.dae");
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetName(), "StandIn:any.dae");
    manager.DeleteModel(model);
}
