#include "main_window/locator_check.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "locator/locator_builder.h"

namespace hovermark {

// The window thread's tree, shared with the GUI thread, which takes what there is at the deadline.
struct LocatorCheck::WindowRead {
    std::mutex mutex;
    locator::LiveTree tree;
    std::vector<WindowHandle> handles;  // of each item; 0 for the root
    bool ended = false;
    std::atomic<bool> stop{false};
};

namespace {

// Whole, however long: the check compares what a framework reads.
std::string WholeTitle(WindowSystem& window_system, WindowHandle window) {
    const std::int32_t length = window_system.GetWindowTextLengthA(window);
    return length > 0 ? window_system.GetWindowTextA(window, length + 1) : std::string();
}

std::vector<locator::Property> PropertiesOf(const WindowFacts& facts) {
    std::vector<locator::Property> properties{{locator::Key::kClassName, facts.class_name},
                                              {locator::Key::kName, facts.title}};
    if (facts.control_id != 0) {
        properties.push_back({locator::Key::kControlId, std::to_string(facts.control_id)});
    }
    return properties;
}

}  // namespace

LocatorCheck::LocatorCheck(LocatorDialects dialects,
                           WindowSystem& window_system,
                           WindowEnumeration* enumeration,
                           ElementSystem* element_system,
                           SteadyClock clock)
    : dialects_(dialects),
      window_system_(window_system),
      enumeration_(enumeration),
      element_system_(element_system),
      clock_(std::move(clock)) {}

LocatorCheck::~LocatorCheck() {
    if (window_read_) {
        window_read_->stop = true;
    }
    if (window_thread_.joinable()) {
        window_thread_.join();
    }
}

bool LocatorCheck::Start(const std::string& element_id, WindowHandle window) {
    if (reading_ != Reading::kNothing || window <= 0) {
        return false;
    }
    deadline_ = clock_() + kLocatorCheckTime;
    window_ = window;
    if (!element_id.empty() && dialects_.elements != nullptr && element_system_ != nullptr &&
        element_system_->StartTreeRead(element_id, deadline_)) {
        reading_ = Reading::kElement;
        return true;
    }
    if (dialects_.windows == nullptr) {
        return false;
    }
    // The thread of the check before may still end its last call.
    if (window_thread_.joinable()) {
        bool ended = false;
        {
            const std::lock_guard lock(window_read_->mutex);
            ended = window_read_->ended;
        }
        if (!ended) {
            return false;
        }
        window_thread_.join();
    }
    StartWindowRead(window);
    reading_ = Reading::kWindows;
    return true;
}

// Top-level windows first, each with its facts; then, in pre-order, all that lies below the first row's
// window's top level, or below every top level for a framework that searches the whole desktop.
void LocatorCheck::StartWindowRead(WindowHandle window) {
    window_read_ = std::make_shared<WindowRead>();
    window_read_->tree.Add(locator::kNoItem, {});
    window_read_->handles.push_back(0);
    // The first row's window and its parents and owners: the nearest of them that is a top level is its own.
    std::vector<WindowHandle> chain{window};
    for (WindowHandle at = window; chain.size() < 64;) {
        at = window_system_.GetWindowLongA(at, window_system_constants::GWL_HWNDPARENT);
        if (at <= 0 || std::find(chain.begin(), chain.end(), at) != chain.end()) {
            break;
        }
        chain.push_back(at);
    }
    window_thread_ = std::thread([read = window_read_, enumeration = enumeration_, clock = clock_, deadline = deadline_,
                                  chain = std::move(chain), every = dialects_.windows->SearchesEveryScope()] {
        const auto in_time = [&] { return !read->stop && clock() < deadline; };
        const auto add = [&](std::size_t parent, WindowHandle handle, const WindowFacts& facts) {
            const std::lock_guard lock(read->mutex);
            read->handles.push_back(handle);
            return read->tree.Add(parent, PropertiesOf(facts), facts.visible);
        };
        bool complete = enumeration != nullptr;
        const std::function<void(WindowHandle, std::size_t)> below = [&](WindowHandle parent, std::size_t item) {
            std::optional<std::vector<WindowHandle>> children =
                in_time() ? enumeration->ChildWindows(parent) : std::nullopt;
            if (!children) {
                complete = false;
                return;
            }
            for (const WindowHandle child : *children) {
                std::optional<WindowFacts> facts = in_time() ? enumeration->FactsOf(child) : std::nullopt;
                if (!facts) {
                    complete = false;
                    return;
                }
                below(child, add(item, child, *facts));
                if (!complete) {
                    return;
                }
            }
        };
        std::optional<std::vector<WindowHandle>> tops =
            complete && in_time() ? enumeration->ChildWindows(0) : std::nullopt;
        complete = complete && tops.has_value();
        std::vector<std::pair<WindowHandle, std::size_t>> top_items;
        for (std::size_t at = 0; complete && at < tops->size(); ++at) {
            std::optional<WindowFacts> facts = in_time() ? enumeration->FactsOf((*tops)[at]) : std::nullopt;
            if (!facts) {
                complete = false;
                break;
            }
            top_items.emplace_back((*tops)[at], add(0, (*tops)[at], *facts));
        }
        if (complete) {
            const auto own = std::find_first_of(chain.begin(), chain.end(), top_items.begin(), top_items.end(),
                                                [](WindowHandle link, const auto& top) { return link == top.first; });
            for (const auto& [top, item] : top_items) {
                if (complete && (every || (own != chain.end() && top == *own))) {
                    below(top, item);
                }
            }
        }
        const std::lock_guard lock(read->mutex);
        read->tree.complete = complete;
        read->ended = true;
    });
}

std::optional<LocatorOutcome> LocatorCheck::Poll() {
    const bool late = clock_() >= deadline_;
    if (reading_ == Reading::kElement) {
        std::optional<ElementTreeAnswer> answer = element_system_->TreeReadResult();
        if (!answer) {
            return std::nullopt;
        }
        reading_ = Reading::kNothing;
        if (answer->item != locator::kNoItem) {
            return Outcome(answer->tree, answer->item, *dialects_.elements);
        }
        // Nothing of the element could be told: its window, by what the list shows of it.
        if (dialects_.windows == nullptr) {
            return LocatorOutcome{.locator = {}, .finding = std::string(kNotCheckedText)};
        }
        locator::LiveTree tree;
        tree.Add(locator::kNoItem, {});
        const std::size_t item = tree.Add(0, PropertiesOf({.class_name = window_system_.GetClassNameA(window_, 256),
                                                           .title = WholeTitle(window_system_, window_),
                                                           .control_id = 0,
                                                           .visible = true}));
        return Outcome(tree, item, *dialects_.windows);
    }
    if (reading_ != Reading::kWindows) {
        return std::nullopt;
    }
    locator::LiveTree tree;
    std::size_t item = locator::kNoItem;
    {
        const std::lock_guard lock(window_read_->mutex);
        if (!window_read_->ended && !late) {
            return std::nullopt;
        }
        window_read_->stop = true;
        tree = window_read_->tree;
        tree.complete = window_read_->ended && window_read_->tree.complete;
        const auto found = std::find(window_read_->handles.begin(), window_read_->handles.end(), window_);
        if (found != window_read_->handles.end()) {
            item = static_cast<std::size_t>(found - window_read_->handles.begin());
        }
    }
    reading_ = Reading::kNothing;
    if (item == locator::kNoItem) {
        // Not reached in time, or gone meanwhile: the window alone, as the list shows it.
        tree = {};
        tree.Add(locator::kNoItem, {});
        item = tree.Add(0, PropertiesOf({.class_name = window_system_.GetClassNameA(window_, 256),
                                         .title = WholeTitle(window_system_, window_),
                                         .control_id = 0,
                                         .visible = true}));
    }
    return Outcome(tree, item, *dialects_.windows);
}

LocatorOutcome LocatorCheck::Outcome(const locator::LiveTree& tree,
                                     std::size_t item,
                                     const locator::Dialect& dialect) const {
    const locator::Locator locator = locator::BuildLocator(tree, item, dialect);
    std::string finding;
    if (!locator.checked) {
        finding = kNotCheckedText;
    } else if (locator.matches == 1) {
        finding = kOneMatchText;
    } else if (locator.matches == 0) {
        finding = kNoMatchText;
    } else {
        finding = std::to_string(locator.matches) + std::string(kIndexedMatchesText);
    }
    return {.locator = dialect.Write(locator), .finding = std::move(finding)};
}

}  // namespace hovermark
