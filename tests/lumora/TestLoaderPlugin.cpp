// Model-loader plug-ins for the plug-in manager tests, one source built
// several ways:
//   TEST_LOADER_TAG            names the loader; a model is named "<tag>:<file>"
//   TEST_LOADER_NO_REGISTER    exports no "Register"
//   TEST_LOADER_NULL_REGISTER  "Register" returns null
// A loader reads files whose name contains "<tag>" or "any"; every plug-in
// prints "Unregister <tag>" when told to unregister, so the tests can see
// the call after the library is gone.
#include <cstdio>
#include <string>

#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

namespace {

const std::string Tag = TEST_LOADER_TAG;
int loadCalls = 0;
int registerCalls = 0;

class TaggedLoader final : public ModelLoader {
public:
    Model* Load(const std::string& fileName) override {
        ++loadCalls;
        if (fileName.find(Tag) == std::string::npos && fileName.find("any") == std::string::npos)
            return nullptr;
        auto* model = new Model;
        model->SetName(Tag + ":" + fileName);
        model->SetModelNode(new ModelNode(*model));
        return model;
    }
};

TaggedLoader loader;

}  // namespace

#if !defined(TEST_LOADER_NO_REGISTER)
extern "C" ModelLoader* Register() {
    ++registerCalls;
#if defined(TEST_LOADER_NULL_REGISTER)
    return nullptr;
#else
    return &loader;
#endif
}
#endif

extern "C" void Unregister() {
    std::printf("Unregister %s\n", Tag.c_str());
    std::fflush(stdout);
}

/// How often the manager offered a file to this plug-in's loader.
extern "C" int LoadCalls() { return loadCalls; }
/// How often "Register" ran.
extern "C" int RegisterCalls() { return registerCalls; }
