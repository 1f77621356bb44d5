#pragma once
#include <nodara/Culler.h>

/// View-frustum culling of group nodes against the current GL matrices.
class OglCuller : public Culler {
public:
    OglCuller() = default;
    OglCuller(const OglCuller&) = default;
    OglCuller& operator=(const OglCuller&) = default;
    ~OglCuller() override = default;

    /// Culls `group` when its box, in the coordinates of the current
    /// model-view matrix, lies wholly outside one plane of the frustum of the
    /// current projection; clears the flag otherwise. A group without a box
    /// keeps its flag. Conservative: a kept box may still be invisible.
    void Cull(GroupNode& group) override;
};
