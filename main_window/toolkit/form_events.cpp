#include "main_window/toolkit/form_toolkit.h"

namespace hovermark {
namespace {

// Handlers of the program now running on the user-interface thread, counting those nested inside others
// (a resize raised by a placement inside a tick).
thread_local int handlers_running = 0;

class RunningHandler {
  public:
    RunningHandler() { ++handlers_running; }
    ~RunningHandler() { --handlers_running; }
    RunningHandler(const RunningHandler&) = delete;
    RunningHandler& operator=(const RunningHandler&) = delete;
};

}  // namespace

template <typename Handler>
void FormEvents::Guarded(Handler&& handler) {
    try {
        const RunningHandler running;
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

void FormEvents::TimerTick(ControlIndex timer) {
    if (handlers_running > 0) {
        return;
    }
    Guarded([&] { OnControlEvent(timer); });
}

}  // namespace hovermark
