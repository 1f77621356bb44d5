#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "DaeInstance.h"
#include "vmath/mat4.h"

class DaeDocument;

/// A <node> (or the <visual_scene> root) seen through its element: id, local
/// matrix, instances and child nodes. A light value; copying it is free.
class DaeSceneNode {
public:
    /// Text the walk copies, hashes or compares counts one element read per
    /// this many bytes, so that long names cost what they take.
    static constexpr std::size_t BytesPerRead = 16;
    /// The element reads `text` counts for (0 for a short one).
    static std::size_t TextReads(const char* text) { return std::strlen(text) / BytesPerRead; }

    DaeSceneNode() = default;
    explicit DaeSceneNode(pugi::xml_node element) : element(element) {}

    pugi::xml_node GetElement() const { return element; }
    const char* GetId() const { return element.attribute("id").value(); }

    /// The local matrix: <matrix>, <translate>, <rotate>, <scale>, <lookat>
    /// and <skew> composed in document order, in OpenGL's element order
    /// (translation at flat indices 12, 13, 14).
    vmath::mat4<float> GetLocalMatrix() const;

    /// The instance elements in document order, references resolved.
    /// @param elementsRead grows by every element looked at on the way, and
    ///        by the TextReads of the references and symbols copied
    std::vector<DaeInstance> GetInstances(DaeDocument& document, std::size_t& elementsRead) const;

    /// The child nodes in document order: <node> children and the targets of
    /// <instance_node>.
    /// @param dangling receives each <instance_node> that names no node
    /// @param elementsRead grows by every element looked at on the way, and
    ///        by the TextReads of the references resolved
    std::vector<DaeSceneNode> GetChildren(const DaeDocument& document, std::vector<pugi::xml_node>& dangling,
                                          std::size_t& elementsRead) const;

private:
    pugi::xml_node element;
};
