// The elements through IAccessible, as the program reads them: the engine over the adapter, on an IAccessible
// tree scripted in this process, its calls made on the engine's workers in the multithreaded apartment. The
// rows of a sound tree, what "gone" is and is not, refusals that are never answers, hostile answers, and a
// slow application whose QueryInterface and Release cost a round trip each, as they do across processes.
#include <windows.h>

#include <chrono>
#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
using locator::Key;
using locator::Property;

// Another process's window, as far as the adapter can tell.
constexpr DWORD kProcess = 4242;
const HWND kWindow = reinterpret_cast<HWND>(std::uintptr_t{0x4242});

// A desktop's windows, as far as the adapter asks: each window's process, visibility, text and top-level
// window; every window's client object is the scripted tree's root.
class ScriptedWindows final : public WindowAccess {
  public:
    struct Window {
        HWND window = nullptr;
        DWORD process = kProcess;
        bool visible = true;
        std::string text;
        HWND top = nullptr;  // none: a top-level window
    };

    DWORD ProcessOf(HWND window) override { return exists ? Find(window).process : 0; }
    bool Exists(HWND) override { return exists; }
    bool IsHung(HWND) override { return false; }
    HRESULT ClientObject(HWND, ComPtr<IAccessible>& client) override {
        ++client_requests;
        root->AddRef();
        client.reset(root);
        return S_OK;
    }
    std::vector<HWND> TopLevelWindows() override {
        std::vector<HWND> windows;
        for (const Window& window : desktop) {
            if (window.top == nullptr) {
                windows.push_back(window.window);
            }
        }
        return windows;
    }
    bool IsVisible(HWND window) override { return Find(window).visible; }
    HWND TopLevelOf(HWND window) override {
        const Window found = Find(window);
        return !exists ? nullptr : found.top != nullptr ? found.top : window;
    }
    std::string HeldText(HWND window) override { return Find(window).text; }

    std::atomic<bool> exists{true};
    ScriptedAccessible* root = nullptr;
    std::vector<Window> desktop;
    std::atomic<int> client_requests{0};

  private:
    Window Find(HWND window) const {
        for (const Window& found : desktop) {
            if (found.window == window) {
                return found;
            }
        }
        return {.window = window, .process = kProcess, .visible = true, .text = {}, .top = nullptr};
    }
};

// Books every round trip, and refuses none.
class CountedTrips final : public RoundTrips {
  public:
    void Trip() override { ++trips; }
    bool TripTo(const ApplicationId& application) override {
        to.push_back(application);
        ++trips;
        return true;
    }

    int trips = 0;
    std::vector<ApplicationId> to;
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

// The calls a locator's check asks, on the adapter itself: the desktop's scopes, the scope of an element found
// under the pointer, and children with what a framework matches them by, every round trip booked.
class LocatorCallsTest : public AccessibleAdapterTest {
  protected:
    LocatorCallsTest() {
        auto windows = std::make_unique<ScriptedWindows>();
        windows->root = root_.get();
        // Window, process, visible, text, top-level window (none: itself).
        windows->desktop = {
            {kOwnWindow, GetCurrentProcessId(), true, "Hovermark 1.1", nullptr},
            {kHidden, kProcess, false, "hidden", nullptr},
            {kWindow, kProcess, true, "Drawn Controls", nullptr},
            {kUntitled, kProcess, true, "", nullptr},
            {kChildWindow, kProcess, true, "", kWindow},
        };
        scripted_ = windows.get();
        adapter_ = std::make_unique<AccessibleAdapter>(std::move(windows));
    }

    // Children of `node`, checked to be an answer.
    std::vector<FoundNode> Children(const NodePtr& node) {
        Reply<std::vector<FoundNode>> children = adapter_->ChildrenOf(node, trips_);
        EXPECT_EQ(children.status, CallStatus::kAnswer);
        return std::move(children.value);
    }

    static std::vector<std::vector<Property>> PropertiesOf(const std::vector<FoundNode>& found) {
        std::vector<std::vector<Property>> properties;
        for (const FoundNode& node : found) {
            properties.push_back(node.facts.properties);
        }
        return properties;
    }

    // The element under `point`, followed down from the window's client object by hit tests.
    NodePtr HitAt(HWND window, Point point) {
        NodePtr node = adapter_->WindowNode(windows::ToWindowHandle(window), trips_).value;
        while (node && !adapter_->IsLeaf(*node)) {
            NodePtr deeper = adapter_->ChildAt(node, point, trips_).value;
            if (!deeper) {
                break;
            }
            node = std::move(deeper);
        }
        return node;
    }

    const HWND kOwnWindow = reinterpret_cast<HWND>(std::uintptr_t{0x5001});
    const HWND kHidden = reinterpret_cast<HWND>(std::uintptr_t{0x5002});
    const HWND kUntitled = reinterpret_cast<HWND>(std::uintptr_t{0x5003});
    const HWND kChildWindow = reinterpret_cast<HWND>(std::uintptr_t{0x5004});
    ScriptedWindows* scripted_ = nullptr;
    std::unique_ptr<AccessibleAdapter> adapter_;
    CountedTrips trips_;
};

TEST_F(LocatorCallsTest, ListsScopesAndChildrenWithWhatAFrameworkMatchesBy) {
    const std::string window_role = RoleText(ROLE_SYSTEM_WINDOW);
    ASSERT_FALSE(window_role.empty());
    const auto number = [](DWORD role) { return Property{Key::kRoleNumber, std::to_string(role)}; };
    const Property kWindowNumber = number(ROLE_SYSTEM_WINDOW);
    const int calls_before = application_.calls;
    Reply<std::vector<FoundNode>> scopes = adapter_->Scopes(trips_);
    ASSERT_EQ(scopes.status, CallStatus::kAnswer);
    // The visible top-level windows in the system's order, without asking any application.
    EXPECT_EQ(PropertiesOf(scopes.value),
              (std::vector<std::vector<Property>>{
                  {{Key::kName, "Hovermark 1.1"}, {Key::kRoleName, window_role}, kWindowNumber},
                  {{Key::kName, "Drawn Controls"}, {Key::kRoleName, window_role}, kWindowNumber},
                  {{Key::kRoleName, window_role}, kWindowNumber},
              }));
    EXPECT_EQ(trips_.trips, 0);
    EXPECT_EQ(application_.calls, calls_before);
    const NodePtr drawn = scopes.value[1].node;

    // This program's own window holds no elements, and is not asked.
    EXPECT_TRUE(Children(scopes.value[0].node).empty());
    EXPECT_EQ(scripted_->client_requests, 0);

    // A window's children are its client object's; names whole, roles as the rows show them, the invisible
    // not findable. Every call into the application is booked before it is made (the client object's request
    // is one more, which the scripted tree does not count).
    root_->AddObject({0, 0, 0, 0}, ROLE_SYSTEM_STATICTEXT, std::wstring(70000, L'n'));
    ScriptedAccessible& unnamed = root_->AddObject({0, 0, 0, 0}, ROLE_SYSTEM_GRAPHIC, L"");
    unnamed.state = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_FOCUSABLE;
    unnamed.role_answer = [](VARIANT* role) {
        role->vt = VT_BSTR;
        role->bstrVal = SysAllocString(L"  drawn picture ");
        return S_OK;
    };
    application_.charge_com = true;
    int trips_before = trips_.trips;
    int calls_at = application_.calls;
    const std::vector<FoundNode> top = Children(drawn);
    EXPECT_EQ(trips_.trips - trips_before, application_.calls - calls_at + 1);
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(
        PropertiesOf({top[0], top[1]}),
        (std::vector<std::vector<Property>>{
            {{Key::kName, "Panel"}, {Key::kRoleName, RoleText(ROLE_SYSTEM_GROUPING)}, number(ROLE_SYSTEM_GROUPING)},
            {{Key::kName, "Fruits"}, {Key::kRoleName, RoleText(ROLE_SYSTEM_LIST)}, number(ROLE_SYSTEM_LIST)},
        }));
    EXPECT_EQ(top[2].facts.properties.at(0), (Property{Key::kName, std::string(70000, 'n')}));
    EXPECT_EQ(top[3].facts.properties, (std::vector<Property>{{Key::kRoleName, "drawn picture"}}));
    EXPECT_TRUE(top[0].facts.findable && top[1].facts.findable && top[2].facts.findable);
    EXPECT_FALSE(top[3].facts.findable);
    EXPECT_EQ(scripted_->client_requests, 1);

    const std::vector<FoundNode> toolbar = Children(top[0].node);
    ASSERT_EQ(toolbar.size(), 1u);
    trips_before = trips_.trips;
    calls_at = application_.calls;
    const std::vector<FoundNode> button = Children(toolbar[0].node);
    EXPECT_EQ(trips_.trips - trips_before, application_.calls - calls_at);
    ASSERT_EQ(button.size(), 1u);
    // The name as the application gave it, its spaces kept.
    EXPECT_EQ(button[0].facts.properties,
              (std::vector<Property>{{Key::kName, "  Gr\u00fc\u00dfe \u2014 \u041f\u0440\u0438\u0432\u0435\u0442  "},
                                     {Key::kRoleName, RoleText(ROLE_SYSTEM_PUSHBUTTON)},
                                     number(ROLE_SYSTEM_PUSHBUTTON)}));
    EXPECT_TRUE(Children(button[0].node).empty());

    list_->Child(2).state = STATE_SYSTEM_OFFSCREEN;  // off the screen: passed by, as an invisible one is
    trips_before = trips_.trips;
    calls_at = application_.calls;
    const std::vector<FoundNode> items = Children(top[1].node);
    EXPECT_EQ(trips_.trips - trips_before, application_.calls - calls_at);
    EXPECT_EQ(
        PropertiesOf(items),
        (std::vector<std::vector<Property>>{
            {{Key::kName, "Apple"}, {Key::kRoleName, RoleText(ROLE_SYSTEM_LISTITEM)}, number(ROLE_SYSTEM_LISTITEM)},
            {{Key::kName, "Banana"}, {Key::kRoleName, RoleText(ROLE_SYSTEM_LISTITEM)}, number(ROLE_SYSTEM_LISTITEM)},
        }));
    EXPECT_TRUE(items[0].facts.findable);
    EXPECT_FALSE(items[1].facts.findable);
    ASSERT_TRUE(adapter_->IsLeaf(*items[1].node));
    EXPECT_TRUE(Children(items[1].node).empty());
    application_.charge_com = false;

    // What the pointer finds is the same element as the one listed, and its scope is the listed window's:
    // from the window itself and from a child window inside it.
    const NodePtr hit_button = HitAt(kWindow, {40, 40});
    const NodePtr hit_item = HitAt(kWindow, {240, 70});
    ASSERT_TRUE(hit_button && hit_item);
    EXPECT_EQ(adapter_->Identity(*hit_button), adapter_->Identity(*button[0].node));
    EXPECT_EQ(adapter_->Identity(*hit_item), adapter_->Identity(*items[1].node));
    for (const NodePtr& node : {hit_button, HitAt(kChildWindow, {240, 70}), drawn}) {
        Reply<NodePtr> scope = adapter_->ScopeOf(node, trips_);
        ASSERT_EQ(scope.status, CallStatus::kAnswer);
        ASSERT_TRUE(scope.value);
        EXPECT_EQ(adapter_->Identity(*scope.value), adapter_->Identity(*drawn));
    }
    EXPECT_NE(adapter_->Identity(*drawn), adapter_->Identity(*scopes.value[2].node));
    scripted_->exists = false;
    EXPECT_EQ(adapter_->ScopeOf(hit_button, trips_).status, CallStatus::kGone);
    scripted_->exists = true;
}

// Listed by the enumerator where there is one, in its order; a refusal or a child gone while listed is no
// answer; and a container too slow to list in time is given up on.
TEST_F(LocatorCallsTest, ListsByTheEnumeratorAndNeverTakesAFailureForAnAnswer) {
    const NodePtr drawn = adapter_->Scopes(trips_).value.at(1).node;
    root_->enumerated = std::vector<LONG>{2, 1};
    list_->enumerated = std::vector<LONG>{2, 1};
    application_.charge_com = true;
    int trips_before = trips_.trips;
    int calls_at = application_.calls;
    const std::vector<FoundNode> top = Children(drawn);
    EXPECT_EQ(trips_.trips - trips_before, application_.calls - calls_at + 1);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].facts.properties.at(0), (Property{Key::kName, "Fruits"}));
    EXPECT_EQ(top[1].facts.properties.at(0), (Property{Key::kName, "Panel"}));
    trips_before = trips_.trips;
    calls_at = application_.calls;
    const std::vector<FoundNode> items = Children(top[0].node);
    EXPECT_EQ(trips_.trips - trips_before, application_.calls - calls_at);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].facts.properties.at(0), (Property{Key::kName, "Banana"}));
    EXPECT_EQ(adapter_->Identity(*items[0].node), adapter_->Identity(*HitAt(kWindow, {240, 70})));
    application_.charge_com = false;
    root_->enumerated.reset();
    list_->enumerated.reset();

    toolbar_->role_answer = [](VARIANT*) { return RPC_E_CALL_REJECTED; };
    const NodePtr panel = Children(drawn).at(0).node;
    EXPECT_EQ(adapter_->ChildrenOf(panel, trips_).status, CallStatus::kFailed);
    toolbar_->role_answer = nullptr;
    const NodePtr list = Children(drawn).at(1).node;
    list_->Child(2).removed = true;
    EXPECT_EQ(adapter_->ChildrenOf(list, trips_).status, CallStatus::kFailed) << "a child gone while listed";
    list_->Child(2).removed = false;
    panel_->disconnected = true;
    EXPECT_EQ(adapter_->ChildrenOf(panel, trips_).status, CallStatus::kGone);
    panel_->disconnected = false;

    // At 10 ms a call, 60 items are listed by child id in 0.6 s and take 1.8 s more with what each is; 150
    // take 1.5 s to list alone. Either listing gives up after one second.
    for (const LONG count : {60, 150}) {
        for (LONG id = static_cast<LONG>(list_->ChildCount()) + 1; id <= count; ++id) {
            list_->AddChild({.id = id, .rect = {0, 0, 0, 0}, .name = L"more"});
        }
        EXPECT_EQ(Children(list).size(), static_cast<std::size_t>(count));
        application_.delay_ms = 10;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(adapter_->ChildrenOf(list, trips_).status, CallStatus::kFailed) << count;
        const auto took = std::chrono::steady_clock::now() - started;
        application_.delay_ms = 0;
        EXPECT_GE(took, 900ms) << count;
        EXPECT_LT(took, 1300ms) << count;
    }
}

}  // namespace
}  // namespace hovermark::iaccessible
