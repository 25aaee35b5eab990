// The last guard around every call from a front end's system code into the program. The program's own errors
// never get here (its events deal with them); anything else that a handler throws (no memory, a broken
// invariant) must not unwind through the system's code, so the front end reports it and ends the program.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace hovermark {

// What the user reads before the program ends on such a failure.
std::string UnexpectedErrorReport(std::string_view what);

// Calls `handler` and returns what it returns; a throw ends the program through the toolkit's
// `[[noreturn]] EndWithReport(report)`.
template <typename EndingToolkit, typename Handler>
decltype(auto) CallGuarded(EndingToolkit& toolkit, Handler&& handler) {
    try {
        return std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        toolkit.EndWithReport(UnexpectedErrorReport(error.what()));
    } catch (...) {
        toolkit.EndWithReport(UnexpectedErrorReport("an unknown exception"));
    }
}

}  // namespace hovermark
