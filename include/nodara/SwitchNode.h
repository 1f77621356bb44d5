#pragma once
#include <nodara/GroupNode.h>

/// A group that culls and draws one of its children, the selected one; the
/// others stay in the tree, owned as any child, but cost nothing. Alternative
/// looks of one object (levels of detail, say) hang below one switch.
/// Copies follow the group's rules and keep the selection.
class SwitchNode : public GroupNode {
public:
    SwitchNode() = default;

    /// Pushes the transform, lets the culler decide, culls the selected child
    /// if not culled, pops.
    void Cull(Renderer& renderer) override;
    /// Renders the selected child inside the transform; nothing while culled.
    void Render(Renderer& renderer) const override;

    /// Selects child `index` (0 at first); past the end none is drawn.
    void Select(unsigned int index) { selected = index; }
    unsigned int GetSelected() const { return selected; }

private:
    unsigned int selected = 0;
};
