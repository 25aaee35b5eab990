#include "window_inspection/tree_read.h"

#include <algorithm>
#include <string>
#include <utility>

#include "window_inspection/engine_walk.h"

namespace hovermark {
namespace {

const ApplicationId kScopesBooking = "the desktop's scopes";

struct Pending {
    NodePtr node;
    std::size_t parent = locator::kNoItem;
    locator::ItemFacts facts;
    std::size_t depth = 0;
};

}  // namespace

void TreeRead::Read(ElementAdapter& adapter,
                    CallContext& context,
                    const SteadyClock& clock,
                    const NodePtr& deepest,
                    const ApplicationId& application) {
    context.AllowTrips(kMaxTreeReadTrips);
    // A call is made only in time, and counts only when it answered in time: a late one is no answer.
    const auto call_booked = [&](const ApplicationId& booking, auto&& make) -> std::optional<decltype(make().value)> {
        if (given_up_ || clock() >= deadline_ || context.Begin(booking) != CallContext::Start::kGo) {
            return std::nullopt;
        }
        auto reply = make();
        const bool in_time = context.End() && !context.Refused();
        if (!in_time || reply.status != CallStatus::kAnswer) {
            return std::nullopt;
        }
        return std::move(reply.value);
    };
    const auto call = [&](auto&& make) { return call_booked(application, make); };
    // What the scopes are is asked of nobody in particular (a registry, or no program at all): each round trip
    // into an application within it is booked by that one, so the element's own left alone does not keep the
    // system from telling its name.
    const auto call_on_scopes = [&](auto&& make) { return call_booked(kScopesBooking, make); };
    const auto end = [&](ElementTreeAnswer answer) {
        const std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
        ended_ = true;
    };

    if (!deepest) {
        end(PathAlone());
        return;
    }
    const std::optional<NodePtr> scope = call_on_scopes([&] { return adapter.ScopeOf(deepest, context); });
    if (!scope || !*scope) {
        end(PathAlone());
        return;
    }
    std::optional<std::vector<FoundNode>> scopes = call_on_scopes([&] { return adapter.Scopes(context); });
    const std::string scope_identity = adapter.Identity(**scope);
    const auto own_in = [&](std::vector<FoundNode>& found) {
        return std::find_if(found.begin(), found.end(), [&](const FoundNode& each) {
            return each.node && adapter.Identity(*each.node) == scope_identity;
        });
    };
    const bool every_scope_known = scopes && own_in(*scopes) != scopes->end();
    if (!every_scope_known) {
        // What the other scopes are called is not known now (one of them did not answer): the element's own is
        // asked its name, and the locator is built within it, but nothing can be counted.
        std::optional<std::string> name = call([&] { return adapter.NameOf(*scope, context); });
        std::optional<std::string> role = name ? call([&] { return adapter.RoleOf(*scope, context); }) : std::nullopt;
        if (!role) {
            end(PathAlone());
            return;
        }
        scopes = std::vector<FoundNode>{{.node = *scope,
                                         .facts = {.properties = {{locator::Key::kRoleName, std::move(*role)},
                                                                  {locator::Key::kName, std::move(*name)}},
                                                   .findable = true}}};
    }
    const auto own = own_in(*scopes);
    {
        const std::lock_guard lock(mutex_);
        scope_ = own->facts;
    }

    locator::LiveTree tree;
    tree.Add(locator::kNoItem, {});
    std::size_t scope_item = locator::kNoItem;
    for (FoundNode& found : *scopes) {
        const std::size_t item = tree.Add(0, std::move(found.facts.properties), found.facts.findable);
        if (&found == &*own) {
            scope_item = item;
        }
    }
    const std::string target = adapter.Identity(*deepest);
    std::size_t target_item = locator::kNoItem;
    bool complete = true;
    // Pre-order: an item is added when it is visited, its children then stacked so that the first comes next.
    std::vector<Pending> stack{{.node = own->node, .parent = locator::kNoItem, .facts = {}, .depth = 0}};
    while (!stack.empty()) {
        Pending next = std::move(stack.back());
        stack.pop_back();
        std::size_t item = scope_item;
        if (next.parent != locator::kNoItem) {
            if (tree.items.size() >= kMaxTreeReadItems) {
                complete = false;
                break;
            }
            item = tree.Add(next.parent, std::move(next.facts.properties), next.facts.findable);
            if (adapter.Identity(*next.node) == target) {
                target_item = item;
            }
        }
        if (adapter.IsLeaf(*next.node) || next.depth >= kMaxWalkDepth) {
            continue;
        }
        std::optional<std::vector<FoundNode>> children = call([&] { return adapter.ChildrenOf(next.node, context); });
        context.ReleaseLater(std::move(next.node));
        if (!children) {
            complete = false;
            break;
        }
        for (auto child = children->rbegin(); child != children->rend(); ++child) {
            if (child->node) {
                stack.push_back({.node = std::move(child->node),
                                 .parent = item,
                                 .facts = std::move(child->facts),
                                 .depth = next.depth + 1});
            }
        }
    }
    for (Pending& left : stack) {
        context.ReleaseLater(std::move(left.node));
    }
    if (target_item == locator::kNoItem) {
        end(PathAlone());
        return;
    }
    tree.scope_complete = complete;
    tree.complete = complete && every_scope_known;
    end({.tree = std::move(tree), .item = target_item});
}

std::optional<ElementTreeAnswer> TreeRead::Take(std::chrono::steady_clock::time_point now) {
    const std::lock_guard lock(mutex_);
    if (taken_) {
        return std::nullopt;
    }
    if (ended_) {
        taken_ = true;
        return std::move(answer_);
    }
    if (now < deadline_) {
        return std::nullopt;
    }
    given_up_ = true;
    taken_ = true;
    return PathAlone();
}

// Under the lock, or before the read is shared.
ElementTreeAnswer TreeRead::PathAlone() const {
    ElementTreeAnswer answer;
    locator::LiveTree& tree = answer.tree;
    std::size_t parent = tree.Add(locator::kNoItem, {});
    // A scope whose name could not be read has no name at all: a locator then searches every scope.
    parent = tree.Add(parent, scope_ ? scope_->properties : std::vector<locator::Property>{});
    for (auto element = shown_.rbegin(); element != shown_.rend(); ++element) {
        std::vector<locator::Property> properties;
        if (!element->role.empty()) {
            properties.push_back({locator::Key::kRoleName, element->role});
        }
        if (!element->name.empty()) {
            properties.push_back({locator::Key::kName, element->name});
        }
        parent = tree.Add(parent, std::move(properties));
    }
    answer.item = shown_.empty() ? locator::kNoItem : parent;
    return answer;
}

}  // namespace hovermark
