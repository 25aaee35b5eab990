// The timer's work: on every tick decide which window is inspected, rebuild the list when that window
// changes, keep the frame on it, and mark it once when it has vanished. While the user looks inside windows,
// the same is done for the deepest element under the pointer inside that window.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "highlight_frame/highlight_frame.h"
#include "main_window/toolkit/controls.h"
#include "main_window/toolkit/form_toolkit.h"
#include "window_inspection/element_system.h"
#include "window_inspection/window_system.h"

namespace hovermark {

inline constexpr std::string_view kDestroyedRowText = "Destroyed!";
inline constexpr std::string_view kDestroyedExplanation = "This control or window does not exist any more.";
inline constexpr ColorValue kDestroyedRowColor = Rgb(255, 0, 0);
inline constexpr ColorValue kDestroyedExplanationColor = Rgb(64, 0, 0);
inline constexpr std::string_view kNoElementSystemText = "This system offers no view inside other windows.";

class InspectionCycle {
  public:
    // Without an element system, looking inside windows cannot be switched on.
    InspectionCycle(WindowSystem& window_system,
                    ReportListPeer& lstInfo,
                    OptionButton& optPlay,
                    HighlightFrame& frame,
                    ElementSystem* element_system = nullptr);
    InspectionCycle(const InspectionCycle&) = delete;
    InspectionCycle& operator=(const InspectionCycle&) = delete;
    ~InspectionCycle();

    void tmrMain_Timer();

    // Switches looking inside windows on or off; the next tick rebuilds the list either way. Switching on
    // starts the element system: when it cannot start, the mode stays off and the sentence to show the user
    // comes back. Switching off stops it.
    std::optional<std::string> SetLookInside(bool on);
    // Shows `note` below the rows in place of the hint, until the list next changes.
    void ShowNote(std::string note);
    bool LookingInside() const { return looking_inside_; }

    // The window inspected at the previous tick; 0 before the first.
    WindowHandle LastHandle = 0;
    // The "Destroyed!" rows have been added for the current window.
    Boolean DestroyedShown = kFalse;
    // The identities of the elements listed at the previous tick, the deepest first; empty when none.
    std::vector<std::string> LastElements;

  private:
    bool IsFrameBar(WindowHandle window) const;
    // The elements under the pointer, bounded; none when what is held stands (see the .cpp). `hint` becomes
    // what the user is to be told of the window; untouched where what is held stands.
    std::optional<std::vector<Element>> ReadElements(WindowHandle window, Point pointer, std::string& hint);
    void ShowHint(const std::string& hint);
    void ListRows(WindowHandle window, const std::optional<std::vector<Element>>& elements);
    ElementPresence ReadTargetRect(WindowHandle window,
                                   const std::string& element,
                                   const std::optional<std::vector<Element>>& elements);
    void MarkVanishedWindow();

    WindowSystem& window_system_;
    ReportListPeer& lstInfo_;
    OptionButton& optPlay_;
    HighlightFrame& frame_;
    ElementSystem* element_system_;
    bool looking_inside_ = false;
    bool rebuild_pending_ = false;
    // The element inspected has extents of its own to frame; otherwise the window is framed.
    bool element_framed_ = false;
    // Where the pointer was when the elements listed were found.
    Point elements_pointer_{};
    // The hint of the window inspected; empty: none.
    std::string hint_;
    // Shown instead of the hint until the list changes; empty: none.
    std::string note_;
    // What the list shows below its rows.
    std::string shown_below_;
};

}  // namespace hovermark
