// Qt's keys as the logic's keyboard handlers receive them: the virtual-key codes and the 1/2/4 modifier mask
// of the other front end, and the character a key types, with Ctrl and a letter typing a control character.
#pragma once

#include <QKeyEvent>
#include <cstdint>
#include <optional>

namespace hovermark::qt {

// The virtual-key code of the key that went down; nothing for a key that has none.
std::optional<std::int16_t> VirtualKeyCode(const QKeyEvent& event);

// The modifier keys held as the key goes down, the key itself among them: Shift 1, Ctrl 2, Alt 4.
std::int16_t ModifierMask(const QKeyEvent& event);

// The character the key types, as one 16-bit code; nothing when it types none (with Alt held, keys type no
// character: they are menu keys).
std::optional<std::int16_t> CharacterCode(const QKeyEvent& event);

}  // namespace hovermark::qt
