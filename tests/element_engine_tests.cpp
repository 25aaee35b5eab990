// The element engine over scripted applications that answer late but in time, hang, fail, go, or hand out
// fresh objects: what the GUI thread is shown at every tick, how long it waits, and what is asked of whom.
#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/doubles/scripted_element_adapter.h"
#include "window_inspection/element_engine.h"

namespace hovermark {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedElementAdapter;

constexpr WindowHandle kWindow = 100;
constexpr Point kOnButton{50, 30};

// window > panel > tool bar > button, and a second button beside the first.
struct DrawnWindow {
    explicit DrawnWindow(ScriptedElementAdapter& adapter,
                         WindowHandle window = kWindow,
                         const std::string& application = "app") {
        const int top = adapter.AddWindow(window, application, {0, 0, 400, 300});
        panel = adapter.Add(top, "grouping", "Panel", {0, 0, 400, 300});
        toolbar = adapter.Add(panel, "tool bar", "Tools", {10, 10, 390, 100});
        button = adapter.Add(toolbar, "push button", "OK", {20, 20, 120, 60});
        other = adapter.Add(toolbar, "push button", "Cancel", {200, 20, 300, 60});
    }
    int panel;
    int toolbar;
    int button;
    int other;
};

struct Tick {
    ElementsAnswer answer;
    std::chrono::milliseconds waited;
};

// Asks as the inspection cycle does, ten times a second.
Tick Ask(ElementEngine& engine, WindowHandle window, Point pointer) {
    const auto start = std::chrono::steady_clock::now();
    Tick tick{.answer = engine.ElementsAt(window, pointer), .waited = {}};
    tick.waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::this_thread::sleep_until(start + 100ms);
    return tick;
}

std::vector<std::string> Roles(const ElementsAnswer& answer) {
    std::vector<std::string> roles;
    for (const Element& element : answer.elements) {
        roles.push_back(element.role + "|" + element.name);
    }
    return roles;
}

const std::vector<std::string> kButtonRows{"push button|OK", "tool bar|Tools", "grouping|Panel"};

// Every delay a call can take inside its bound: the rows come whole, no application is taken for hung, the GUI
// thread never waits long, and moves inside one window never flip the list to the window rows and back.
TEST(ElementEngine, ApplicationsThatAnswerLateButInTimeAreReadWholeAndTheListNeverFlips) {
    const std::vector<int> delays{0, 50, 100, 125, 130, 140, 145, 150, 200, 240};
    std::vector<std::future<std::string>> sweeps;
    sweeps.reserve(delays.size());
    for (const int delay : delays) {
        sweeps.push_back(std::async(std::launch::async, [delay]() -> std::string {
            auto adapter = std::make_shared<ScriptedElementAdapter>();
            adapter->deep_answers = true;
            const DrawnWindow window(*adapter);
            adapter->SetDelay("app", delay);
            std::string problems;
            const auto note = [&](const std::string& what) {
                problems += std::to_string(delay) + " ms: " + what + "\n";
            };
            {
                ElementEngine engine(adapter);
                std::vector<Tick> ticks;
                for (int i = 0; i < 120 && (ticks.empty() || Roles(ticks.back().answer) != kButtonRows); ++i) {
                    ticks.push_back(Ask(engine, kWindow, kOnButton));
                }
                if (Roles(ticks.back().answer) != kButtonRows) {
                    note("the button's rows never came");
                    return problems;
                }
                const std::string deepest = ticks.back().answer.elements.front().id;
                // Moves of a pixel inside the button, then to the other button and back, and a rest.
                std::vector<Point> moves;
                moves.reserve(112);
                for (int i = 0; i < 12; ++i) {
                    moves.push_back({kOnButton.x + i % 3, kOnButton.y});
                }
                for (int i = 0; i < 100; ++i) {
                    moves.push_back(i < 50 ? Point{250, 30} : kOnButton);
                }
                bool other_seen = false;
                for (const Point pointer : moves) {
                    ticks.push_back(Ask(engine, kWindow, pointer));
                    const ElementsAnswer& answer = ticks.back().answer;
                    if (answer.elements.empty() || !answer.known) {
                        note("a tick showed the window rows alone, or nothing known, after elements had come");
                        break;
                    }
                    other_seen = other_seen || answer.elements.front().name == "Cancel";
                    if (pointer.x < 100 && !other_seen && answer.elements.front().id != deepest) {
                        note("a move inside the button gave it another id");
                    }
                }
                if (!other_seen) {
                    note("the other button's rows never came");
                }
                if (Roles(ticks.back().answer) != kButtonRows) {
                    note("back on the button, its rows did not come back");
                }
                for (const Tick& tick : ticks) {
                    if (tick.waited > 80ms) {
                        note("a tick waited " + std::to_string(tick.waited.count()) + " ms");
                        break;
                    }
                }
            }
            if (adapter->ReleasedOnCreatingThread() != 0) {
                note("an element was released on the GUI thread");
            }
            return problems;
        }));
    }
    for (auto& sweep : sweeps) {
        EXPECT_EQ(sweep.get(), "");
    }
}

// At rest, the deepest element's extents are asked at most once a tick; the walk again comes a second after
// the last one ended, however long that one took, and so does the walk over an element whose extents do not
// hold the pointer (an application that answers in coordinates of its own); a window that tells it shows
// nothing new costs nothing.
TEST(ElementEngine, AtRestAWalkAgainComesASecondAfterTheLastEndedAndAChecksAtMostOneCallATick) {
    auto adapter = std::make_shared<ScriptedElementAdapter>();
    const DrawnWindow window(*adapter);
    ElementEngine engine(adapter);
    for (int i = 0; i < 5; ++i) {
        Ask(engine, kWindow, kOnButton);
    }
    const int walks_before = adapter->ChildAtCalls(0);
    const int trips_before = adapter->Trips("app");
    for (int i = 0; i < 30; ++i) {
        Ask(engine, kWindow, kOnButton);
    }
    // Three seconds: three walks again at most, each of a dozen round trips, and the checks between.
    const int walks = adapter->ChildAtCalls(0) - walks_before;
    EXPECT_GE(walks, 2);
    EXPECT_LE(walks, 3);
    EXPECT_LE(adapter->Trips("app") - trips_before, 3 * 20 + 30);

    // A walk of over a second: the next one still waits its second after it.
    adapter->SetDelay("app", 100);
    for (int i = 0; i < 40; ++i) {
        Ask(engine, kWindow, kOnButton);
    }
    const int slow_before = adapter->ChildAtCalls(0);
    for (int i = 0; i < 80; ++i) {
        Ask(engine, kWindow, kOnButton);
    }
    // A walk takes about 1.7 s here; counted from its start, the walk again would follow at once (five in 8 s).
    EXPECT_LE(adapter->ChildAtCalls(0) - slow_before, 4);

    adapter->SetDelay("app", 0);
    adapter->MoveExtents(window.button, {1020, 1020, 1120, 1060});
    for (int i = 0; i < 10; ++i) {
        Ask(engine, kWindow, kOnButton);
    }
    const int astray_before = adapter->ChildAtCalls(0);
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(Ask(engine, kWindow, kOnButton).answer.known);
    }
    EXPECT_LE(adapter->ChildAtCalls(0) - astray_before, 4);

    // A system that tells of changes, over a window that shows nothing new: nobody is asked anything.
    adapter->tells_no_change = true;
    const int quiet_before = adapter->Trips("app");
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(Ask(engine, kWindow, kOnButton).answer.known);
    }
    EXPECT_EQ(adapter->Trips("app"), quiet_before);
}

// Four applications hang: each gets one call and no second, a fifth is read at once, an object of a hung
// application met inside another's tree books that application, and the engine ends without waiting.
TEST(ElementEngine, HungApplicationsGetOneCallAndKeepNoOtherFromBeingRead) {
    auto adapter = std::make_shared<ScriptedElementAdapter>();
    const DrawnWindow prompt(*adapter, kWindow, "prompt");
    for (int i = 1; i <= 4; ++i) {
        DrawnWindow(*adapter, kWindow + i, "hung " + std::to_string(i));
    }
    // Inside a sixth application's window, a hit test answers with the first hung one's object.
    adapter->AddWindow(kWindow + 9, "host", {0, 0, 400, 300});
    adapter->AddForeign(0 + 5 * 5, "hung 1", "client", {0, 0, 400, 300});
    {
        ElementEngine engine(adapter);
        for (int i = 1; i <= 4; ++i) {
            adapter->SetHung("hung " + std::to_string(i), true);
        }
        for (int round = 0; round < 2; ++round) {
            for (int i = 1; i <= 4; ++i) {
                for (int tick = 0; tick < 4; ++tick) {
                    Ask(engine, kWindow + i, kOnButton);
                }
            }
        }
        for (int tick = 0; tick < 4; ++tick) {
            Ask(engine, kWindow + 9, kOnButton);
        }
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(adapter->Trips("hung " + std::to_string(i)), 1) << "hung " << i;
            EXPECT_FALSE(Ask(engine, kWindow + i, kOnButton).answer.known) << "hung " << i;
        }
        std::vector<std::string> rows;
        for (int tick = 0; tick < 5 && rows != kButtonRows; ++tick) {
            rows = Roles(Ask(engine, kWindow, kOnButton).answer);
        }
        EXPECT_EQ(rows, kButtonRows);
        const auto closing = std::chrono::steady_clock::now();
        Ask(engine, kWindow + 1, kOnButton);
        engine.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - closing, 300ms);
    }
    for (int i = 1; i <= 4; ++i) {
        adapter->SetHung("hung " + std::to_string(i), false);
    }
    // The workers left waiting end once their calls do.
    std::this_thread::sleep_for(200ms);
}

// A call that fails, and an application that exits in the middle of a walk, never give rows: what was shown
// stays, or the window rows do, and the walk is whole once the application answers again.
TEST(ElementEngine, FailedAndGoneCallsAreNeverAnswers) {
    auto adapter = std::make_shared<ScriptedElementAdapter>();
    const DrawnWindow window(*adapter);
    ElementEngine engine(adapter);
    adapter->SetFailing("app", {"role"});
    // Not even "no elements here": what the refused call would have told is not known.
    for (int tick = 0; tick < 10; ++tick) {
        const ElementsAnswer answer = Ask(engine, kWindow, kOnButton).answer;
        EXPECT_FALSE(answer.known) << tick;
        EXPECT_TRUE(answer.elements.empty());
    }
    adapter->SetFailing("app", {});
    std::vector<std::string> rows;
    for (int tick = 0; tick < 20 && rows != kButtonRows; ++tick) {
        rows = Roles(Ask(engine, kWindow, kOnButton).answer);
    }
    ASSERT_EQ(rows, kButtonRows);
    const std::string held = engine.ElementsAt(kWindow, kOnButton).elements.front().id;

    // Paused on the button as its application exits: gone by an answer, and it stays gone.
    adapter->SetExited("app", true);
    Rectangle rect{};
    ElementPresence presence = ElementPresence::kPresent;
    for (int tick = 0; tick < 5 && presence != ElementPresence::kGone; ++tick) {
        presence = engine.GetElementRect(held, rect);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(presence, ElementPresence::kGone);
    adapter->SetExited("app", false);
    EXPECT_EQ(engine.GetElementRect(held, rect), ElementPresence::kGone);

    // Moved on while it exits: the button's rows or the window's, never rows of nothing.
    adapter->SetExited("app", true);
    for (int tick = 0; tick < 15; ++tick) {
        const ElementsAnswer answer = Ask(engine, kWindow, {250, 30}).answer;
        EXPECT_TRUE(answer.elements.empty() || Roles(answer) == kButtonRows) << Roles(answer).size();
    }
}

// A window that no element stands for costs nothing at rest and one listing a second on the move, with its hint
// shown, until its application comes; the program that lists the windows' elements (a registry) hangs: it alone is left
// alone, the worker in it is the only one, and once it answers again every window is read.
TEST(ElementEngine, AWindowNoElementStandsForCostsNothingAtRestAndAHungListingIsLeftAloneLikeAnyProgram) {
    auto adapter = std::make_shared<ScriptedElementAdapter>();
    const DrawnWindow drawn(*adapter);
    const DrawnWindow terminal(*adapter, kWindow + 1, "terminal");
    adapter->SetTopless(kWindow + 1, "Why nothing shows");
    adapter->SetListedBy("registry");
    ElementEngine engine(adapter);
    ElementsAnswer answer = Ask(engine, kWindow + 1, kOnButton).answer;
    EXPECT_TRUE(answer.known && answer.elements.empty());
    EXPECT_EQ(answer.hint, "Why nothing shows");
    const int listed = adapter->Trips("registry");
    for (int tick = 0; tick < 30; ++tick) {
        EXPECT_EQ(Ask(engine, kWindow + 1, kOnButton).answer.hint, "Why nothing shows");
    }
    EXPECT_EQ(adapter->Trips("registry"), listed) << "asked at rest";
    for (int tick = 0; tick < 20; ++tick) {
        Ask(engine, kWindow + 1, {kOnButton.x + tick, kOnButton.y});
    }
    EXPECT_LE(adapter->Trips("registry") - listed, 3) << "more than a listing a second on the move";
    // Its application comes while the pointer rests: its elements show, the hint goes.
    adapter->Arrive(kWindow + 1);
    for (int tick = 0; tick < 10 && answer.elements.empty(); ++tick) {
        answer = Ask(engine, kWindow + 1, kOnButton).answer;
    }
    EXPECT_EQ(Roles(answer), kButtonRows);
    EXPECT_EQ(answer.hint, "");

    const int before_hang = adapter->Trips("registry");
    adapter->SetHung("registry", true);
    std::chrono::milliseconds slowest{};
    for (int tick = 0; tick < 12; ++tick) {
        const Tick asked = Ask(engine, tick % 2 == 0 ? kWindow : kWindow + 1, {kOnButton.x + tick, kOnButton.y});
        slowest = std::max(slowest, asked.waited);
        EXPECT_TRUE(asked.answer.elements.empty());
    }
    EXPECT_LT(slowest, 80ms);
    EXPECT_EQ(adapter->Trips("registry") - before_hang, 1) << "the hung registry was asked again while it hung";
    adapter->SetHung("registry", false);
    std::vector<std::string> rows;
    for (int tick = 0; tick < 80 && rows != kButtonRows; ++tick) {
        rows = Roles(Ask(engine, kWindow, kOnButton).answer);
    }
    EXPECT_EQ(rows, kButtonRows);
}

// An application that hands out a fresh object at every answer keeps its ids at rest; another element gets an
// id never given before; a descendant answered hundreds of levels deep is listed level by level, however many
// round trips that takes.
TEST(ElementEngine, IdsHoldAcrossWalksAndAChainDeeperThanABudgetIsListedWhole) {
    auto fresh = std::make_shared<ScriptedElementAdapter>();
    fresh->fresh_objects = true;
    const DrawnWindow window(*fresh);
    std::vector<std::string> ids;
    {
        ElementEngine engine(fresh);
        for (int tick = 0; tick < 40; ++tick) {
            const ElementsAnswer answer = Ask(engine, kWindow, kOnButton).answer;
            if (!answer.elements.empty() && (ids.empty() || ids.back() != answer.elements.front().id)) {
                ids.push_back(answer.elements.front().id);
            }
        }
    }
    EXPECT_EQ(ids.size(), 1U) << "the button's id changed at rest";

    // A chain of 200 answered at once by a prompt application, then of 30 by one that takes 8 ms a call: each is
    // listed whole within a second, and five, of rest; then it stands, tick after tick.
    for (const auto& [levels, delay, rest_ticks] : {std::tuple{200, 0, 10}, std::tuple{30, 8, 50}}) {
        SCOPED_TRACE(levels);
        auto deep = std::make_shared<ScriptedElementAdapter>();
        deep->deep_answers = true;
        const DrawnWindow deep_window(*deep);
        deep->SetDelay("app", delay);
        int deepest = deep_window.other;
        for (int level = 0; level < levels; ++level) {
            deepest = deep->Add(deepest, "filler", "", {200, 20, 300, 60});
        }
        const auto whole = static_cast<std::size_t>(levels) + 3;
        ElementEngine engine(deep);
        ElementsAnswer answer;
        for (int tick = 0; tick < rest_ticks && answer.elements.size() < whole; ++tick) {
            answer = Ask(engine, kWindow, {250, 30}).answer;
        }
        ASSERT_EQ(answer.elements.size(), whole);
        EXPECT_EQ(answer.elements[whole - 3].name, "Cancel");
        EXPECT_EQ(answer.elements[whole - 1].name, "Panel");
        std::set<std::string> distinct;
        for (const Element& element : answer.elements) {
            distinct.insert(element.id);
        }
        EXPECT_EQ(distinct.size(), whole);
        for (int tick = 0; tick < 20; ++tick) {
            EXPECT_EQ(Ask(engine, kWindow, {250, 30}).answer.elements, answer.elements) << tick;
        }
    }
}

}  // namespace
}  // namespace hovermark
