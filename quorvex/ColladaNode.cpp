#include "ColladaNode.h"

std::vector<ColladaNode> ColladaNode::GetChildren(const DaeDocument& document, Logger& log) const {
    std::vector<ColladaNode> children;
    for (const DaeSceneNode& child : node.GetChildren(document, log)) children.emplace_back(child);
    return children;
}
