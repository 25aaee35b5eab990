#include "platform/iaccessible/accessible_calls.h"

#include <algorithm>
#include <cstddef>
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
// However many children an application claims, no container shows more than this.
constexpr LONG kMaxChildren = 100000;

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

std::string WholeTextOf(BSTR text) {
    return text == nullptr ? std::string() : windows::WideToUtf8(std::wstring_view(text, SysStringLen(text)));
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

// What an enumerator handed over, each variant cleared once; an object's reference may live in its
// application, so letting go of it is a round trip.
class ListedVariants {
  public:
    explicit ListedVariants(std::size_t count) : items_(count) {
        for (VARIANT& item : items_) {
            VariantInit(&item);
        }
    }
    ListedVariants(const ListedVariants&) = delete;
    ListedVariants& operator=(const ListedVariants&) = delete;
    ~ListedVariants() {
        for (VARIANT& item : items_) {
            VariantClear(&item);
        }
    }

    VARIANT* data() { return items_.data(); }
    VARIANT& operator[](std::size_t index) { return items_[index]; }
    void Clear(std::size_t index, RoundTrips& trips) {
        if (items_[index].vt == VT_DISPATCH || items_[index].vt == VT_UNKNOWN) {
            trips.Trip();
        }
        VariantClear(&items_[index]);
    }
    void ClearAll(RoundTrips& trips) {
        for (std::size_t index = 0; index < items_.size(); ++index) {
            Clear(index, trips);
        }
    }

  private:
    std::vector<VARIANT> items_;
};

// The object a child id stands for, where the container gives one (get_accChild); none: a simple child.
Reply<ComPtr<IAccessible>> ChildObject(IAccessible& container, LONG child, RoundTrips& trips) {
    ComPtr<IDispatch> dispatch;
    trips.Trip();
    const HRESULT result = container.get_accChild(ChildVariant(child), dispatch.put());
    // S_FALSE is how a container says that a child is simple; some say it with E_INVALIDARG.
    if (result == E_INVALIDARG) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    const CallStatus status = StatusOf(result, false);
    if (status != CallStatus::kAnswer || result != S_OK || !dispatch) {
        return {.status = status, .value = {}};
    }
    Reply<ComPtr<IAccessible>> accessible = AccessibleOf(dispatch.get(), trips);
    trips.Trip();
    dispatch.reset();
    return accessible;
}

// One child of an enumerator's listing, added to `children` unless it is none.
CallStatus AddListed(IAccessible& container,
                     ListedVariants& listed,
                     std::size_t index,
                     RoundTrips& trips,
                     std::vector<AccessibleNode>& children) {
    const VARIANT& item = listed[index];
    if (item.vt == VT_DISPATCH) {
        Reply<ComPtr<IAccessible>> accessible = AccessibleOf(item.pdispVal, trips);
        listed.Clear(index, trips);
        if (accessible.status == CallStatus::kAnswer && accessible.value) {
            children.push_back({.object = std::move(accessible.value), .child = CHILDID_SELF});
        }
        return accessible.status;
    }
    if (item.vt != VT_I4 || item.lVal == CHILDID_SELF) {
        return CallStatus::kAnswer;
    }
    // An enumerator may name an object by its child id.
    const LONG child = item.lVal;
    Reply<ComPtr<IAccessible>> object = ChildObject(container, child, trips);
    if (object.status == CallStatus::kAnswer) {
        children.push_back(object.value ? AccessibleNode{.object = std::move(object.value), .child = CHILDID_SELF}
                                        : AccessibleNode{.object = {}, .child = child});
    }
    return object.status;
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

Reply<AccessibleRole> NumberedRoleOf(const AccessibleNode& node, RoundTrips& trips) {
    UniqueVariant role;
    trips.Trip();
    const CallStatus status =
        StatusOf(node.object->get_accRole(ChildVariant(node.child), role.put()), node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    if (role.get().vt == VT_BSTR) {
        return {.status = CallStatus::kAnswer, .value = {.number = std::nullopt, .text = TextOf(role.get().bstrVal)}};
    }
    if (role.get().vt != VT_I4) {
        return {.status = CallStatus::kAnswer, .value = {}};
    }
    const auto code = static_cast<DWORD>(role.get().lVal);
    const UINT length = GetRoleTextW(code, nullptr, 0);
    if (length == 0) {
        return {.status = CallStatus::kAnswer, .value = {.number = code, .text = {}}};
    }
    std::vector<wchar_t> text(length + 1, L'\0');
    const UINT copied = GetRoleTextW(code, text.data(), length + 1);
    return {.status = CallStatus::kAnswer,
            .value = {.number = code,
                      .text = windows::WideToUtf8(std::wstring_view(text.data(), std::min(copied, length)))}};
}

Reply<std::string> RoleOf(const AccessibleNode& node, RoundTrips& trips) {
    Reply<AccessibleRole> role = NumberedRoleOf(node, trips);
    return {.status = role.status, .value = std::move(role.value.text)};
}

// accName as the object gave it; `text` keeps what the caller needs of it.
template <typename Text>
Reply<std::string> NameAs(const AccessibleNode& node, RoundTrips& trips, Text text) {
    UniqueBstr name;
    trips.Trip();
    const CallStatus status =
        StatusOf(node.object->get_accName(ChildVariant(node.child), name.put()), node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer) {
        return {.status = status, .value = {}};
    }
    return {.status = CallStatus::kAnswer, .value = text(name.get())};
}

Reply<std::string> NameOf(const AccessibleNode& node, RoundTrips& trips) {
    return NameAs(node, trips, [](BSTR name) { return TextOf(name); });
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

namespace hovermark::iaccessible {

Reply<std::string> WholeNameOf(const AccessibleNode& node, RoundTrips& trips) {
    return NameAs(node, trips, [](BSTR name) { return WholeTextOf(name); });
}

Reply<std::optional<LONG>> StateOf(const AccessibleNode& node, RoundTrips& trips) {
    UniqueVariant state;
    trips.Trip();
    const CallStatus status =
        StatusOf(node.object->get_accState(ChildVariant(node.child), state.put()), node.child != CHILDID_SELF);
    if (status != CallStatus::kAnswer || state.get().vt != VT_I4) {
        return {.status = status, .value = std::nullopt};
    }
    return {.status = CallStatus::kAnswer, .value = state.get().lVal};
}

Reply<std::vector<AccessibleNode>> ChildrenOf(IAccessible& container,
                                              RoundTrips& trips,
                                              std::chrono::steady_clock::time_point give_up) {
    LONG count = 0;
    trips.Trip();
    const HRESULT counted = container.get_accChildCount(&count);
    const CallStatus count_status = StatusOf(counted, false);
    if (count_status != CallStatus::kAnswer || FAILED(counted) || count <= 0) {
        return {.status = count_status, .value = {}};
    }
    if (count > kMaxChildren) {
        return {.status = CallStatus::kFailed, .value = {}};
    }
    const auto in_time = [&] { return std::chrono::steady_clock::now() < give_up; };
    std::vector<AccessibleNode> children;
    ComPtr<IEnumVARIANT> enumerator;
    trips.Trip();
    const HRESULT queried = container.QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(enumerator.put()));
    if (queried != E_NOINTERFACE && StatusOf(queried, false) != CallStatus::kAnswer) {
        return {.status = StatusOf(queried, false), .value = {}};
    }
    if (SUCCEEDED(queried) && enumerator) {
        ListedVariants listed(static_cast<std::size_t>(count));
        ULONG fetched = 0;
        trips.Trip();
        CallStatus status = StatusOf(enumerator->Reset(), false);
        if (status == CallStatus::kAnswer) {
            trips.Trip();
            status = StatusOf(enumerator->Next(static_cast<ULONG>(count), listed.data(), &fetched), false);
        }
        trips.Trip();
        enumerator.reset();
        fetched = std::min(fetched, static_cast<ULONG>(count));
        for (ULONG index = 0; index < fetched && status == CallStatus::kAnswer; ++index) {
            status = in_time() ? AddListed(container, listed, index, trips, children) : CallStatus::kFailed;
        }
        listed.ClearAll(trips);
        if (status != CallStatus::kAnswer) {
            return {.status = status == CallStatus::kGone ? CallStatus::kFailed : status, .value = {}};
        }
        return {.status = CallStatus::kAnswer, .value = std::move(children)};
    }
    for (LONG child = 1; child <= count; ++child) {
        if (!in_time()) {
            return {.status = CallStatus::kFailed, .value = {}};
        }
        Reply<ComPtr<IAccessible>> object = ChildObject(container, child, trips);
        if (object.status != CallStatus::kAnswer) {
            return {.status = object.status, .value = {}};
        }
        children.push_back(object.value ? AccessibleNode{.object = std::move(object.value), .child = CHILDID_SELF}
                                        : AccessibleNode{.object = {}, .child = child});
    }
    return {.status = CallStatus::kAnswer, .value = std::move(children)};
}

}  // namespace hovermark::iaccessible
