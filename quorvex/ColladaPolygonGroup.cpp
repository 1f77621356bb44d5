#include "ColladaPolygonGroup.h"

#include <cmath>

#include <nodara/Geometry.h>
#include <nodara/Logger.h>

#include "DaePrimitive.h"
#include "DaeSemantic.h"
#include "DaeSource.h"

namespace {

Logger logger("ColladaPolygonGroup");

/// `list` + `base` appended to `indices` (a plain copy when it is the first).
void AppendIndices(std::vector<unsigned int>& indices, const std::vector<unsigned int>& list, std::size_t base) {
    if (indices.empty() && base == 0) {
        indices = list;
        return;
    }
    indices.reserve(indices.size() + list.size());
    for (unsigned int index : list) indices.push_back(static_cast<unsigned int>(index + base));
}

}  // namespace

Logger& ColladaPolygonGroup::GetLogger() { return logger; }

std::string ColladaPolygonGroup::GetMaterialSymbol() const { return group->GetMaterialSymbol(); }

Geometry* ColladaPolygonGroup::CreateGeometry(const std::vector<DaeSource>& sources) const {
    auto* geometry = new Geometry;
    std::vector<unsigned int> vertices, normals, texCoords;
    for (const DaePrimitive::Input& input : group->GetInputs()) {
        std::vector<unsigned int>* target = input.semantic == DaeSemantic::Position ? &vertices
                                            : input.semantic == DaeSemantic::Normal ? &normals
                                            : input.semantic == DaeSemantic::TexCoord ? &texCoords
                                                                                      : nullptr;
        if (!target) {
            Logger::Stream(logger, Logger::Warn).GetStream() << "Unsupported polygon semantic '" << input.semantic << "'.";
            continue;
        }
        const std::size_t base = sources[static_cast<std::size_t>(input.source)].base;
        AppendIndices(*target, group->GetSlot(input.slot), base);
    }
    geometry->SetVertexIndices(vertices);
    std::vector<unsigned int>().swap(vertices);
    geometry->SetNormalIndices(normals);
    std::vector<unsigned int>().swap(normals);
    geometry->SetTexCoordIndices(texCoords);
    return geometry;
}

void ColladaPolygonGroup::CompleteIndexLists(Geometry& geometry, const std::vector<vmath::vec3<float>>& points,
                                             std::vector<vmath::vec3<float>>& normals) {
    const std::vector<unsigned int>& vertices = geometry.GetVertexIndices();
    const std::size_t corners = vertices.size();
    if (geometry.GetTexCoordIndicesSize() != 0 && geometry.GetTexCoordIndicesSize() < corners) {
        geometry.SetTexCoordIndices({});
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "Polygon group '" << geometry.GetName() << "' has fewer texture coordinates than vertices; they are dropped.";
    }
    if (geometry.GetNormalIndicesSize() >= corners) return;

    std::vector<unsigned int> indices(corners);
    for (std::size_t t = 0; t + 2 < corners; t += 3) {
        const vmath::vec3<float>& a = points[vertices[t]];
        const vmath::vec3<float> n = vmath::cross(points[vertices[t + 1]] - a, points[vertices[t + 2]] - a);
        const float length = std::sqrt(vmath::dot(n, n));
        indices[t] = indices[t + 1] = indices[t + 2] = static_cast<unsigned int>(normals.size());
        normals.push_back(length > 0 && std::isfinite(length) ? n * (1.0f / length) : vmath::vec3<float>(0, 0, 1));
    }
    geometry.SetNormalIndices(indices);
    Logger::Stream(logger, Logger::Warn).GetStream()
        << "Polygon group '" << geometry.GetName() << "' has no normals; flat ones are made for it.";
}
