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

}  // namespace

Logger& ColladaLibraryManager::GetLogger() { return logger; }

Mesh* ColladaLibraryManager::GetMesh(DaeGeometry* geometry) {
    if (!geometry) return nullptr;
    const std::string name = geometry->GetId();
    if (Mesh* cached = model->GetMesh(name)) return cached;

    Mesh* mesh = ColladaGeometry(geometry).CreateMesh(document->GetTextSize());
    if (!mesh) {
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Can not convert '" << name << "' to mesh in model '" << model->GetName() << "'.";
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
    return mesh;
}

const std::map<std::string, std::vector<unsigned int>>& ColladaLibraryManager::GetGroupsBySymbol(const Mesh* mesh) const {
    static const std::map<std::string, std::vector<unsigned int>> none;
    const auto found = groupsBySymbol.find(mesh);
    return found == groupsBySymbol.end() ? none : found->second;
}

Material* ColladaLibraryManager::GetMaterial(DaeMaterial* material) {
    if (!material) return nullptr;
    const std::string name = material->GetId();
    if (Material* cached = model->GetMaterial(name)) return cached;

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
    return result;
}

Image* ColladaLibraryManager::GetImage(DaeImage* image) {
    if (!image) return nullptr;
    const std::string name = image->GetId();
    if (Image* cached = model->GetImage(name)) return cached;

    bool found = false;
    Image* result = ColladaImage(image).CreateImage(*document, found);
    if (result->GetFilename().empty())
        Logger::Stream(logger, Logger::Warn).GetStream() << "Image '" << name << "' names no file.";
    else if (!found)
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Image '" << name << "' names the file '" << result->GetFilename() << "', which does not exist.";
    Debug("image", result->GetName(), "model", model->GetName());
    model->AddImage(result);
    return result;
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
