#include "ColladaGeometry.h"

#include <utility>

#include <nodara/Logger.h>
#include <nodara/Mesh.h>

#include "ColladaPolygonGroup.h"
#include "DaeGeometry.h"
#include "DaeSemantic.h"

namespace {

Logger logger("ColladaGeometry");

/// Appends the elements of a source to an array of the mesh, moving a
/// packed source's vector when it is the first of its kind.
template <typename Vector, unsigned Components>
void Append(DaeSource& source, std::vector<Vector>& packed, std::vector<Vector>& array) {
    if (array.empty() && packed.size() == source.count) {
        array.swap(packed);
        return;
    }
    array.reserve(array.size() + source.count);
    for (std::size_t k = 0; k < source.count; ++k) {
        const float* element = source.GetElement(k);
        if constexpr (Components == 3)
            array.emplace_back(element[0], element[1], element[2]);
        else
            array.emplace_back(element[0], element[1]);
    }
}

}  // namespace

Logger& ColladaGeometry::GetLogger() { return logger; }

std::string ColladaGeometry::GetName() const { return geometry->GetId(); }

Mesh* ColladaGeometry::CreateMesh(std::size_t textSize) {
    if (!geometry->IsMesh()) return nullptr;
    auto* mesh = new Mesh;
    mesh->SetName(GetName());
    geometry->Read(textSize, ColladaPolygonGroup::GetLogger());

    std::vector<vmath::vec3<float>> vertices, normals;
    std::vector<vmath::vec2<float>> texCoords;
    for (DaeSource& source : geometry->GetSources()) {
        const char* kind = source.type == DaeSemantic::Position ? "Vertex"
                           : source.type == DaeSemantic::Normal ? "Normal"
                           : source.type == DaeSemantic::TexCoord ? "Texcoord"
                                                                  : nullptr;
        if (!kind) {
            Logger::Stream(logger, Logger::Warn).GetStream() << "Unsupported geometry source type '" << source.type
                                                             << "' in mesh '" << mesh->GetName() << "'.";
            continue;
        }
        // NOTE: compared with 3 for texture coordinates too, so two-component
        // sets draw this warning while they are read correctly.
        if (source.hasAccessor && source.stride != 3)
            Logger::Stream(logger, Logger::Warn).GetStream() << kind << " data of mesh '" << mesh->GetName()
                                                             << "' has a stride of '" << source.stride << "'.";
        if (!source.problem.empty())
            Logger::Stream(logger, Logger::Warn).GetStream()
                << kind << " data of mesh '" << mesh->GetName() << "' is " << (source.readable ? "cut short" : "skipped")
                << ": " << source.problem << ".";
        if (source.badNumbers)
            Logger::Stream(logger, Logger::Warn).GetStream() << kind << " data of mesh '" << mesh->GetName() << "' has "
                                                             << source.badNumbers << " values that are no numbers; they read as 0.";
        if (!source.readable) continue;
        if (source.type == DaeSemantic::Position) {
            const std::size_t first = vertices.size();
            Append<vmath::vec3<float>, 3>(source, source.packed3, vertices);
            for (std::size_t i = first; i < vertices.size(); ++i) mesh->GetBoundingVolume().Expand(vertices[i]);
        } else if (source.type == DaeSemantic::Normal) {
            Append<vmath::vec3<float>, 3>(source, source.packed3, normals);
        } else {
            Append<vmath::vec2<float>, 2>(source, source.packed2, texCoords);
        }
    }
    mesh->SetVertexArray(std::move(vertices));
    mesh->SetNormalArray(std::move(normals));
    mesh->SetTexCoordArray(std::move(texCoords));
    return mesh;
}
