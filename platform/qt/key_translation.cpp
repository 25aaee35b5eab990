// Qt key codes to virtual-key codes, the modifier mask and character codes.
#include "platform/qt/key_translation.h"

#include <array>
#include <utility>

#include "main_window/toolkit/control_values.h"

namespace hovermark::qt {
namespace {

constexpr int kFunctionKeyCount = 24;
constexpr std::int16_t kFirstControlCharacter = 1;  // Ctrl+A

using KeyCode = std::pair<int, std::int16_t>;

constexpr std::array kNamedKeys{
    KeyCode{Qt::Key_Backspace, kVkBack},
    KeyCode{Qt::Key_Tab, kVkTab},
    KeyCode{Qt::Key_Backtab, kVkTab},
    KeyCode{Qt::Key_Return, kVkReturn},
    KeyCode{Qt::Key_Enter, kVkReturn},
    KeyCode{Qt::Key_Shift, kVkShift},
    KeyCode{Qt::Key_Control, kVkControl},
    KeyCode{Qt::Key_Alt, kVkMenu},
    KeyCode{Qt::Key_AltGr, kVkMenu},
    KeyCode{Qt::Key_Pause, kVkPause},
    KeyCode{Qt::Key_CapsLock, kVkCapital},
    KeyCode{Qt::Key_Escape, kVkEscape},
    KeyCode{Qt::Key_Space, kVkSpace},
    KeyCode{Qt::Key_PageUp, kVkPrior},
    KeyCode{Qt::Key_PageDown, kVkNext},
    KeyCode{Qt::Key_End, kVkEnd},
    KeyCode{Qt::Key_Home, kVkHome},
    KeyCode{Qt::Key_Left, kVkLeft},
    KeyCode{Qt::Key_Up, kVkUp},
    KeyCode{Qt::Key_Right, kVkRight},
    KeyCode{Qt::Key_Down, kVkDown},
    KeyCode{Qt::Key_Print, kVkSnapshot},
    KeyCode{Qt::Key_Insert, kVkInsert},
    KeyCode{Qt::Key_Delete, kVkDelete},
    KeyCode{Qt::Key_Meta, kVkLeftWindows},
    KeyCode{Qt::Key_Super_L, kVkLeftWindows},
    KeyCode{Qt::Key_Menu, kVkApps},
    KeyCode{Qt::Key_NumLock, kVkNumLock},
    KeyCode{Qt::Key_ScrollLock, kVkScroll},
};

// The punctuation keys of a US keyboard, shifted or not, as the key's one virtual-key code.
constexpr std::array kPunctuationKeys{
    KeyCode{Qt::Key_Semicolon, kVkOemSemicolon},
    KeyCode{Qt::Key_Colon, kVkOemSemicolon},
    KeyCode{Qt::Key_Equal, kVkOemPlus},
    KeyCode{Qt::Key_Plus, kVkOemPlus},
    KeyCode{Qt::Key_Comma, kVkOemComma},
    KeyCode{Qt::Key_Less, kVkOemComma},
    KeyCode{Qt::Key_Minus, kVkOemMinus},
    KeyCode{Qt::Key_Underscore, kVkOemMinus},
    KeyCode{Qt::Key_Period, kVkOemPeriod},
    KeyCode{Qt::Key_Greater, kVkOemPeriod},
    KeyCode{Qt::Key_Slash, kVkOemSlash},
    KeyCode{Qt::Key_Question, kVkOemSlash},
    KeyCode{Qt::Key_QuoteLeft, kVkOemTilde},
    KeyCode{Qt::Key_AsciiTilde, kVkOemTilde},
    KeyCode{Qt::Key_BracketLeft, kVkOemOpenBracket},
    KeyCode{Qt::Key_BraceLeft, kVkOemOpenBracket},
    KeyCode{Qt::Key_Backslash, kVkOemBackslash},
    KeyCode{Qt::Key_Bar, kVkOemBackslash},
    KeyCode{Qt::Key_BracketRight, kVkOemCloseBracket},
    KeyCode{Qt::Key_BraceRight, kVkOemCloseBracket},
    KeyCode{Qt::Key_Apostrophe, kVkOemQuote},
    KeyCode{Qt::Key_QuoteDbl, kVkOemQuote},
    // Shifted digits: the digit's key.
    KeyCode{Qt::Key_Exclam, '1'},
    KeyCode{Qt::Key_At, '2'},
    KeyCode{Qt::Key_NumberSign, '3'},
    KeyCode{Qt::Key_Dollar, '4'},
    KeyCode{Qt::Key_Percent, '5'},
    KeyCode{Qt::Key_AsciiCircum, '6'},
    KeyCode{Qt::Key_Ampersand, '7'},
    KeyCode{Qt::Key_Asterisk, '8'},
    KeyCode{Qt::Key_ParenLeft, '9'},
    KeyCode{Qt::Key_ParenRight, '0'},
};

// The keypad's keys have codes of their own, whatever they type.
std::optional<std::int16_t> KeypadKeyCode(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<std::int16_t>(kVkNumpad0 + (key - Qt::Key_0));
    }
    switch (key) {
        case Qt::Key_Asterisk:
            return kVkMultiply;
        case Qt::Key_Plus:
            return kVkAdd;
        case Qt::Key_Minus:
            return kVkSubtract;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return kVkDecimal;
        case Qt::Key_Slash:
            return kVkDivide;
        default:
            return std::nullopt;
    }
}

std::optional<std::int16_t> Find(const auto& table, int key) {
    for (const auto& [qt_key, code] : table) {
        if (qt_key == key) {
            return code;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int16_t> VirtualKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    if (event.modifiers().testFlag(Qt::KeypadModifier)) {
        if (const std::optional<std::int16_t> code = KeypadKeyCode(key)) {
            return code;
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<std::int16_t>(key);  // Qt's letters and digits are their ASCII codes, as the keys'
    }
    if (key >= Qt::Key_F1 && key < Qt::Key_F1 + kFunctionKeyCount) {
        return static_cast<std::int16_t>(kVkF1 + (key - Qt::Key_F1));
    }
    if (const std::optional<std::int16_t> code = Find(kNamedKeys, key)) {
        return code;
    }
    return Find(kPunctuationKeys, key);
}

std::int16_t ModifierMask(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    // A modifier key counts as held from the moment it goes down, whatever state X reports with it.
    int mask = 0;
    switch (event.key()) {
        case Qt::Key_Shift:
            mask |= kShiftMask;
            break;
        case Qt::Key_Control:
            mask |= kCtrlMask;
            break;
        case Qt::Key_Alt:
            mask |= kAltMask;
            break;
        default:
            break;
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        mask |= kShiftMask;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        mask |= kCtrlMask;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        mask |= kAltMask;
    }
    return static_cast<std::int16_t>(mask);
}

std::optional<std::int16_t> CharacterCode(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers.testFlag(Qt::AltModifier)) {
        return std::nullopt;
    }
    const int key = event.key();
    if (modifiers.testFlag(Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<std::int16_t>(kFirstControlCharacter + (key - Qt::Key_A));
    }
    const QString text = event.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(text.front().unicode());
}

}  // namespace hovermark::qt
