#include <nodara/Node.h>

Node::~Node() { DeleteAllChilds(); }

void Node::Cull(Renderer& renderer) {
    for (Node* child : children) child->Cull(renderer);
}

void Node::Render(Renderer& renderer) const {
    for (const Node* child : children) child->Render(renderer);
}

void Node::AddChild(Node* child) { children.Add(child); }

void Node::RemoveChild(Node* child) { children.Remove(child); }

void Node::RemoveAllChilds() { children.Clear(); }

void Node::DeleteAllChilds() { children.Release(); }

void Node::SetParent(Node* value) {
    if (value) parent = value;
}

Node* Node::GetChild(unsigned int index) const { return children.Get(index); }

Node* Node::Search(Node& start, const std::string& name) {
    if (start.GetName() == name) return &start;
    // Scan this whole level before descending, then descend child by child.
    for (Node* child : start.children)
        if (child->GetName() == name) return child;
    for (Node* child : start.children) {
        if (child->children.GetCount() == 0) continue;
        if (Node* found = Search(*child, name)) return found;
    }
    return nullptr;
}
