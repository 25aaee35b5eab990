#include "main_window/toolkit/form_toolkit.h"

namespace hovermark {

template <typename Handler>
void FormEvents::Guarded(Handler&& handler) {
    try {
        handler();
    } catch (const RuntimeError& error) {
        toolkit_.EndWithRuntimeError(error);
    }
}

void FormEvents::Load() {
    Guarded([this] { OnLoad(); });
}

void FormEvents::Resize() {
    Guarded([this] { OnResize(); });
}

void FormEvents::Paint() {
    Guarded([this] { OnPaint(); });
}

void FormEvents::KeyDown(std::int16_t key_code, std::int16_t shift) {
    Guarded([&] { OnKeyDown(key_code, shift); });
}

void FormEvents::KeyPress(std::int16_t key_ascii) {
    Guarded([&] { OnKeyPress(key_ascii); });
}

void FormEvents::CloseRequested() {
    Guarded([this] { OnCloseRequested(); });
}

void FormEvents::ControlEvent(ControlIndex control) {
    Guarded([&] { OnControlEvent(control); });
}

}  // namespace hovermark
