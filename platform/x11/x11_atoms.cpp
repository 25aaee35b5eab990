#include "platform/x11/x11_atoms.h"

#include <array>
#include <cstring>
#include <utility>

namespace hovermark::x11 {

X11Atoms InternAtoms(XcbRequests& requests) {
    X11Atoms atoms;
    const std::array<std::pair<const char*, xcb_atom_t*>, 12> wanted{{
        {"WM_STATE", &atoms.wm_state},
        {"COMPOUND_TEXT", &atoms.compound_text},
        {"_NET_WM_NAME", &atoms.net_wm_name},
        {"_NET_WM_PID", &atoms.net_wm_pid},
        {"_GTK_FRAME_EXTENTS", &atoms.gtk_frame_extents},
        {"_NET_WM_STATE", &atoms.net_wm_state},
        {"_NET_WM_STATE_ABOVE", &atoms.net_wm_state_above},
        {"_NET_WM_USER_TIME", &atoms.net_wm_user_time},
        {"_NET_SUPPORTING_WM_CHECK", &atoms.net_supporting_wm_check},
        {"_NET_SUPPORTED", &atoms.net_supported},
        {"_NET_REQUEST_FRAME_EXTENTS", &atoms.net_request_frame_extents},
        {"_NET_FRAME_EXTENTS", &atoms.net_frame_extents},
    }};
    std::array<xcb_intern_atom_cookie_t, wanted.size()> cookies{};
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const char* name = wanted[i].first;
        cookies[i] = requests.Sent(
            xcb_intern_atom(requests.connection(), 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (const auto reply = requests.Receive(cookies[i], xcb_intern_atom_reply)) {
            *wanted[i].second = reply->atom;
        }
    }
    return atoms;
}

}  // namespace hovermark::x11
