// The elements inside other programs' windows: the buttons, fields and panes that a toolkit draws inside one
// window of the window system and describes only to assistive technology. The logic asks for them through
// this interface alone, so the same rows come from a desktop's accessibility bus, from another system's
// automation tree, or from a scripted tree in a headless test.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "locator/live_tree.h"
#include "window_inspection/window_system.h"

namespace hovermark {

struct Element {
    // Best-effort identity: equal ids name the same element; different ids may still name the same element
    // (a system that cannot always tell gives a new id), which costs one rebuild of the list, nothing worse.
    // Never empty.
    std::string id;
    // The kind of element, as the accessibility layer names it ("push button", "text", "filler").
    std::string role;
    // The accessible name, UTF-8 as the application gave it; the logic cleans and cuts it.
    std::string name;
    // Screen pixels, already corrected for toolkits that report them relative to their window; none when the
    // element has no extents of its own. Any values at all: the logic bounds them before using them.
    std::optional<Rectangle> extents;
    friend bool operator==(const Element&, const Element&) = default;
};

// What ElementsAt could tell. Not known now: the application holding the window did not answer in time, so
// nothing is said either way, and `elements` is empty.
struct ElementsAnswer {
    std::vector<Element> elements;
    bool known = true;
    // One sentence for the user, where the system knows why the window shows no elements and what would make
    // it show them (an application that describes its controls only when started so); empty otherwise.
    std::string hint;
    friend bool operator==(const ElementsAnswer&, const ElementsAnswer&) = default;
};

// What GetElementRect could tell of an element held.
enum class ElementPresence {
    kPresent,     // it exists; its extents were given
    kGone,        // destroyed, or its application has gone
    kNotKnownNow  // its application did not answer in time: it may well still be there
};

// What a read of the tree around an element found, for checking a locator of it.
struct ElementTreeAnswer {
    // The root is the desktop, its children the scopes; `tree.complete` when the element's whole scope was
    // read in time. Otherwise it holds at least the path to the element, from what was shown of it.
    locator::LiveTree tree;
    // The element read; kNoItem when it could not be placed at all.
    std::size_t item = locator::kNoItem;
};

// Every call is bounded in time: one that would wait on a hung application gives up and answers "not known
// now". None throws.
class ElementSystem {
  public:
    ElementSystem() = default;
    ElementSystem(const ElementSystem&) = delete;
    ElementSystem& operator=(const ElementSystem&) = delete;
    virtual ~ElementSystem() = default;

    // Prepares to be asked: connects and asks applications to describe their elements. Nothing on success;
    // otherwise the one sentence that tells the user why elements cannot be shown, and nothing has changed.
    virtual std::optional<std::string> Start() = 0;

    // Puts back what Start changed. Harmless when not started.
    virtual void Stop() noexcept = 0;

    // The elements of `window` at the screen point `pointer`: the deepest first, then its parents up to, but
    // not including, the element that stands for the window itself. Empty when the window shows no element
    // there.
    virtual ElementsAnswer ElementsAt(WindowHandle window, Point pointer) = 0;

    // For the deepest element of the last ElementsAt: kPresent and `rect` filled with its current extents
    // (corrected as above) while it exists. An element that exists but for now shows nowhere (empty extents)
    // is present and gives its last extents: it may show again. Otherwise `rect` is untouched.
    virtual ElementPresence GetElementRect(const std::string& id, Rectangle& rect) = 0;

    // Starts reading, in the background, the tree a locator of the deepest element of the last ElementsAt is
    // checked against, to end by `deadline`. False when that element (`id`) is no longer held, or the system
    // cannot read trees; never waits.
    virtual bool StartTreeRead(const std::string& /*id*/, std::chrono::steady_clock::time_point /*deadline*/) {
        return false;
    }
    // The read started, once it has ended; none while it goes on. Past its deadline it has always ended, with
    // what it had read by then.
    virtual std::optional<ElementTreeAnswer> TreeReadResult() { return ElementTreeAnswer{}; }
};

}  // namespace hovermark
