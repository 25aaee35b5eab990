// The questions Hovermark asks of an element through IAccessible, each one call into the application that
// owns it, and the sound reading of whatever comes back. Other programs answer as they please: a null object
// with S_OK, a variant of a type nobody documented, a name of a megabyte, a rectangle at the edge of the
// integers, a refusal while busy. Every answer here is taken apart so that none of that reaches the rows or
// the frame, and every failure is told as one: a call that got no answer never reads as an empty one.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <oleacc.h>

#include "platform/iaccessible/com_owners.h"
#include "window_inspection/element_adapter.h"

namespace hovermark::iaccessible {

// The system's own GUID: with a static link, the one in the import library names a thunk, not the GUID.
inline constexpr GUID kIidIAccessible{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// An element as IAccessible knows it: an object, or a simple child of one, named by its child id.
struct AccessibleNode {
    ComPtr<IAccessible> object;
    LONG child = CHILDID_SELF;
};

// What a call's result says: an answer (S_OK, S_FALSE, or "this object has no such property"), the element
// or its application gone, or no answer at all (refused, cancelled, timed out, any other failure).
CallStatus StatusOf(HRESULT result, bool simple_child);

// The object's COM identity, its IUnknown as text: stable while a reference to the object is held; empty when
// the object does not say. One round trip at most.
std::string IdentityOf(IAccessible& object, RoundTrips& trips);

// What accHitTest found at a point: an object to follow, a simple child of the object asked (its `child`),
// or nothing (neither set).
Reply<AccessibleNode> HitTest(IAccessible& object, Point screen_point, RoundTrips& trips);
// accParent; nothing when the object has no parent it will give as an object.
Reply<ComPtr<IAccessible>> ParentOf(IAccessible& object, RoundTrips& trips);
// The role as the system names it (GetRoleText), or the text the application gave as its role.
Reply<std::string> RoleOf(const AccessibleNode& node, RoundTrips& trips);
// The role as the object gives it: its number (none for a role the object names by text alone), and its text,
// which RoleOf gives.
struct AccessibleRole {
    std::optional<DWORD> number;
    std::string text;
};
Reply<AccessibleRole> NumberedRoleOf(const AccessibleNode& node, RoundTrips& trips);
// accName, as UTF-8, no longer than the rows can show.
Reply<std::string> NameOf(const AccessibleNode& node, RoundTrips& trips);
// accLocation; nothing: the element exists but shows nowhere now, or will not say where.
Reply<std::optional<Rectangle>> LocationOf(const AccessibleNode& node, RoundTrips& trips);

// accName whole, however long, as UTF-8: what a test framework matches the element by.
Reply<std::string> WholeNameOf(const AccessibleNode& node, RoundTrips& trips);
// accState; nothing when the element will not say.
Reply<std::optional<LONG>> StateOf(const AccessibleNode& node, RoundTrips& trips);
// The container's children in its own order: its enumerator's where it has one, otherwise child ids 1 to its
// child count. Each is an object (no `child`), or a simple child of the container (no `object`); an object
// that is no IAccessible is left out. A listing still going on at `give_up` fails, and so does one of more
// children than any application shows.
Reply<std::vector<AccessibleNode>> ChildrenOf(IAccessible& container,
                                              RoundTrips& trips,
                                              std::chrono::steady_clock::time_point give_up);

}  // namespace hovermark::iaccessible
