// What a locator is checked against: the items a UI test framework would search, as the check read them from
// the live application, each with the properties the framework matches on. The check reads; the dialects
// match and write; nothing here knows of a protocol.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hovermark::locator {

// A property of an item as a framework can read it, whole, as the application gave it: UTF-8 where the system
// speaks it, the very bytes a framework compares where it does not (an X window's title may hold any).
enum class Key {
    kName,          // an element's accessible name; a window's title
    kRoleName,      // an element's role as the protocol names it ("push button")
    kRoleNumber,    // an element's role as the protocol numbers it, in decimal, where it numbers its roles
    kAccessibleId,  // an element's accessible id, where the toolkit gives one
    kIdAttribute,   // an element's "id" object attribute (a web page's element id)
    kClassName,     // a window's class
    kControlId,     // a child window's control id, in decimal; absent when zero
};

struct Property {
    Key key;
    std::string value;
    friend bool operator==(const Property&, const Property&) = default;
};

// What a framework would match one item by, as a system read it.
struct ItemFacts {
    std::vector<Property> properties;
    bool findable = true;
};

inline constexpr std::size_t kNoItem = std::numeric_limits<std::size_t>::max();

struct LiveItem {
    // The index of the parent in the tree; kNoItem for the root (the desktop: every application or top-level
    // window is a child of it).
    std::size_t parent = kNoItem;
    std::vector<Property> properties;
    // Whether the framework's own filter lets it be found at all (a visible window); searches skip the others.
    bool findable = true;

    // The value of `key`; none when the item does not have it.
    std::optional<std::string_view> Value(Key key) const {
        for (const Property& property : properties) {
            if (property.key == key) {
                return property.value;
            }
        }
        return std::nullopt;
    }
};

// Item 0 is the root. A parent comes before its children, the children of each item in the system's own order;
// the items below each scope (each child of the root) in pre-order.
struct LiveTree {
    std::vector<LiveItem> items;
    // Whether every item the framework would search was read. A tree that is not complete holds at least the
    // path from the root to the item; it is enough to write a locator, never to count its matches.
    bool complete = false;
    // Whether everything below the item's own scope was read, though not every scope was: a locator can then be
    // built within the scope, and still nothing is counted.
    bool scope_complete = false;

    std::size_t Add(std::size_t parent, std::vector<Property> properties, bool findable = true) {
        items.push_back({parent, std::move(properties), findable});
        return items.size() - 1;
    }
    // The indexes from the root down to `item`, both included.
    std::vector<std::size_t> PathTo(std::size_t item) const;
    // Whether `item` lies below `ancestor`.
    bool IsBelow(std::size_t item, std::size_t ancestor) const;
};

}  // namespace hovermark::locator
