#include "main_window/window_tree_read.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace hovermark {

std::vector<locator::Property> PropertiesOf(const WindowFacts& facts) {
    std::vector<locator::Property> properties{{locator::Key::kClassName, facts.class_name}};
    // An empty title is no title at all to a framework that matches patterns, and the same as none to the rest.
    if (!facts.title.empty()) {
        properties.push_back({locator::Key::kName, facts.title});
    }
    if (facts.control_id != 0) {
        properties.push_back({locator::Key::kControlId, std::to_string(facts.control_id)});
    }
    return properties;
}

WindowTreeRead::WindowTreeRead(WindowEnumeration* enumeration,
                               std::vector<WindowHandle> chain,
                               bool every_top_level,
                               SteadyClock clock,
                               std::chrono::steady_clock::time_point deadline)
    : clock_(std::move(clock)), deadline_(deadline) {
    tree_.Add(locator::kNoItem, {});
    windows_.push_back(0);
    if (enumeration == nullptr) {
        ended_ = true;
        return;
    }
    thread_ = std::thread(
        [this, enumeration, chain = std::move(chain), every_top_level] { Read(*enumeration, chain, every_top_level); });
}

WindowTreeRead::~WindowTreeRead() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool WindowTreeRead::Ended() {
    const std::lock_guard lock(mutex_);
    return ended_;
}

WindowTreeRead::Taken WindowTreeRead::Take(WindowHandle window) {
    stop_ = true;
    const std::lock_guard lock(mutex_);
    Taken taken{.tree = tree_, .item = locator::kNoItem};
    taken.tree.complete = ended_ && tree_.complete;
    const auto found = std::find(windows_.begin(), windows_.end(), window);
    if (window > 0 && found != windows_.end()) {
        taken.item = static_cast<std::size_t>(found - windows_.begin());
    }
    return taken;
}

std::size_t WindowTreeRead::Add(std::size_t parent, WindowHandle window, const WindowFacts& facts) {
    const std::lock_guard lock(mutex_);
    windows_.push_back(window);
    return tree_.Add(parent, PropertiesOf(facts), facts.visible);
}

bool WindowTreeRead::ReadBelow(WindowEnumeration& enumeration, WindowHandle window, std::size_t item) {
    const std::optional<std::vector<WindowHandle>> children =
        InTime() ? enumeration.ChildWindows(window) : std::nullopt;
    if (!children) {
        return false;
    }
    for (const WindowHandle child : *children) {
        const std::optional<WindowFacts> facts = InTime() ? enumeration.FactsOf(child) : std::nullopt;
        if (!facts || !ReadBelow(enumeration, child, Add(item, child, *facts))) {
            return false;
        }
    }
    return true;
}

void WindowTreeRead::Read(WindowEnumeration& enumeration,
                          const std::vector<WindowHandle>& chain,
                          bool every_top_level) {
    const std::optional<std::vector<WindowHandle>> tops = InTime() ? enumeration.ChildWindows(0) : std::nullopt;
    bool complete = tops.has_value();
    std::vector<std::pair<WindowHandle, std::size_t>> top_items;
    for (std::size_t at = 0; complete && at < tops->size(); ++at) {
        const std::optional<WindowFacts> facts = InTime() ? enumeration.FactsOf((*tops)[at]) : std::nullopt;
        complete = facts.has_value();
        if (complete) {
            top_items.emplace_back((*tops)[at], Add(0, (*tops)[at], *facts));
        }
    }
    const auto own = std::find_first_of(chain.begin(), chain.end(), top_items.begin(), top_items.end(),
                                        [](WindowHandle link, const auto& top) { return link == top.first; });
    for (const auto& [top, item] : top_items) {
        if (complete && (every_top_level || (own != chain.end() && top == *own))) {
            complete = ReadBelow(enumeration, top, item);
        }
    }
    const std::lock_guard lock(mutex_);
    tree_.complete = complete;
    ended_ = true;
}

}  // namespace hovermark
