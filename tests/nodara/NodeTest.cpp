#include <gtest/gtest.h>

#include <nodara/BoundingBox.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/DrawableNode.h>
#include <nodara/RootNode.h>
#include <nodara/StateNode.h>
#include <nodara/TransformNode.h>

namespace {

/// A node that counts its own destruction, to catch leaks and double frees.
class CountedNode : public GroupNode {
public:
    explicit CountedNode(int& destroyed, const std::string& name = "") : destroyed(destroyed) {
        SetName(name);
    }
    ~CountedNode() override { ++destroyed; }

private:
    int& destroyed;
};

Node* Named(Node* node, const std::string& name) {
    node->SetName(name);
    return node;
}

}  // namespace

TEST(Node, TypesAndRootName) {
    Geometry geometry;
    Material material;
    Mesh mesh;
    Model model;
    EXPECT_EQ(RootNode().GetName(), "Root");
    EXPECT_EQ(RootNode().GetType(), Node::ROOT_NODE);
    EXPECT_EQ(DrawableNode(geometry).GetType(), Node::DRAWABLE_NODE);
    EXPECT_EQ(StateNode(material).GetType(), Node::STATE_NODE);
    EXPECT_EQ(GroupNode().GetType(), Node::GROUP_NODE);
    EXPECT_EQ(MeshNode(mesh).GetType(), Node::MESH_NODE);
    EXPECT_EQ(TransformNode().GetType(), Node::TRANSFORM_NODE);
    EXPECT_EQ(ModelNode(model).GetType(), Node::MODEL_NODE);
}

TEST(Node, ChildListEdges) {
    int destroyed = 0;
    auto* parent = new RootNode;
    EXPECT_EQ(parent->GetChild(0), nullptr);
    parent->AddChild(nullptr);
    EXPECT_EQ(parent->GetChildCount(), 0u);

    auto* a = new CountedNode(destroyed, "a");
    auto* b = new CountedNode(destroyed, "b");
    auto* stranger = new CountedNode(destroyed, "stranger");
    parent->AddChild(a);
    parent->AddChild(b);
    EXPECT_EQ(a->GetParent(), nullptr);  // AddChild does not set the parent
    EXPECT_EQ(parent->GetChild(parent->GetChildCount()), nullptr);

    parent->RemoveChild(stranger);  // not listed: nothing changes
    parent->RemoveChild(nullptr);
    ASSERT_EQ(parent->GetChildCount(), 2u);
    parent->RemoveChild(a);
    ASSERT_EQ(parent->GetChildCount(), 1u);
    EXPECT_EQ(parent->GetChild(0), b);

    delete parent;  // destroys b, not the removed a
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(a->GetName(), "a");
    delete a;
    delete stranger;
    EXPECT_EQ(destroyed, 3);
}

TEST(Node, RemoveAllChildsKeepsThemAlive) {
    int destroyed = 0;
    auto* child = new CountedNode(destroyed);
    {
        RootNode root;
        root.AddChild(child);
        root.RemoveAllChilds();
        EXPECT_EQ(root.GetChildCount(), 0u);
    }
    EXPECT_EQ(destroyed, 0);
    delete child;
}

TEST(Node, SetParentIgnoresNull) {
    RootNode root;
    GroupNode group;
    group.SetParent(&root);
    group.SetParent(nullptr);
    EXPECT_EQ(group.GetParent(), &root);
}

TEST(Node, SearchScansEachLevelBeforeDescending) {
    // Root: A (A1, A2 "target"), B (B1 "target"); A2 wins since A's subtree comes first.
    RootNode root;
    Node* a = Named(new GroupNode, "A");
    Node* b = Named(new GroupNode, "B");
    Node* a1 = Named(new GroupNode, "A1");
    Node* a2 = Named(new GroupNode, "target");
    Node* b1 = Named(new GroupNode, "target");
    root.AddChild(a);
    root.AddChild(b);
    a->AddChild(a1);
    a->AddChild(a2);
    b->AddChild(b1);
    EXPECT_EQ(Node::Search(root, "target"), a2);
    EXPECT_EQ(Node::Search(root, "B"), b);
    EXPECT_EQ(Node::Search(root, "missing"), nullptr);
    // A level is scanned whole first: a child's name beats a grandchild's.
    a1->AddChild(Named(new GroupNode, "B1"));
    Node* shallow = Named(new GroupNode, "B1");
    b->AddChild(shallow);
    EXPECT_NE(Node::Search(*a, "B1"), nullptr);
    // The start node itself wins over a child of the same name.
    a1->SetName("A");
    EXPECT_EQ(Node::Search(*a, "A"), a);
}

TEST(Node, ShallowCopiesNeverReleaseTwice) {
    int destroyed = 0;
    auto* source = new GroupNode(*new BoundingBox({0, 0, 0}, {1, 1, 1}));
    source->AddChild(new CountedNode(destroyed));
    {
        GroupNode copy(*source);  // shares child and box
        EXPECT_EQ(copy.GetChild(0), source->GetChild(0));
        EXPECT_EQ(copy.GetBoundingVolume(), source->GetBoundingVolume());
        GroupNode assigned;
        assigned.AddChild(new CountedNode(destroyed));  // its own child goes on assignment
        assigned = *source;
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(assigned.GetChild(0), source->GetChild(0));
    }
    EXPECT_EQ(destroyed, 1);  // the copies released nothing of the source's
    delete source;
    EXPECT_EQ(destroyed, 2);

    // An earlier copy assigned back onto its grown source: the source keeps
    // owning the child and box they share and releases only what it added.
    {
        GroupNode original(*new BoundingBox({0, 0, 0}, {1, 1, 1}));
        original.AddChild(new CountedNode(destroyed, "kept"));
        GroupNode view(original);
        original.AddChild(new CountedNode(destroyed));
        original = view;
        EXPECT_EQ(destroyed, 3);
        ASSERT_EQ(original.GetChildCount(), 1u);
        original.GetChild(0)->SetName("still alive");
        GroupNode& self = original;
        original = self;
        EXPECT_EQ(destroyed, 3);
        // A child added to a copy belongs to that copy.
        view.AddChild(new CountedNode(destroyed));
    }
    EXPECT_EQ(destroyed, 5);  // each child once; LeakSanitizer checks the box
}

TEST(Node, TransformNodeCopyFollowsTheSourceTransform) {
    GroupNode source;
    source.GetTransform().Translate({5, 0, 0});
    GroupNode standIn;
    standIn = source;
    // The copy renders with the source's transform (shared state pointer).
    EXPECT_EQ(&standIn.GetState(), &source.GetState());
    source.GetTransform().Translate({1, 0, 0});
    EXPECT_EQ(static_cast<const Transform&>(standIn.GetState()).GetMatrix()[12], 6.0f);
}

TEST(Node, MeshNodeCopiesTheMeshBoxAtConstruction) {
    Mesh mesh;
    mesh.GetBoundingVolume().Expand({1, 2, 3});
    MeshNode node(mesh);
    mesh.GetBoundingVolume().Expand({9, 9, 9});
    ASSERT_NE(node.GetBoundingVolume(), nullptr);
    EXPECT_EQ(node.GetBoundingVolume()->GetMaximum().x, 1.0f);
    EXPECT_EQ(&node.GetMesh(), &mesh);
}
