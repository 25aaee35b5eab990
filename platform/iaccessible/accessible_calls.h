// The questions Hovermark asks of an element through IAccessible, each one call into the application that
// owns it, and the sound reading of whatever comes back. Other programs answer as they please: a null object
// with S_OK, a variant of a type nobody documented, a name of a megabyte, a rectangle at the edge of the
// integers. Every answer here is taken apart so that none of that reaches the rows or the frame.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include <oleacc.h>

#include "platform/iaccessible/com_owners.h"
#include "window_inspection/element_system.h"

namespace hovermark::iaccessible {

// The system's own GUID: with a static link, the one in the import library names a thunk, not the GUID.
inline constexpr GUID kIidIAccessible{0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// An element as IAccessible knows it: an object, or a simple child of one, named by its child id.
struct AccessibleNode {
    ComPtr<IAccessible> object;
    LONG child = CHILDID_SELF;
};

// The failures that say the element's object, or its whole application, has gone.
bool SaysGone(HRESULT result);

// The object's COM identity: its IUnknown, as text. Stable while a reference to the object is held; empty
// when the object does not say.
std::string IdentityOf(IAccessible* object);
// The element's id for the rows: its object's identity, and its child id when it is a simple child.
std::string NodeId(const AccessibleNode& node);

// What accHitTest found at a point: an object to follow, a simple child of the object asked (ends the
// descent), or nothing (neither set).
struct HitAnswer {
    ComPtr<IAccessible> object;
    LONG child = CHILDID_SELF;
};
HitAnswer HitTest(IAccessible& object, Point screen_point);

// accParent; none when the object has no parent it will give as an object.
ComPtr<IAccessible> ParentOf(IAccessible& object);

// The role as the system names it (GetRoleText), or the text the application gave as its role.
std::string RoleOf(const AccessibleNode& node);
// accName, as UTF-8, no longer than the rows can show.
std::string NameOf(const AccessibleNode& node);

// accLocation. Present without extents: the element exists but shows nowhere now, or will not say where.
struct Location {
    ElementPresence presence = ElementPresence::kPresent;
    std::optional<Rectangle> extents;
};
Location LocationOf(const AccessibleNode& node);

}  // namespace hovermark::iaccessible
