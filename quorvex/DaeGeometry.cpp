#include "DaeGeometry.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <limits>

#include "DaeLargeBuffer.h"
#include "DaeSemantic.h"
#include "DaeTextParser.h"

void DaeGeometry::Read(std::size_t textSize, Logger& polygonLog) {
    if (read) return;
    read = true;
    const pugi::xml_node mesh = element.child("mesh");

    std::unordered_map<std::string_view, int> sourceIds;
    std::vector<pugi::xml_node> sourceElements;
    for (pugi::xml_node source : mesh.children("source")) {
        DaeSource data;
        data.id = source.attribute("id").value();
        sourceIds.emplace(std::string_view(source.attribute("id").value()), static_cast<int>(sources.size()));
        sources.push_back(std::move(data));
        sourceElements.push_back(source);
    }
    // A source takes the semantic of the first input that uses it.
    auto assignType = [&](pugi::xml_node input) {
        const char* url = input.attribute("source").value();
        if (url[0] != '#') return;
        const auto found = sourceIds.find(std::string_view(url + 1));
        const int semantic = DaeSemantic::FromName(input.attribute("semantic").value());
        if (found != sourceIds.end() && sources[static_cast<std::size_t>(found->second)].type < 0 &&
            semantic != DaeSemantic::Vertex)
            sources[static_cast<std::size_t>(found->second)].type = semantic;
    };
    DaePrimitive::MeshContext context;
    for (pugi::xml_node input : mesh.child("vertices").children("input")) {
        assignType(input);
        context.vertexInputs.emplace_back(input.attribute("semantic").value(), input.attribute("source").value());
    }
    for (pugi::xml_node group : mesh.children())
        for (pugi::xml_node input : group.children("input"))
            if (std::strcmp(group.name(), "vertices") != 0) assignType(input);

    std::size_t base[3] = {0, 0, 0};  // positions, normals, texture coordinates
    for (std::size_t i = 0; i < sources.size(); ++i) {
        DaeSource& source = sources[i];
        if (!DaeSemantic::Components(source.type)) continue;
        ReadSource(source, sourceElements[i], textSize);
        std::size_t& next = base[source.type == DaeSemantic::Position ? 0 : source.type == DaeSemantic::Normal ? 1 : 2];
        source.base = next;
        next += source.count;
    }

    context.sources = &sources;
    context.sourceIds = &sourceIds;
    context.textSize = textSize;
    context.log = &polygonLog;
    for (pugi::xml_node group : mesh.children()) {
        if (!DaePrimitive::IsPolygonGroup(group.name())) continue;
        context.name = std::string(GetId()) + "_" + std::to_string(primitives.size());
        primitives.emplace_back();
        primitives.back().Read(group, context);
    }
}

void DaeGeometry::ReadSource(DaeSource& source, pugi::xml_node element, std::size_t textSize) {
    const unsigned components = DaeSemantic::Components(source.type);
    const pugi::xml_node accessor = element.child("technique_common").child("accessor");
    if (!accessor) {
        source.problem = "it has no accessor";
        return;
    }
    const char* arrayUrl = accessor.attribute("source").value();
    // The accessor names the source's own array; exporters that get the name
    // wrong still mean it, so the first array stands in.
    pugi::xml_node array = element.child("float_array");
    for (pugi::xml_node candidate : element.children("float_array"))
        if (arrayUrl[0] == '#' && !std::strcmp(candidate.attribute("id").value(), arrayUrl + 1)) {
            array = candidate;
            break;
        }
    if (!array) {
        source.problem = "it has no float array";
        return;
    }
    source.hasAccessor = true;
    const std::size_t limit = textSize / 2 + 1;  // no text holds more numbers than this
    source.stride = DaeTextParser::ParseCount(accessor.attribute("stride").value(), 1, limit);
    const std::size_t offset = DaeTextParser::ParseCount(accessor.attribute("offset").value(), 0, limit);
    const std::size_t written = DaeTextParser::ParseCount(accessor.attribute("count").value(), limit, SIZE_MAX);
    const std::size_t declared = std::min(written, limit);
    if (source.stride == 0) {
        source.problem = "its stride of '0' steps nowhere";
        return;
    }
    if (source.stride < components) {
        source.problem = "its stride of '" + std::to_string(source.stride) + "' is smaller than the " +
                         std::to_string(components) + " components read";
        return;
    }
    // Parse no further than the accessor reaches; the array's count only bounds the reservation.
    const std::size_t reach = std::min(limit, offset + std::min(declared, limit / source.stride + 1) * source.stride);
    const std::size_t arrayCount = DaeTextParser::ParseCount(array.attribute("count").value(), reach, limit);
    const std::size_t reserve = std::min(reach, arrayCount);
    const char* text = array.child_value();
    std::size_t whole = 0;
    if (offset == 0 && source.stride == components) {
        // Packed: read straight into the layout the mesh keeps.
        float element[3];
        std::size_t filled = 0;
        if (components == 3)
            DaeLargeBuffer::Reserve(source.packed3, reserve / 3);
        else
            DaeLargeBuffer::Reserve(source.packed2, reserve / 2);
        while (whole < declared && DaeTextParser::NextFloat(text, element[filled], source.badNumbers)) {
            if (++filled < components) continue;
            filled = 0;
            ++whole;
            if (components == 3)
                source.packed3.emplace_back(element[0], element[1], element[2]);
            else
                source.packed2.emplace_back(element[0], element[1]);
        }
    } else {
        std::vector<float> numbers;
        DaeLargeBuffer::Reserve(numbers, reserve);
        source.badNumbers = DaeTextParser::ParseFloats(text, numbers, reach);
        if (offset > 0)
            numbers.erase(numbers.begin(), numbers.begin() + static_cast<std::ptrdiff_t>(std::min(offset, numbers.size())));
        source.data = std::move(numbers);
        whole = source.data.size() < components ? 0 : (source.data.size() - components) / source.stride + 1;
    }
    source.count = std::min(declared, whole);
    if (accessor.attribute("count") && written > whole)
        source.problem = "its accessor counts " + std::to_string(written) + " elements but its array holds " +
                         std::to_string(whole);
    source.readable = true;
}

void DaeGeometry::Release() {
    read = false;
    std::vector<DaeSource>().swap(sources);
    std::vector<DaePrimitive>().swap(primitives);
}
