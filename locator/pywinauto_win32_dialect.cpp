// Windows as pywinauto's win32 backend finds them: `window()` among the visible top-level windows,
// `child_window()` among every visible window below the one found, in the enumeration's depth-first order;
// class names, titles and control ids compare exactly, an empty title too. A control id tells a control apart
// best: it stays the same from run to run and in every language.
#include "locator/dialect.h"
#include "locator/pywinauto_arguments.h"

namespace hovermark::locator {
namespace {

std::string_view KeywordOf(Key key) {
    switch (key) {
        case Key::kClassName:
            return "class_name";
        case Key::kControlId:
            return "control_id";
        default:
            return "title";
    }
}

bool IsNumber(Key key) {
    return key == Key::kControlId;
}

class PywinautoWin32 final : public Dialect {
  public:
    bool HasScopeStep() const override { return true; }

    std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope scope) const override {
        const Criteria class_and_title{{Key::kClassName, std::string(item.Value(Key::kClassName).value_or(""))},
                                       {Key::kName, std::string(item.Value(Key::kName).value_or(""))}};
        const std::optional<std::string_view> control_id = item.Value(Key::kControlId);
        if (scope == StepScope::kChildren || !control_id) {
            return {class_and_title};
        }
        Criteria all = class_and_title;
        all.push_back({Key::kControlId, std::string(*control_id)});
        return {{{Key::kControlId, std::string(*control_id)}}, class_and_title, all};
    }

    bool Matches(const Step& step, const LiveItem& item) const override {
        for (const Criterion& criterion : step.criteria) {
            if (item.Value(criterion.key).value_or("") != criterion.value) {
                return false;
            }
        }
        return true;
    }

    std::string Write(const Locator& locator) const override {
        return WritePywinauto(locator, "win32", KeywordOf, IsNumber);
    }
};

}  // namespace

const Dialect& PywinautoWin32Dialect() {
    static const PywinautoWin32 dialect;
    return dialect;
}

}  // namespace hovermark::locator
