#include "locator/uia_control_types.h"

#include <algorithm>
#include <array>
#include <utility>

namespace hovermark::locator {
namespace {

// Active Accessibility's role constants (ROLE_SYSTEM_...) and the control types of the proxy's documented table
// ("Roles and Control Types"). Where the table gives a role several types, the one a plain control of that role
// gets: a list is a List, a list item a ListItem; a client area is Custom.
constexpr std::array<std::pair<long, std::string_view>, 34> kControlTypes{{
    {0x01, "TitleBar"},     // TITLEBAR
    {0x02, "MenuBar"},      // MENUBAR
    {0x03, "ScrollBar"},    // SCROLLBAR
    {0x09, "Window"},       // WINDOW
    {0x0B, "Menu"},         // MENUPOPUP
    {0x0C, "MenuItem"},     // MENUITEM
    {0x0D, "ToolTip"},      // TOOLTIP
    {0x0F, "Document"},     // DOCUMENT
    {0x10, "Pane"},         // PANE
    {0x14, "Group"},        // GROUPING
    {0x15, "Separator"},    // SEPARATOR
    {0x16, "ToolBar"},      // TOOLBAR
    {0x17, "StatusBar"},    // STATUSBAR
    {0x18, "Table"},        // TABLE
    {0x19, "HeaderItem"},   // COLUMNHEADER
    {0x1E, "Hyperlink"},    // LINK
    {0x21, "List"},         // LIST
    {0x22, "ListItem"},     // LISTITEM
    {0x23, "Tree"},         // OUTLINE
    {0x24, "TreeItem"},     // OUTLINEITEM
    {0x25, "TabItem"},      // PAGETAB
    {0x27, "Thumb"},        // INDICATOR
    {0x28, "Image"},        // GRAPHIC
    {0x29, "Text"},         // STATICTEXT
    {0x2A, "Edit"},         // TEXT (editable text)
    {0x2B, "Button"},       // PUSHBUTTON
    {0x2C, "CheckBox"},     // CHECKBUTTON
    {0x2D, "RadioButton"},  // RADIOBUTTON
    {0x2E, "ComboBox"},     // COMBOBOX
    {0x30, "ProgressBar"},  // PROGRESSBAR
    {0x33, "Slider"},       // SLIDER
    {0x34, "Spinner"},      // SPINBUTTON
    {0x3C, "Tab"},          // PAGETABLIST
    {0x3E, "SplitButton"},  // SPLITBUTTON
}};

}  // namespace

std::string_view UiaControlTypeOf(std::optional<long> role_number) {
    constexpr std::string_view kCustom = "Custom";
    if (!role_number) {
        return kCustom;
    }
    const auto found = std::find_if(kControlTypes.begin(), kControlTypes.end(),
                                    [&](const auto& entry) { return entry.first == *role_number; });
    return found != kControlTypes.end() ? found->second : kCustom;
}

}  // namespace hovermark::locator
