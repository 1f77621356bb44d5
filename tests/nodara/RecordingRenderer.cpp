#include "RecordingRenderer.h"

#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Transform.h>

#include <algorithm>

void RecordingStateManager::Push(const Transform& transform) {
    log.push_back("push T " + transform.GetName());
    maxDepth = std::max(maxDepth, ++depth);
}

void RecordingStateManager::Push(const Material& material) {
    log.push_back("push M " + material.GetName());
    maxDepth = std::max(maxDepth, ++depth);
}

void RecordingStateManager::Pop(const Transform& transform) {
    log.push_back("pop T " + transform.GetName());
    --depth;
}

void RecordingStateManager::Pop(const Material& material) {
    log.push_back("pop M " + material.GetName());
    --depth;
}

void RecordingCuller::Cull(GroupNode& group) {
    const bool cull =
        std::find(culledNames.begin(), culledNames.end(), group.GetName()) != culledNames.end();
    group.SetCulled(cull);
    log.push_back("cull " + group.GetName() + (cull ? " out" : " in"));
}

void RecordingRenderer::Draw(const Geometry& geometry) { log.push_back("draw " + geometry.GetName()); }
