#pragma once
#include <nodara/Node.h>

/// The top of a scene: a plain node named "Root".
class RootNode : public Node {
public:
    RootNode() { SetName("Root"); }
    NodeType GetType() const override { return ROOT_NODE; }
};
