#pragma once
#include <string>
#include <vector>

#include "DaeSceneNode.h"
#include "vmath/mat4.h"

class DaeDocument;
class Logger;

/// Wraps one scene node of the document for the conversion; owns nothing.
class ColladaNode {
public:
    explicit ColladaNode(DaeSceneNode node) : node(node) {}

    /// The node's COLLADA id.
    std::string GetName() const { return node.GetId(); }
    /// The local matrix in OpenGL order, ready for Transform::SetMatrix.
    vmath::mat4<float> GetMatrix() const { return node.GetLocalMatrix(); }
    std::vector<DaeInstance> GetInstances(DaeDocument& document) const { return node.GetInstances(document); }
    /// Child nodes, <instance_node> targets included, in document order.
    std::vector<ColladaNode> GetChildren(const DaeDocument& document, Logger& log) const;

    pugi::xml_node GetElement() const { return node.GetElement(); }

private:
    DaeSceneNode node;
};
