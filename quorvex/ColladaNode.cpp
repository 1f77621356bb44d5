#include "ColladaNode.h"

std::vector<ColladaNode> ColladaNode::GetChildren(const DaeDocument& document, std::vector<pugi::xml_node>& dangling,
                                                  std::size_t& elementsRead) const {
    std::vector<ColladaNode> children;
    for (const DaeSceneNode& child : node.GetChildren(document, dangling, elementsRead)) children.emplace_back(child);
    return children;
}
