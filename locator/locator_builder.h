// The shortest locator that finds exactly one item: the item's own properties first, then the nearest
// ancestor that tells it apart, an index only as the last resort.
#pragma once

#include <cstddef>

#include "locator/dialect.h"
#include "locator/live_tree.h"

namespace hovermark::locator {

// `row_item` must be in `tree`. On a tree that is not complete nothing can be counted, and the locator is not
// checked: it is the shortest within the item's scope where that was read whole, otherwise the scope's and the
// item's first candidates.
Locator BuildLocator(const LiveTree& tree, std::size_t row_item, const Dialect& dialect);

}  // namespace hovermark::locator
