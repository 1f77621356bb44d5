#pragma once
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "DaeInstance.h"
#include "vmath/mat4.h"

class DaeDocument;
class Logger;

/// A <node> (or the <visual_scene> root) seen through its element: id, local
/// matrix, instances and child nodes. A light value; copying it is free.
class DaeSceneNode {
public:
    DaeSceneNode() = default;
    explicit DaeSceneNode(pugi::xml_node element) : element(element) {}

    pugi::xml_node GetElement() const { return element; }
    const char* GetId() const { return element.attribute("id").value(); }

    /// The local matrix: <matrix>, <translate>, <rotate>, <scale>, <lookat>
    /// and <skew> composed in document order, in OpenGL's element order
    /// (translation at flat indices 12, 13, 14).
    vmath::mat4<float> GetLocalMatrix() const;

    /// The instance elements in document order, references resolved.
    std::vector<DaeInstance> GetInstances(DaeDocument& document) const;

    /// The child nodes in document order: <node> children and the targets of
    /// <instance_node>. An <instance_node> naming no node is skipped with a
    /// warning on `log`.
    std::vector<DaeSceneNode> GetChildren(const DaeDocument& document, Logger& log) const;

private:
    pugi::xml_node element;
};
