#pragma once
#include <string>

#include <nodara/Object.h>
#include <nodara/OwnedList.h>

class Renderer;

/// An element of the scene tree. A node owns its children and destroys them
/// with itself; `parent` is a plain back-reference that nothing keeps in step
/// with the child lists.
///
/// Copies are shallow: a copy lists the same children as its source but owns
/// none of them, so the children are released once, by the source. A child
/// added to a copy belongs to the copy, and a node assigned an earlier copy of
/// itself keeps owning the children they share.
class Node : public Object {
public:
    enum NodeType {
        ROOT_NODE = 0,
        DRAWABLE_NODE = 1,
        STATE_NODE = 2,
        GROUP_NODE = 3,
        MESH_NODE = 4,
        TRANSFORM_NODE = 5,
        MODEL_NODE = 6
    };

    Node() = default;
    /// Sets the back-reference only; `parent`'s child list is not touched.
    explicit Node(Node* parent) : parent(parent) {}
    Node(const Node& other) = default;
    Node& operator=(const Node& other) = default;
    ~Node() override;

    virtual NodeType GetType() const = 0;
    /// Visits the children in list order.
    virtual void Cull(Renderer& renderer);
    /// Renders the children in list order.
    virtual void Render(Renderer& renderer) const;

    /// Appends `child` (null ignored). Duplicates are allowed; the child's
    /// parent is not set.
    void AddChild(Node* child);
    /// Removes the first entry equal to `child` without destroying it.
    void RemoveChild(Node* child);
    /// Empties the list without destroying the children.
    void RemoveAllChilds();

    /// Sets or replaces the parent; null is ignored (a parent is never cleared).
    void SetParent(Node* value);
    Node* GetParent() const { return parent; }

    /// The child at `index`, or null past the end.
    Node* GetChild(unsigned int index) const;
    unsigned int GetChildCount() const { return children.GetCount(); }

    /// Breadth-first per level, descending child by child: `start` itself, then
    /// its children, then each child's subtree in list order. Null if no match.
    static Node* Search(Node& start, const std::string& name);

private:
    void DeleteAllChilds();

    Node* parent = nullptr;
    OwnedList<Node> children;
};
