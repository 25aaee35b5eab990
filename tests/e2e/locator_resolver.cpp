// An independent evaluation of a pywinauto locator, for the end-to-end run: it reads the expression Hovermark
// copied, parses it as Python would, and finds what pywinauto's documented rules find, sharing no code with
// Hovermark.
//
// hovermark_locator_resolver.exe [--timeout=SECONDS] < LOCATOR
//   LOCATOR (UTF-8): Desktop(backend="win32" or "uia") followed by .window(...) and any number of
//   .child_window(...), with the keyword arguments class_name=, title=, control_id= (win32), control_type= (uia)
//   and found_index=; strings as Python's literals (quotes of either kind, triple quotes, r and u prefixes,
//   adjacent literals joined, every escape but \N{...}), integers as Python's (signs, 0x, 0o, 0b, underscores).
//   Prints, in UTF-8, one "key=value" a line: on success "hwnd=DECIMAL" (win32; the handle's low 32 bits,
//   signed) or "rect=LEFT TOP RIGHT BOTTOM" (uia: the element's accLocation), then "matches=N" (the last
//   step's matches) and "step_matches=N1 N2 ..." (each step's), exit 0; when a step finds none, several
//   without found_index, or found_index is out of range, "error=...", "matches=N" and "step_matches=...",
//   exit 1; a syntax error: "syntax_error=...", exit 2; past the timeout (20 s unless given): exit 4.
//
// The rules (pywinauto's findwindows.find_elements and WindowSpecification): window() searches the top-level
// windows only, child_window() every descendant of what the step before found, in the enumeration's order;
// only visible ones (visible_only); class_name, title and control_id compare exactly; found_index picks among
// the matches in that order, and without it more than one match is an error.
//   win32: the top-level windows in EnumWindows' order, a window's descendants in EnumChildWindows' order
//   (depth-first, pre-order). class_name: GetClassNameW; title: WM_GETTEXT; control_id: GetDlgCtrlID, and 0
//   for a top-level window (which, as GetDlgCtrlID's documentation says, has none); visible: IsWindowVisible.
//   uia, as seen through the system's proxy from Active Accessibility to UI Automation: each top-level window
//   is an element of control type Window, named by its text, of its window class. Its descendants are those of
//   its client object (AccessibleObjectFromWindow, OBJID_CLIENT), by AccessibleChildren, depth-first and
//   pre-order: title is accName, control_type is accRole through the table below, visible is neither
//   STATE_SYSTEM_INVISIBLE nor STATE_SYSTEM_OFFSCREEN (the states the proxy turns into IsOffscreen), and they
//   have no class name.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <oleacc.h>

namespace {

constexpr int kFound = 0;
constexpr int kNotFound = 1;
constexpr int kSyntaxError = 2;
constexpr int kTimedOut = 4;

// With a static link, liboleacc.a's IID_IAccessible names an import thunk, not the GUID.
const IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr UINT kTextTimeoutMs = 2000;
constexpr int kMaxDepth = 256;
constexpr std::size_t kMaxElements = 100000;

// Active Accessibility roles and the UI Automation control types of Microsoft's table "Roles and Control Types"
// (UI Automation and Active Accessibility, learn.microsoft.com/windows/win32/winauto/uiauto-msaa), row by row.
// Where a role stands in several rows (client: Calendar and Custom; list: DataGrid, Header and List; list item:
// DataItem and ListItem) the proxy's is taken to be the one named after the role, and Custom for client, the
// generic one; a role the table does not name is Custom.
struct RoleRow {
    LONG role;
    const char32_t* control_type;
};
constexpr RoleRow kRoleTable[] = {
    {ROLE_SYSTEM_PUSHBUTTON, U"Button"},
    {ROLE_SYSTEM_CHECKBUTTON, U"CheckBox"},
    {ROLE_SYSTEM_COMBOBOX, U"ComboBox"},
    {ROLE_SYSTEM_CLIENT, U"Custom"},
    {ROLE_SYSTEM_DOCUMENT, U"Document"},
    {ROLE_SYSTEM_TEXT, U"Edit"},
    {ROLE_SYSTEM_GROUPING, U"Group"},
    {ROLE_SYSTEM_COLUMNHEADER, U"HeaderItem"},
    {ROLE_SYSTEM_LINK, U"Hyperlink"},
    {ROLE_SYSTEM_GRAPHIC, U"Image"},
    {ROLE_SYSTEM_LIST, U"List"},
    {ROLE_SYSTEM_LISTITEM, U"ListItem"},
    {ROLE_SYSTEM_MENUPOPUP, U"Menu"},
    {ROLE_SYSTEM_MENUBAR, U"MenuBar"},
    {ROLE_SYSTEM_MENUITEM, U"MenuItem"},
    {ROLE_SYSTEM_PANE, U"Pane"},
    {ROLE_SYSTEM_PROGRESSBAR, U"ProgressBar"},
    {ROLE_SYSTEM_RADIOBUTTON, U"RadioButton"},
    {ROLE_SYSTEM_SCROLLBAR, U"ScrollBar"},
    {ROLE_SYSTEM_SEPARATOR, U"Separator"},
    {ROLE_SYSTEM_SLIDER, U"Slider"},
    {ROLE_SYSTEM_SPINBUTTON, U"Spinner"},
    {ROLE_SYSTEM_SPLITBUTTON, U"SplitButton"},
    {ROLE_SYSTEM_STATUSBAR, U"StatusBar"},
    {ROLE_SYSTEM_PAGETABLIST, U"Tab"},
    {ROLE_SYSTEM_PAGETAB, U"TabItem"},
    {ROLE_SYSTEM_TABLE, U"Table"},
    {ROLE_SYSTEM_STATICTEXT, U"Text"},
    {ROLE_SYSTEM_INDICATOR, U"Thumb"},
    {ROLE_SYSTEM_TITLEBAR, U"TitleBar"},
    {ROLE_SYSTEM_TOOLBAR, U"ToolBar"},
    {ROLE_SYSTEM_TOOLTIP, U"ToolTip"},
    {ROLE_SYSTEM_OUTLINE, U"Tree"},
    {ROLE_SYSTEM_OUTLINEITEM, U"TreeItem"},
    {ROLE_SYSTEM_WINDOW, U"Window"},
};

std::u32string ControlTypeOf(const VARIANT& role) {
    if (role.vt == VT_I4) {
        for (const RoleRow& row : kRoleTable) {
            if (row.role == role.lVal) {
                return row.control_type;
            }
        }
    }
    return U"Custom";
}

// --- Text ------------------------------------------------------------------------------------------------

// Code points, as Python's str holds them: a lone surrogate stays one.
std::u32string FromUtf16(const wchar_t* text, std::size_t length) {
    std::u32string result;
    for (std::size_t at = 0; at < length; ++at) {
        const char32_t unit = text[at];
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < length && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
            result += 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[at + 1]) - 0xDC00);
            ++at;
        } else {
            result += unit;
        }
    }
    return result;
}

std::string ToUtf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Strict UTF-8, as Python reads its source; none for anything ill-formed.
std::optional<std::u32string> FromUtf8(const std::string& text) {
    std::u32string result;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        int length = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (at + static_cast<std::size_t>(length) > text.size()) {
            return std::nullopt;
        }
        for (int index = 1; index < length; ++index) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(index)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return std::nullopt;
        }
        result += value;
        at += static_cast<std::size_t>(length);
    }
    return result;
}

// --- The expression --------------------------------------------------------------------------------------

struct SyntaxError {
    std::size_t at;
    std::string message;
};

struct Value {
    bool is_string = false;
    std::u32string text;
    long long number = 0;
};

struct Call {
    std::u32string method;
    std::vector<std::pair<std::u32string, Value>> arguments;
};

struct Expression {
    std::u32string backend;
    std::vector<Call> calls;
};

class Parser {
  public:
    explicit Parser(std::u32string source) : source_(std::move(source)) {}

    Expression Parse() {
        Expression expression;
        Skip();
        if (Name() != U"Desktop") {
            Fail("the expression must start with Desktop");
        }
        Expect(U'(');
        const std::vector<std::pair<std::u32string, Value>> desktop = Arguments();
        if (desktop.size() != 1 || desktop[0].first != U"backend" || !desktop[0].second.is_string) {
            Fail("Desktop takes backend= and nothing else");
        }
        expression.backend = desktop[0].second.text;
        if (expression.backend != U"win32" && expression.backend != U"uia") {
            Fail("the backend is neither \"win32\" nor \"uia\"");
        }
        while (true) {
            Skip();
            if (at_ == source_.size()) {
                break;
            }
            Expect(U'.');
            Call call;
            call.method = Name();
            const bool first = expression.calls.empty();
            if ((first && call.method != U"window") || (!first && call.method != U"child_window")) {
                Fail(first ? "window() must come first" : "only child_window() may follow window()");
            }
            Expect(U'(');
            call.arguments = Arguments();
            expression.calls.push_back(std::move(call));
        }
        if (expression.calls.empty()) {
            Fail("no window() step");
        }
        return expression;
    }

  private:
    [[noreturn]] void Fail(const std::string& message) const { throw SyntaxError{at_, message}; }

    bool AtEnd() const { return at_ >= source_.size(); }
    char32_t Peek(std::size_t ahead = 0) const { return at_ + ahead < source_.size() ? source_[at_ + ahead] : U'\0'; }

    // Blanks between tokens; a line may break only inside brackets, as Python joins such lines, and at the end.
    void Skip() {
        while (!AtEnd()) {
            const char32_t c = Peek();
            if (c == U' ' || c == U'\t' || c == U'\f') {
                ++at_;
            } else if ((c == U'\n' || c == U'\r') && (depth_ > 0 || OnlyBlanksLeft())) {
                ++at_;
            } else {
                return;
            }
        }
    }
    bool OnlyBlanksLeft() const {
        for (std::size_t index = at_; index < source_.size(); ++index) {
            const char32_t c = source_[index];
            if (c != U' ' && c != U'\t' && c != U'\f' && c != U'\n' && c != U'\r') {
                return false;
            }
        }
        return true;
    }

    void Expect(char32_t wanted) {
        Skip();
        if (Peek() != wanted || AtEnd()) {
            Fail(std::string("expected '") + static_cast<char>(wanted) + "'");
        }
        ++at_;
        if (wanted == U'(') {
            ++depth_;
        } else if (wanted == U')') {
            --depth_;
        }
    }

    static bool IsNameStart(char32_t c) { return c == U'_' || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }
    static bool IsNamePart(char32_t c) { return IsNameStart(c) || (c >= U'0' && c <= U'9'); }

    std::u32string Name() {
        Skip();
        if (!IsNameStart(Peek())) {
            Fail("expected a name");
        }
        std::u32string name;
        while (!AtEnd() && IsNamePart(Peek())) {
            name += source_[at_++];
        }
        return name;
    }

    // Keyword arguments up to and with the closing parenthesis; a trailing comma is allowed, as in Python.
    std::vector<std::pair<std::u32string, Value>> Arguments() {
        std::vector<std::pair<std::u32string, Value>> arguments;
        Skip();
        while (Peek() != U')') {
            if (AtEnd()) {
                Fail("the call is not closed");
            }
            std::u32string name = Name();
            Skip();
            if (Peek() != U'=' || Peek(1) == U'=') {
                Fail("expected a keyword argument");
            }
            ++at_;
            for (const auto& [seen, value] : arguments) {
                if (seen == name) {
                    Fail("keyword argument repeated");
                }
            }
            arguments.emplace_back(std::move(name), ParseValue());
            Skip();
            if (Peek() == U',') {
                ++at_;
                Skip();
            } else if (Peek() != U')') {
                Fail("expected ',' or ')'");
            }
        }
        Expect(U')');
        return arguments;
    }

    Value ParseValue() {
        Skip();
        const char32_t c = Peek();
        if (c == U'+' || c == U'-' || (c >= U'0' && c <= U'9')) {
            return {.is_string = false, .text = {}, .number = Integer()};
        }
        Value value{.is_string = true, .text = {}, .number = 0};
        if (!StartsString()) {
            Fail("expected a string or an integer");
        }
        // Adjacent literals are one string.
        while (StartsString()) {
            value.text += StringLiteral();
            Skip();
        }
        return value;
    }

    bool StartsString() const {
        std::size_t ahead = 0;
        if (Peek() == U'r' || Peek() == U'R' || Peek() == U'u' || Peek() == U'U') {
            ahead = 1;
        }
        return Peek(ahead) == U'\'' || Peek(ahead) == U'"';
    }

    long long Integer() {
        long long sign = 1;
        while (Peek() == U'+' || Peek() == U'-') {
            if (Peek() == U'-') {
                sign = -sign;
            }
            ++at_;
            Skip();
        }
        int base = 10;
        if (Peek() == U'0' && (Peek(1) == U'x' || Peek(1) == U'X' || Peek(1) == U'o' || Peek(1) == U'O' ||
                               Peek(1) == U'b' || Peek(1) == U'B')) {
            const char32_t kind = Peek(1) | 0x20;
            base = kind == U'x' ? 16 : kind == U'o' ? 8 : 2;
            at_ += 2;
            if (Peek() == U'_') {
                ++at_;
            }
        }
        const std::size_t start = at_;
        unsigned long long value = 0;
        bool digit_before = false;
        bool leading_zero = false;
        while (!AtEnd()) {
            const char32_t d = Peek();
            int digit = -1;
            if (d >= U'0' && d <= U'9') {
                digit = static_cast<int>(d - U'0');
            } else if ((d | 0x20) >= U'a' && (d | 0x20) <= U'f') {
                digit = static_cast<int>((d | 0x20) - U'a' + 10);
            } else if (d == U'_' && digit_before && IsDigitOf(Peek(1), base)) {
                ++at_;
                continue;
            } else if (IsNamePart(d)) {
                Fail("not a number");
            } else {
                break;
            }
            if (digit >= base) {
                Fail("a digit out of its base");
            }
            if (at_ == start && base == 10 && digit == 0) {
                leading_zero = true;
            } else if (leading_zero && digit != 0) {
                Fail("leading zeros in a decimal integer");
            }
            if (value > (0x7FFFFFFFFFFFFFFFULL - static_cast<unsigned>(digit)) / static_cast<unsigned>(base)) {
                Fail("an integer too large");
            }
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
            digit_before = true;
            ++at_;
        }
        if (!digit_before) {
            Fail("expected digits");
        }
        return sign * static_cast<long long>(value);
    }

    static bool IsDigitOf(char32_t c, int base) {
        int digit = -1;
        if (c >= U'0' && c <= U'9') {
            digit = static_cast<int>(c - U'0');
        } else if ((c | 0x20) >= U'a' && (c | 0x20) <= U'f') {
            digit = static_cast<int>((c | 0x20) - U'a' + 10);
        }
        return digit >= 0 && digit < base;
    }

    char32_t HexDigits(int count) {
        char32_t value = 0;
        for (int index = 0; index < count; ++index) {
            if (!IsDigitOf(Peek(), 16)) {
                Fail("a \\x, \\u or \\U escape needs " + std::to_string(count) + " hex digits");
            }
            const char32_t c = source_[at_++];
            value = value * 16 + (c <= U'9' ? c - U'0' : (c | 0x20) - U'a' + 10);
        }
        return value;
    }

    std::u32string StringLiteral() {
        bool raw = false;
        if (Peek() == U'r' || Peek() == U'R') {
            raw = true;
            ++at_;
        } else if (Peek() == U'u' || Peek() == U'U') {
            ++at_;
        }
        const char32_t quote = source_[at_];
        const bool triple = Peek(1) == quote && Peek(2) == quote;
        at_ += triple ? 3 : 1;
        std::u32string text;
        while (true) {
            if (AtEnd()) {
                Fail("the string is not closed");
            }
            const char32_t c = source_[at_];
            if (c == quote && (!triple || (Peek(1) == quote && Peek(2) == quote))) {
                at_ += triple ? 3 : 1;
                return text;
            }
            if ((c == U'\n' || c == U'\r') && !triple) {
                Fail("a line ends inside the string");
            }
            ++at_;
            // Python reads every line end of its source as one LF.
            if (c == U'\r') {
                if (Peek() == U'\n') {
                    ++at_;
                }
                text += U'\n';
                continue;
            }
            if (c != U'\\') {
                text += c;
                continue;
            }
            if (AtEnd()) {
                Fail("the string is not closed");
            }
            const char32_t e = source_[at_++];
            if (raw) {
                // A raw string keeps its backslashes; one still keeps the next character from ending it.
                text += U'\\';
                text += e;
                continue;
            }
            switch (e) {
                case U'\n':
                    break;
                case U'\r':
                    if (Peek() == U'\n') {
                        ++at_;
                    }
                    break;
                case U'\\':
                case U'\'':
                case U'"':
                    text += e;
                    break;
                case U'a':
                    text += U'\a';
                    break;
                case U'b':
                    text += U'\b';
                    break;
                case U'f':
                    text += U'\f';
                    break;
                case U'n':
                    text += U'\n';
                    break;
                case U'r':
                    text += U'\r';
                    break;
                case U't':
                    text += U'\t';
                    break;
                case U'v':
                    text += U'\v';
                    break;
                case U'x':
                    text += HexDigits(2);
                    break;
                case U'u':
                    text += HexDigits(4);
                    break;
                case U'U': {
                    const char32_t value = HexDigits(8);
                    if (value > 0x10FFFF) {
                        Fail("a \\U escape beyond U+10FFFF");
                    }
                    text += value;
                    break;
                }
                default:
                    if (e >= U'0' && e <= U'7') {
                        unsigned value = e - U'0';
                        for (int more = 0; more < 2 && Peek() >= U'0' && Peek() <= U'7'; ++more) {
                            value = value * 8 + (source_[at_++] - U'0');
                        }
                        text += static_cast<char32_t>(value);
                        break;
                    }
                    // \N{name} needs Unicode's names; any other is no escape, which a strict reading refuses.
                    Fail(e == U'N' ? "\\N{...} escapes are not read here" : "an unknown escape");
            }
        }
    }

    std::u32string source_;
    std::size_t at_ = 0;
    int depth_ = 0;
};

// --- What a step matches ---------------------------------------------------------------------------------

struct Criteria {
    std::optional<std::u32string> class_name;
    std::optional<std::u32string> title;
    std::optional<std::u32string> control_type;
    std::optional<long long> control_id;
    std::optional<long long> found_index;
};

Criteria CriteriaOf(const Call& call, bool uia) {
    Criteria criteria;
    for (const auto& argument : call.arguments) {
        const std::u32string& name = argument.first;
        const Value& value = argument.second;
        if (name == U"found_index" || (name == U"control_id" && !uia)) {
            if (value.is_string) {
                throw SyntaxError{0, ToUtf8(name) + " takes an integer"};
            }
            (name == U"found_index" ? criteria.found_index : criteria.control_id) = value.number;
            continue;
        }
        if (name != U"class_name" && name != U"title" && (name != U"control_type" || !uia)) {
            throw SyntaxError{0, "the " + std::string(uia ? "uia" : "win32") + " backend takes no " + ToUtf8(name)};
        }
        if (!value.is_string) {
            throw SyntaxError{0, ToUtf8(name) + " takes a string"};
        }
        (name == U"class_name" ? criteria.class_name
         : name == U"title"    ? criteria.title
                               : criteria.control_type) = value.text;
    }
    return criteria;
}

// A window, or an element of one (an object, or a simple child of one).
struct Candidate {
    HWND window = nullptr;
    IAccessible* object = nullptr;  // held while the program runs
    LONG child = CHILDID_SELF;
    std::u32string class_name;
    std::u32string title;
    std::u32string control_type;
    long long control_id = 0;
    bool visible = false;
};

bool Matches(const Criteria& criteria, const Candidate& candidate) {
    return candidate.visible && (!criteria.class_name || *criteria.class_name == candidate.class_name) &&
           (!criteria.title || *criteria.title == candidate.title) &&
           (!criteria.control_type || *criteria.control_type == candidate.control_type) &&
           (!criteria.control_id || *criteria.control_id == candidate.control_id);
}

std::u32string ClassOf(HWND window) {
    wchar_t name[260]{};
    const int length = GetClassNameW(window, name, 260);
    return FromUtf16(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::u32string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length) == 0) {
        return {};
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                            kTextTimeoutMs, &copied) == 0) {
        return {};
    }
    return FromUtf16(text.data(), copied < length ? copied : length);
}

Candidate WindowCandidate(HWND window, bool top_level, bool uia) {
    Candidate candidate;
    candidate.window = window;
    candidate.class_name = ClassOf(window);
    candidate.title = TextOf(window);
    candidate.control_type = U"Window";
    candidate.control_id = top_level ? 0 : GetDlgCtrlID(window);
    candidate.visible = IsWindowVisible(window) != FALSE;
    static_cast<void>(uia);
    return candidate;
}

std::vector<Candidate> TopLevels(bool uia) {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    std::vector<Candidate> candidates;
    for (HWND window : windows) {
        candidates.push_back(WindowCandidate(window, true, uia));
    }
    return candidates;
}

std::vector<Candidate> DescendantWindows(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    std::vector<Candidate> candidates;
    for (HWND window : windows) {
        candidates.push_back(WindowCandidate(window, false, false));
    }
    return candidates;
}

VARIANT ChildId(LONG child) {
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    return id;
}

Candidate ElementCandidate(HWND window, IAccessible* object, LONG child) {
    Candidate candidate;
    candidate.window = window;
    candidate.object = object;
    candidate.child = child;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(ChildId(child), &name)) && name != nullptr) {
        candidate.title = FromUtf16(name, SysStringLen(name));
    }
    SysFreeString(name);
    VARIANT role;
    VariantInit(&role);
    object->get_accRole(ChildId(child), &role);
    candidate.control_type = ControlTypeOf(role);
    VariantClear(&role);
    VARIANT state;
    VariantInit(&state);
    const bool said = SUCCEEDED(object->get_accState(ChildId(child), &state)) && state.vt == VT_I4;
    candidate.visible = !said || (state.lVal & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) == 0;
    VariantClear(&state);
    return candidate;
}

// The container's descendants, depth-first and pre-order, appended to `out`.
void AddDescendants(HWND window, IAccessible* container, int depth, std::vector<Candidate>& out) {
    LONG count = 0;
    if (depth >= kMaxDepth || FAILED(container->get_accChildCount(&count)) || count <= 0) {
        return;
    }
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    LONG obtained = 0;
    if (FAILED(AccessibleChildren(container, 0, count, children.data(), &obtained))) {
        return;
    }
    for (LONG index = 0; index < obtained && out.size() < kMaxElements; ++index) {
        VARIANT& child = children[static_cast<std::size_t>(index)];
        if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
            IAccessible* object = nullptr;
            if (SUCCEEDED(child.pdispVal->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&object))) &&
                object != nullptr) {
                out.push_back(ElementCandidate(window, object, CHILDID_SELF));
                AddDescendants(window, object, depth + 1, out);
            }
        } else if (child.vt == VT_I4 && child.lVal != CHILDID_SELF) {
            container->AddRef();
            out.push_back(ElementCandidate(window, container, child.lVal));
        }
        VariantClear(&child);
    }
}

std::vector<Candidate> DescendantElements(const Candidate& of) {
    std::vector<Candidate> found;
    if (of.object == nullptr) {
        IAccessible* client = nullptr;
        if (SUCCEEDED(AccessibleObjectFromWindow(of.window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                                 reinterpret_cast<void**>(&client))) &&
            client != nullptr) {
            AddDescendants(of.window, client, 0, found);
        }
    } else if (of.child == CHILDID_SELF) {
        AddDescendants(of.window, of.object, 0, found);
    }
    return found;
}

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

int Evaluate(const Expression& expression) {
    const bool uia = expression.backend == U"uia";
    std::vector<Criteria> steps;
    for (const Call& call : expression.calls) {
        steps.push_back(CriteriaOf(call, uia));
    }
    std::string step_matches;
    Candidate found;
    for (std::size_t step = 0; step < steps.size(); ++step) {
        const std::vector<Candidate> candidates = step == 0 ? TopLevels(uia)
                                                  : uia     ? DescendantElements(found)
                                                            : DescendantWindows(found.window);
        std::vector<const Candidate*> matches;
        for (const Candidate& candidate : candidates) {
            if (Matches(steps[step], candidate)) {
                matches.push_back(&candidate);
            }
        }
        if (!step_matches.empty()) {
            step_matches += ' ';
        }
        step_matches += std::to_string(matches.size());
        const std::optional<long long>& index = steps[step].found_index;
        const char* error = nullptr;
        if (matches.empty()) {
            error = "no element matches";
        } else if (index && (*index < 0 || *index >= static_cast<long long>(matches.size()))) {
            error = "found_index is out of range";
        } else if (!index && matches.size() > 1) {
            error = "several elements match";
        }
        if (error != nullptr) {
            Print(std::string("error=") + error + " at step " + std::to_string(step + 1));
            Print("matches=" + std::to_string(matches.size()));
            Print("step_matches=" + step_matches);
            return kNotFound;
        }
        found = *matches[index ? static_cast<std::size_t>(*index) : 0];
        if (step + 1 == steps.size()) {
            if (uia && found.object != nullptr) {
                LONG left = 0;
                LONG top = 0;
                LONG width = 0;
                LONG height = 0;
                found.object->accLocation(&left, &top, &width, &height, ChildId(found.child));
                Print("rect=" + std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(left + width) +
                      " " + std::to_string(top + height));
            } else if (uia) {
                RECT rect{};
                GetWindowRect(found.window, &rect);
                Print("rect=" + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                      std::to_string(rect.right) + " " + std::to_string(rect.bottom));
            } else {
                Print("hwnd=" + std::to_string(static_cast<std::int32_t>(
                                    static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(found.window)))));
            }
            Print("matches=" + std::to_string(matches.size()));
            Print("step_matches=" + step_matches);
        }
    }
    return kFound;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    unsigned long timeout_seconds = 20;
    for (int index = 1; index < argc; ++index) {
        if (std::strncmp(argv[index], "--timeout=", 10) == 0) {
            timeout_seconds = std::strtoul(argv[index] + 10, nullptr, 10);
        } else {
            std::fputs("usage: hovermark_locator_resolver.exe [--timeout=SECONDS] < LOCATOR\n", stderr);
            return kSyntaxError;
        }
    }
    // Every call into another program may wait on it: the whole run is bounded instead.
    std::thread([timeout_seconds] {
        Sleep(static_cast<DWORD>(timeout_seconds * 1000));
        std::fputs("error=timed out\n", stdout);
        std::fflush(stdout);
        ExitProcess(kTimedOut);
    }).detach();

    std::string input;
    char chunk[4096];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) {
        input.append(chunk, read);
    }
    std::optional<std::u32string> source = FromUtf8(input);
    if (!source) {
        Print("syntax_error=the input is not UTF-8");
        return kSyntaxError;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        Print("error=no COM apartment");
        return kNotFound;
    }
    int result = kSyntaxError;
    try {
        const Expression expression = Parser(std::move(*source)).Parse();
        result = Evaluate(expression);
    } catch (const SyntaxError& error) {
        Print("syntax_error=" + error.message + " (at character " + std::to_string(error.at) + ")");
        result = kSyntaxError;
    }
    std::fflush(stdout);
    // The elements held are let go of with the process.
    ExitProcess(static_cast<UINT>(result));
}
