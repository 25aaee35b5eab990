#include "locator/pywinauto_arguments.h"

#include "locator/string_literals.h"

namespace hovermark::locator {

std::string WritePywinauto(const Locator& locator,
                           std::string_view backend,
                           std::string_view (*keyword)(Key),
                           bool (*is_number)(Key)) {
    std::string text = "Desktop(backend=\"";
    text += backend;
    text += "\")";
    for (const Step& step : locator.steps) {
        text += step.scope == StepScope::kChildren ? ".window(" : ".child_window(";
        std::string arguments;
        for (const Criterion& criterion : step.criteria) {
            if (!arguments.empty()) {
                arguments += ", ";
            }
            arguments += keyword(criterion.key);
            arguments += '=';
            arguments += is_number(criterion.key) ? criterion.value : PythonLiteral(criterion.value);
        }
        if (step.index) {
            arguments += (arguments.empty() ? "found_index=" : ", found_index=") + std::to_string(*step.index);
        }
        text += arguments + ")";
    }
    return text;
}

}  // namespace hovermark::locator
