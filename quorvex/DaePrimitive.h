#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "DaePolygonTriangulator.h"

class DaeSource;
class Logger;

/// One polygon group of a mesh (<triangles>, <polylist>, <polygons>,
/// <tristrips> or <trifans>), read and triangulated in place: after Read,
/// every three consecutive entries of an index list form one triangle.
/// Triangles that use an index past the end of their source are dropped, so
/// whatever the lists hold is safe to draw.
class DaePrimitive {
public:
    static constexpr unsigned NoSlot = 0xffffffffu;
    /// Highest input offset read; a larger one marks a broken group.
    static constexpr std::size_t MaxOffset = 255;

    /// One input, after a VERTEX input is expanded into the <vertices> inputs.
    struct Input {
        int semantic = -1;       ///< DaeSemantic value
        int source = -1;         ///< index into the mesh's sources; -1 when not read
        unsigned slot = NoSlot;  ///< index list of its offset; NoSlot when not converted
    };

    /// What Read needs to know about the mesh around the group.
    struct MeshContext {
        const std::vector<DaeSource>* sources = nullptr;
        const std::unordered_map<std::string_view, int>* sourceIds = nullptr;
        /// (semantic name, source URL) of the <vertices> inputs.
        std::vector<std::pair<const char*, const char*>> vertexInputs;
        std::size_t textSize = 0;  ///< bounds allocations by the document's size
        std::string name;          ///< the geometry's name ("mesh_index"), for the log
        Logger* log = nullptr;     ///< "ColladaPolygonGroup"
    };

    /// Triangle-forming elements; everything else (lines, line strips) is no polygon group.
    static bool IsPolygonGroup(const char* elementName);

    void Read(pugi::xml_node element, const MeshContext& mesh);

    const std::string& GetMaterialSymbol() const { return materialSymbol; }
    /// The inputs in document order, VERTEX expanded in place.
    const std::vector<Input>& GetInputs() const { return inputs; }
    /// The triangulated index list of a slot (one converted input offset).
    const std::vector<unsigned int>& GetSlot(unsigned slot) const { return slots[slot]; }
    /// The index list of a slot, moved out (the slot is left empty).
    std::vector<unsigned int> TakeSlot(unsigned slot) { return std::move(slots[slot]); }
    std::size_t GetTriangleCount() const { return slots.empty() ? 0 : slots[0].size() / 3; }
    /// Frees the index lists (the inputs stay, with empty lists).
    void ReleaseIndices() {
        for (auto& list : slots) std::vector<unsigned int>().swap(list);
    }

private:
    enum class Kind { Triangles, Polylist, Polygons, TriStrips, TriFans };

    bool ReadInputs(pugi::xml_node element, const MeshContext& mesh);
    void AddInput(int semantic, const char* url, std::size_t offset, const MeshContext& mesh);
    void ReadIndices(pugi::xml_node element, Kind kind, const MeshContext& mesh);
    std::size_t ReadCorners(const char* text);
    void Triangulate(Kind kind, const std::vector<std::uint32_t>& sizes, const MeshContext& mesh);
    bool GatherPositions(std::size_t first, std::size_t count, const MeshContext& mesh);
    void DropBadTriangles(const MeshContext& mesh);
    void Warn(const MeshContext& mesh, const std::string& message) const;

    std::string materialSymbol;
    std::vector<Input> inputs;
    std::size_t stride = 1;                        ///< numbers per vertex in <p>
    std::vector<unsigned> slotOfOffset;            ///< per offset: its slot or NoSlot
    std::vector<std::vector<unsigned int>> slots;  ///< triangulated index lists
    std::vector<std::vector<unsigned int>> raw;    ///< vertices before triangulation
    unsigned positionSlot = NoSlot;
    int positionSource = -1;
    std::size_t partialVertices = 0;  ///< numbers left over at the end of <p> lists
    DaePolygonTriangulator triangulator;
    std::vector<std::uint32_t> polygonTriangles;
    std::vector<vmath::vec3<double>> polygonPoints;
};
