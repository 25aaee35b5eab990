// Ctrl+L: a locator of the first row's item on the clipboard, and below the rows what its check found. The
// check runs in the background; the timer takes its outcome, so the window never waits on it.
#include "main_window/main_window.h"
#include "window_inspection/utf8.h"

namespace hovermark {
namespace {

// Below the rows the locator shows cut to this, so that a name of a megabyte does not fill the list.
constexpr std::size_t kShownLocatorBytes = 400;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

std::string NoteOf(const LocatorOutcome& outcome) {
    std::string shown = ValidUtf8Prefix(outcome.locator, kShownLocatorBytes);
    if (shown.size() < outcome.locator.size()) {
        shown += kEllipsis;
    }
    return shown + "\n" + outcome.finding;
}

}  // namespace

void frmGlintrix::tmrMain_Timer() {
    inspection_.tmrMain_Timer();
    TakeLocator();
}

void frmGlintrix::cmdLocator_Click() {
    const std::string element = inspection_.LastElements.empty() ? std::string() : inspection_.LastElements.front();
    locator_check_.Start(element, inspection_.LastHandle);
}

void frmGlintrix::TakeLocator() {
    const std::optional<LocatorOutcome> outcome = locator_check_.Poll();
    if (!outcome) {
        return;
    }
    if (!outcome->locator.empty()) {
        toolkit_.ClearClipboard();
        toolkit_.SetClipboardText(outcome->locator);
    }
    inspection_.ShowNote(NoteOf(*outcome));
}

}  // namespace hovermark
