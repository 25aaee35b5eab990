// The elements inside other programs' windows on a desktop with an accessibility bus (AT-SPI), for the element
// engine: the protocol's questions, asked over a connection of this program's own, and what is AT-SPI's alone:
// which application's top-level element stands for a window (by process and title), how far a toolkit's
// coordinates are off, and the rule that an answer its parent does not list is not followed. When to ask, how
// long to wait and what rest means are the engine's.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atspi/atspi_bus.h"
#include "platform/atspi/is_enabled_change.h"
#include "platform/atspi/top_level_facts.h"
#include "platform/atspi/top_level_match.h"
#include "window_inspection/call_workers.h"
#include "window_inspection/element_adapter.h"

namespace hovermark::atspi {

// The bound on switching the mode on: each call to the session bus and the accessibility bus waits at most
// this, so a stopped bus costs no more than a stopped application does.
inline constexpr std::chrono::milliseconds kStartTimeout{250};
// A call gives up only after the engine has taken it for late, so that an answer within the engine's bound is
// never lost to the connection's own timeout.
inline constexpr std::chrono::milliseconds kCallTimeout = kLateAfter + std::chrono::milliseconds{10};
// A bus that died while the mode is on is looked for again this often.
inline constexpr std::chrono::seconds kReopenEvery{1};

inline constexpr std::string_view kNoSessionBusText =
    "Hovermark cannot look inside windows: this desktop has no D-Bus session bus.";
inline constexpr std::string_view kNoAccessibilityBusText =
    "Hovermark cannot look inside windows: this desktop has no accessibility bus (AT-SPI).";

// The toolkit name Chromium gives, and Chrome and Electron applications with it.
inline constexpr std::string_view kChromiumToolkit = "Chromium";
// What the user is told over such an application's window when it describes nothing inside it.
inline constexpr std::string_view kRendererAccessibilityHint =
    "This application describes its controls only when it is started with --force-renderer-accessibility, "
    "for example: chromium --force-renderer-accessibility, or code --force-renderer-accessibility";
// What the user is told over the window of a Qt application that was already running when the mode went on:
// Qt reads the accessibility switch only when it starts.
inline constexpr std::string_view kStartedBeforeHint =
    "This application describes its controls only when it is started while looking inside windows is on: "
    "restart it, or start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1";

class AtspiAdapter final : public ElementAdapter {
  public:
    explicit AtspiAdapter(TopLevelFacts& facts);
    AtspiAdapter(const AtspiAdapter&) = delete;
    AtspiAdapter& operator=(const AtspiAdapter&) = delete;
    ~AtspiAdapter() override;

    // Connects to the accessibility bus, and sets org.a11y.Status IsEnabled when it is false, so that
    // applications which describe their elements only on request (Qt, Chromium) do so.
    std::optional<std::string> Start() override;
    // Closes the connection and puts IsEnabled back when Start changed it. The program calls it when the mode
    // is switched off and when it exits, a signal included.
    void Stop() noexcept override;
    // The change to IsEnabled alone, for an end of the program that leaves no time to stop: safe from any
    // thread, whatever the adapter is doing.
    IsEnabledChange& EnabledChange() { return *enabled_change_; }
    // Calls over the accessibility bus since the mode was last switched on.
    std::uint64_t BusCalls() const;

    ApplicationId ApplicationOfWindow(WindowHandle window) override;
    bool WindowHung(WindowHandle /*window*/) override { return false; }
    bool WindowExists(WindowHandle window) override;
    bool ChangedSinceLastAsked(WindowHandle window) override;
    std::uint64_t ApplicationsSeen() override;
    // Grows each time a bus that died while the mode was on has been opened again.
    std::uint64_t Connection() override;

    Reply<NodePtr> WindowNode(WindowHandle window, RoundTrips& trips) override;
    Reply<NodePtr> ChildAt(const NodePtr& node, Point screen, RoundTrips& trips) override;
    Reply<NodePtr> ParentOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> RoleOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> NameOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::optional<Rectangle>> ExtentsOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::string> HintFor(WindowHandle window, const NodePtr& top, RoundTrips& trips) override;

    Reply<std::vector<FoundNode>> Scopes(RoundTrips& trips) override;
    Reply<NodePtr> ScopeOf(const NodePtr& node, RoundTrips& trips) override;
    Reply<std::vector<FoundNode>> ChildrenOf(const NodePtr& node, RoundTrips& trips) override;

    std::string Identity(const ElementNode& node) const override;
    ApplicationId ApplicationOf(const ElementNode& node) const override;

  private:
    struct Node;
    struct Reconnection;
    void KeepConnected();
    // What a worker may read of the GUI thread's knowledge, copied under the lock.
    std::shared_ptr<AtspiBus> Bus() const;
    std::optional<TopLevelWindow> FactsOf(WindowHandle window) const;
    Offset OffsetOf(const Node& node) const;
    Reply<std::vector<std::string>> AllApplications(AtspiBus& bus, RoundTrips& trips);
    Reply<std::string> ToolkitOf(AtspiBus& bus, const std::string& application, RoundTrips& trips);
    NodePtr Wrap(const Node& like, ObjectRef object) const;
    Reply<std::vector<FoundNode>> Found(const Node& like,
                                        const std::vector<ObjectRef>& objects,
                                        bool scopes,
                                        RoundTrips& trips) const;

    TopLevelFacts& facts_;
    // Shared with a reopening in progress, which may outlive the adapter.
    std::shared_ptr<IsEnabledChange> enabled_change_;
    const std::uint32_t own_process_;

    mutable std::mutex mutex_;
    std::shared_ptr<AtspiBus> bus_;
    std::shared_ptr<Reconnection> reconnection_;
    std::uint64_t connection_ = 0;
    std::uint64_t started_ticks_ = 0;
    // The GUI thread's: each top-level window's facts as last read, and the top-level of each window asked.
    std::map<WindowHandle, TopLevelWindow> top_levels_;
    std::map<WindowHandle, WindowHandle> top_level_of_;
    // The window asked about last, what it was taken for, and whether its top-level showed anything new then.
    WindowHandle last_window_ = 0;
    ApplicationId last_application_;
    bool last_changed_ = true;
    // The workers': what the bus answered that never changes while the connection lasts.
    std::map<std::string, std::optional<std::uint32_t>> processes_;
    std::map<std::string, std::string> toolkits_;
    // The GUI thread's: when a dead bus was last tried again.
    std::chrono::steady_clock::time_point last_reopen_{};
};

}  // namespace hovermark::atspi
