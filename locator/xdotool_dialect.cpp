// X windows as `xdotool search` finds them: every window below the root, hidden ones too, a window's
// children before any of their own children, in stacking order. A search has one pattern, which every field it
// names must match: `--all --class --name '^(Class|Title)$'` finds the windows whose class hint's class and whose
// title (WM_NAME, cut into pieces at its NULs, any of which may match) are each one of the two, ignoring the case
// of ASCII letters. The command prints the ids one a line; where nothing else tells the window apart, sed picks
// its line.
#include <algorithm>
#include <cctype>
#include <functional>

#include "locator/dialect.h"
#include "locator/string_literals.h"

namespace hovermark::locator {
namespace {

// The longest argument a process may be given on Linux is 128 KiB; a longer title is matched by its start.
// The class shares the argument, and a class hint is short.
constexpr std::size_t kLongestPattern = std::size_t{100} * 1024;

bool SameIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The part of a title a pattern can hold: up to a NUL, which ends an argument, and within the longest one.
std::string_view PatternPart(std::string_view title, bool& whole) {
    std::string_view part = title.substr(0, title.find('\0'));
    whole = part.size() <= kLongestPattern;
    if (!whole) {
        part = part.substr(0, kLongestPattern);
        // Never half a character.
        while (!part.empty() && (static_cast<unsigned char>(part.back()) & 0xC0U) == 0x80U) {
            part.remove_suffix(1);
        }
        if (!part.empty() && static_cast<unsigned char>(part.back()) >= 0xC0U) {
            part.remove_suffix(1);
        }
    }
    return part;
}

class Xdotool final : public Dialect {
  public:
    bool HasScopeStep() const override { return false; }
    bool SearchesEveryScope() const override { return true; }

    // The top-level window: the outermost one on the way down that has a class (a window manager's frame has
    // none).
    std::size_t ItemFor(const LiveTree& tree, std::size_t row_item) const override {
        for (const std::size_t item : tree.PathTo(row_item)) {
            if (item != 0 && !tree.items[item].Value(Key::kClassName).value_or("").empty()) {
                return item;
            }
        }
        return row_item;
    }

    std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope /*scope*/) const override {
        Criteria criteria{{Key::kClassName, std::string(item.Value(Key::kClassName).value_or(""))}};
        // Without a title the class alone is asked for: a pattern of both would take any window whose title is
        // the class name.
        if (const std::string_view title = item.Value(Key::kName).value_or(""); !title.empty()) {
            criteria.push_back({Key::kName, std::string(title)});
        }
        return {criteria};
    }

    bool FindsHidden() const override { return true; }

    bool Matches(const Step& step, const LiveItem& item) const override {
        const Alternatives alternatives = AlternativesOf(step);
        if (!alternatives.Match(item.Value(Key::kClassName).value_or(""))) {
            return false;
        }
        if (step.criteria.size() < 2) {
            return true;
        }
        // The title's text is compared piece by piece, as its NULs cut it.
        const std::string_view title = item.Value(Key::kName).value_or("");
        for (std::size_t at = 0; at <= title.size();) {
            const std::size_t end = std::min(title.find('\0', at), title.size());
            if (alternatives.Match(title.substr(at, end - at))) {
                return true;
            }
            at = end + 1;
        }
        return false;
    }

    // Each window's children are compared before any of their own children are.
    std::vector<std::size_t> SearchOrder(const LiveTree& tree, std::size_t start, StepScope /*scope*/) const override {
        std::vector<std::vector<std::size_t>> children(tree.items.size());
        for (std::size_t item = 1; item < tree.items.size(); ++item) {
            if (tree.items[item].parent != kNoItem) {
                children[tree.items[item].parent].push_back(item);
            }
        }
        std::vector<std::size_t> order;
        const std::function<void(std::size_t)> visit = [&](std::size_t parent) {
            order.insert(order.end(), children[parent].begin(), children[parent].end());
            for (const std::size_t child : children[parent]) {
                visit(child);
            }
        };
        visit(start);
        return order;
    }

    std::string Write(const Locator& locator) const override {
        const Step& step = locator.steps.front();
        const Alternatives alternatives = AlternativesOf(step);
        std::string pattern = "^";
        if (alternatives.texts.size() > 1) {
            pattern += '(';
        }
        for (std::size_t at = 0; at < alternatives.texts.size(); ++at) {
            if (at > 0) {
                pattern += '|';
            }
            pattern.append(ExtendedRegexLiteral(alternatives.texts[at]));
            if (alternatives.whole[at]) {
                pattern += '$';
            }
        }
        if (alternatives.texts.size() > 1) {
            pattern += ')';
        }
        std::string text =
            alternatives.texts.size() > 1 ? "xdotool search --all --class --name " : "xdotool search --class ";
        text.append(ShellWord(pattern));
        if (step.index) {
            text.append(" | sed -n '").append(std::to_string(*step.index + 1)).append("p'");
        }
        return text;
    }

  private:
    // What the one pattern accepts: each text whole, or its start where it was too long for an argument.
    struct Alternatives {
        std::vector<std::string_view> texts;
        std::vector<bool> whole;

        bool Match(std::string_view value) const {
            for (std::size_t at = 0; at < texts.size(); ++at) {
                const bool met = whole[at] ? SameIgnoringCase(texts[at], value)
                                           : value.size() >= texts[at].size() &&
                                                 SameIgnoringCase(texts[at], value.substr(0, texts[at].size()));
                if (met) {
                    return true;
                }
            }
            return false;
        }
    };

    static Alternatives AlternativesOf(const Step& step) {
        Alternatives alternatives;
        for (const Criterion& criterion : step.criteria) {
            bool whole = true;
            alternatives.texts.push_back(PatternPart(criterion.value, whole));
            alternatives.whole.push_back(whole);
        }
        return alternatives;
    }
};

}  // namespace

const Dialect& XdotoolDialect() {
    static const Xdotool dialect;
    return dialect;
}

}  // namespace hovermark::locator
