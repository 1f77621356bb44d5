#pragma once
#include <string>
#include <vector>

#include <lumora/Singleton.h>

class Model;
class ModelLoader;

/// The engine's registry of model loaders. On first use it loads the plug-in
/// of its own flavour by bare name ("libQuorvex.so", or "libQuorvexD.so" in
/// the debug flavour), found beside the engine library through its RUNPATH.
/// Reach it through Singleton<ModelLoaderManager>::Instance().
///
/// WARNING: models from LoadModel must be deleted (DeleteModel) before the
/// manager goes at process exit: their destructors live in the plug-in.
class ModelLoaderManager : public Singleton<ModelLoaderManager> {
public:
    /// One registered plug-in.
    struct ModelLoaderInfo {
        void* library;       ///< dlopen handle of the plug-in
        ModelLoader* loader; ///< from its "Register"; owned by the plug-in
    };

    /// The plug-in file name of this flavour, passed to dlopen without a path.
    static const char* const PluginName;

    /// Unloads every plug-in.
    ~ModelLoaderManager() override;

    /// Loads the library `fileName` (a bare name is searched beside the
    /// engine library) and registers the loader its "Register" returns. A
    /// library that cannot be loaded, has no "Register" or returns no loader
    /// is reported on standard output and not kept.
    void LoadPlugin(const std::string& fileName);
    /// Calls each plug-in's "Unregister" (when it has one) and unloads it, in
    /// registration order; the registry is then empty.
    void UnloadPlugins();

    /// Offers `fileName` to the loaders in registration order.
    /// @return the first non-null model (later loaders are not asked), or
    ///         null; ownership to the caller, who hands it to DeleteModel.
    Model* LoadModel(const std::string& fileName);
    /// Deletes a model made by LoadModel; null is ignored.
    void DeleteModel(Model* model);

    /// Number of registered loaders.
    unsigned int GetLoaderCount() const { return static_cast<unsigned int>(loaders.size()); }

protected:
    friend class Singleton<ModelLoaderManager>;
    /// Registers the plug-in named PluginName.
    ModelLoaderManager();

private:
    std::vector<ModelLoaderManager::ModelLoaderInfo> loaders;
};
