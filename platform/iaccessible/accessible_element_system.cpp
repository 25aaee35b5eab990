#include "platform/iaccessible/accessible_element_system.h"

#include <string>
#include <utility>

#include "platform/iaccessible/accessible_walk.h"
#include "platform/windows/user32_window_system.h"

namespace hovermark::iaccessible {
namespace {

std::string ApplicationKey(DWORD process) {
    return std::to_string(process);
}

ElementsAnswer Known(std::vector<Element> elements) {
    return {.elements = std::move(elements), .known = true, .hint = {}};
}

ElementsAnswer NotKnownNow() {
    return {.elements = {}, .known = false, .hint = {}};
}

bool Holds(const Rectangle& rect, Point point) {
    return rect.Left <= point.x && point.x < rect.Right && rect.Top <= point.y && point.y < rect.Bottom;
}

std::chrono::steady_clock::time_point AnswerDeadline() {
    return std::chrono::steady_clock::now() + kAnswerWait;
}

}  // namespace

// One look at one window from one point: the walk and what it last found. A job fills it in on a worker.
struct AccessibleElementSystem::Look {
    Look(HWND window_, DWORD process_, Point pointer_) : window(window_), process(process_), pointer(pointer_) {}

    const HWND window;
    const DWORD process;
    const Point pointer;
    // None before the client object has been read, and for a window that gives none.
    std::optional<TreeWalk> walk;
    // The whole walk made before `walk` at this point, shown until `walk` is whole.
    std::optional<TreeWalk> replaced;
    // The last look in the same program, kept until this one's walk is whole: while its objects are held, the
    // same elements are met again as the same objects, and keep their ids.
    std::shared_ptr<Look> retained;
    bool location_stood = false;  // the deepest element's location was the same at its last check
    int ticks_unchecked = 0;
    bool client_reused = false;  // the walk started from the client object of the walk it replaces
    bool reuse_client = true;
    bool looked = false;  // the client object has been asked for
    std::chrono::steady_clock::time_point started;
    bool hung = false;  // the system took the window's thread for hung, and it was not asked
    // The element found gone: it stays gone for as long as it is held.
    std::string gone;
    ElementsAnswer answer;
    ElementPresence presence = ElementPresence::kPresent;

    // The walk held, complete, still stands at the pointer: at most one call, the deepest element's location.
    // Once that has stood still it is asked at every kSteadyCheckEvery-th tick only: the walk again each second
    // sees any change too, and every call across processes costs both programs.
    bool Steady(WalkBudget& budget) {
        AccessibleWalk::Step* deepest = walk->Deepest();
        if (deepest == nullptr || (location_stood && ++ticks_unchecked < kSteadyCheckEvery)) {
            return true;
        }
        ticks_unchecked = 0;
        if (!budget.Spend()) {
            return false;
        }
        const Location location = LocationOf(deepest->node);
        if (location.presence == ElementPresence::kGone || (location.extents && !Holds(*location.extents, pointer))) {
            return false;
        }
        location_stood = location.extents == deepest->element.extents;
        if (location.extents) {
            deepest->element.extents = location.extents;
        }
        return true;
    }

    // One tick's look: the walk held kept while it stands, or begun again, then taken on within the budget.
    void Read(WindowAccess& windows, const SteadyClock& clock, bool walk_again) {
        WalkBudget budget(clock, kMaxCallsPerWalk, kWalkTime);
        hung = false;
        if (retained) {
            retained->retained.reset();
        }
        if (looked && (!walk || walk->Complete())) {
            if (!walk_again && (!walk || Steady(budget))) {
                answer = Known(walk ? walk->Elements() : std::vector<Element>{});
                return;
            }
            // The walk held answers until the new one is whole, and keeps its objects alive meanwhile, so that
            // the same elements come back with the same ids.
            replaced = std::move(walk);
            walk.reset();
            looked = false;
            location_stood = false;
        }
        if (!looked) {
            if (windows.IsHung(window)) {
                hung = true;
                return;
            }
            ComPtr<IAccessible> client;
            // Walking again at rest starts from the client object already held: asking the window for it again
            // is a message and a marshalled object each time. Should that object have been replaced and find
            // nothing, the next walk asks the window.
            client_reused = replaced && reuse_client;
            if (client_reused) {
                client = replaced->Client().object.Share();
            } else if (!budget.Spend() || FAILED(windows.ClientObject(window, client))) {
                client.reset();
            }
            started = clock();
            looked = true;
            std::string id = IdentityOf(client.get());
            if (!id.empty()) {
                walk.emplace(windows::ToWindowHandle(window), pointer,
                             AccessibleNode{.object = std::move(client), .child = CHILDID_SELF}, std::move(id),
                             HeldChildren());
            }
        }
        if (walk) {
            walk->GoOn(budget);
        }
        if (!walk || walk->Complete()) {
            reuse_client = !client_reused || (walk && !walk->Elements().empty());
            replaced.reset();
            retained.reset();
        }
        const std::optional<TreeWalk>& shown = replaced ? replaced : walk;
        answer = Known(shown ? shown->Elements() : std::vector<Element>{});
    }

    // Who is whose child, as the walks whose objects this look holds found it.
    KnownChildren HeldChildren() const {
        if (replaced) {
            return replaced->Children();
        }
        return retained && retained->walk ? retained->walk->Children() : KnownChildren();
    }

    // The deepest element of the walk shown, if it is the one named.
    AccessibleWalk::Step* Held(const std::string& id) {
        std::optional<TreeWalk>& shown = replaced ? replaced : walk;
        AccessibleWalk::Step* deepest = shown ? shown->Deepest() : nullptr;
        return deepest != nullptr && deepest->element.id == id ? deepest : nullptr;
    }

    void Recheck(AccessibleWalk::Step& held) {
        const Location location = LocationOf(held.node);
        presence = location.presence;
        if (presence == ElementPresence::kGone) {
            gone = held.element.id;
        } else if (location.extents) {
            held.element.extents = location.extents;
        }
    }
};

AccessibleElementSystem::AccessibleElementSystem(WindowAccess& windows, SteadyClock clock)
    : windows_(windows), clock_(std::move(clock)), left_alone_(clock_) {}

AccessibleElementSystem::~AccessibleElementSystem() {
    Stop();
    // Looks of programs that every worker is stuck in stay unreleased: releasing them here could wait on a hung
    // program, and the process is ending.
    for (std::shared_ptr<Look>& look : leftovers_) {
        new std::shared_ptr<Look>(std::move(look));  // NOLINT(cppcoreguidelines-owning-memory): left on purpose
    }
}

std::optional<std::string> AccessibleElementSystem::Start() {
    return std::nullopt;
}

void AccessibleElementSystem::Stop() noexcept {
    Discard(std::move(look_));
    DiscardLeftovers();
}

void AccessibleElementSystem::Discard(std::shared_ptr<Look> look) {
    if (!look) {
        return;
    }
    if (workers_.BusyIn(look->process)) {
        // The job still running holds it too, and lets go of it on its worker when it ends.
        return;
    }
    const DWORD process = look->process;
    auto held = std::make_shared<std::shared_ptr<Look>>(std::move(look));
    if (!workers_.Post(process, [held] { held->reset(); })) {
        leftovers_.push_back(std::move(*held));
    }
}

void AccessibleElementSystem::DiscardLeftovers() {
    std::vector<std::shared_ptr<Look>> leftovers = std::move(leftovers_);
    leftovers_.clear();
    for (std::shared_ptr<Look>& look : leftovers) {
        Discard(std::move(look));
    }
}

ElementsAnswer AccessibleElementSystem::ElementsAt(WindowHandle window, Point pointer) {
    const auto deadline = AnswerDeadline();
    DiscardLeftovers();
    const HWND hwnd = windows::ToHwnd(window);
    const DWORD process = windows_.ProcessOf(hwnd);
    if (process == 0 || process == GetCurrentProcessId()) {
        // Hovermark's own windows draw no elements, and asking them would wait on this very thread.
        Discard(std::move(look_));
        return {};
    }
    if (left_alone_.IsLeftAlone(ApplicationKey(process)) || workers_.BusyIn(process)) {
        return NotKnownNow();
    }
    if (!look_ || look_->window != hwnd || look_->pointer != pointer) {
        std::shared_ptr<Look> previous = std::exchange(look_, std::make_shared<Look>(hwnd, process, pointer));
        if (previous && previous->process == process) {
            look_->retained = std::move(previous);
        } else {
            Discard(std::move(previous));
        }
    }
    const bool walk_again = look_->looked && clock_() - look_->started >= kWalkAgainAtRest;
    std::shared_ptr<Look> look = look_;
    const auto outcome = workers_.Run(
        process, [look, &windows = windows_, clock = clock_, walk_again] { look->Read(windows, clock, walk_again); },
        deadline);
    if (outcome == CallWorkers::Outcome::kLate) {
        left_alone_.LeaveAlone(ApplicationKey(process));
    }
    if (outcome != CallWorkers::Outcome::kDone || look->hung) {
        return NotKnownNow();
    }
    return look->answer;
}

ElementPresence AccessibleElementSystem::GetElementRect(const std::string& id, Rectangle& rect) {
    const auto deadline = AnswerDeadline();
    if (!look_) {
        return ElementPresence::kNotKnownNow;
    }
    if (!windows_.Exists(look_->window)) {
        return ElementPresence::kGone;
    }
    if (left_alone_.IsLeftAlone(ApplicationKey(look_->process)) || workers_.BusyIn(look_->process)) {
        return ElementPresence::kNotKnownNow;
    }
    if (look_->gone == id) {
        return ElementPresence::kGone;
    }
    AccessibleWalk::Step* deepest = look_->Held(id);
    if (deepest == nullptr) {
        return ElementPresence::kNotKnownNow;
    }
    std::shared_ptr<Look> look = look_;
    const auto outcome = workers_.Run(
        look->process, [look, deepest] { look->Recheck(*deepest); }, deadline);
    if (outcome == CallWorkers::Outcome::kLate) {
        left_alone_.LeaveAlone(ApplicationKey(look->process));
    }
    if (outcome != CallWorkers::Outcome::kDone) {
        return ElementPresence::kNotKnownNow;
    }
    if (look->presence == ElementPresence::kPresent && deepest->element.extents) {
        rect = *deepest->element.extents;
    }
    return look->presence;
}

}  // namespace hovermark::iaccessible
