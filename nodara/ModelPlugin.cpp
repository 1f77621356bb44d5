#include <nodara/ModelPlugin.h>

#include <dlfcn.h>
#include <unistd.h>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>

#if defined(VANTREL_DEBUG_FLAVOUR)
const char* const ModelPlugin::DefaultName = "libQuorvexD.so";
#else
const char* const ModelPlugin::DefaultName = "libQuorvex.so";
#endif

namespace {

// `fileName` in the folder of the library holding this code, or "".
std::string BesideNodara(const std::string& fileName) {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&BesideNodara), &info) || !info.dli_fname) return "";
    const std::string self = info.dli_fname;
    const std::size_t slash = self.rfind('/');
    return slash == std::string::npos ? "" : self.substr(0, slash + 1) + fileName;
}

std::string LastError() {
    const char* reason = dlerror();
    return reason ? reason : "unknown error";
}

}  // namespace

ModelPlugin::~ModelPlugin() {
    if (!library) return;
    using Unregister = ModelLoaderUnregisterFunction;
    if (auto unregister = reinterpret_cast<Unregister>(dlsym(library, ModelLoader::UnregisterFunction.c_str())))
        unregister();
    dlclose(library);
}

bool ModelPlugin::Open(const std::string& fileName, std::string& problem) {
    if (library) {
        problem = "a plug-in is open already";
        return false;
    }
    // RTLD_NOW: unresolved symbols fail here, with a reason, not mid-load.
    // Under AddressSanitizer a bare name's search misses the RUNPATH, hence
    // the second try beside the library.
    void* opened = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!opened) {
        problem = LastError();
        const std::string beside = fileName.find('/') == std::string::npos ? BesideNodara(fileName) : "";
        if (!beside.empty() && access(beside.c_str(), F_OK) == 0) opened = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!opened) {
            problem = "cannot open " + fileName + ": " + (beside.empty() ? problem : LastError());
            return false;
        }
    }
    auto registerLoader =
        reinterpret_cast<ModelLoaderRegisterFunction>(dlsym(opened, ModelLoader::RegisterFunction.c_str()));
    ModelLoader* taken = registerLoader ? registerLoader() : nullptr;
    if (!taken) {
        problem = fileName + (registerLoader ? " gave no loader" : " has no entry point " + ModelLoader::RegisterFunction);
        dlclose(opened);
        return false;
    }
    library = opened;
    loader = taken;
    return true;
}

Model* ModelPlugin::Load(const std::string& fileName) { return loader ? loader->Load(fileName) : nullptr; }
