#pragma once
#include <vector>

/// Moves a finished array into the scene-graph object that keeps it.
///
/// The scene-graph classes only offer copying setters (SetVertexIndices and
/// friends); copying a large model's arrays costs as much again as reading
/// them. Their getters return references to the objects' own vectors, and
/// those objects are never const here (the loader made them with new), so
/// swapping into the referenced vector is well defined and moves the data
/// without a copy.
/// NOTE: use only on objects this plug-in created and has not shared yet.
class NodaraHandOver {
public:
    template <typename T>
    static void Swap(const std::vector<T>& target, std::vector<T>& value) {
        const_cast<std::vector<T>&>(target).swap(value);
    }
};
