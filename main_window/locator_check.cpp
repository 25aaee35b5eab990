#include "main_window/locator_check.h"

#include <algorithm>
#include <utility>

#include "locator/locator_builder.h"

namespace hovermark {

namespace {

// Whole, however long: the check compares what a framework reads.
std::string WholeTitle(WindowSystem& window_system, WindowHandle window) {
    const std::int32_t length = window_system.GetWindowTextLengthA(window);
    return length > 0 ? window_system.GetWindowTextA(window, length + 1) : std::string();
}

// The window, then its parents and owners, at most this many.
constexpr std::size_t kLongestChain = 64;

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
    // The read before may still end its last call, which the system bounds.
    if (window_read_ && !window_read_->Ended()) {
        return false;
    }
    std::vector<WindowHandle> chain{window};
    for (WindowHandle at = window; chain.size() < kLongestChain;) {
        at = window_system_.GetWindowLongA(at, window_system_constants::GWL_HWNDPARENT);
        if (at <= 0 || std::find(chain.begin(), chain.end(), at) != chain.end()) {
            break;
        }
        chain.push_back(at);
    }
    window_read_.reset();
    window_read_ = std::make_unique<WindowTreeRead>(enumeration_, std::move(chain),
                                                    dialects_.windows->SearchesEveryScope(), clock_, deadline_);
    reading_ = Reading::kWindows;
    return true;
}

std::optional<LocatorOutcome> LocatorCheck::Poll() {
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
        return WindowAlone();
    }
    if (reading_ != Reading::kWindows || (!window_read_->Ended() && clock_() < deadline_)) {
        return std::nullopt;
    }
    reading_ = Reading::kNothing;
    const WindowTreeRead::Taken taken = window_read_->Take(window_);
    // Not reached in time, or gone meanwhile.
    if (taken.item == locator::kNoItem) {
        return WindowAlone();
    }
    return Outcome(taken.tree, taken.item, *dialects_.windows);
}

LocatorOutcome LocatorCheck::WindowAlone() const {
    constexpr std::int32_t kClassNameRoom = 256;
    locator::LiveTree tree;
    tree.Add(locator::kNoItem, {});
    const std::size_t item =
        tree.Add(0, PropertiesOf({.class_name = window_system_.GetClassNameA(window_, kClassNameRoom),
                                  .title = WholeTitle(window_system_, window_),
                                  .control_id = 0,
                                  .visible = true}));
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
