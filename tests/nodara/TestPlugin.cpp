// A minimal model-loader plug-in for the contract test: it "reads" files whose
// name ends in ".test" and refuses everything else.
#include <nodara/Geometry.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelLoader.h>
#include <nodara/ModelNode.h>

namespace {

class TestLoader final : public ModelLoader {
public:
    Model* Load(const std::string& fileName) override {
        const std::string suffix = ".test";
        if (fileName.size() < suffix.size() ||
            fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
            return nullptr;
        auto* model = new Model;
        model->SetName(fileName);
        auto* mesh = new Mesh;
        mesh->AddVertex({0, 0, 0});
        auto* geometry = new Geometry;
        geometry->SetMesh(mesh);
        mesh->AddGeometry(geometry);
        model->AddMesh(mesh);
        auto* node = new ModelNode(*model);
        node->AddChild(new MeshNode(*mesh));
        model->SetModelNode(node);
        return model;
    }
};

TestLoader* loader = nullptr;

}  // namespace

extern "C" ModelLoader* Register() {
    if (!loader) loader = new TestLoader;
    return loader;
}

extern "C" void Unregister() {
    delete loader;
    loader = nullptr;
}
