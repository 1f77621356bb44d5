#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "DaeSceneNode.h"
#include "vmath/mat4.h"

class DaeDocument;

/// Wraps one scene node of the document for the conversion; owns nothing.
class ColladaNode {
public:
    explicit ColladaNode(DaeSceneNode node) : node(node) {}

    /// The node's COLLADA id.
    std::string GetName() const { return node.GetId(); }
    /// The local matrix in OpenGL order, ready for Transform::SetMatrix.
    vmath::mat4<float> GetMatrix() const { return node.GetLocalMatrix(); }
    /// The element reads a copy of the node's id counts for.
    std::size_t GetNameReads() const { return DaeSceneNode::TextReads(node.GetId()); }
    /// The instance elements, references resolved; `elementsRead` grows by the elements looked at.
    std::vector<DaeInstance> GetInstances(DaeDocument& document, std::size_t& elementsRead) const {
        return node.GetInstances(document, elementsRead);
    }
    /// Child nodes, <instance_node> targets included, in document order;
    /// each <instance_node> naming no node goes to `dangling`.
    std::vector<ColladaNode> GetChildren(const DaeDocument& document, std::vector<pugi::xml_node>& dangling,
                                         std::size_t& elementsRead) const;

    pugi::xml_node GetElement() const { return node.GetElement(); }

private:
    DaeSceneNode node;
};
