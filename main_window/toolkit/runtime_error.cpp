#include "main_window/toolkit/runtime_error.h"

namespace hovermark {

std::string RuntimeError::Report() const {
    return "Run-time error '" + std::to_string(number()) + "':\r\n\r\n" + what();
}

}  // namespace hovermark
