#pragma once
#include <string>

class Model;

/// A model loader living in a plug-in library. A plug-in exports two plain
/// C entry points, looked up by the names below:
///   extern "C" ModelLoader* Register();   // the plug-in's loader (owned by it), or null
///   extern "C" void Unregister();         // called once before unloading
///
/// NOTE: no virtual destructor on purpose: a loader belongs to its plug-in
/// and is never deleted through this interface.
class ModelLoader {
public:
    /// Reads `fileName` and returns a new model (ownership to the caller, who
    /// deletes it through Model's virtual destructor), or null when this
    /// loader cannot read the file; never a partial model.
    virtual Model* Load(const std::string& fileName) = 0;

    static const std::string RegisterFunction;    ///< "Register"
    static const std::string UnregisterFunction;  ///< "Unregister"

    ModelLoader() = default;
    ModelLoader(const ModelLoader&) = default;
    ModelLoader& operator=(const ModelLoader&) = default;

protected:
    ~ModelLoader() = default;
};

/// Signatures of the two entry points.
using ModelLoaderRegisterFunction = ModelLoader* (*)();
using ModelLoaderUnregisterFunction = void (*)();
