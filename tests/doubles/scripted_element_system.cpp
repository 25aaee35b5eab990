#include "tests/doubles/scripted_element_system.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace hovermark::testing {
namespace {

constexpr std::array<std::string_view, 4> kOperations{"Start", "Stop", "ElementsAt", "GetElementRect"};

}  // namespace

void ScriptedElementSystem::AddChain(WindowHandle window, const std::vector<Element>& chain) {
    Chain placed{window, {}};
    for (const Element& element : chain) {
        if (element.id.empty()) {
            throw std::invalid_argument("an element's id is never empty");
        }
        elements_[element.id] = element;
        placed.ids.push_back(element.id);
    }
    chains_.push_back(std::move(placed));
}

void ScriptedElementSystem::Remove(const std::string& id) {
    elements_.erase(id);
}

void ScriptedElementSystem::SetExtents(const std::string& id, std::optional<Rectangle> extents) {
    elements_.at(id).extents = extents;
}

int ScriptedElementSystem::Calls(std::string_view operation) const {
    if (std::find(kOperations.begin(), kOperations.end(), operation) == kOperations.end()) {
        throw std::invalid_argument("no element-system operation is called " + std::string(operation));
    }
    const auto found = calls_.find(operation);
    return found == calls_.end() ? 0 : found->second;
}

void ScriptedElementSystem::Count(std::string_view operation) noexcept {
    try {
        ++calls_[std::string(operation)];
    } catch (...) {
        // Counting is the test's bookkeeping; Stop must not throw for it.
    }
}

std::optional<std::string> ScriptedElementSystem::Start() {
    Count("Start");
    if (!start_problem) {
        started_ = true;
    }
    return start_problem;
}

void ScriptedElementSystem::Stop() noexcept {
    Count("Stop");
    started_ = false;
}

ElementsAnswer ScriptedElementSystem::ElementsAt(WindowHandle window, Point pointer) {
    Count("ElementsAt");
    if (!started_) {
        throw std::logic_error("elements asked for before Start");
    }
    if (!answering) {
        return {.elements = {}, .known = false, .hint = {}};
    }
    for (auto chain = chains_.rbegin(); chain != chains_.rend(); ++chain) {
        if (chain->window != window || chain->ids.empty()) {
            continue;
        }
        const auto deepest = elements_.find(chain->ids.front());
        if (deepest == elements_.end() || !deepest->second.extents || !Holds(*deepest->second.extents, pointer)) {
            continue;
        }
        std::vector<Element> found;
        for (const std::string& id : chain->ids) {
            if (const auto element = elements_.find(id); element != elements_.end()) {
                found.push_back(element->second);
            }
        }
        return {.elements = found, .known = true, .hint = {}};
    }
    const auto hint = hints.find(window);
    return {.elements = {}, .known = true, .hint = hint != hints.end() ? hint->second : std::string()};
}

ElementPresence ScriptedElementSystem::GetElementRect(const std::string& id, Rectangle& rect) {
    Count("GetElementRect");
    if (!answering) {
        return ElementPresence::kNotKnownNow;
    }
    const auto found = elements_.find(id);
    if (found == elements_.end() || !found->second.extents) {
        return ElementPresence::kGone;
    }
    rect = *found->second.extents;
    return ElementPresence::kPresent;
}

}  // namespace hovermark::testing
