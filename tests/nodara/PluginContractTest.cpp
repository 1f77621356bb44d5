#include <gtest/gtest.h>

#include <dlfcn.h>

#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>
#include <nodara/ModelPlugin.h>

TEST(PluginContract, EntryPointNames) {
    EXPECT_EQ(ModelLoader::RegisterFunction, "Register");
    EXPECT_EQ(ModelLoader::UnregisterFunction, "Unregister");
}

TEST(PluginContract, LoadThroughDlopenAndDeleteHere) {
    void* library = dlopen(TEST_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerLoader = reinterpret_cast<ModelLoaderRegisterFunction>(
        dlsym(library, ModelLoader::RegisterFunction.c_str()));
    auto unregisterLoader = reinterpret_cast<ModelLoaderUnregisterFunction>(
        dlsym(library, ModelLoader::UnregisterFunction.c_str()));
    ASSERT_NE(registerLoader, nullptr);
    ASSERT_NE(unregisterLoader, nullptr);

    ModelLoader* loader = registerLoader();
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(registerLoader(), loader);  // the same object every time

    EXPECT_EQ(loader->Load("car.dae"), nullptr);  // not its format: null, not a partial model
    Model* model = loader->Load("car.test");
    ASSERT_NE(model, nullptr);
    ASSERT_NE(model->GetModelNode(), nullptr);
    ASSERT_EQ(model->GetModelNode()->GetChildCount(), 1u);
    EXPECT_EQ(model->GetModelNode()->GetChild(0)->GetType(), Node::MESH_NODE);
    EXPECT_EQ(model->GetMeshCount(), 1u);
    // Freed on this side through the virtual destructor while the plug-in is loaded.
    delete model;

    unregisterLoader();
    EXPECT_EQ(dlclose(library), 0);
}

// A plug-in opened without the engine, as the server reads a track: it
// loads what its loader reads and says why when it cannot open at all.
TEST(PluginContract, ModelPluginOpensLoadsAndSaysWhyNot) {
    std::string problem;
    {
        ModelPlugin plugin;
        EXPECT_EQ(plugin.Load("car.test"), nullptr) << "nothing open";
        ASSERT_TRUE(plugin.Open(TEST_PLUGIN_PATH, problem)) << problem;
        EXPECT_TRUE(plugin.IsOpen());
        EXPECT_FALSE(plugin.Open(TEST_PLUGIN_PATH, problem)) << "one plug-in per object";
        EXPECT_EQ(plugin.Load("car.dae"), nullptr);
        Model* model = plugin.Load("car.test");
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->GetMeshCount(), 1u);
        delete model;  // before the plug-in closes with the object
    }
    ModelPlugin missing;
    EXPECT_FALSE(missing.Open("libNoSuchPlugin.so", problem));
    EXPECT_NE(problem.find("libNoSuchPlugin.so"), std::string::npos) << problem;
    EXPECT_FALSE(missing.IsOpen());
    // A library that is no plug-in: it has no entry point.
    ModelPlugin notOne;
    EXPECT_FALSE(notOne.Open("libz.so.1", problem));
    EXPECT_NE(problem.find("no entry point Register"), std::string::npos) << problem;
}
