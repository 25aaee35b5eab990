// What one timer tick costs: the steady case (same window, frame on) that runs ten times a second all day,
// and the case where the pointer has moved to another window and the list is rebuilt. Run on the scripted
// window system and the in-memory toolkit, so the numbers are the logic's own cost.
#include <memory>

#include <benchmark/benchmark.h>

#include "main_window/main_window.h"
#include "tests/doubles/event_journal.h"
#include "tests/doubles/memory_toolkit.h"
#include "tests/doubles/scripted_window_system.h"

namespace hovermark::testing {
namespace {

class RunningProgram {
  public:
    RunningProgram() {
        const WindowHandle app = windows_.AddWindow(
            {.class_name = "SampleAppWindow", .text = "Sample Editor", .rect = {100, 100, 700, 500}});
        const WindowHandle dialog = windows_.AddWindow(
            {.class_name = "#32770", .text = "Settings", .parent_or_owner = app, .rect = {200, 150, 500, 350}});
        first_ = windows_.AddWindow({.class_name = "Button",
                                     .text = "OK",
                                     .parent_or_owner = dialog,
                                     .child = true,
                                     .rect = {300, 300, 400, 330}});
        second_ = windows_.AddWindow({.class_name = "Button",
                                      .text = "Cancel",
                                      .parent_or_owner = dialog,
                                      .child = true,
                                      .rect = {410, 300, 490, 330}});
        program_ = std::make_unique<frmGlintrix>(toolkit_, windows_);
        program_->Load();
        program_->Form().SetVisible(true);
    }

    void PointAt(WindowHandle window) { windows_.MovePointerTo(window); }
    void Tick() {
        toolkit_.Tick();
        journal_.Clear();  // keep the journal from growing over millions of ticks
    }
    WindowHandle First() const { return first_; }
    WindowHandle Second() const { return second_; }
    bool Ended() const { return toolkit_.Ended(); }

  private:
    EventJournal journal_;
    ScriptedWindowSystem windows_{journal_};
    MemoryToolkit toolkit_{windows_, journal_};
    std::unique_ptr<frmGlintrix> program_;
    WindowHandle first_ = 0;
    WindowHandle second_ = 0;
};

void SteadyTickOnTheSameWindow(benchmark::State& state) {
    RunningProgram program;
    program.PointAt(program.First());
    program.Tick();
    for (auto _ : state) {
        program.Tick();
    }
    if (program.Ended()) {
        state.SkipWithError("the program ended");
    }
}
BENCHMARK(SteadyTickOnTheSameWindow);

void TickAfterThePointerMovedToAnotherWindow(benchmark::State& state) {
    RunningProgram program;
    bool on_first = false;
    for (auto _ : state) {
        on_first = !on_first;
        program.PointAt(on_first ? program.First() : program.Second());
        program.Tick();
    }
    if (program.Ended()) {
        state.SkipWithError("the program ended");
    }
}
BENCHMARK(TickAfterThePointerMovedToAnotherWindow);

}  // namespace
}  // namespace hovermark::testing

BENCHMARK_MAIN();
