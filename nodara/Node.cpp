#include <nodara/Node.h>

#include <algorithm>

Node::Node(const Node& other)
    : Object(other), parent(other.parent), children(other.children), ownsChildren(false) {}

Node& Node::operator=(const Node& other) {
    if (this == &other) return *this;
    // Release what this node owned, except children the source also lists
    // (assigning a shallow copy back to its source must not free them).
    if (ownsChildren) {
        for (Node* child : children)
            if (std::find(other.children.begin(), other.children.end(), child) == other.children.end())
                delete child;
    }
    Object::operator=(other);
    parent = other.parent;
    children = other.children;
    ownsChildren = false;
    return *this;
}

Node::~Node() { DeleteAllChilds(); }

void Node::Cull(Renderer& renderer) {
    for (Node* child : children) child->Cull(renderer);
}

void Node::Render(Renderer& renderer) const {
    for (const Node* child : children) child->Render(renderer);
}

void Node::AddChild(Node* child) {
    if (child) children.push_back(child);
}

void Node::RemoveChild(Node* child) {
    if (!child) return;
    auto it = std::find(children.begin(), children.end(), child);
    if (it != children.end()) children.erase(it);
}

void Node::RemoveAllChilds() { children.clear(); }

void Node::DeleteAllChilds() {
    if (ownsChildren) {
        for (Node* child : children) delete child;
    }
    children.clear();
}

void Node::SetParent(Node* value) {
    if (value) parent = value;
}

Node* Node::GetChild(unsigned int index) const {
    return index < children.size() ? children[index] : nullptr;
}

Node* Node::Search(Node& start, const std::string& name) {
    if (start.GetName() == name) return &start;
    // Scan this whole level before descending, then descend child by child.
    for (Node* child : start.children)
        if (child->GetName() == name) return child;
    for (Node* child : start.children) {
        if (child->children.empty()) continue;
        if (Node* found = Search(*child, name)) return found;
    }
    return nullptr;
}
