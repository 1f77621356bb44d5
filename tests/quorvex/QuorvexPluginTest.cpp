// The built plug-in through its two exported entry points, as the engine uses it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

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
