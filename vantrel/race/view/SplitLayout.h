#pragma once
#include <vector>

#include "hud/ViewRect.h"

/// How the window is shared by the local players' views: one player has it
/// whole; two are one above the other, the first on top; three and four
/// share a 2 x 2 grid, the first top left, left to right then down, and
/// with three the fourth quarter shows the whole race (the map and the
/// standings). Every pixel belongs to one rectangle; odd sizes give the
/// spare pixel to the right and the bottom.
class SplitLayout {
public:
    static constexpr unsigned MaxPlayers = 4;

    /// The views of `players` (clamped to 1 ... MaxPlayers) in `window`.
    static std::vector<ViewRect> Views(unsigned players, const ViewRect& window);
    /// The quarter left over by three players; empty for any other count.
    static ViewRect SpareQuarter(unsigned players, const ViewRect& window);
};
