// Elements on a desktop's accessibility bus, as dogtail finds them: `root.application(name)` picks the first
// application of that name among the registry's, `child(...)` the first match in depth-first pre-order of the
// node itself and everything below it, `findChildren(...)` every match below it in that order. Names compare
// exactly, or else as a regular expression (the name followed by '$', parentheses escaped, matched from the
// start). Role names compare exactly, as the protocol's table names role numbers (the application's own
// role-name call only for a role the table lacks). An identifier matches the element's "id" attribute or its
// accessible id. Elements that do not show are searched too.
#include <regex>

#include "locator/dialect.h"
#include "locator/string_literals.h"

namespace hovermark::locator {
namespace {

constexpr std::string_view kApplicationRole = "application";
// Longer names are compared only exactly: a regular expression that long costs more than the check may take.
constexpr std::size_t kLongestNamePattern = 4096;

// What dogtail's name comparison makes of `wanted` against `reported`.
bool NameMatches(const std::string& wanted, std::string_view reported) {
    if (wanted == reported) {
        return true;
    }
    constexpr std::string_view kMetacharacters = ".^$*+?{}[]\\|";
    if (wanted.find_first_of(kMetacharacters) == std::string::npos || wanted.size() > kLongestNamePattern) {
        // A plain pattern matches itself, and itself followed by the one line break '$' lets through.
        return reported.size() == wanted.size() + 1 && reported.back() == '\n' && reported.starts_with(wanted);
    }
    std::string pattern;
    if (wanted.front() == '*') {
        pattern += '\\';
    }
    for (const char character : wanted) {
        if (character == '(' || character == ')') {
            pattern += '\\';
        }
        pattern += character;
    }
    try {
        const std::regex expression(pattern);
        // Matched from the start up to the end, or up to a line break that ends the text.
        const std::string text(reported);
        return std::regex_match(text, expression) ||
               (!text.empty() && text.back() == '\n' && std::regex_match(text.substr(0, text.size() - 1), expression));
    } catch (const std::regex_error&) {
        // The framework's own search skips a node whose comparison raised.
        return false;
    }
}

class Dogtail final : public Dialect {
  public:
    bool HasScopeStep() const override { return true; }

    std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope scope) const override {
        const std::string name(item.Value(Key::kName).value_or(""));
        if (scope == StepScope::kChildren) {
            // An application whose name could not be read: the search goes through every application.
            if (!item.Value(Key::kName)) {
                return {{}};
            }
            return {{{Key::kName, name}}};
        }
        const std::string role(item.Value(Key::kRoleName).value_or(""));
        const std::optional<std::string_view> identifier =
            item.Value(Key::kAccessibleId) ? item.Value(Key::kAccessibleId) : item.Value(Key::kIdAttribute);
        // An empty value is one dogtail does not compare at all: it is left out.
        Criteria role_and_name;
        if (!role.empty()) {
            role_and_name.push_back({Key::kRoleName, role});
        }
        if (!name.empty()) {
            role_and_name.push_back({Key::kName, name});
        }
        std::vector<Criteria> candidates;
        if (identifier) {
            candidates.push_back({{Key::kAccessibleId, std::string(*identifier)}});
            Criteria all = candidates.back();
            all.insert(all.end(), role_and_name.begin(), role_and_name.end());
            if (!role_and_name.empty()) {
                candidates.push_back(role_and_name);
            }
            candidates.push_back(std::move(all));
        } else {
            candidates.push_back(role_and_name);
        }
        return candidates;
    }

    bool Matches(const Step& step, const LiveItem& item) const override {
        if (step.scope == StepScope::kChildren && item.Value(Key::kRoleName) != kApplicationRole) {
            return false;
        }
        for (const Criterion& criterion : step.criteria) {
            const bool met = [&] {
                switch (criterion.key) {
                    case Key::kName:
                        return NameMatches(criterion.value, item.Value(Key::kName).value_or(""));
                    case Key::kAccessibleId:
                        return item.Value(Key::kIdAttribute) == criterion.value ||
                               item.Value(Key::kAccessibleId) == criterion.value;
                    default:
                        return item.Value(criterion.key) == criterion.value;
                }
            }();
            if (!met) {
                return false;
            }
        }
        return true;
    }

    bool SearchMeetsItsStart() const override { return true; }

    std::string Write(const Locator& locator) const override {
        std::string text = "root";
        for (const Step& step : locator.steps) {
            if (step.scope == StepScope::kChildren) {
                if (step.criteria.empty()) {
                    continue;
                }
                const std::string name = step.criteria.front().value;
                if (step.index) {
                    text += ".findChildren(GenericPredicate(roleName='application', name=" + PythonLiteral(name) +
                            "), recursive=False)[" + std::to_string(*step.index) + "]";
                } else {
                    text += ".application(" + PythonLiteral(name) + ")";
                }
                continue;
            }
            const std::string arguments = Arguments(step.criteria);
            if (step.index) {
                text += ".findChildren(GenericPredicate(" + arguments + "))[" + std::to_string(*step.index) + "]";
            } else {
                text += ".child(" + arguments + ")";
            }
        }
        return text;
    }

  private:
    static std::string Arguments(const Criteria& criteria) {
        std::string arguments;
        for (const Criterion& criterion : criteria) {
            if (!arguments.empty()) {
                arguments += ", ";
            }
            arguments += KeywordOf(criterion.key);
            arguments += '=';
            arguments += PythonLiteral(criterion.value);
        }
        return arguments;
    }

    static std::string_view KeywordOf(Key key) {
        switch (key) {
            case Key::kAccessibleId:
            case Key::kIdAttribute:
                return "identifier";
            case Key::kRoleName:
                return "roleName";
            default:
                return "name";
        }
    }
};

}  // namespace

const Dialect& DogtailDialect() {
    static const Dogtail dialect;
    return dialect;
}

}  // namespace hovermark::locator
