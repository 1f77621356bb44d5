#include "SplitLayout.h"

#include <algorithm>

namespace {

// The 2 x 2 grid's quarter `i`, 0 top left, then right, then below.
ViewRect Quarter(unsigned i, const ViewRect& window) {
    const int left = window.width / 2, top = window.height / 2;
    const int bottom = window.height - top;
    ViewRect rect;
    rect.x = window.x + (i % 2 == 0 ? 0 : left);
    rect.width = i % 2 == 0 ? left : window.width - left;
    rect.y = window.y + (i < 2 ? bottom : 0);
    rect.height = i < 2 ? top : bottom;
    return rect;
}

}  // namespace

std::vector<ViewRect> SplitLayout::Views(unsigned players, const ViewRect& window) {
    players = std::clamp(players, 1u, MaxPlayers);
    if (players == 1) return {window};
    if (players == 2) {
        const int top = window.height / 2;
        return {ViewRect{window.x, window.y + window.height - top, window.width, top},
                ViewRect{window.x, window.y, window.width, window.height - top}};
    }
    std::vector<ViewRect> views;
    for (unsigned i = 0; i < players; ++i) views.push_back(Quarter(i, window));
    return views;
}

ViewRect SplitLayout::SpareQuarter(unsigned players, const ViewRect& window) {
    return players == 3 ? Quarter(3, window) : ViewRect{};
}
