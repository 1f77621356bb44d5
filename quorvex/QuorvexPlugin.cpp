// The plug-in's two exported entry points: the only symbols the engine looks up.
#include <new>

#include "ColladaModelLoader.h"

namespace {

// Storage for the one loader. It is never destroyed: it holds nothing to
// release, and no exit-time destructor should run inside an unloaded library.
alignas(ColladaModelLoader) unsigned char loaderStorage[sizeof(ColladaModelLoader)];
ColladaModelLoader* loader = nullptr;  ///< doubles as the guard flag

}  // namespace

extern "C" __attribute__((visibility("default"))) ModelLoader* Register() {
    if (!loader) loader = new (loaderStorage) ColladaModelLoader;
    return loader;
}

extern "C" __attribute__((visibility("default"))) void Unregister() {}
