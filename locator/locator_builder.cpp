#include "locator/locator_builder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace hovermark::locator {

std::vector<std::size_t> Dialect::SearchOrder(const LiveTree& tree, std::size_t start, StepScope scope) const {
    std::vector<std::size_t> order;
    for (std::size_t item = start + 1; item < tree.items.size(); ++item) {
        const bool met = scope == StepScope::kChildren ? tree.items[item].parent == start : tree.IsBelow(item, start);
        if (met) {
            order.push_back(item);
        }
    }
    return order;
}

namespace {

class Builder {
  public:
    Builder(const LiveTree& tree, const Dialect& dialect) : tree_(tree), dialect_(dialect) {}

    // The items the step's search from `start` takes for matches, in its order.
    std::vector<std::size_t> MatchesOf(const Step& step, std::size_t start) const {
        std::vector<std::size_t> matches;
        if (step.scope == StepScope::kDescendants && dialect_.SearchMeetsItsStart() && Findable(start, step)) {
            matches.push_back(start);
        }
        for (const std::size_t item : dialect_.SearchOrder(tree_, start, step.scope)) {
            if (Findable(item, step)) {
                matches.push_back(item);
            }
        }
        return matches;
    }

    // The first candidate of `item` that the search from `start` finds and finds alone.
    std::optional<Step> UniqueStep(std::size_t item, std::size_t start, StepScope scope) const {
        for (Criteria& criteria : dialect_.CandidatesFor(tree_.items[item], scope)) {
            Step step{.scope = scope, .criteria = std::move(criteria), .index = std::nullopt};
            const std::vector<std::size_t> matches = MatchesOf(step, start);
            if (matches.size() == 1 && matches.front() == item) {
                return step;
            }
        }
        return std::nullopt;
    }

    // The fullest candidate, with the item's place among its matches; `matches` gets their number (0 when the
    // search would not meet the item at all).
    Step IndexedStep(std::size_t item, std::size_t start, StepScope scope, std::size_t& matches) const {
        Step step{.scope = scope, .criteria = dialect_.CandidatesFor(tree_.items[item], scope).back(), .index = {}};
        // An indexed search lists what lies below its start; the start itself is no candidate then.
        std::vector<std::size_t> found = MatchesOf(step, start);
        found.erase(std::remove(found.begin(), found.end(), start), found.end());
        const auto place = std::find(found.begin(), found.end(), item);
        if (place == found.end()) {
            matches = 0;
            return step;
        }
        matches = found.size();
        step.index = static_cast<std::size_t>(place - found.begin());
        return step;
    }

    // Steps from `start` down to `item`; `matches` as above, or 1.
    std::vector<Step> StepsTo(std::size_t item, std::size_t start, StepScope scope, std::size_t& matches) const {
        matches = 1;
        if (std::optional<Step> own = UniqueStep(item, start, scope)) {
            return {std::move(*own)};
        }
        if (scope == StepScope::kDescendants) {
            const std::vector<std::size_t> path = tree_.PathTo(item);
            const auto from = std::find(path.begin(), path.end(), start);
            const auto first_between = static_cast<std::size_t>(from - path.begin()) + 1;
            // The nearest ancestor first, each one alone.
            for (std::size_t level = path.size() - 1; level-- > first_between;) {
                std::optional<Step> through = UniqueStep(path[level], start, scope);
                if (!through) {
                    continue;
                }
                if (std::optional<Step> below = UniqueStep(item, path[level], scope)) {
                    return {std::move(*through), std::move(*below)};
                }
            }
        }
        return {IndexedStep(item, start, scope, matches)};
    }

  private:
    bool Findable(std::size_t item, const Step& step) const {
        return (tree_.items[item].findable || dialect_.FindsHidden()) && dialect_.Matches(step, tree_.items[item]);
    }

    const LiveTree& tree_;
    const Dialect& dialect_;
};

// What a locator can be when nothing could be counted: the first way of naming each of its steps.
Locator Unchecked(const LiveTree& tree, std::size_t item, const Dialect& dialect) {
    Locator locator;
    const std::vector<std::size_t> path = tree.PathTo(item);
    if (dialect.HasScopeStep() && path.size() >= 2) {
        locator.steps.push_back({.scope = StepScope::kChildren,
                                 .criteria = dialect.CandidatesFor(tree.items[path[1]], StepScope::kChildren).front(),
                                 .index = std::nullopt});
        if (item == path[1]) {
            return locator;
        }
    }
    locator.steps.push_back({.scope = StepScope::kDescendants,
                             .criteria = dialect.CandidatesFor(tree.items[item], StepScope::kDescendants).front(),
                             .index = std::nullopt});
    return locator;
}

}  // namespace

Locator BuildLocator(const LiveTree& tree, std::size_t row_item, const Dialect& dialect) {
    const std::size_t item = dialect.ItemFor(tree, row_item);
    if (!tree.complete && !tree.scope_complete) {
        return Unchecked(tree, item, dialect);
    }
    const Builder builder(tree, dialect);
    Locator locator{.steps = {}, .checked = tree.complete, .matches = tree.complete ? 1U : 0U};
    std::size_t start = 0;
    const std::vector<std::size_t> path = tree.PathTo(item);
    const auto take = [&](std::vector<Step> steps, std::size_t matches) {
        // The count that matters is the one an index had to settle, or the one that found nothing.
        if (locator.checked && matches != 1) {
            locator.matches = matches;
        }
        std::move(steps.begin(), steps.end(), std::back_inserter(locator.steps));
    };
    if (dialect.HasScopeStep() && path.size() >= 2) {
        std::size_t matches = 0;
        // The other scopes were not read: the item's is named by its first candidate.
        std::vector<Step> steps = tree.complete ? builder.StepsTo(path[1], start, StepScope::kChildren, matches)
                                                : Unchecked(tree, path[1], dialect).steps;
        take(std::move(steps), matches);
        start = path[1];
    }
    if (item != start) {
        std::size_t matches = 0;
        std::vector<Step> steps = builder.StepsTo(item, start, StepScope::kDescendants, matches);
        take(std::move(steps), matches);
    }
    return locator;
}

}  // namespace hovermark::locator
