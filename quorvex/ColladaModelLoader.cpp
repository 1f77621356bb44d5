#include "ColladaModelLoader.h"

#include <algorithm>
#include <map>
#include <new>

#include <nodara/DrawableNode.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Logger.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/StateNode.h>

#include "ColladaLibraryManager.h"
#include "DaeDocument.h"
#include "DaeGeometry.h"
#include "DaeInstance.h"

namespace {

Logger logger("ColladaModelLoader");

/// Charges the copy of `object`'s name into a new node to the walk: names
/// are copied on every visit, and any of them may be long.
bool ChargeName(const Object& object, ColladaLibraryManager* library) {
    return library->ChargeElementReads(object.GetName().size() / DaeSceneNode::BytesPerRead);
}

}  // namespace

Logger& ColladaModelLoader::GetLogger() { return logger; }

Model* ColladaModelLoader::Load(const std::string& fileName) {
    // Nothing may escape a plug-in's entry point; running out of memory on a
    // hostile file is a failed load like any other.
    try {
        return Convert(fileName);
    } catch (const std::exception& error) {
        Logger::Stream(logger, Logger::Warn).GetStream() << "Reading '" << fileName << "' failed: " << error.what() << ".";
        Logger::Stream(logger, Logger::Error).GetStream() << "Can not load file=" << fileName << ".";
        return nullptr;
    }
}

Model* ColladaModelLoader::Convert(const std::string& fileName) {
    DaeDocument document;
    std::string reason;
    if (!document.Load(fileName, reason)) {
        Logger::Stream(logger, Logger::Warn).GetStream() << "Reading '" << fileName << "' failed: " << reason << ".";
        Logger::Stream(logger, Logger::Error).GetStream() << "Can not load file=" << fileName << ".";
        return nullptr;
    }
    if (logger.IsEnabled(Logger::Info))
        Logger::Stream(logger, Logger::Info).GetStream()
            << "Load file=" << fileName << " (" << DaeDocument::ReaderName << " v" << DaeDocument::ReaderVersionMajor
            << "." << DaeDocument::ReaderVersionMinor << ").";

    std::string danglingUrl;
    const pugi::xml_node scene = document.GetVisualScene(danglingUrl);
    if (!scene) {
        if (!danglingUrl.empty())
            Logger::Stream(logger, Logger::Warn).GetStream()
                << "The scene of '" << fileName << "' instances '" << danglingUrl << "', which names no visual scene.";
        return nullptr;
    }
    const ColladaNode root{DaeSceneNode(scene)};
    const std::string name = root.GetName();
    if (logger.IsEnabled(Logger::Debug))
        Logger::Stream(logger, Logger::Debug).GetStream() << "Create model '" << name << "'.";
    auto* model = new Model;
    model->SetName(name);
    try {
        auto* modelNode = new ModelNode(*model);
        modelNode->SetName(name);
        if (logger.IsEnabled(Logger::Debug))
            Logger::Stream(logger, Logger::Debug).GetStream()
                << "Add model '" << model->GetName() << "' to model node '" << modelNode->GetName() << "'.";
        model->SetModelNode(modelNode);

        ColladaLibraryManager library(*model, document);
        // The root gets no node of its own: only its children are converted.
        for (const ColladaNode& child : ReadChildren(root, &library)) {
            if (library.IsOutOfElementReads() || !library.TakeNodes(1)) break;
            GroupNode* group = ConvertNode(child, &library);
            if (logger.IsEnabled(Logger::Debug))
                Logger::Stream(logger, Logger::Debug).GetStream()
                    << "Add group node '" << group->GetName() << "' to model node '" << modelNode->GetName() << "'.";
            modelNode->AddChild(group);
        }
    } catch (...) {
        delete model;
        throw;
    }
    return model;
}

std::vector<ColladaNode> ColladaModelLoader::ReadChildren(const ColladaNode& node, ColladaLibraryManager* library) {
    std::size_t reads = 0;
    std::vector<pugi::xml_node> dangling;
    std::vector<ColladaNode> children = node.GetChildren(*library->document, dangling, reads);
    if (!library->ChargeElementReads(reads)) return {};
    for (const pugi::xml_node instance : dangling)
        library->Recur(logger, ColladaLibraryManager::Problem::DanglingNode, node.GetElement().internal_object(),
                       instance.internal_object(), [&] {
                           return "Node '" + node.GetName() + "' instances '" + instance.attribute("url").value() +
                                  "', which names no node; it is skipped";
                       });
    return children;
}

GroupNode* ColladaModelLoader::ConvertNode(ColladaNode node, ColladaLibraryManager* library) {
    auto* group = new GroupNode;
    group->SetName(node.GetName());
    group->GetTransform().SetMatrix(library->GetLocalMatrix(node));

    // Every visit of an instanced node reads its elements again; the reads
    // are charged to the load, so the walk ends once the budget is spent.
    std::size_t reads = node.GetNameReads();
    const std::vector<DaeInstance> instances = node.GetInstances(*library->document, reads);
    if (!library->ChargeElementReads(reads)) return group;
    const std::vector<ColladaNode> children = ReadChildren(node, library);

    library->path.push_back(node.GetElement().internal_object());
    for (const DaeInstance& instance : instances) {
        if (library->IsOutOfElementReads()) break;
        if (instance.type != DaeInstance::Geometry) continue;  // cameras, lights, controllers, ...
        if (MeshNode* meshNode = ConvertGeometryInstance(&instance, library)) group->AddChild(meshNode);
    }
    for (const ColladaNode& child : children) {
        if (library->IsOutOfElementReads()) break;
        if (library->path.size() >= ColladaLibraryManager::MaxNodeDepth) {
            if (library->FirstTime("depth"))
                Logger::Stream(logger, Logger::Warn).GetStream()
                    << "Node '" << node.GetName() << "' nests deeper than " << ColladaLibraryManager::MaxNodeDepth
                    << " levels; the deeper nodes are skipped.";
            break;
        }
        const auto& path = library->path;
        if (std::find(path.begin(), path.end(), child.GetElement().internal_object()) != path.end()) {
            library->Recur(logger, ColladaLibraryManager::Problem::Cycle, node.GetElement().internal_object(),
                           child.GetElement().internal_object(), [&] {
                               return "Node '" + node.GetName() + "' instances its own ancestor '" + child.GetName() +
                                      "'; the cycle is cut there";
                           });
            continue;
        }
        if (!library->TakeNodes(1)) break;
        group->AddChild(ConvertNode(child, library));
    }
    library->path.pop_back();
    return group;
}

MeshNode* ColladaModelLoader::ConvertGeometryInstance(const DaeInstance* instance, ColladaLibraryManager* library) {
    if (!instance->geometry)
        library->Recur(logger, ColladaLibraryManager::Problem::NoGeometry, instance->element.internal_object(), nullptr,
                       [&] { return "Geometry instance '" + instance->url + "' names no geometry; it is skipped"; });
    Mesh* mesh = library->GetMesh(instance->geometry);
    if (!mesh || !library->TakeNodes(1) || !ChargeName(*mesh, library)) return nullptr;
    auto* meshNode = new MeshNode(*mesh);
    meshNode->SetName(mesh->GetName());

    std::map<std::string, StateNode*> states;
    for (const DaeInstance::MaterialBinding& binding : instance->bindings) {
        if (states.count(binding.symbol)) continue;
        if (!binding.material)
            library->Recur(logger, ColladaLibraryManager::Problem::NoMaterial, binding.element.internal_object(),
                           nullptr, [&] {
                               return "Material binding '" + binding.symbol + "' names '" + binding.target +
                                      "', which is no material; it is skipped";
                           });
        Material* material = library->GetMaterial(binding.material);
        if (!material || !library->TakeNodes(1) || !ChargeName(*material, library)) continue;
        auto* stateNode = new StateNode(*material);
        stateNode->SetName(material->GetName());
        states.emplace(binding.symbol, stateNode);
        meshNode->AddChild(stateNode);
    }
    // Each symbol of the mesh is looked up on every instance.
    for (const auto& entry : library->GetGroupsBySymbol(mesh)) {
        const std::string& symbol = entry.first;
        if (!library->ChargeElementReads(1 + symbol.size() / DaeSceneNode::BytesPerRead)) break;
        const auto state = states.find(symbol);
        if (state == states.end()) {
            library->Recur(logger, ColladaLibraryManager::Problem::UnboundSymbol, mesh, &symbol, [&] {
                return "Mesh '" + mesh->GetName() + "' has no material bound to symbol '" + symbol +
                       "'; its polygon groups with that symbol are not drawn";
            });
            continue;
        }
        for (unsigned int j : entry.second) {
            Geometry* geometry = mesh->GetGeometry(j);
            if (!geometry || !library->TakeNodes(1) || !ChargeName(*geometry, library)) continue;
            auto* drawable = new DrawableNode(*geometry);
            drawable->SetName(geometry->GetName());
            state->second->AddChild(drawable);
        }
    }
    return meshNode;
}
