#pragma once
#include <nodara/Object.h>

class Renderer;

/// Render state pushed before a subtree is drawn and popped after it.
class State : public Object {
public:
    virtual void Push(Renderer& renderer) const = 0;
    virtual void Pop(Renderer& renderer) const = 0;
};
