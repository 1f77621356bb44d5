// modelinfo: loads a model file through the model-loader plug-in, exactly as
// the engine does (same plug-in file name, same "Register"/"Unregister"
// entry points), and prints what a modeller needs to check the asset. No
// window and no GL context are needed.
//
//   modelinfo <model file>...
//
// Exit status: 0 every model loaded without problems, 1 a model did not load
// (or bad usage), 2 a model loaded but has problems.
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

#include <lumora/ModelLoaderManager.h>
#include <nodara/Model.h>
#include <nodara/PerformanceCounter.h>

#include "ModelReport.h"

namespace {

void PrintUsage() {
    std::cout << "usage: modelinfo <model file>...\n"
                 "Loads each model through the plug-in " << ModelLoaderManager::PluginName
              << " and prints its node tree,\nmeshes, geometry, materials, images and load time.\n";
}

// 0 clean, 1 not loaded, 2 loaded with problems.
int Inspect(ModelLoaderManager& manager, const std::string& fileName) {
    std::cout << "File " << fileName << '\n';
    const double start = PerformanceCounter::Time();
    Model* model = manager.LoadModel(fileName);
    const double seconds = PerformanceCounter::Time() - start;
    if (!model) {
        std::cout << "NOT LOADED: no loader of " << ModelLoaderManager::PluginName
                  << " could read the file (its messages, if any, are above)\n";
        return 1;
    }
    std::ostringstream time;
    time << std::fixed << std::setprecision(1) << seconds * 1000.0;
    std::cout << "Load time " << time.str() << " ms\n";
    const unsigned int problems = WriteModelReport(*model, std::cout);
    std::cout << "Summary: " << problems << (problems == 1 ? " problem" : " problems") << '\n';
    // Deleted here while the plug-in that allocated it is still loaded.
    manager.DeleteModel(model);
    return problems ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Initialization
    if (argc < 2 || std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help") {
        PrintUsage();
        return argc < 2 ? 1 : 0;
    }
    PerformanceCounter::IsSupported();
    ModelLoaderManager& manager = Singleton<ModelLoaderManager>::Instance();
    if (manager.GetLoaderCount() == 0) {
        std::cout << "No model loader: the plug-in " << ModelLoaderManager::PluginName
                  << " was not found beside the engine library or could not be used\n";
        return 1;
    }

    // Inspection
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) std::cout << '\n';
        const int result = Inspect(manager, argv[i]);
        if (result == 1 || status == 0) status = result;
    }
    std::cout.flush();

    // De-Initialization: the manager unloads the plug-in at exit.
    return status;
}
