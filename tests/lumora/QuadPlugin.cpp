// A model-loader plug-in for the engine tests: "reads" files whose name ends
// in ".quad" as the textured quad model, textured with the ".tga" file of
// the same name, and refuses everything else.
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>

#include "QuadModel.h"

namespace {

class QuadLoader final : public ModelLoader {
public:
    Model* Load(const std::string& fileName) override {
        const std::string suffix = ".quad";
        if (fileName.size() < suffix.size() ||
            fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
            return nullptr;
        return MakeQuadModel(fileName.substr(0, fileName.size() - suffix.size()) + ".tga");
    }
};

QuadLoader* loader = nullptr;

}  // namespace

extern "C" ModelLoader* Register() {
    if (!loader) loader = new QuadLoader;
    return loader;
}

extern "C" void Unregister() {
    delete loader;
    loader = nullptr;
}
