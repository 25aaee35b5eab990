#include "platform/x11/window_snapshot.h"

#include <cstdint>
#include <string_view>

#include "platform/x11/property_text.h"

namespace hovermark::x11 {
namespace {

// A title or class is read up to this size; a larger value is cut here, so that a program that stores
// megabytes in its title cannot make every tick slow.
constexpr std::uint32_t kPropertyLimitBytes = 64 * 1024;
constexpr std::uint32_t kPropertyLimitLongs = kPropertyLimitBytes / 4;

xcb_get_property_cookie_t RequestProperty(XcbRequests& requests,
                                          xcb_window_t window,
                                          xcb_atom_t property,
                                          std::uint32_t long_length) {
    return requests.Sent(
        xcb_get_property(requests.connection(), 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, long_length));
}

bool IsText(const xcb_get_property_reply_t* reply) {
    return reply != nullptr && reply->type != XCB_ATOM_NONE && reply->format == 8;
}

std::string DecodeText(const xcb_get_property_reply_t& reply, const X11Atoms& atoms) {
    const std::string_view bytes(static_cast<const char*>(xcb_get_property_value(&reply)),
                                 static_cast<std::size_t>(xcb_get_property_value_length(&reply)));
    TextEncoding encoding = TextEncoding::kUtf8;
    if (reply.type == XCB_ATOM_STRING) {
        encoding = TextEncoding::kLatin1;
    } else if (reply.type == atoms.compound_text) {
        encoding = TextEncoding::kCompoundText;
    }
    return DecodePropertyText(bytes, encoding, reply.bytes_after > 0);
}

}  // namespace

WindowSnapshot ReadWindowSnapshot(XcbRequests& requests, const X11Atoms& atoms, xcb_window_t window) {
    WindowSnapshot snapshot;
    snapshot.window = window;
    if (requests.Broken()) {
        return snapshot;
    }
    const auto tree = requests.Sent(xcb_query_tree(requests.connection(), window));
    const auto wm_class = RequestProperty(requests, window, XCB_ATOM_WM_CLASS, kPropertyLimitLongs);
    const auto net_wm_name = RequestProperty(requests, window, atoms.net_wm_name, kPropertyLimitLongs);
    const auto wm_name = RequestProperty(requests, window, XCB_ATOM_WM_NAME, kPropertyLimitLongs);
    const auto wm_state = RequestProperty(requests, window, atoms.wm_state, 0);
    const auto transient_for = RequestProperty(requests, window, XCB_ATOM_WM_TRANSIENT_FOR, 1);

    const auto tree_reply = requests.Receive(tree, xcb_query_tree_reply);
    const auto class_reply = requests.Receive(wm_class, xcb_get_property_reply);
    const auto net_wm_name_reply = requests.Receive(net_wm_name, xcb_get_property_reply);
    const auto wm_name_reply = requests.Receive(wm_name, xcb_get_property_reply);
    const auto wm_state_reply = requests.Receive(wm_state, xcb_get_property_reply);
    const auto transient_reply = requests.Receive(transient_for, xcb_get_property_reply);

    // The window may have gone between any two of these requests; each part stands on its own reply.
    snapshot.exists = tree_reply != nullptr;
    if (tree_reply) {
        snapshot.parent = tree_reply->parent;
    }
    if (IsText(class_reply.get())) {
        snapshot.class_name = DecodeText(*class_reply, atoms);
    }
    if (IsText(net_wm_name_reply.get())) {
        snapshot.title = DecodeText(*net_wm_name_reply, atoms);
    } else if (IsText(wm_name_reply.get())) {
        snapshot.title = DecodeText(*wm_name_reply, atoms);
    }
    snapshot.has_wm_state = wm_state_reply && wm_state_reply->type != XCB_ATOM_NONE;
    if (transient_reply && transient_reply->format == 32 && xcb_get_property_value_length(transient_reply.get()) >= 4) {
        snapshot.transient_for = *static_cast<const xcb_window_t*>(xcb_get_property_value(transient_reply.get()));
    }
    return snapshot;
}

}  // namespace hovermark::x11
