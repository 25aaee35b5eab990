#include "locator/uia_control_types.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hovermark::locator {
namespace {

// Role text, as Active Accessibility's role-text call gives it in English, and the control type the proxy
// gives an element of that role.
constexpr std::array<std::pair<std::string_view, std::string_view>, 37> kControlTypes{{
    {"application", "Pane"},
    {"cell", "DataItem"},
    {"check box", "CheckBox"},
    {"client", "Pane"},
    {"column header", "HeaderItem"},
    {"combo box", "ComboBox"},
    {"dialog", "Pane"},
    {"document", "Document"},
    {"drop down button", "SplitButton"},
    {"editable text", "Edit"},
    {"graphic", "Image"},
    {"grouping", "Group"},
    {"link", "Hyperlink"},
    {"list", "List"},
    {"list item", "ListItem"},
    {"menu bar", "MenuBar"},
    {"menu item", "MenuItem"},
    {"outline", "Tree"},
    {"outline item", "TreeItem"},
    {"page tab", "TabItem"},
    {"page tab list", "Tab"},
    {"pane", "Pane"},
    {"popup menu", "Menu"},
    {"progress bar", "ProgressBar"},
    {"push button", "Button"},
    {"radio button", "RadioButton"},
    {"row header", "HeaderItem"},
    {"scroll bar", "ScrollBar"},
    {"separator", "Separator"},
    {"slider", "Slider"},
    {"spin box", "Spinner"},
    {"status bar", "StatusBar"},
    {"table", "Table"},
    {"text", "Text"},
    {"title bar", "TitleBar"},
    {"tool bar", "ToolBar"},
    {"window", "Window"},
}};

}  // namespace

std::string_view UiaControlTypeOf(std::string_view role) {
    const auto found = std::find_if(kControlTypes.begin(), kControlTypes.end(),
                                    [&](const auto& entry) { return entry.first == role; });
    return found != kControlTypes.end() ? found->second : "Custom";
}

}  // namespace hovermark::locator
