#include "ColladaLibraryManager.h"

#include <utility>

#include <nodara/Geometry.h>
#include <nodara/Image.h>
#include <nodara/Logger.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/Model.h>
#include <nodara/Texture.h>

#include "ColladaGeometry.h"
#include "ColladaImage.h"
#include "ColladaMaterial.h"
#include "ColladaNode.h"
#include "ColladaPolygonGroup.h"
#include "DaeDocument.h"
#include "DaeGeometry.h"
#include "DaeImage.h"
#include "DaeMaterial.h"

namespace {

Logger logger("ColladaLibraryManager");

void Debug(const std::string& what, const std::string& name, const std::string& where, const std::string& owner) {
    if (logger.IsEnabled(Logger::Debug))
        Logger::Stream(logger, Logger::Debug).GetStream() << "Add " << what << " '" << name << "' to " << where << " '"
                                                          << owner << "'.";
}

vmath::vec4<float> Opaque(const vmath::vec4<float>& c) { return vmath::vec4<float>(c.x, c.y, c.z, 1.0f); }

/// The first entry of each name, as the model's own lookup finds it.
template <typename T>
void IndexByName(std::unordered_map<std::string, T*>& index, T* (Model::*at)(unsigned int) const, const Model& model) {
    for (unsigned int i = 0; T* item = (model.*at)(i); ++i) index.emplace(item->GetName(), item);
}

template <typename T>
T* FindByName(const std::unordered_map<std::string, T*>& index, const std::string& name) {
    const auto found = index.find(name);
    return found == index.end() ? nullptr : found->second;
}

}  // namespace

ColladaLibraryManager::ColladaLibraryManager(Model& model, DaeDocument& document) : model(&model), document(&document) {
    IndexByName(meshesByName, &Model::GetMesh, model);
    IndexByName(materialsByName, &Model::GetMaterial, model);
    IndexByName(imagesByName, &Model::GetImage, model);
}

ColladaLibraryManager::~ColladaLibraryManager() {
    try {
        for (const RecurringProblem& problem : problems) {
            Logger::Stream line(*problem.log, Logger::Warn);
            line.GetStream() << problem.message;
            if (problem.count > 1) line.GetStream() << " (seen " << problem.count << " times)";
            line.GetStream() << ".";
        }
    } catch (...) {
        // Out of memory while logging: the lines are lost, the load is not.
    }
}

Logger& ColladaLibraryManager::GetLogger() { return logger; }

std::size_t ColladaLibraryManager::FindProblem(Logger& log, std::string message) {
    const auto [slot, added] = problemByText.try_emplace(message, problems.size());
    if (added) problems.push_back(RecurringProblem{&log, std::move(message), 0});
    return slot->second;
}

Mesh* ColladaLibraryManager::GetMesh(DaeGeometry* geometry) {
    if (!geometry) return nullptr;
    const std::string name = geometry->GetId();
    if (Mesh* cached = FindByName(meshesByName, name)) return cached;

    Mesh* mesh = notMeshes.count(geometry) ? nullptr : ColladaGeometry(geometry).CreateMesh(document->GetTextSize());
    if (!mesh) {
        notMeshes.insert(geometry);
        Recur(logger, Problem::NotAMesh, geometry, nullptr, [&] {
            return "Can not convert '" + name + "' to mesh in model '" + model->GetName() + "'";
        });
        return nullptr;
    }
    std::vector<DaePrimitive>& groups = geometry->GetPrimitives();
    auto& symbols = groupsBySymbol[mesh];
    std::vector<vmath::vec3<float>> normals;
    bool normalsMade = false;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        ColladaPolygonGroup group(&groups[i]);
        Geometry* g = group.CreateGeometry(geometry->GetSources());
        g->SetName(mesh->GetName() + "_" + std::to_string(i));
        if (g->GetNormalIndicesSize() < g->GetVertexIndicesSize() || g->GetTexCoordIndicesSize() < g->GetVertexIndicesSize()) {
            if (!normalsMade) normals = mesh->GetNormalArray();
            const std::size_t before = normals.size();
            ColladaPolygonGroup::CompleteIndexLists(*g, mesh->GetVertexArray(), normals);
            normalsMade = normalsMade || normals.size() != before;
        }
        Debug("geometry", g->GetName(), "mesh", mesh->GetName());
        mesh->AddGeometry(g);
        g->SetMesh(mesh);
        symbols[group.GetMaterialSymbol()].push_back(static_cast<unsigned int>(i));
        geometry->ReleaseIndices(i);  // copied out: keep the peak memory down
    }
    if (normalsMade) mesh->SetNormalArray(std::move(normals));
    geometry->Release();  // everything is copied out; the document's copy is not needed again
    Debug("mesh", mesh->GetName(), "model", model->GetName());
    model->AddMesh(mesh);
    meshesByName.emplace(name, mesh);
    return mesh;
}

const vmath::mat4<float>& ColladaLibraryManager::GetLocalMatrix(const ColladaNode& node) {
    const auto [slot, first] = localMatrices.try_emplace(node.GetElement().internal_object());
    if (first) slot->second = node.GetMatrix();
    return slot->second;
}

const std::map<std::string, std::vector<unsigned int>>& ColladaLibraryManager::GetGroupsBySymbol(const Mesh* mesh) const {
    static const std::map<std::string, std::vector<unsigned int>> none;
    const auto found = groupsBySymbol.find(mesh);
    return found == groupsBySymbol.end() ? none : found->second;
}

Material* ColladaLibraryManager::GetMaterial(DaeMaterial* material) {
    if (!material) return nullptr;
    const std::string name = material->GetId();
    if (Material* cached = FindByName(materialsByName, name)) return cached;

    const ColladaMaterial wrapper(material);
    Material* result = wrapper.CreateMaterial(*document);
    if (!result) return nullptr;
    // Exporters that write a transparency of 0 for opaque surfaces make the
    // whole model invisible, which is never what its author meant.
    if (result->GetAmbient().w == 0 && result->GetDiffuse().w == 0 && result->GetSpecular().w == 0 &&
        result->GetEmission().w == 0) {
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Material '" << name << "' in model '" << model->GetName()
            << "' would be fully transparent; it is made opaque.";
        result->SetAmbient(Opaque(result->GetAmbient()));
        result->SetDiffuse(Opaque(result->GetDiffuse()));
        result->SetSpecular(Opaque(result->GetSpecular()));
        result->SetEmission(Opaque(result->GetEmission()));
    }
    const int channel = ColladaMaterial::DiffuseChannel;
    for (unsigned int s = 0; s < wrapper.GetTextureCount(channel); ++s) {
        Image* image = GetImage(wrapper.GetTextureImage(*document, channel, s));
        if (!image) {
            Logger::Stream(logger, Logger::Warn).GetStream()
                << "Texture '" << wrapper.GetTextureSampler(channel, s) << "' of material '" << name
                << "' leads to no image; it is skipped.";
            continue;
        }
        result->AddTexture(new Texture(*image, Texture::Diffuse, wrapper.GetTiling(channel, s),
                                       wrapper.GetOffset(channel, s), wrapper.GetRotation(channel, s)));
    }
    Debug("material", result->GetName(), "model", model->GetName());
    model->AddMaterial(result);
    materialsByName.emplace(name, result);
    return result;
}

Image* ColladaLibraryManager::GetImage(DaeImage* image) {
    if (!image) return nullptr;
    const std::string name = image->GetId();
    if (Image* cached = FindByName(imagesByName, name)) return cached;

    DaeDocument::FileLocation location;
    Image* result = ColladaImage(image).CreateImage(*document, location);
    switch (location.status) {
    case DaeDocument::FileLocation::Found:
        break;
    case DaeDocument::FileLocation::Missing:
        if (location.path.empty())
            Logger::Stream(logger, Logger::Warn).GetStream() << "Image '" << name << "' names no file.";
        else
            Logger::Stream(logger, Logger::Warn).GetStream()
                << "Image '" << name << "' names the file '" << location.path << "', which does not exist.";
        break;
    case DaeDocument::FileLocation::NotRegular:
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Image '" << name << "' names '" << location.path << "', which is not a regular file; it is not read.";
        break;
    case DaeDocument::FileLocation::NotExtracted:
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Image '" << name << "' is not taken from the archive: " << location.problem << ".";
        break;
    case DaeDocument::FileLocation::NotInArchive:
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Image '" << name << "' names the file '" << location.path
            << "', which the archive does not hold; nothing outside the archive is read.";
        break;
    }
    Debug("image", result->GetName(), "model", model->GetName());
    model->AddImage(result);
    imagesByName.emplace(name, result);
    return result;
}

bool ColladaLibraryManager::ChargeElementReads(std::size_t count) {
    const bool wasOut = IsOutOfElementReads();
    elementsRead += count;
    if (!IsOutOfElementReads()) return true;
    if (!wasOut)
        Logger::Stream(logger, Logger::Error).GetStream()
            << "Model '" << model->GetName() << "' makes its scene walk read more than " << MaxElementReads
            << " elements (an instanced node is read again on every visit); the rest of the scene is skipped.";
    return false;
}

bool ColladaLibraryManager::TakeNodes(std::size_t count) {
    if (nodesLeft >= count) {
        nodesLeft -= count;
        return true;
    }
    if (FirstTime("node budget"))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Model '" << model->GetName() << "' reaches " << MaxNodes << " nodes; the rest of the scene is skipped.";
    nodesLeft = 0;
    return false;
}
