// The elements through IAccessible, as the program reads them: the engine over the adapter, on an IAccessible
// tree scripted in this process, its calls made on the engine's workers in the multithreaded apartment. The
// rows of a sound tree, what "gone" is and is not, refusals that are never answers, hostile answers, and a
// slow application whose QueryInterface and Release cost a round trip each, as they do across processes.
#include <windows.h>

#include <chrono>
#include <climits>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/iaccessible/accessible_adapter.h"
#include "platform/windows/text_conversion.h"
#include "platform/windows/user32_window_system.h"
#include "tests/windows/scripted_accessible.h"
#include "window_inspection/element_engine.h"
#include "window_inspection/text_cleaning.h"

namespace hovermark::iaccessible {
namespace {

using testing::MakeScriptedRoot;
using testing::ScriptedAccessible;
using testing::ScriptedApplication;
using namespace std::chrono_literals;

// Another process's window, as far as the adapter can tell.
constexpr DWORD kProcess = 4242;
const HWND kWindow = reinterpret_cast<HWND>(std::uintptr_t{0x4242});

class ScriptedWindows final : public WindowAccess {
  public:
    DWORD ProcessOf(HWND) override { return exists ? kProcess : 0; }
    bool Exists(HWND) override { return exists; }
    bool IsHung(HWND) override { return false; }
    HRESULT ClientObject(HWND, ComPtr<IAccessible>& client) override {
        root->AddRef();
        client.reset(root);
        return S_OK;
    }

    std::atomic<bool> exists{true};
    ScriptedAccessible* root = nullptr;
};

std::string RoleText(LONG role) {
    wchar_t text[128]{};
    const UINT length = GetRoleTextW(static_cast<DWORD>(role), text, 128);
    return windows::WideToUtf8(std::wstring_view(text, length));
}

std::vector<std::string> RowsOf(const ElementsAnswer& answer) {
    std::vector<std::string> rows;
    for (const Element& element : answer.elements) {
        rows.push_back(CleanElementText(element.role) + "|" + CleanElementText(element.name));
    }
    return rows;
}

class AccessibleAdapterTest : public ::testing::Test {
  protected:
    AccessibleAdapterTest() {
        root_ = MakeScriptedRoot(application_, {0, 0, 400, 300}, L"Drawn Controls");
        panel_ = &root_->AddObject({10, 10, 200, 150}, ROLE_SYSTEM_GROUPING, L"Panel");
        toolbar_ = &panel_->AddObject({20, 20, 190, 80}, ROLE_SYSTEM_TOOLBAR, L"Tools");
        button_ = &toolbar_->AddObject({30, 30, 100, 60}, ROLE_SYSTEM_PUSHBUTTON,
                                       L"  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442  ");
        list_ = &root_->AddObject({220, 10, 390, 150}, ROLE_SYSTEM_LIST, L"Fruits");
        list_->AddChild({.id = 1, .rect = {230, 20, 380, 50}, .name = L"Apple"});
        list_->AddChild({.id = 2, .rect = {230, 60, 380, 90}, .name = L"Banana"});
        auto windows = std::make_unique<ScriptedWindows>();
        windows_ = windows.get();
        windows_->root = root_.get();
        engine_ = std::make_unique<ElementEngine>(std::make_shared<AccessibleAdapter>(std::move(windows)));
    }
    ~AccessibleAdapterTest() override {
        engine_.reset();
        // Let the workers release what they hold before the tree goes.
        std::this_thread::sleep_for(100ms);
    }

    // Ticks over the point until the rows are `wanted`, at most `ticks` times; the last answer.
    ElementsAnswer Settle(Point point, const std::vector<std::string>& wanted, int ticks = 30) {
        ElementsAnswer answer;
        for (int tick = 0; tick < ticks; ++tick) {
            const auto start = std::chrono::steady_clock::now();
            answer = engine_->ElementsAt(windows::ToWindowHandle(kWindow), point);
            if (RowsOf(answer) == wanted) {
                break;
            }
            std::this_thread::sleep_until(start + 100ms);
        }
        return answer;
    }

    const std::vector<std::string> button_rows_{
        RoleText(ROLE_SYSTEM_PUSHBUTTON) + "|Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442",
        RoleText(ROLE_SYSTEM_TOOLBAR) + "|Tools", RoleText(ROLE_SYSTEM_GROUPING) + "|Panel"};
    const std::vector<std::string> item_rows_{RoleText(ROLE_SYSTEM_LISTITEM) + "|Banana",
                                              RoleText(ROLE_SYSTEM_LIST) + "|Fruits"};

    ScriptedApplication application_;
    ComPtr<ScriptedAccessible> root_;
    ScriptedAccessible* panel_ = nullptr;
    ScriptedAccessible* toolbar_ = nullptr;
    ScriptedAccessible* button_ = nullptr;
    ScriptedAccessible* list_ = nullptr;
    ScriptedWindows* windows_ = nullptr;
    std::unique_ptr<ElementEngine> engine_;
};

TEST_F(AccessibleAdapterTest, ListsObjectsDeepAnswersAndSimpleChildrenAndTellsWhatIsGone) {
    const ElementsAnswer button = Settle({40, 40}, button_rows_);
    ASSERT_EQ(RowsOf(button), button_rows_);
    EXPECT_EQ(button.elements[0].extents, (Rectangle{30, 30, 100, 60}));

    // A hit test answered with a deep descendant: the levels between come from accParent.
    root_->hit_test = [this](VARIANT* child) {
        button_->AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = button_;
        return S_OK;
    };
    EXPECT_EQ(RowsOf(Settle({35, 55}, button_rows_)), button_rows_);
    root_->hit_test = nullptr;

    const ElementsAnswer item = Settle({240, 70}, item_rows_);
    ASSERT_EQ(RowsOf(item), item_rows_);
    EXPECT_EQ(item.elements.front().extents, (Rectangle{230, 60, 380, 90}));
    Rectangle rect{};
    EXPECT_EQ(engine_->GetElementRect(item.elements.front().id, rect), ElementPresence::kPresent);
    list_->Child(2).removed = true;
    ElementPresence presence = ElementPresence::kPresent;
    for (int tick = 0; tick < 10 && presence != ElementPresence::kGone; ++tick) {
        presence = engine_->GetElementRect(item.elements.front().id, rect);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(presence, ElementPresence::kGone) << "a child id its container no longer knows";
    list_->Child(2).removed = false;

    // Hidden is not gone; disconnected is.
    const std::string held = Settle({41, 41}, button_rows_).elements.front().id;
    button_->location = [](LONG*, LONG*, LONG*, LONG*) { return S_OK; };
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_EQ(engine_->GetElementRect(held, rect), ElementPresence::kPresent);
        std::this_thread::sleep_for(100ms);
    }
    button_->location = nullptr;
    button_->disconnected = true;
    presence = ElementPresence::kPresent;
    for (int tick = 0; tick < 10 && presence != ElementPresence::kGone; ++tick) {
        presence = engine_->GetElementRect(held, rect);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(presence, ElementPresence::kGone);
    button_->disconnected = false;

    // Over the client object itself: the window rows alone.
    EXPECT_TRUE(Settle({395, 295}, {}).elements.empty());
}

// A busy application refuses calls, and a cancelled call says so: neither is ever an empty role or name.
TEST_F(AccessibleAdapterTest, RefusedAndCancelledCallsAreNeverAnswers) {
    for (const HRESULT refusal : {RPC_E_CALL_REJECTED, RPC_E_CALL_CANCELED, E_FAIL}) {
        toolbar_->role_answer = [refusal](VARIANT*) { return refusal; };
        for (int tick = 0; tick < 8; ++tick) {
            const ElementsAnswer answer = Settle({40, 40 + tick % 2}, {"never"}, 1);
            for (const std::string& row : RowsOf(answer)) {
                EXPECT_NE(row.front(), '|') << std::hex << refusal;
            }
            EXPECT_NE(RowsOf(answer), button_rows_) << std::hex << refusal;
        }
        toolbar_->role_answer = nullptr;
        EXPECT_EQ(RowsOf(Settle({40, 40}, button_rows_)), button_rows_) << std::hex << refusal;
        EXPECT_EQ(RowsOf(Settle({240, 70}, item_rows_)), item_rows_);
    }
}

TEST_F(AccessibleAdapterTest, HostileAnswersGiveSoundRows) {
    // A hit test that answers its own object; parents that go round in a circle; S_OK with a null object, an
    // empty variant and a variant of a wrong type; a megabyte name; a location past the integers.
    toolbar_->hit_test = [this](VARIANT* child) {
        toolbar_->AddRef();
        child->vt = VT_DISPATCH;
        child->pdispVal = toolbar_;
        return S_OK;
    };
    const std::vector<std::string> toolbar_rows{RoleText(ROLE_SYSTEM_TOOLBAR) + "|Tools",
                                                RoleText(ROLE_SYSTEM_GROUPING) + "|Panel"};
    EXPECT_EQ(RowsOf(Settle({40, 40}, toolbar_rows)), toolbar_rows);
    toolbar_->hit_test = nullptr;

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
    const std::vector<std::string> cell{RoleText(ROLE_SYSTEM_CELL) + "|B"};
    EXPECT_EQ(RowsOf(Settle({300, 200}, cell)), cell);

    int answer = 0;
    root_->hit_test = [&answer](VARIANT* child) {
        switch (answer % 3) {
            case 0:
                child->vt = VT_DISPATCH;
                child->pdispVal = nullptr;
                break;
            case 1:
                child->vt = VT_EMPTY;
                break;
            default:
                child->vt = VT_R8;
                child->dblVal = 1.5;
                break;
        }
        ++answer;
        return S_OK;
    };
    for (int point = 0; point < 6; ++point) {
        EXPECT_TRUE(Settle({301 + point, 200}, {}, 3).elements.empty());
    }
    root_->hit_test = nullptr;

    button_->name_answer = [](BSTR* name) {
        *name = SysAllocStringLen(nullptr, 1 << 20);
        std::fill(*name, *name + (1 << 20), L'\u00e9');
        return S_OK;
    };
    button_->location = [](LONG* left, LONG* top, LONG* width, LONG* height) {
        *left = INT_MAX - 5;
        *top = INT_MIN;
        *width = *height = INT_MAX;
        return S_OK;
    };
    ElementsAnswer big;
    for (int tick = 0; tick < 30 && (big.elements.empty() || big.elements.front().name.size() < 1000); ++tick) {
        big = Settle({42, 42}, {}, 1);
    }
    ASSERT_FALSE(big.elements.empty());
    EXPECT_EQ(CleanElementText(big.elements.front().name).size(), kMaxElementTextBytes);
    EXPECT_EQ(big.elements.front().extents, (Rectangle{INT_MAX - 5, INT_MIN, INT_MAX, -1}));
}

// Every call, QueryInterface and Release among them, answered late but within the bound: the rows come whole
// and are never given up as hung.
TEST_F(AccessibleAdapterTest, ASlowApplicationIsReadWholeAcrossTheBand) {
    application_.charge_com = true;
    for (const int delay : {0, 130, 240}) {
        application_.delay_ms = delay;
        // Nothing held: every walk is read from the client object down.
        engine_->Stop();
        const Point point{40 + delay % 7, 40};
        ElementsAnswer answer;
        bool not_known = false;
        for (int tick = 0; tick < 120 && RowsOf(answer) != button_rows_; ++tick) {
            const auto start = std::chrono::steady_clock::now();
            answer = engine_->ElementsAt(windows::ToWindowHandle(kWindow), point);
            not_known = not_known || !answer.known;
            EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
            std::this_thread::sleep_until(start + 100ms);
        }
        ASSERT_EQ(RowsOf(answer), button_rows_) << delay << " ms";
        EXPECT_EQ(answer.elements.front().extents, (Rectangle{30, 30, 100, 60})) << delay << " ms";
        EXPECT_FALSE(not_known) << delay << " ms";
    }
    application_.delay_ms = 0;
}

}  // namespace
}  // namespace hovermark::iaccessible
