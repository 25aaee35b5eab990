// Elements as pywinauto's uia backend finds them: `window()` among the visible top-level windows by title,
// `child_window()` among every visible element below, by title (the element's name) and control type (its role
// as the system's proxy maps it), both compared exactly.
#include <charconv>

#include "locator/dialect.h"
#include "locator/pywinauto_arguments.h"
#include "locator/uia_control_types.h"

namespace hovermark::locator {
namespace {

std::string_view KeywordOf(Key key) {
    return key == Key::kRoleNumber ? "control_type" : "title";
}

bool IsNumber(Key /*key*/) {
    return false;
}

std::string_view ControlTypeOf(const LiveItem& item) {
    const std::string_view text = item.Value(Key::kRoleNumber).value_or("");
    long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const bool read = !text.empty() && error == std::errc() && end == text.data() + text.size();
    return UiaControlTypeOf(read ? std::optional<long>(number) : std::nullopt);
}

class PywinautoUia final : public Dialect {
  public:
    bool HasScopeStep() const override { return true; }

    std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope scope) const override {
        const Criterion title{Key::kName, std::string(item.Value(Key::kName).value_or(""))};
        if (scope == StepScope::kChildren) {
            return {{title}};
        }
        const Criterion control_type{Key::kRoleNumber, std::string(ControlTypeOf(item))};
        if (title.value.empty()) {
            return {{control_type}};
        }
        return {{title, control_type}};
    }

    bool Matches(const Step& step, const LiveItem& item) const override {
        for (const Criterion& criterion : step.criteria) {
            const std::string_view value =
                criterion.key == Key::kRoleNumber ? ControlTypeOf(item) : item.Value(Key::kName).value_or("");
            if (value != criterion.value) {
                return false;
            }
        }
        return true;
    }

    std::string Write(const Locator& locator) const override {
        return WritePywinauto(locator, "uia", KeywordOf, IsNumber);
    }
};

}  // namespace

const Dialect& PywinautoUiaDialect() {
    static const PywinautoUia dialect;
    return dialect;
}

}  // namespace hovermark::locator
