// X windows as `xdotool search` finds them: every window below the root, a parent's children before their own
// children, each compared by its class hint's class and its title, as regular expressions that ignore case.
// The locator asks for both at once (--all), anchored and escaped so that they compare the whole text, and
// prints the window ids, one a line; where nothing else tells the window apart, sed picks its line.
#include <algorithm>
#include <cctype>
#include <functional>

#include "locator/dialect.h"
#include "locator/string_literals.h"

namespace hovermark::locator {
namespace {

// The longest argument a process may be given on Linux is 128 KiB; a longer title is matched by its start.
constexpr std::size_t kLongestPattern = 100 * 1024;

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
            if (item != 0 && tree.items[item].Value(Key::kClassName)) {
                return item;
            }
        }
        return row_item;
    }

    std::vector<Criteria> CandidatesFor(const LiveItem& item, StepScope /*scope*/) const override {
        Criteria criteria{{Key::kClassName, std::string(item.Value(Key::kClassName).value_or(""))}};
        // A window with no title at all is not matched by any name pattern.
        if (const std::optional<std::string_view> title = item.Value(Key::kName)) {
            criteria.push_back({Key::kName, std::string(*title)});
        }
        return {criteria};
    }

    bool Matches(const Step& step, const LiveItem& item) const override {
        for (const Criterion& criterion : step.criteria) {
            const std::optional<std::string_view> value = item.Value(criterion.key);
            if (!value) {
                return false;
            }
            if (criterion.key == Key::kClassName) {
                if (!SameIgnoringCase(criterion.value, *value)) {
                    return false;
                }
                continue;
            }
            bool whole = true;
            const std::string_view wanted = PatternPart(criterion.value, whole);
            // The title's text is compared piece by piece, as its NULs cut it.
            bool met = false;
            for (std::size_t at = 0; at <= value->size() && !met;) {
                const std::size_t end = std::min(value->find('\0', at), value->size());
                const std::string_view piece = value->substr(at, end - at);
                met = whole ? SameIgnoringCase(wanted, piece)
                            : piece.size() >= wanted.size() && SameIgnoringCase(wanted, piece.substr(0, wanted.size()));
                at = end + 1;
            }
            if (!met) {
                return false;
            }
        }
        return true;
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
        std::string text = "xdotool search --all";
        const Step& step = locator.steps.front();
        for (const Criterion& criterion : step.criteria) {
            bool whole = true;
            std::string pattern = "^";
            if (criterion.key == Key::kClassName) {
                text += " --class ";
                pattern.append(ExtendedRegexLiteral(criterion.value));
            } else {
                text += " --name ";
                pattern.append(ExtendedRegexLiteral(PatternPart(criterion.value, whole)));
            }
            if (whole) {
                pattern.push_back('$');
            }
            text.append(ShellWord(pattern));
        }
        if (step.index) {
            text += " | sed -n '" + std::to_string(*step.index + 1) + "p'";
        }
        return text;
    }
};

}  // namespace

const Dialect& XdotoolDialect() {
    static const Xdotool dialect;
    return dialect;
}

}  // namespace hovermark::locator
