#pragma once
#include <nodara/GroupNode.h>

class Model;

/// The root of a loaded model's node tree; refers to (does not own) its model.
class ModelNode : public GroupNode {
public:
    explicit ModelNode(Model& model) : model(&model) {}

    NodeType GetType() const override { return MODEL_NODE; }
    const Model& GetModel() const { return *model; }

private:
    Model* model;
};
