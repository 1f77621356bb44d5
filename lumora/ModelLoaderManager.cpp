#include <lumora/ModelLoaderManager.h>

#include <dlfcn.h>
#include <unistd.h>

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

// `fileName` in the folder of the library holding this code, or "" when that
// folder cannot be told.
std::string BesideEngine(const std::string& fileName) {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&BesideEngine), &info) || !info.dli_fname) return "";
    const std::string engine = info.dli_fname;
    const size_t slash = engine.rfind('/');
    return slash == std::string::npos ? "" : engine.substr(0, slash + 1) + fileName;
}

// dlopen by bare name searches the RUNPATH of its caller, the engine
// library, so the plug-in beside it is found.
// NOTE: under AddressSanitizer the caller is the sanitizer's dlopen
// interceptor, whose RUNPATH is empty; a bare name the search misses is
// therefore tried once more in the engine library's own folder.
// RTLD_NOW: a plug-in with unresolved symbols fails here, with a message,
// rather than in the middle of a load.
void* OpenLibrary(const std::string& fileName, std::string& error) {
    void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library) return library;
    const char* reason = dlerror();
    error = reason ? reason : "unknown error";
    if (fileName.find('/') != std::string::npos) return nullptr;
    const std::string beside = BesideEngine(fileName);
    if (beside.empty() || access(beside.c_str(), F_OK) != 0) return nullptr;
    library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        reason = dlerror();
        error = reason ? reason : "unknown error";
    }
    return library;
}

}  // namespace

ModelLoaderManager::ModelLoaderManager() { LoadPlugin(PluginName); }

ModelLoaderManager::~ModelLoaderManager() { UnloadPlugins(); }

void ModelLoaderManager::LoadPlugin(const std::string& fileName) {
    std::string error;
    void* library = OpenLibrary(fileName, error);
    if (!library) {
        std::cout << "[WARN] ModelLoaderManager: Cannot load plug-in " << fileName << ": " << error
                  << std::endl;
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
