#pragma once
#include <map>

class Node;
class State;

/// Deep copies of a node tree that draw what the source draws: every node is
/// new, with the source's name, transform, box, culled flag and selection,
/// but the drawables (geometries, with their buffers), meshes and states are
/// the source's own, so a copy costs nodes, not geometry. Each copy can
/// differ from the source in its states: a copied car in a paint of its own.
class NodeTreeCopy {
public:
    /// States a copy pushes in place of the source's: key the source's state,
    /// value the copy's (not owned).
    using StateMap = std::map<const State*, State*>;

    /// A copy of `source` and all below it; each state node whose state is a
    /// key of `states` pushes the mapped state instead. The copy owns its
    /// nodes as any tree does (the caller owns the top one); what the nodes
    /// refer to stays with its owners (the model), which must outlive it.
    /// Children get the copy of their parent as parent.
    /// @return the copy, or null when the tree holds a node of a class other
    ///         than Nodara's own (a class derived from one of them included),
    ///         which could not be copied faithfully; nothing is then left over
    static Node* Copy(const Node& source, const StateMap& states = {});
};
