#include "platform/x11/xcb_window_enumeration.h"

#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/x11/bounded_reply.h"
#include "platform/x11/property_text.h"
#include "platform/x11/window_ids.h"
#include "platform/x11/x_display_check.h"

namespace hovermark::x11 {
namespace {

// The whole property, however long: the server multiplies this by four, which must not overflow.
constexpr std::uint32_t kWholeProperty = std::numeric_limits<std::uint32_t>::max() / 4;

xcb_get_property_cookie_t RequestWholeProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name) {
    return xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, kWholeProperty);
}

std::string_view Bytes(const xcb_get_property_reply_t& reply) {
    return {static_cast<const char*>(xcb_get_property_value(&reply)),
            static_cast<std::size_t>(xcb_get_property_value_length(&reply))};
}

// Xlib's reading of the class hint, which the search uses: the text after the first NUL up to the next;
// a hint without a NUL inside it has no class.
std::string ClassOf(const xcb_get_property_reply_t& reply) {
    if (reply.type != XCB_ATOM_STRING || reply.format != 8) {
        return {};
    }
    const std::string_view bytes = Bytes(reply);
    const std::size_t instance_end = bytes.find('\0');
    if (instance_end == std::string_view::npos || instance_end + 1 >= bytes.size()) {
        return {};
    }
    const std::string_view rest = bytes.substr(instance_end + 1);
    return std::string(rest.substr(0, rest.find('\0')));
}

std::string TitleOf(const xcb_get_property_reply_t& reply, xcb_atom_t compound_text) {
    if (reply.type == XCB_ATOM_NONE || reply.format != 8) {
        return {};
    }
    const std::string_view bytes = Bytes(reply);
    if (reply.type == XCB_ATOM_STRING) {
        return DecodePropertyText(bytes, TextEncoding::kLatin1, false);
    }
    if (reply.type == compound_text) {
        return DecodePropertyText(bytes, TextEncoding::kCompoundText, false);
    }
    return std::string(bytes);
}

}  // namespace

XcbWindowEnumeration::XcbWindowEnumeration(const std::string& display_name, std::chrono::milliseconds reply_timeout)
    : reply_timeout_(reply_timeout) {
    int screen_number = 0;
    connection_.reset(xcb_connect(display_name.empty() ? nullptr : display_name.c_str(), &screen_number));
    if (xcb_connection_has_error(connection_.get()) != 0) {
        return;
    }
    root_ = RootWindow(connection_.get(), screen_number);
    constexpr std::string_view kCompoundText = "COMPOUND_TEXT";
    const auto cookie =
        xcb_intern_atom(connection_.get(), 0, static_cast<std::uint16_t>(kCompoundText.size()), kCompoundText.data());
    if (const auto atom = ReceiveBy<xcb_intern_atom_reply_t>(connection_.get(), cookie,
                                                             std::chrono::steady_clock::now() + reply_timeout_)) {
        compound_text_ = atom->atom;
    }
}

XcbWindowEnumeration::~XcbWindowEnumeration() = default;

bool XcbWindowEnumeration::Usable() const {
    return root_ != XCB_WINDOW_NONE && xcb_connection_has_error(connection_.get()) == 0;
}

std::optional<std::vector<WindowHandle>> XcbWindowEnumeration::ChildWindows(WindowHandle parent) {
    const xcb_window_t window = parent == 0 ? root_ : ToXcbWindow(parent);
    if (!Usable() || window == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    xcb_connection_t* connection = connection_.get();
    const auto tree = ReceiveBy<xcb_query_tree_reply_t>(connection, xcb_query_tree(connection, window),
                                                        std::chrono::steady_clock::now() + reply_timeout_);
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    std::vector<WindowHandle> handles;
    handles.reserve(static_cast<std::size_t>(xcb_query_tree_children_length(tree.get())));
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        handles.push_back(ToHandle(children[i]));
    }
    return handles;
}

std::optional<WindowFacts> XcbWindowEnumeration::FactsOf(WindowHandle window) {
    const xcb_window_t xcb_window = ToXcbWindow(window);
    if (!Usable() || xcb_window == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    xcb_connection_t* connection = connection_.get();
    const auto attributes_cookie = xcb_get_window_attributes(connection, xcb_window);
    const auto class_cookie = RequestWholeProperty(connection, xcb_window, XCB_ATOM_WM_CLASS);
    const auto name_cookie = RequestWholeProperty(connection, xcb_window, XCB_ATOM_WM_NAME);
    const ReplyDeadline deadline = std::chrono::steady_clock::now() + reply_timeout_;
    // Every reply is collected or dropped, even when an earlier one already failed.
    const auto attributes = ReceiveBy<xcb_get_window_attributes_reply_t>(connection, attributes_cookie, deadline);
    const auto wm_class = ReceiveBy<xcb_get_property_reply_t>(connection, class_cookie, deadline);
    const auto wm_name = ReceiveBy<xcb_get_property_reply_t>(connection, name_cookie, deadline);
    // The window may have gone between the requests: facts from a part of them would be wrong facts.
    if (!attributes || !wm_class || !wm_name) {
        return std::nullopt;
    }
    WindowFacts facts;
    facts.class_name = ClassOf(*wm_class);
    facts.title = TitleOf(*wm_name, compound_text_);
    facts.visible = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    return facts;
}

}  // namespace hovermark::x11
