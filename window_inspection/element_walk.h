// One look for the elements under the pointer inside one window, kept between ticks: the descent from the
// element that stands for the window down to the deepest element at the point, then the role and name of
// each, the deepest first. Any element system walks its own tree with it; what differs between systems is only
// how one level down is found and how an element is described, which the caller hands in.
//
// Problem: a deep tree, or a slow application, needs more calls than one tick may make, and a walk that
// starts again from the top at each tick never gets further than the first tick did. Solution: the walk is
// kept while the pointer rests, and each tick goes on from where the last stopped, within a budget of its
// own: first down (so the element under the pointer is found as early as the bounds allow), then naming.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "window_inspection/element_system.h"
#include "window_inspection/walk_budget.h"

namespace hovermark {

// How many levels a descent goes down at most.
inline constexpr std::size_t kMaxDescent = 256;

template <typename Node>
class ElementWalk {
  public:
    // One element passed on the way down.
    struct Step {
        Node node;
        // Its id and extents from the descent; its role and name once described.
        Element element;
    };

    ElementWalk(WindowHandle window, Point pointer, Node top, std::string top_id)
        : window_(window), pointer_(pointer), top_(std::move(top)), seen_{std::move(top_id)} {}

    bool At(WindowHandle window, Point pointer) const { return window == window_ && pointer == pointer_; }
    WindowHandle Window() const { return window_; }
    const Node& Top() const { return top_; }
    bool Complete() const { return descended_ && described_ == path_.size(); }

    // Goes on from where the last call stopped, within `budget`: down, then describing.
    //   below(node, budget): the steps from `node`'s child at the pointer down to the element found there, the
    //     deepest last; empty when nothing lies deeper, or when the budget ran out first.
    //   role(node), name(node): one call each.
    template <typename Below, typename Role, typename Name>
    void Continue(WalkBudget& budget, Below&& below, Role&& role, Name&& name) {
        Descend(budget, below);
        Describe(budget, role, name);
    }

    // Goes down from the deepest element passed. Stops at an element already passed, after kMaxDescent
    // levels, and where one level needs more than a whole tick's budget.
    template <typename Below>
    void Descend(WalkBudget& budget, Below&& below) {
        while (!descended_) {
            const bool fresh = budget.Untouched();
            std::vector<Step> next = below(path_.empty() ? top_ : path_.back().node, budget);
            if (next.empty()) {
                // Cut by the budget: the next tick goes on from here, unless a whole budget was not enough.
                descended_ = !budget.Spent() || fresh;
                return;
            }
            for (Step& step : next) {
                if (path_.size() == kMaxDescent || !seen_.insert(step.element.id).second) {
                    descended_ = true;
                    break;
                }
                path_.push_back(std::move(step));
            }
        }
    }

    // Reads the role and name of the elements passed, the deepest first, once the descent has ended.
    template <typename Role, typename Name>
    void Describe(WalkBudget& budget, Role&& role, Name&& name) {
        while (descended_ && described_ < path_.size()) {
            Step& step = path_[path_.size() - 1 - described_];
            if (!role_read_) {
                if (!budget.Spend()) {
                    return;
                }
                step.element.role = role(step.node);
                role_read_ = true;
            }
            if (!budget.Spend()) {
                return;
            }
            step.element.name = name(step.node);
            role_read_ = false;
            ++described_;
        }
    }

    bool Passed(const std::string& id) const { return seen_.contains(id); }
    // The elements passed, the deepest last.
    const std::vector<Step>& Path() const { return path_; }

    // The elements described so far, the deepest first: the deepest and as many of its parents as have been
    // described. Empty until the descent has ended.
    std::vector<Element> Elements() const {
        std::vector<Element> elements;
        elements.reserve(described_);
        for (std::size_t i = 0; i < described_; ++i) {
            elements.push_back(path_[path_.size() - 1 - i].element);
        }
        return elements;
    }

    // The deepest element, once the descent has ended and found one.
    Step* Deepest() { return descended_ && !path_.empty() ? &path_.back() : nullptr; }

  private:
    WindowHandle window_;
    Point pointer_;
    Node top_;
    std::set<std::string> seen_;
    std::vector<Step> path_;  // the deepest last
    bool descended_ = false;
    std::size_t described_ = 0;  // counted from the deepest
    bool role_read_ = false;     // of the next one to describe
};

}  // namespace hovermark
