#include <lumora/Lumora.h>

#include <algorithm>

#include <lumora/OglRenderer.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>

#include <lumora/ModelLoaderManager.h>

Lumora::Lumora() : renderer(new OglRenderer) {}

// Reverse order of creation: passes and models use the renderer's GL objects.
Lumora::~Lumora() {
    for (Renderer::Pass* pass : passes) delete pass;
    passes.clear();
    for (Model* model : models) DeleteModel(model);
    models.clear();
    delete renderer;
}

bool Lumora::Initialize() {
    if (!renderer->Initialize()) return false;
    return scene.Initialize(*this);
}

void Lumora::AddPass(const Renderer::Pass& pass) {
    auto* owned = const_cast<Renderer::Pass*>(&pass);
    // A pass listed twice would be deleted twice.
    if (std::find(passes.begin(), passes.end(), owned) == passes.end()) passes.push_back(owned);
}

Model* Lumora::LoadModel(const std::string& filename) {
    Model* model = Singleton<ModelLoaderManager>::Instance().LoadModel(filename);
    if (!model) return nullptr;
    renderer->GenerateRessources(*model);
    scene.AddNode(model->GetModelNode());
    models.push_back(model);
    return model;
}

void Lumora::UnLoadModel(Model* model) {
    if (!model) return;
    const auto it = std::find(models.begin(), models.end(), model);
    if (it != models.end()) models.erase(it);
    DeleteModel(model);
}

void Lumora::DeleteModel(Model* model) {
    if (!model) return;
    scene.RemoveNode(model->GetModelNode());
    renderer->DeleteRessources(*model);
    Singleton<ModelLoaderManager>::Instance().DeleteModel(model);
}

void Lumora::CullScene() { renderer->CullScene(scene); }

void Lumora::RenderScene() const {
    if (passes.empty()) {
        renderer->RenderScene(scene);
        return;
    }
    for (Renderer::Pass* pass : passes) pass->Render(scene);
}
