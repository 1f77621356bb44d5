#include <gtest/gtest.h>

#include <dlfcn.h>

#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

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
