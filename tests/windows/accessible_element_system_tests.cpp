// The elements through IAccessible, over a tree scripted in this process: the rows and the frame of a sound
// tree, the rules at rest, what "gone" means, every kind of hostile answer, and the bounds over a slow and a
// hung application. Calls run on the element system's own worker threads, as they do in the program.
#include <windows.h>

#include <array>
#include <chrono>
#include <climits>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "platform/iaccessible/accessible_element_system.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "tests/windows/scripted_accessible.h"
#include "window_inspection/text_cleaning.h"

namespace hovermark::iaccessible {
namespace {

using testing::MakeScriptedRoot;
using testing::ScriptedAccessible;
using testing::ScriptedApplication;
using testing::ScriptedChild;
using namespace std::chrono_literals;

// Another process's window, as far as the element system can tell.
constexpr DWORD kProcess = 4242;
const HWND kWindow = reinterpret_cast<HWND>(std::uintptr_t{0x4242});

class ScriptedWindows final : public WindowAccess {
  public:
    DWORD ProcessOf(HWND) override { return exists ? kProcess : 0; }
    bool Exists(HWND) override { return exists; }
    bool IsHung(HWND) override { return hung; }
    HRESULT ClientObject(HWND, ComPtr<IAccessible>& client) override {
        if (root == nullptr) {
            return E_FAIL;
        }
        ++client_calls;
        root->AddRef();
        client.reset(root);
        return S_OK;
    }

    std::atomic<int> client_calls{0};
    std::atomic<bool> exists{true};
    std::atomic<bool> hung{false};
    ScriptedAccessible* root = nullptr;
};

// The real clock, moved on at will; asked from the workers too.
class MovableClock {
  public:
    SteadyClock Clock() {
        return [this] { return std::chrono::steady_clock::now() + std::chrono::milliseconds(offset_ms_.load()); };
    }
    void Advance(std::chrono::milliseconds by) { offset_ms_ += by.count(); }

  private:
    std::atomic<long long> offset_ms_{0};
};

std::string RoleText(LONG role) {
    wchar_t text[128]{};
    const UINT length = GetRoleTextW(static_cast<DWORD>(role), text, 128);
    return windows::WideToUtf8(std::wstring_view(text, length));
}

struct Row {
    std::string role;
    std::string name;
    friend bool operator==(const Row&, const Row&) = default;
};

std::vector<Row> RowsOf(const ElementsAnswer& answer) {
    std::vector<Row> rows;
    for (const Element& element : answer.elements) {
        rows.push_back({CleanElementText(element.role), CleanElementText(element.name)});
    }
    return rows;
}

class AccessibleElementSystemTest : public ::testing::Test {
  protected:
    AccessibleElementSystemTest() {
        root_ = MakeScriptedRoot(application_, {0, 0, 400, 300}, L"Drawn Controls");
        panel_ = &root_->AddObject({10, 10, 200, 150}, ROLE_SYSTEM_GROUPING, L"Panel");
        toolbar_ = &panel_->AddObject({20, 20, 190, 80}, ROLE_SYSTEM_TOOLBAR, L"Tools");
        button_ = &toolbar_->AddObject({30, 30, 100, 60}, ROLE_SYSTEM_PUSHBUTTON,
                                       L"  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442  ");
        list_ = &root_->AddObject({220, 10, 390, 150}, ROLE_SYSTEM_LIST, L"Fruits");
        list_->AddChild({.id = 1, .rect = {230, 20, 380, 50}, .name = L"Apple"});
        list_->AddChild({.id = 2, .rect = {230, 60, 380, 90}, .name = L"Banana"});
        windows_.root = root_.get();
    }

    ElementsAnswer At(Point point) { return system_.ElementsAt(windows::ToWindowHandle(kWindow), point); }

    ScriptedApplication application_;
    ComPtr<ScriptedAccessible> root_;
    ScriptedAccessible* panel_ = nullptr;
    ScriptedAccessible* toolbar_ = nullptr;
    ScriptedAccessible* button_ = nullptr;
    ScriptedAccessible* list_ = nullptr;
    ScriptedWindows windows_;
    MovableClock clock_;
    AccessibleElementSystem system_{windows_, clock_.Clock()};
};

TEST_F(AccessibleElementSystemTest, ListsNestedObjectsAndSimpleChildrenAndAsksOneThingAtRest) {
    const ElementsAnswer button = At({40, 40});
    ASSERT_TRUE(button.known);
    EXPECT_EQ(RowsOf(button),
              (std::vector<Row>{
                  {RoleText(ROLE_SYSTEM_PUSHBUTTON), "Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442"},
                  {RoleText(ROLE_SYSTEM_TOOLBAR), "Tools"},
                  {RoleText(ROLE_SYSTEM_GROUPING), "Panel"},
              }));
    ASSERT_EQ(button.elements.size(), 3U);
    EXPECT_EQ(button.elements[0].extents, (Rectangle{30, 30, 100, 60}));
    EXPECT_NE(button.elements[0].id, button.elements[1].id);

    // At rest: the deepest element's location, and nothing else; the same rows. Once it stands still, it is asked
    // at every third tick.
    const int before_rest = application_.calls;
    EXPECT_EQ(At({40, 40}), button);
    EXPECT_EQ(application_.calls - before_rest, 1);
    const int steady = application_.calls;
    for (int tick = 0; tick < 9; ++tick) {
        EXPECT_EQ(At({40, 40}), button);
    }
    EXPECT_EQ(application_.calls - steady, 3);

    // Once a second the walk is made again, so that what changed under the pointer shows; who is whose child is
    // not asked again of the objects still held.
    const int before_walk = application_.calls;
    clock_.Advance(1s);
    EXPECT_EQ(At({40, 40}), button);
    EXPECT_EQ(application_.calls - before_walk, before_rest - 3);
    button_->AddObject({40, 40, 60, 50}, ROLE_SYSTEM_GRAPHIC, L"Icon");
    clock_.Advance(1s);
    EXPECT_EQ(RowsOf(At({40, 40})).front(), (Row{RoleText(ROLE_SYSTEM_GRAPHIC), "Icon"}));
    EXPECT_EQ(windows_.client_calls, 1) << "walking again at rest starts from the client object held";

    // An application that answers a hit test with a deep descendant: the levels between come from accParent.
    root_->hit_test = [this](VARIANT* child) {
        button_->AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = button_;
        return S_OK;
    };
    EXPECT_EQ(RowsOf(At({35, 55})), RowsOf(button));
    root_->hit_test = nullptr;

    // Content that moves away under the resting pointer is seen within those three ticks.
    for (int tick = 0; tick < 4; ++tick) {
        At({35, 55});
    }
    toolbar_->hit_test = [](VARIANT* child) {
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    };
    button_->location = [](LONG* left, LONG* top, LONG* width, LONG* height) {
        *left = *top = 500;
        *width = *height = 10;
        return S_OK;
    };
    std::vector<Row> moved;
    for (int tick = 0; tick < kSteadyCheckEvery && moved.size() != 2; ++tick) {
        moved = RowsOf(At({35, 55}));
    }
    EXPECT_EQ(moved,
              (std::vector<Row>{{RoleText(ROLE_SYSTEM_TOOLBAR), "Tools"}, {RoleText(ROLE_SYSTEM_GROUPING), "Panel"}}));
    toolbar_->hit_test = nullptr;
    button_->location = nullptr;

    const ElementsAnswer item = At({240, 70});
    EXPECT_EQ(RowsOf(item),
              (std::vector<Row>{{RoleText(ROLE_SYSTEM_LISTITEM), "Banana"}, {RoleText(ROLE_SYSTEM_LIST), "Fruits"}}));
    ASSERT_FALSE(item.elements.empty());
    EXPECT_EQ(item.elements.front().extents, (Rectangle{230, 60, 380, 90}));

    // Over the client object itself: the window rows alone.
    const ElementsAnswer nothing = At({395, 295});
    EXPECT_TRUE(nothing.known);
    EXPECT_TRUE(nothing.elements.empty());
}

TEST_F(AccessibleElementSystemTest, GoneMeansAnInvalidChildADisconnectedObjectOrADestroyedWindow) {
    Rectangle rect{1, 2, 3, 4};
    const std::string item = At({240, 70}).elements.front().id;
    EXPECT_EQ(system_.GetElementRect(item, rect), ElementPresence::kPresent);
    EXPECT_EQ(rect, (Rectangle{230, 60, 380, 90}));
    list_->Child(2).removed = true;
    EXPECT_EQ(system_.GetElementRect(item, rect), ElementPresence::kGone);
    EXPECT_EQ(system_.GetElementRect(item, rect), ElementPresence::kGone);

    const std::string button = At({40, 40}).elements.front().id;
    // Hidden is not gone: the last extents stand.
    button_->location = [](LONG*, LONG*, LONG*, LONG*) { return S_OK; };
    rect = {30, 30, 100, 60};
    EXPECT_EQ(system_.GetElementRect(button, rect), ElementPresence::kPresent);
    EXPECT_EQ(rect, (Rectangle{30, 30, 100, 60}));
    button_->disconnected = true;
    EXPECT_EQ(system_.GetElementRect(button, rect), ElementPresence::kGone);

    button_->disconnected = false;
    button_->location = nullptr;
    const std::string again = At({41, 41}).elements.front().id;
    windows_.exists = false;
    EXPECT_EQ(system_.GetElementRect(again, rect), ElementPresence::kGone);
}

TEST_F(AccessibleElementSystemTest, HitTestsAnsweringThemselvesAndParentLoopsEndTheWalk) {
    toolbar_->hit_test = [this](VARIANT* child) {
        toolbar_->AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = toolbar_;
        return S_OK;
    };
    const int before = application_.calls;
    EXPECT_EQ(RowsOf(At({40, 40})),
              (std::vector<Row>{{RoleText(ROLE_SYSTEM_TOOLBAR), "Tools"}, {RoleText(ROLE_SYSTEM_GROUPING), "Panel"}}));
    EXPECT_LE(application_.calls - before, 16);

    // The client answers with a deep object whose parents go round in a circle and never reach it.
    ScriptedAccessible& loop_a = list_->AddObject({0, 0, 0, 0}, ROLE_SYSTEM_CELL, L"A");
    ScriptedAccessible& loop_b = loop_a.AddObject({0, 0, 0, 0}, ROLE_SYSTEM_CELL, L"B");
    loop_a.parent_object = &loop_b;
    root_->hit_test = [&loop_b](VARIANT* child) {
        loop_b.AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = &loop_b;
        return S_OK;
    };
    loop_b.hit_test = [](VARIANT* child) {
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    };
    clock_.Advance(1s);
    EXPECT_EQ(RowsOf(At({300, 200})), (std::vector<Row>{{RoleText(ROLE_SYSTEM_CELL), "B"}}));
}

TEST_F(AccessibleElementSystemTest, AnObjectOfAnotherWindowIsListedWithoutItsParents) {
    ScriptedApplication other_application;
    ComPtr<ScriptedAccessible> other_root = MakeScriptedRoot(other_application, {0, 0, 50, 50}, L"Other");
    ScriptedAccessible& stranger = other_root->AddObject({0, 0, 50, 50}, ROLE_SYSTEM_TEXT, L"Stranger");
    root_->hit_test = [&stranger](VARIANT* child) {
        stranger.AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = &stranger;
        return S_OK;
    };
    stranger.hit_test = [](VARIANT*) { return S_FALSE; };
    EXPECT_EQ(RowsOf(At({5, 5})), (std::vector<Row>{{RoleText(ROLE_SYSTEM_TEXT), "Stranger"}}));
}

TEST_F(AccessibleElementSystemTest, NullObjectsEmptyVariantsAndWrongTypesGiveSoundRows) {
    const auto answer_with = [this](VARTYPE type) {
        root_->hit_test = [type](VARIANT* child) {
            child->vt = type;
            child->pdispVal = nullptr;
            return S_OK;
        };
        clock_.Advance(1s);
        return At({40, 40});
    };
    for (const VARTYPE type : {VARTYPE{VT_DISPATCH}, VARTYPE{VT_EMPTY}, VARTYPE{VT_R8}, VARTYPE{VT_UNKNOWN}}) {
        const ElementsAnswer answer = answer_with(type);
        EXPECT_TRUE(answer.known) << type;
        EXPECT_TRUE(answer.elements.empty()) << type;
    }
    root_->hit_test = nullptr;

    button_->role_answer = [](VARIANT* role) {
        role->vt = VT_R8;
        role->dblVal = 3.5;
        return S_OK;
    };
    button_->name_answer = [](BSTR* name) {
        *name = nullptr;
        return S_OK;
    };
    clock_.Advance(1s);
    EXPECT_EQ(RowsOf(At({40, 40})).front(), (Row{"", ""}));
    button_->role_answer = [](VARIANT* role) {
        role->vt = VT_BSTR;
        role->bstrVal = SysAllocString(L" drawn knob ");
        return S_OK;
    };
    clock_.Advance(1s);
    EXPECT_EQ(RowsOf(At({40, 40})).front().role, "drawn knob");
}

TEST_F(AccessibleElementSystemTest, AMegabyteNameIsCutAndLocationsAtTheEdgesAreBounded) {
    // A megabyte of names, with a surrogate pair where the cut falls.
    std::wstring huge(std::size_t{512} * 1024, L'x');
    huge[kMaxElementTextBytes - 1] = 0xD83D;
    huge[kMaxElementTextBytes] = 0xDE00;
    button_->name_answer = [&huge](BSTR* name) {
        *name = SysAllocStringLen(huge.data(), static_cast<UINT>(huge.size()));
        return S_OK;
    };
    const ElementsAnswer named = At({40, 40});
    ASSERT_FALSE(named.elements.empty());
    EXPECT_LE(named.elements.front().name.size(), kMaxElementTextBytes + 4);
    EXPECT_EQ(CleanElementText(named.elements.front().name), std::string(kMaxElementTextBytes - 1, 'x'));

    const auto framed_at = [this](LONG left, LONG top, LONG width, LONG height) {
        button_->location = [=](LONG* l, LONG* t, LONG* w, LONG* h) {
            *l = left;
            *t = top;
            *w = width;
            *h = height;
            return S_OK;
        };
        clock_.Advance(1s);
        return At({40, 40}).elements.front().extents;
    };
    EXPECT_EQ(framed_at(-50, -60, 20, 10), (Rectangle{-50, -60, -30, -50}));
    EXPECT_EQ(framed_at(INT_MAX - 5, INT_MIN, 100, INT_MAX), (Rectangle{INT_MAX - 5, INT_MIN, INT_MAX, -1}));
    EXPECT_EQ(framed_at(10, 10, 0, 10), std::nullopt);
    EXPECT_EQ(framed_at(10, 10, -20, -20), std::nullopt);
}

TEST_F(AccessibleElementSystemTest, AnApplicationThatExitsInTheMiddleOfAWalk) {
    toolbar_->hit_test = [this](VARIANT* child) {
        application_.exited = true;
        button_->AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = button_;
        return S_OK;
    };
    const ElementsAnswer answer = At({40, 40});
    EXPECT_TRUE(answer.known);
    EXPECT_LE(answer.elements.size(), 3U);
    Rectangle rect;
    if (!answer.elements.empty()) {
        EXPECT_EQ(system_.GetElementRect(answer.elements.front().id, rect), ElementPresence::kGone);
    }
}

// Each call answers late, yet within the limit: every tick still ends in time, and the walk goes on from tick
// to tick until the rows are whole; the application is never taken for hung.
TEST_F(AccessibleElementSystemTest, ASlowApplicationCostsEachTickItsBoundAndIsStillRead) {
    application_.delay_ms = 200;
    ElementsAnswer answer;
    for (int tick = 0; tick < 40 && answer.elements.size() < 3; ++tick) {
        const auto started = std::chrono::steady_clock::now();
        answer = At({40, 40});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 400ms) << "tick " << tick;
        EXPECT_TRUE(answer.known) << "tick " << tick;
    }
    EXPECT_EQ(RowsOf(answer).size(), 3U);
    EXPECT_EQ(RowsOf(answer).back(), (Row{RoleText(ROLE_SYSTEM_GROUPING), "Panel"}));
}

// A hung application: the tick ends in time with "not known now", nothing more is sent to it while its worker
// waits, and it is read again once it answers and its pause is over. Ending the element system does not wait.
TEST_F(AccessibleElementSystemTest, AHungApplicationIsLeftAloneAndNeverHoldsUpTheEnd) {
    application_.delay_ms = 1500;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(At({40, 40}).known);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 400ms);
    const int calls = application_.calls;
    EXPECT_FALSE(At({40, 40}).known);
    EXPECT_FALSE(At({240, 70}).known);
    EXPECT_EQ(application_.calls, calls);

    application_.delay_ms = 0;
    std::this_thread::sleep_for(1600ms);
    EXPECT_FALSE(At({40, 40}).known) << "left alone for a while after it hung";
    clock_.Advance(kHungApplicationPause);
    EXPECT_EQ(At({40, 40}).elements.size(), 3U);

    // A window the system already takes for hung is not asked at all.
    windows_.hung = true;
    const int before = application_.calls;
    EXPECT_FALSE(At({240, 70}).known);
    EXPECT_EQ(application_.calls, before);
    windows_.hung = false;

    // The end while a worker waits in a hung application.
    static ScriptedApplication stuck_application;
    ComPtr<ScriptedAccessible> stuck_root = MakeScriptedRoot(stuck_application, {0, 0, 10, 10}, L"Stuck");
    ScriptedWindows stuck_windows;
    stuck_windows.root = stuck_root.get();
    auto stuck = std::make_unique<AccessibleElementSystem>(stuck_windows);
    stuck_application.delay_ms = 1000;
    EXPECT_FALSE(stuck->ElementsAt(windows::ToWindowHandle(kWindow), {1, 1}).known);
    const auto ending = std::chrono::steady_clock::now();
    stuck.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - ending, 300ms);
    // The object outlives the worker still in it.
    stuck_root.reset();
    std::this_thread::sleep_for(1200ms);
}

// Windows of several processes, one tree each.
class ManyWindows final : public WindowAccess {
  public:
    static HWND Window(DWORD process) { return reinterpret_cast<HWND>(std::uintptr_t{process}); }

    DWORD ProcessOf(HWND window) override { return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(window)); }
    bool Exists(HWND) override { return true; }
    bool IsHung(HWND) override { return false; }
    HRESULT ClientObject(HWND window, ComPtr<IAccessible>& client) override {
        ScriptedAccessible* root = roots.at(ProcessOf(window)).get();
        root->AddRef();
        client.reset(root);
        return S_OK;
    }

    std::map<DWORD, ComPtr<ScriptedAccessible>> roots;
};

// However many applications hang, a few workers wait in them, one each at most; the others' windows are listed
// as windows, and each is read again once it answers.
TEST(AccessibleElementSystemWorkersTest, HungApplicationsHoldAFewWorkersOneEach) {
    constexpr DWORD kFirstProcess = 5000;
    constexpr DWORD kProcesses = kMaxCallWorkers + 2;
    static std::array<ScriptedApplication, kProcesses> applications;
    ManyWindows windows;
    for (DWORD i = 0; i < kProcesses; ++i) {
        auto& root = windows.roots[kFirstProcess + i] =
            MakeScriptedRoot(applications[i], {0, 0, 100, 100}, L"Window " + std::to_wstring(i));
        root->AddObject({10, 10, 50, 50}, ROLE_SYSTEM_PUSHBUTTON, L"Button");
        applications[i].delay_ms = 3000;
    }
    MovableClock clock;
    AccessibleElementSystem system(windows, clock.Clock());
    const auto ask = [&](DWORD process) {
        return system.ElementsAt(windows::ToWindowHandle(ManyWindows::Window(kFirstProcess + process)), {20, 20});
    };
    for (int round = 0; round < 2; ++round) {
        for (DWORD i = 0; i < kProcesses; ++i) {
            const auto started = std::chrono::steady_clock::now();
            EXPECT_FALSE(ask(i).known) << "process " << i;
            EXPECT_LT(std::chrono::steady_clock::now() - started, 400ms) << "process " << i;
        }
    }
    for (DWORD i = 0; i < kProcesses; ++i) {
        EXPECT_EQ(applications[i].calls, i < kMaxCallWorkers ? 1 : 0) << "process " << i;
        applications[i].delay_ms = 0;
    }
    std::this_thread::sleep_for(3s);
    clock.Advance(kHungApplicationPause);
    for (DWORD i = 0; i < kProcesses; ++i) {
        EXPECT_EQ(RowsOf(ask(i)), (std::vector<Row>{{RoleText(ROLE_SYSTEM_PUSHBUTTON), "Button"}})) << "process " << i;
    }
}

}  // namespace
}  // namespace hovermark::iaccessible
