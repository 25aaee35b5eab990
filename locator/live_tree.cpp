#include "locator/live_tree.h"

#include <algorithm>

namespace hovermark::locator {

std::vector<std::size_t> LiveTree::PathTo(std::size_t item) const {
    std::vector<std::size_t> path;
    // A parent always comes before its child, so the climb ends.
    for (std::size_t at = item; at != kNoItem && at < items.size(); at = items[at].parent) {
        path.push_back(at);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

bool LiveTree::IsBelow(std::size_t item, std::size_t ancestor) const {
    for (std::size_t at = items[item].parent; at != kNoItem; at = items[at].parent) {
        if (at == ancestor) {
            return true;
        }
    }
    return false;
}

}  // namespace hovermark::locator
