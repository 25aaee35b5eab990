// Elements inside the scripted windows, held in memory: a test places chains of elements in a window, moves,
// renames and removes them between any two calls, and counts what the program asked.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window_inspection/element_system.h"

namespace hovermark::testing {

class ScriptedElementSystem final : public ElementSystem {
  public:
    // Places a chain in `window`, deepest element first. ElementsAt answers with the chain placed last whose
    // deepest element's extents hold the point. Elements are known by id: placing an id again updates it.
    void AddChain(WindowHandle window, const std::vector<Element>& chain);
    // The element has gone: it is left out of every chain and its rectangle can no longer be read.
    void Remove(const std::string& id);
    void SetExtents(const std::string& id, std::optional<Rectangle> extents);

    // False: every question is answered "not known now", as when the application does not answer in time.
    bool answering = true;
    // The hint ElementsAt gives for a window where no chain holds the point.
    std::map<WindowHandle, std::string> hints;
    // What Start answers; nothing: it starts.
    std::optional<std::string> start_problem;
    bool Started() const { return started_; }
    // Operation names as the ElementSystem methods are named.
    int Calls(std::string_view operation) const;

    std::optional<std::string> Start() override;
    void Stop() noexcept override;
    ElementsAnswer ElementsAt(WindowHandle window, Point pointer) override;
    ElementPresence GetElementRect(const std::string& id, Rectangle& rect) override;

  private:
    struct Chain {
        WindowHandle window;
        std::vector<std::string> ids;
    };
    void Count(std::string_view operation) noexcept;

    std::map<std::string, Element, std::less<>> elements_;
    std::vector<Chain> chains_;
    std::map<std::string, int, std::less<>> calls_;
    bool started_ = false;
};

}  // namespace hovermark::testing
