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

// An object answer comes as IDispatch; asking it for IAccessible crosses to its application.
Reply<ComPtr<IAccessible>> AccessibleOf(IDispatch* dispatch, RoundTrips& trips) {
    if (dispatch == nullptr) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    ComPtr<IAccessible> object;
    trips.Trip();
    const HRESULT result = dispatch->QueryInterface(kIidIAccessible, reinterpret_cast<void**>(object.put()));
    if (result == E_NOINTERFACE) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    const CallStatus status = StatusOf(result, false);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = std::move(object)};
}

}  // namespace

CallStatus StatusOf(HRESULT result, bool simple_child) {
    if (SUCCEEDED(result) || result == E_NOTIMPL || result == DISP_E_MEMBERNOTFOUND) {
        return CallStatus::kAnswer;
    }
    // A container that no longer knows the child id speaks for a simple child that has gone.
    if (result == RPC_E_DISCONNECTED || result == CO_E_OBJNOTCONNECTED || result == RPC_E_SERVER_DIED ||
        result == RPC_E_SERVER_DIED_DNE || (simple_child && result == E_INVALIDARG)) {
        return CallStatus::kGone;
    }
    return CallStatus::kFailed;
}

std::string IdentityOf(IAccessible& object, RoundTrips& trips) {
    ComPtr<IUnknown> identity;
    trips.Trip();
    if (FAILED(object.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.put()))) || !identity) {
        return {};
    }
    char text[2 + 2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(identity.get()));
    // Letting go of the reference asked for may cross over too.
    trips.Trip();
    identity.reset();
    return text;
}

Reply<AccessibleNode> HitTest(IAccessible& object, Point screen_point, RoundTrips& trips) {
    UniqueVariant found;
    trips.Trip();
    const CallStatus status = StatusOf(object.accHitTest(screen_point.x, screen_point.y, found.put()), false);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    const VARIANT& answer = found.get();
    if (answer.vt == VT_DISPATCH) {
        Reply<ComPtr<IAccessible>> accessible = AccessibleOf(answer.pdispVal, trips);
        // Letting go of the IDispatch handed over may cross over too.
        trips.Trip();
        found.put();  // clears the variant
        return {.status = accessible.status, .value = {.object = std::move(accessible.value), .child = CHILDID_SELF}};
    }
    if (answer.vt == VT_I4 && answer.lVal != CHILDID_SELF) {
        return {.status = CallStatus::kAnswer, .value = {.object = {}, .child = answer.lVal}};
    }
    return {.status = CallStatus::kAnswer, .value = {}};
}

Reply<ComPtr<IAccessible>> ParentOf(IAccessible& object, RoundTrips& trips) {
    ComPtr<IDispatch> parent;
    trips.Trip();
    const CallStatus status = StatusOf(object.get_accParent(parent.put()), false);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    Reply<ComPtr<IAccessible>> accessible = AccessibleOf(parent.get(), trips);
    if (parent) {
        trips.Trip();
        parent.reset();
    }
    return accessible;
}

Reply<std::string> RoleOf(const AccessibleNode& node, RoundTrips& trips) {
    UniqueVariant role;
    trips.Trip();
    const CallStatus status =
        StatusOf(node.object->get_accRole(ChildVariant(node.child), role.put()), node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    if (role.get().vt == VT_BSTR) {
        return {.status = CallStatus::kAnswer, .value = TextOf(role.get().bstrVal)};
    }
    if (role.get().vt != VT_I4) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    const auto code = static_cast<DWORD>(role.get().lVal);
    const UINT length = GetRoleTextW(code, nullptr, 0);
    if (length == 0) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    std::vector<wchar_t> text(length + 1, L'\0');
    const UINT copied = GetRoleTextW(code, text.data(), length + 1);
    return {.status = CallStatus::kAnswer,
            .value = windows::WideToUtf8(std::wstring_view(text.data(), std::min(copied, length)))};
}

Reply<std::string> NameOf(const AccessibleNode& node, RoundTrips& trips) {
    UniqueBstr name;
    trips.Trip();
    const CallStatus status =
        StatusOf(node.object->get_accName(ChildVariant(node.child), name.put()), node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = TextOf(name.get())};
}

Reply<std::optional<Rectangle>> LocationOf(const AccessibleNode& node, RoundTrips& trips) {
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
    trips.Trip();
    const HRESULT result = node.object->accLocation(&left, &top, &width, &height, ChildVariant(node.child));
    const CallStatus status = StatusOf(result, node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer || result != S_OK || width <= 0 || height <= 0) {
        return {.status = status, .value = std::nullopt};
    }
    return {.status = CallStatus::kAnswer,
            .value = Rectangle{.Left = left,
                               .Top = top,
                               .Right = ClampedToInt32(std::int64_t{left} + width),
                               .Bottom = ClampedToInt32(std::int64_t{top} + height)}};
}

}  // namespace hovermark::iaccessible
