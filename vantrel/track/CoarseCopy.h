#pragma once

class GroupNode;

/// A group of the track (a ground tile, a cell of a wood) and a copy of it
/// with fewer triangles, added beside it, that stands in for it far off.
/// Which of the two is drawn is set by their culled flags (DrawDistance).
struct CoarseCopy {
    GroupNode* fine;
    GroupNode* coarse;
    /// The group both lie in: where the cull traversal leaves it culled, it
    /// stops there and their own flags tell nothing of this view.
    GroupNode* group;
};
