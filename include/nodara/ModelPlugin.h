#pragma once
#include <string>

class Model;
class ModelLoader;

/// One model-loader plug-in opened by itself, for a program that reads
/// models without a graphics engine (the dedicated server reads a track's
/// terrain so). A bare name is searched as dlopen searches it, then beside
/// the Nodara library, where the build and the installation keep the
/// plug-in. The plug-in is unregistered and closed with this object: every
/// model it made must be deleted before, as its destructors live in it.
class ModelPlugin {
public:
    /// The plug-in of this flavour, "libQuorvex.so" or "libQuorvexD.so".
    static const char* const DefaultName;

    ModelPlugin() = default;
    ~ModelPlugin();
    ModelPlugin(const ModelPlugin&) = delete;
    ModelPlugin& operator=(const ModelPlugin&) = delete;

    /// Opens `fileName` and takes the loader its "Register" returns.
    /// @param problem set to why, when false is returned
    /// @return false when it is already open, cannot be opened, has no entry point or gives no loader
    bool Open(const std::string& fileName, std::string& problem);
    bool IsOpen() const { return loader != nullptr; }
    /// Reads `fileName` through the plug-in.
    /// @return the model (ownership to the caller, deleted while the plug-in
    ///         is open), or null when it cannot be read or nothing is open
    Model* Load(const std::string& fileName);

private:
    void* library = nullptr;
    ModelLoader* loader = nullptr;
};
