#include "DaePrimitive.h"

#include <algorithm>
#include <cstring>

#include <nodara/Logger.h>

#include "DaeLargeBuffer.h"
#include "DaeSemantic.h"
#include "DaeSource.h"
#include "DaeTextParser.h"

bool DaePrimitive::IsPolygonGroup(const char* name) {
    return !std::strcmp(name, "triangles") || !std::strcmp(name, "polylist") || !std::strcmp(name, "polygons") ||
           !std::strcmp(name, "tristrips") || !std::strcmp(name, "trifans");
}

void DaePrimitive::Warn(const MeshContext& mesh, const std::string& message) const {
    Logger::Stream(*mesh.log, Logger::Warn).GetStream() << "Polygon group '" << mesh.name << "' " << message;
}

void DaePrimitive::Read(pugi::xml_node element, const MeshContext& mesh) {
    materialSymbol = element.attribute("material").value();
    const char* name = element.name();
    const Kind kind = !std::strcmp(name, "triangles")  ? Kind::Triangles
                      : !std::strcmp(name, "polylist") ? Kind::Polylist
                      : !std::strcmp(name, "polygons") ? Kind::Polygons
                      : !std::strcmp(name, "tristrips") ? Kind::TriStrips
                                                        : Kind::TriFans;
    if (!ReadInputs(element, mesh)) return;
    ReadIndices(element, kind, mesh);
    DropBadTriangles(mesh);
}

bool DaePrimitive::ReadInputs(pugi::xml_node element, const MeshContext& mesh) {
    std::size_t maxOffset = 0;
    for (pugi::xml_node input : element.children("input")) {
        const std::size_t offset =
            DaeTextParser::ParseCount(input.attribute("offset").value(), 0, MaxOffset + 1);
        if (offset > MaxOffset) {
            Warn(mesh, "has an input offset above " + std::to_string(MaxOffset) + "; it is skipped.");
            inputs.clear();
            slots.clear();
            return false;
        }
        maxOffset = std::max(maxOffset, offset);
        if (slotOfOffset.size() <= offset) slotOfOffset.resize(offset + 1, NoSlot);
        const int semantic = DaeSemantic::FromName(input.attribute("semantic").value());
        if (semantic == DaeSemantic::Vertex) {
            if (mesh.vertexInputs.empty()) Warn(mesh, "has a VERTEX input but its mesh has no vertices.");
            for (const auto& vertexInput : mesh.vertexInputs)
                AddInput(DaeSemantic::FromName(vertexInput.first), vertexInput.second, offset, mesh);
        } else {
            AddInput(semantic, input.attribute("source").value(), offset, mesh);
        }
    }
    stride = maxOffset + 1;
    return true;
}

void DaePrimitive::AddInput(int semantic, const char* url, std::size_t offset, const MeshContext& mesh) {
    Input input;
    input.semantic = semantic;
    if (url[0] == '#') {
        const auto found = mesh.sourceIds->find(std::string_view(url + 1));
        if (found != mesh.sourceIds->end()) input.source = found->second;
    }
    if (DaeSemantic::Components(semantic)) {
        const DaeSource* source = input.source >= 0 ? &(*mesh.sources)[static_cast<std::size_t>(input.source)] : nullptr;
        if (!source || !source->readable || source->type != semantic) {
            Warn(mesh, std::string("skips an input: its source '") + url + "' is missing or can not be read.");
            return;
        }
        if (slotOfOffset[offset] == NoSlot) {
            slotOfOffset[offset] = static_cast<unsigned>(slots.size());
            slots.emplace_back();
        }
        input.slot = slotOfOffset[offset];
        if (semantic == DaeSemantic::Position && positionSlot == NoSlot) {
            positionSlot = input.slot;
            positionSource = input.source;
        }
    }
    inputs.push_back(input);
}

std::size_t DaePrimitive::ReadCorners(const char* text) {
    // Hot loop of big documents: the list each offset feeds is looked up once.
    std::vector<std::vector<unsigned int>*> targets(stride, nullptr);
    for (std::size_t offset = 0; offset < stride; ++offset)
        if (slotOfOffset[offset] != NoSlot) targets[offset] = &raw[slotOfOffset[offset]];
    std::size_t corners = 0, at = 0;
    std::uint32_t value;
    while (DaeTextParser::NextIndex(text, value)) {
        if (std::vector<unsigned int>* target = targets[at]) target->push_back(value);
        if (++at == stride) {
            at = 0;
            ++corners;
        }
    }
    if (at != 0) {  // a vertex cut short: take back the numbers it had
        partialVertices += at;
        for (std::size_t offset = 0; offset < at; ++offset)
            if (targets[offset]) targets[offset]->pop_back();
    }
    return corners;
}

void DaePrimitive::ReadIndices(pugi::xml_node element, Kind kind, const MeshContext& mesh) {
    if (slots.empty()) return;  // nothing converted reads these indices
    slotOfOffset.resize(stride, NoSlot);
    raw.assign(slots.size(), {});
    // Trust a declared count only as far as the text could hold it.
    const std::size_t textLimit = mesh.textSize / (2 * stride) + 1;
    std::vector<std::uint32_t> sizes;

    if (kind == Kind::Triangles || kind == Kind::Polylist) {
        if (kind == Kind::Triangles) {
            const std::size_t declared = DaeTextParser::ParseCount(element.attribute("count").value(), 0, textLimit);
            for (auto& list : raw) DaeLargeBuffer::Reserve(list, std::min(declared * 3, textLimit));
        } else {
            DaeTextParser::ParseIndices(element.child("vcount").child_value(), sizes, mesh.textSize / 2 + 1);
        }
        for (pugi::xml_node p : element.children("p")) ReadCorners(p.child_value());
    } else {
        for (pugi::xml_node child : element.children()) {
            const char* name = child.name();
            if (!std::strcmp(name, "p"))
                sizes.push_back(static_cast<std::uint32_t>(ReadCorners(child.child_value())));
            else if (kind == Kind::Polygons && !std::strcmp(name, "ph"))  // holes: the outline only
                sizes.push_back(static_cast<std::uint32_t>(ReadCorners(child.child("p").child_value())));
        }
    }
    if (partialVertices)
        Warn(mesh, "has " + std::to_string(partialVertices) +
                       " numbers after its last whole vertex in 'p'; they are skipped.");

    if (kind == Kind::Triangles) {
        const std::size_t corners = raw[0].size();
        if (corners % 3)
            Warn(mesh, "has " + std::to_string(corners % 3) +
                           " vertices after its last whole triangle; they are skipped.");
        for (auto& list : raw) list.resize(corners - corners % 3);
        slots.swap(raw);
    } else {
        Triangulate(kind, sizes, mesh);
    }
    raw.clear();
    raw.shrink_to_fit();
}

bool DaePrimitive::GatherPositions(std::size_t first, std::size_t count, const MeshContext& mesh) {
    if (positionSlot == NoSlot) return false;
    const DaeSource& source = (*mesh.sources)[static_cast<std::size_t>(positionSource)];
    polygonPoints.resize(count);
    const std::vector<unsigned int>& list = raw[positionSlot];
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = list[first + i];
        if (index >= source.count) return false;  // dropped later; a fan will do meanwhile
        const float* p = source.GetElement(index);
        polygonPoints[i] = vmath::vec3<double>(p[0], p[1], p[2]);
    }
    return true;
}

void DaePrimitive::Triangulate(Kind kind, const std::vector<std::uint32_t>& sizes, const MeshContext& mesh) {
    const std::size_t total = raw[0].size();
    std::size_t corner = 0, small = 0, missing = 0, output = 0;
    for (std::uint32_t declared : sizes) {  // room for exactly the triangles to come
        const std::size_t count = std::min<std::size_t>(declared, total - std::min(total, corner));
        corner += count;
        if (count >= 3) output += 3 * (count - 2);
    }
    corner = 0;
    for (auto& list : slots) {
        list.clear();
        DaeLargeBuffer::Reserve(list, output);
    }
    for (std::uint32_t declared : sizes) {
        std::size_t count = declared;
        if (count > total - corner) {
            missing += count - (total - corner);
            count = total - corner;
        }
        if (count < 3) {
            if (declared < 3) ++small;  // else the list simply ran out
            corner += count;
            continue;
        }
        polygonTriangles.clear();
        if (kind == Kind::TriStrips) {
            for (std::uint32_t k = 0; k + 2 < count; ++k) {
                // Every other triangle of a strip runs backwards; flip it to keep the winding.
                const bool odd = k & 1u;
                polygonTriangles.insert(polygonTriangles.end(), {odd ? k + 1 : k, odd ? k : k + 1, k + 2});
            }
        } else if (kind == Kind::TriFans || count == 3 || !GatherPositions(corner, count, mesh)) {
            DaePolygonTriangulator::Fan(count, polygonTriangles);
        } else {
            triangulator.Triangulate(polygonPoints.data(), count, polygonTriangles);
        }
        for (std::size_t s = 0; s < slots.size(); ++s) {
            const unsigned int* from = raw[s].data() + corner;
            std::vector<unsigned int>& to = slots[s];
            for (std::uint32_t t : polygonTriangles) to.push_back(from[t]);
        }
        corner += count;
    }
    if (small) Warn(mesh, "has " + std::to_string(small) + " polygons with fewer than 3 vertices; they are skipped.");
    if (missing)
        Warn(mesh, "counts " + std::to_string(missing) + " more vertices in 'vcount' than 'p' holds; they are skipped.");
}

void DaePrimitive::DropBadTriangles(const MeshContext& mesh) {
    bool clean = true;
    for (const Input& input : inputs) {
        if (input.slot == NoSlot) continue;
        const std::vector<unsigned int>& list = slots[input.slot];
        const std::size_t limit = (*mesh.sources)[static_cast<std::size_t>(input.source)].count;
        if (!list.empty() && *std::max_element(list.begin(), list.end()) >= limit) clean = false;
    }
    if (clean) return;
    const std::size_t triangles = GetTriangleCount();
    std::size_t kept = 0;
    for (std::size_t t = 0; t < triangles; ++t) {
        bool good = true;
        for (const Input& input : inputs) {
            if (input.slot == NoSlot) continue;
            const std::size_t limit = (*mesh.sources)[static_cast<std::size_t>(input.source)].count;
            const unsigned int* corners = &slots[input.slot][t * 3];
            good = good && corners[0] < limit && corners[1] < limit && corners[2] < limit;
        }
        if (!good) continue;
        if (kept != t)
            for (auto& list : slots) std::copy_n(list.begin() + static_cast<std::ptrdiff_t>(t * 3), 3,
                                                 list.begin() + static_cast<std::ptrdiff_t>(kept * 3));
        ++kept;
    }
    for (auto& list : slots) list.resize(kept * 3);
    Warn(mesh, "has " + std::to_string(triangles - kept) +
                   " triangles with indices past the end of their source; they are skipped.");
}
