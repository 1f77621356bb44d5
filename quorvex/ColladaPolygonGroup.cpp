#include "ColladaPolygonGroup.h"

#include <cmath>
#include <utility>

#include <nodara/Geometry.h>
#include <nodara/Logger.h>

#include "DaePrimitive.h"
#include "DaeSemantic.h"
#include "DaeSource.h"

namespace {

Logger logger("ColladaPolygonGroup");

/// `list` + `base` appended to `indices`.
void AppendIndices(std::vector<unsigned int>& indices, const std::vector<unsigned int>& list, std::size_t base) {
    indices.reserve(indices.size() + list.size());
    for (unsigned int index : list) indices.push_back(static_cast<unsigned int>(index + base));
}

}  // namespace

Logger& ColladaPolygonGroup::GetLogger() { return logger; }

std::string ColladaPolygonGroup::GetMaterialSymbol() const { return group->GetMaterialSymbol(); }

Geometry* ColladaPolygonGroup::CreateGeometry(const std::vector<DaeSource>& sources) {
    auto* geometry = new Geometry;
    const std::vector<DaePrimitive::Input>& inputs = group->GetInputs();
    std::vector<unsigned int> lists[3];  // positions, normals, texture coordinates
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const DaePrimitive::Input& input = inputs[i];
        const int kind = input.semantic == DaeSemantic::Position ? 0
                         : input.semantic == DaeSemantic::Normal ? 1
                         : input.semantic == DaeSemantic::TexCoord ? 2
                                                                   : -1;
        if (kind < 0) {
            Logger::Stream(logger, Logger::Warn).GetStream() << "Unsupported polygon semantic '" << input.semantic << "'.";
            continue;
        }
        const std::size_t base = sources[static_cast<std::size_t>(input.source)].base;
        bool usedLater = false;
        for (std::size_t j = i + 1; j < inputs.size(); ++j) usedLater = usedLater || inputs[j].slot == input.slot;
        // The usual case, one list starting a kind's array, moves without a copy.
        if (lists[kind].empty() && base == 0 && !usedLater)
            lists[kind] = group->TakeSlot(input.slot);
        else
            AppendIndices(lists[kind], group->GetSlot(input.slot), base);
    }
    geometry->SetVertexIndices(std::move(lists[0]));
    geometry->SetNormalIndices(std::move(lists[1]));
    geometry->SetTexCoordIndices(std::move(lists[2]));
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
