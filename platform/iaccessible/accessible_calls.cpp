#include "platform/iaccessible/accessible_calls.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/windows/text_conversion.h"
#include "window_inspection/text_cleaning.h"
#include "window_inspection/utf8.h"

namespace hovermark::iaccessible {
namespace {

// Each UTF-16 unit gives at least one UTF-8 byte, so this much of a name is all the rows can ever read.
constexpr std::size_t kMaxNameUnits = kMaxElementTextBytes + kMaxUtf8SequenceBytes;

VARIANT ChildVariant(LONG child) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = child;
    return variant;
}

std::string TextOf(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    std::wstring_view wide(text, std::min<std::size_t>(SysStringLen(text), kMaxNameUnits));
    if (!wide.empty() && IS_HIGH_SURROGATE(wide.back())) {
        wide.remove_suffix(1);
    }
    return ElementTextRead(windows::WideToUtf8(wide));
}

std::int32_t ClampedToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

ComPtr<IAccessible> AccessibleOf(IDispatch* dispatch) {
    ComPtr<IAccessible> object;
    if (dispatch == nullptr ||
        FAILED(dispatch->QueryInterface(kIidIAccessible, reinterpret_cast<void**>(object.put())))) {
        return {};
    }
    return object;
}

}  // namespace

bool SaysGone(HRESULT result) {
    return result == RPC_E_DISCONNECTED || result == CO_E_OBJNOTCONNECTED || result == RPC_E_SERVER_DIED ||
           result == RPC_E_SERVER_DIED_DNE;
}

std::string IdentityOf(IAccessible* object) {
    if (object == nullptr) {
        return {};
    }
    ComPtr<IUnknown> identity;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.put()))) || !identity) {
        return {};
    }
    char text[2 + 2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(identity.get()));
    return text;
}

std::string NodeId(const AccessibleNode& node) {
    std::string id = IdentityOf(node.object.get());
    if (node.child != CHILDID_SELF) {
        id += '#';
        id += std::to_string(node.child);
    }
    return id;
}

HitAnswer HitTest(IAccessible& object, Point screen_point) {
    UniqueVariant found;
    if (FAILED(object.accHitTest(screen_point.x, screen_point.y, found.put()))) {
        return {};
    }
    const VARIANT& answer = found.get();
    if (answer.vt == VT_DISPATCH) {
        return {.object = AccessibleOf(answer.pdispVal), .child = CHILDID_SELF};
    }
    if (answer.vt == VT_I4 && answer.lVal != CHILDID_SELF) {
        return {.object = {}, .child = answer.lVal};
    }
    return {};
}

ComPtr<IAccessible> ParentOf(IAccessible& object) {
    ComPtr<IDispatch> parent;
    if (FAILED(object.get_accParent(parent.put()))) {
        return {};
    }
    return AccessibleOf(parent.get());
}

std::string RoleOf(const AccessibleNode& node) {
    UniqueVariant role;
    if (FAILED(node.object->get_accRole(ChildVariant(node.child), role.put()))) {
        return {};
    }
    if (role.get().vt == VT_BSTR) {
        return TextOf(role.get().bstrVal);
    }
    if (role.get().vt != VT_I4) {
        return {};
    }
    const auto code = static_cast<DWORD>(role.get().lVal);
    const UINT length = GetRoleTextW(code, nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::vector<wchar_t> text(length + 1, L'\0');
    const UINT copied = GetRoleTextW(code, text.data(), length + 1);
    return windows::WideToUtf8(std::wstring_view(text.data(), std::min(copied, length)));
}

std::string NameOf(const AccessibleNode& node) {
    UniqueBstr name;
    if (FAILED(node.object->get_accName(ChildVariant(node.child), name.put()))) {
        return {};
    }
    return TextOf(name.get());
}

Location LocationOf(const AccessibleNode& node) {
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
    const HRESULT result = node.object->accLocation(&left, &top, &width, &height, ChildVariant(node.child));
    // A container that no longer knows the child id speaks for a simple child that has gone.
    if (SaysGone(result) || (result == E_INVALIDARG && node.child != CHILDID_SELF)) {
        return {.presence = ElementPresence::kGone, .extents = std::nullopt};
    }
    if (result != S_OK || width <= 0 || height <= 0) {
        return {};
    }
    return {.presence = ElementPresence::kPresent,
            .extents = Rectangle{.Left = left,
                                 .Top = top,
                                 .Right = ClampedToInt32(std::int64_t{left} + width),
                                 .Bottom = ClampedToInt32(std::int64_t{top} + height)}};
}

}  // namespace hovermark::iaccessible
