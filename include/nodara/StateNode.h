#pragma once
#include <nodara/Node.h>

class State;

/// Pushes its state (not owned) around the rendering of its children.
class StateNode : public Node {
public:
    explicit StateNode(State& state) : state(&state) {}

    NodeType GetType() const override { return STATE_NODE; }
    void Render(Renderer& renderer) const override;

    const State& GetState() const { return *state; }
    void SetState(State& value) { state = &value; }

protected:
    State* state;
};
