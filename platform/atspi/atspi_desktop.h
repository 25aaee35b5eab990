// The accessibility bus through libatspi: the applications, their elements and the few questions the element
// finder asks, each bounded in time and counted. A call that waited out the bound throws ApplicationHung;
// any other failure gives nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <atspi/atspi.h>

#include "platform/atspi/accessible_tree.h"
#include "platform/atspi/glib_owners.h"

namespace hovermark::atspi {

class AtspiDesktop final : public AccessibleDesktop {
  public:
    // libatspi must have been initialised, with its call timeout set to `timeout`.
    explicit AtspiDesktop(std::chrono::milliseconds timeout);

    std::vector<AccessibleApplication> Applications(WalkBudget& budget) override;

    // Calls that went over the bus since construction.
    std::uint64_t RoundTrips() const { return round_trips_; }

    // Each call to the bus goes through here: counted, timed, and its failure judged.
    class Call {
      public:
        Call(AtspiDesktop& desktop, const std::string& application);
        GError** error() { return error_.out(); }
        // Throws ApplicationHung when the call waited out the bound, as a call that took nearly the bound and
        // brought nothing (`answered` false) did; false when it failed otherwise.
        bool Succeeded(bool answered = false);

      private:
        AtspiDesktop& desktop_;
        const std::string& application_;
        std::chrono::steady_clock::time_point start_;
        GErrorOwner error_;
    };

  private:
    std::optional<std::uint32_t> ProcessOf(const std::string& bus_name);

    std::chrono::milliseconds timeout_;
    std::uint64_t round_trips_ = 0;
    std::map<std::string, std::optional<std::uint32_t>> pids_;
};

// An element of an application on the bus.
class AtspiElement final : public Accessible {
  public:
    AtspiElement(AtspiDesktop& desktop, GObjectRef<AtspiAccessible> object);

    const std::string& Id() const override { return id_; }
    const std::string& Application() const override { return application_; }
    std::optional<Extents> ReportedExtents() override;
    AccessiblePtr ChildAtPoint(std::int32_t x, std::int32_t y) override;
    std::int32_t ChildCount() override;
    AccessiblePtr ChildAt(std::int32_t index) override;
    AccessiblePtr Parent() override;
    std::int32_t IndexInParent() override;
    ElementStates States() override;
    std::string RoleName() override;
    std::string Name() override;
    std::string ToolkitName() override;

  private:
    AccessiblePtr Wrap(AtspiAccessible* owned);

    AtspiDesktop& desktop_;
    GObjectRef<AtspiAccessible> object_;
    std::string application_;
    std::string id_;
};

}  // namespace hovermark::atspi
