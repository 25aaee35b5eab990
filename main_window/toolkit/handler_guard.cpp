#include "main_window/toolkit/handler_guard.h"

namespace hovermark {

std::string UnexpectedErrorReport(std::string_view what) {
    return "Hovermark has to stop: " + std::string(what);
}

}  // namespace hovermark
