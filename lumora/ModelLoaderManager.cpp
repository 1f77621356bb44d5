#include <lumora/ModelLoaderManager.h>

#include <dlfcn.h>

#include <iostream>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>

// Each flavour of the engine loads the plug-in of its own flavour.
#if defined(VANTREL_DEBUG_FLAVOUR)
const char* const ModelLoaderManager::PluginName = "libQuorvexD.so";
#else
const char* const ModelLoaderManager::PluginName = "libQuorvex.so";
#endif

namespace {

// dlsym hands out data pointers; the entry points are plain C functions.
template <typename Function>
Function LookUp(void* library, const std::string& name) {
    return reinterpret_cast<Function>(dlsym(library, name.c_str()));
}

}  // namespace

ModelLoaderManager::ModelLoaderManager() { LoadPlugin(PluginName); }

ModelLoaderManager::~ModelLoaderManager() { UnloadPlugins(); }

void ModelLoaderManager::LoadPlugin(const std::string& fileName) {
    // RTLD_NOW: a plug-in with unresolved symbols fails here, with a message,
    // rather than in the middle of a load.
    void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        std::cout << "[WARN] ModelLoaderManager: Cannot load plug-in " << fileName << ": "
                  << (reason ? reason : "unknown error") << std::endl;
        return;
    }
    auto registerLoader = LookUp<ModelLoaderRegisterFunction>(library, ModelLoader::RegisterFunction);
    ModelLoader* loader = registerLoader ? registerLoader() : nullptr;
    if (!loader) {
        std::cout << "[WARN] ModelLoaderManager: Plug-in " << fileName
                  << (registerLoader ? " returned no loader from " : " has no entry point ")
                  << ModelLoader::RegisterFunction << std::endl;
        dlclose(library);
        return;
    }
    loaders.push_back(ModelLoaderInfo{library, loader});
}

void ModelLoaderManager::UnloadPlugins() {
    for (const ModelLoaderInfo& info : loaders) {
        auto unregisterLoader =
            LookUp<ModelLoaderUnregisterFunction>(info.library, ModelLoader::UnregisterFunction);
        if (unregisterLoader) unregisterLoader();
        dlclose(info.library);
    }
    loaders.clear();
}

Model* ModelLoaderManager::LoadModel(const std::string& fileName) {
    Model* model = nullptr;
    for (size_t i = 0; i < loaders.size() && !model; ++i) model = loaders[i].loader->Load(fileName);
    return model;
}

void ModelLoaderManager::DeleteModel(Model* model) { delete model; }
