#include <nodara/NodeTreeCopy.h>

#include <memory>
#include <typeinfo>

#include <nodara/BoundingBox.h>
#include <nodara/DrawableNode.h>
#include <nodara/Logger.h>
#include <nodara/MeshNode.h>
#include <nodara/ModelNode.h>
#include <nodara/RootNode.h>
#include <nodara/StateNode.h>
#include <nodara/SwitchNode.h>

namespace {

Logger logger("NodeTreeCopy");

// The group's own parts: transform, box (a copy of its own) and culled flag.
void CopyGroupParts(const GroupNode& source, GroupNode& copy) {
    copy.GetTransform() = source.GetTransform();
    if (const BoundingBox* box = source.GetBoundingVolume()) copy.SetBoundingVolume(*new BoundingBox(*box));
    copy.SetCulled(source.IsCulled());
}

// One node without its children, or null for a class not known here. Exact
// classes only: a derived class would come out as its base, losing what it adds.
std::unique_ptr<Node> CopyOne(const Node& source, const NodeTreeCopy::StateMap& states) {
    const std::type_info& type = typeid(source);
    std::unique_ptr<Node> copy;
    if (type == typeid(DrawableNode)) {
        const auto& drawable = static_cast<const DrawableNode&>(source);
        copy.reset(new DrawableNode(const_cast<Drawable&>(drawable.GetDrawable())));
    } else if (type == typeid(StateNode)) {
        const State* state = &static_cast<const StateNode&>(source).GetState();
        const auto mapped = states.find(state);
        copy.reset(new StateNode(mapped != states.end() ? *mapped->second : const_cast<State&>(*state)));
    } else if (type == typeid(TransformNode)) {
        copy.reset(new TransformNode(static_cast<const TransformNode&>(source).GetTransform()));
    } else if (type == typeid(GroupNode)) {
        auto group = std::make_unique<GroupNode>();
        CopyGroupParts(static_cast<const GroupNode&>(source), *group);
        copy = std::move(group);
    } else if (type == typeid(SwitchNode)) {
        auto group = std::make_unique<SwitchNode>();
        CopyGroupParts(static_cast<const SwitchNode&>(source), *group);
        group->Select(static_cast<const SwitchNode&>(source).GetSelected());
        copy = std::move(group);
    } else if (type == typeid(MeshNode)) {
        const auto& meshNode = static_cast<const MeshNode&>(source);
        auto group = std::make_unique<MeshNode>(const_cast<Mesh&>(meshNode.GetMesh()));
        CopyGroupParts(meshNode, *group);
        copy = std::move(group);
    } else if (type == typeid(ModelNode)) {
        const auto& modelNode = static_cast<const ModelNode&>(source);
        auto group = std::make_unique<ModelNode>(const_cast<Model&>(modelNode.GetModel()));
        CopyGroupParts(modelNode, *group);
        copy = std::move(group);
    } else if (type == typeid(RootNode)) {
        copy.reset(new RootNode);
    } else {
        return nullptr;
    }
    copy->SetName(source.GetName());
    return copy;
}

std::unique_ptr<Node> CopyTree(const Node& source, const NodeTreeCopy::StateMap& states) {
    std::unique_ptr<Node> copy = CopyOne(source, states);
    if (!copy) {
        if (logger.IsEnabled(Logger::Warn))
            Logger::Stream(logger, Logger::Warn).GetStream()
                << "Node '" << source.GetName() << "' is of a class the copy does not know; the tree is not copied.";
        return nullptr;
    }
    for (unsigned int i = 0; const Node* child = source.GetChild(i); ++i) {
        std::unique_ptr<Node> childCopy = CopyTree(*child, states);
        if (!childCopy) return nullptr;
        childCopy->SetParent(copy.get());
        copy->AddChild(childCopy.release());
    }
    return copy;
}

}  // namespace

Node* NodeTreeCopy::Copy(const Node& source, const StateMap& states) { return CopyTree(source, states).release(); }
