// The plug-in's two exported entry points: the only symbols the engine looks up.
#include <new>

#include <nodara/Logger.h>

#include "ColladaModelLoader.h"
#include "DaeExtractFolder.h"

namespace {

// Storage for the one loader. It is never destroyed: it holds nothing to
// release, and no exit-time destructor should run inside an unloaded library.
alignas(ColladaModelLoader) unsigned char loaderStorage[sizeof(ColladaModelLoader)];
ColladaModelLoader* loader = nullptr;  ///< doubles as the guard flag

/// Removes the folders of extracted archive files that killed processes left
/// in the temporary folder (ours, old, and held by no one), one Info line each.
void SweepStaleFolders() noexcept {
    try {
        Logger& log = ColladaModelLoader::GetLogger();
        for (const std::string& path : DaeExtractFolder::SweepStale())
            if (log.IsEnabled(Logger::Info))
                Logger::Stream(log, Logger::Info).GetStream()
                    << "Removed '" << path << "', a folder of extracted archive files no process holds any more.";
    } catch (...) {
        // Out of memory while logging: the folders are gone all the same.
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) ModelLoader* Register() {
    if (!loader) loader = new (loaderStorage) ColladaModelLoader;
    SweepStaleFolders();
    return loader;
}

extern "C" __attribute__((visibility("default"))) void Unregister() {}
