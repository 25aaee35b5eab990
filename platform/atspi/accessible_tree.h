// The accessibility bus as the element finder walks it: applications, their elements, and the few questions
// asked of each. The bus itself answers through libatspi; a headless test answers with hostile trees of its
// own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window_inspection/walk_budget.h"

namespace hovermark::atspi {

// An element's extents as its toolkit reports them: in screen pixels for most toolkits, relative to the
// top-level window for some. Wide integers, so that no sum of two reported values can overflow.
struct Extents {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    friend bool operator==(const Extents&, const Extents&) = default;
};

struct ElementStates {
    bool visible = false;
    bool showing = false;
    bool defunct = false;
};

class Accessible;
using AccessiblePtr = std::shared_ptr<Accessible>;

// One element. Any question may fail: an element that does not answer gives nothing (no extents, no child,
// empty text). A question to an application that does not answer in time throws ApplicationHung: a late
// answer is never taken for "nothing" or "gone".
class Accessible {
  public:
    Accessible() = default;
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;
    virtual ~Accessible() = default;

    // Its identity: the application's bus name and the element's object path.
    virtual const std::string& Id() const = 0;
    // The bus name of the application that owns it.
    virtual const std::string& Application() const = 0;

    virtual std::optional<Extents> ReportedExtents() = 0;
    // The child at a point given in the same coordinates as the extents reported.
    virtual AccessiblePtr ChildAtPoint(std::int32_t x, std::int32_t y) = 0;
    virtual std::int32_t ChildCount() = 0;
    virtual AccessiblePtr ChildAt(std::int32_t index) = 0;
    virtual AccessiblePtr Parent() = 0;
    // Where its parent lists it among its children; negative when the parent does not list it.
    virtual std::int32_t IndexInParent() = 0;
    virtual ElementStates States() = 0;
    virtual std::string RoleName() = 0;
    virtual std::string Name() = 0;
    // The name of the toolkit its application is built with ("Qt", "Gecko", "Chromium").
    virtual std::string ToolkitName() = 0;
};

struct AccessibleApplication {
    AccessiblePtr root;
    std::optional<std::uint32_t> pid;
};

class AccessibleDesktop {
  public:
    AccessibleDesktop() = default;
    AccessibleDesktop(const AccessibleDesktop&) = delete;
    AccessibleDesktop& operator=(const AccessibleDesktop&) = delete;
    virtual ~AccessibleDesktop() = default;

    // The applications on the bus, each with its process id where the bus knows it; as many as `budget`
    // allows to list.
    virtual std::vector<AccessibleApplication> Applications(WalkBudget& budget) = 0;
};

// An application did not answer within the bound; it is named by its bus name.
struct ApplicationHung {
    std::string application;
};

}  // namespace hovermark::atspi
