// A UI test framework's way of finding things, as data the locator builder can use: which properties tell an
// item apart, how the framework compares them, in which order its searches meet items, and how it writes a
// search down. One dialect a framework, each in a file of its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "locator/live_tree.h"

namespace hovermark::locator {

// One keyword of a search: a property compared with a value, as the dialect writes and matches it.
struct Criterion {
    Key key;
    std::string value;
};
using Criteria = std::vector<Criterion>;

enum class StepScope {
    kChildren,     // the scope's own search: applications, top-level windows
    kDescendants,  // everything below the item the step before found
};

struct Step {
    StepScope scope = StepScope::kDescendants;
    Criteria criteria;
    // Which of the matches, counted from 0 in the search's own order, where nothing else tells the item apart.
    std::optional<std::size_t> index;
};

struct Locator {
    std::vector<Step> steps;
    // Whether the tree it was built on was read whole, so that `matches` counts.
    bool checked = false;
    // The matches of the step that needed an index, or 1; 0 when the framework would not find the item at all.
    std::size_t matches = 0;
};

class Dialect {
  public:
    Dialect() = default;
    Dialect(const Dialect&) = delete;
    Dialect& operator=(const Dialect&) = delete;
    virtual ~Dialect() = default;

    // Whether the first step picks one of the scopes (an application, a top-level window) among the root's
    // children before the items below it are searched.
    virtual bool HasScopeStep() const = 0;
    // Whether the check must read every scope whole (a search of the whole desktop), not only the item's.
    virtual bool SearchesEveryScope() const { return false; }
    // The item the locator is written for, given the item of the list's first row: itself, or the top-level
    // window it lies in.
    virtual std::size_t ItemFor(const LiveTree& /*tree*/, std::size_t row_item) const { return row_item; }
    // The ways of telling `item` apart at a step of `scope`, the shortest and most stable first; the last one
    // says all the dialect can say. Never empty.
    virtual std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope scope) const = 0;
    // Whether the framework's search takes `item` for a match of `step` (its filter aside: the builder skips
    // items that are not findable).
    virtual bool Matches(const Step& step, const LiveItem& item) const = 0;
    // Whether the framework's searches find windows that do not show, whatever the items' `findable`.
    virtual bool FindsHidden() const { return false; }
    // Whether a search below an item meets that item itself first (a recursive search that starts at itself).
    virtual bool SearchMeetsItsStart() const { return false; }
    // The items a search of `scope` from `start` meets, in its order. By default: pre-order.
    virtual std::vector<std::size_t> SearchOrder(const LiveTree& tree, std::size_t start, StepScope scope) const;
    // The locator as the framework's own syntax writes it.
    virtual std::string Write(const Locator& locator) const = 0;
};

// The four dialects.
const Dialect& DogtailDialect();
const Dialect& XdotoolDialect();
const Dialect& PywinautoWin32Dialect();
const Dialect& PywinautoUiaDialect();

}  // namespace hovermark::locator
