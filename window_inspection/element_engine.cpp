#include "window_inspection/element_engine.h"

#include <map>
#include <mutex>
#include <utility>

#include "window_inspection/engine_walk.h"

namespace hovermark {
namespace {

ElementsAnswer NotKnownNow() {
    return {.elements = {}, .known = false, .hint = {}};
}

}  // namespace

// One window looked at, from the GUI thread and from the jobs. The GUI thread sets where the pointer is and
// which walk it shows; the jobs walk and publish what they found. The nodes are the jobs' alone, and the look
// is let go of on a worker, so no node is ever released on the GUI thread.
struct ElementEngine::Look {
    Look(WindowHandle window_, ApplicationId application_, Point pointer)
        : window(window_), application(std::move(application_)), wanted(pointer) {}

    struct Complete {
        std::uint64_t generation = 0;
        Point pointer;
        std::vector<WalkedElement> elements;  // the deepest first
        std::chrono::steady_clock::time_point ended;
        bool topless = false;  // no element stands for the window
        std::string hint;
    };
    struct Check {
        std::uint64_t generation = 0;
        bool fresh = false;
        bool gone = false;
        std::optional<Rectangle> extents;
    };
    // What the GUI thread reads of the look, copied under the lock; a walk's elements are shared, never copied,
    // since a tick reads them several times and a long name alone may be 64 KiB.
    struct Published {
        std::shared_ptr<const Complete> newest;
        bool not_known = false;  // the last job could not ask, or was late
        std::chrono::steady_clock::time_point pause_until{};
        Check check;
    };

    const WindowHandle window;
    const ApplicationId application;

    Point Wanted() {
        const std::lock_guard lock(mutex);
        return wanted;
    }
    void SetWanted(Point pointer) {
        const std::lock_guard lock(mutex);
        wanted = pointer;
    }
    void SetShown(std::uint64_t generation) {
        const std::lock_guard lock(mutex);
        shown_generation = generation;
    }
    Published Read() {
        const std::lock_guard lock(mutex);
        return published;
    }
    void ConsumeCheck() {
        const std::lock_guard lock(mutex);
        published.check.fresh = false;
    }

    // A job: goes on with the walk at the pointer wanted, or begins one there.
    void Walk(ElementAdapter& adapter, CallContext& context, const SteadyClock& clock) {
        EngineWalk::Progress progress = EngineWalk::Progress::kStopped;
        while (true) {
            const Point pointer = Wanted();
            if (walk && walk->Pointer() != pointer) {
                context.ReleaseLater(std::make_shared<EngineWalk>(std::move(*walk)));
                walk.reset();
            }
            if (!walk) {
                const EngineWalk* base = completes.empty() ? nullptr : &completes.rbegin()->second;
                reused_top = base != nullptr && reuse_top;
                walk.emplace(window, application, pointer, reused_top ? base->Top() : NodePtr(),
                             base != nullptr ? base->Children() : KnownChildren());
            }
            progress = walk->GoOn(adapter, context, [&] { return Wanted() == pointer; });
            // The pointer moved on while walking: the walk begins again there, within the same round trips.
            if (progress != EngineWalk::Progress::kStopped || Wanted() == pointer) {
                break;
            }
        }
        const std::lock_guard lock(mutex);
        published.not_known = false;
        switch (progress) {
            case EngineWalk::Progress::kComplete:
                Completed(context, clock);
                break;
            case EngineWalk::Progress::kNotNow:
            case EngineWalk::Progress::kLate:
                published.not_known = true;
                break;
            case EngineWalk::Progress::kFailed:
                // What the failed call would have told is not known, and nothing shown stands for it.
                published.not_known = true;
                published.pause_until = clock() + kFailedWalkPause;
                break;
            case EngineWalk::Progress::kGone:
                // Walk again from the window's own element: the one held may be what has gone.
                context.ReleaseLater(std::make_shared<EngineWalk>(std::move(*walk)));
                walk.reset();
                reuse_top = false;
                break;
            case EngineWalk::Progress::kSliceEnded:
            case EngineWalk::Progress::kStopped:
                break;
        }
    }

    // Under the lock.
    void Completed(CallContext& context, const SteadyClock& clock) {
        const std::uint64_t generation = ++generations;
        std::vector<WalkedElement> elements = walk->Elements();
        // Walking again from the element held, where the window has replaced its own: the next asks the window.
        const bool found_less =
            reused_top && elements.empty() && published.newest && !published.newest->elements.empty();
        reuse_top = !found_less;
        published.newest = std::make_shared<const Complete>(Complete{.generation = generation,
                                                                     .pointer = walk->Pointer(),
                                                                     .elements = std::move(elements),
                                                                     .ended = clock(),
                                                                     .topless = !walk->Top(),
                                                                     .hint = walk->Hint()});
        completes.emplace(generation, std::move(*walk));
        walk.reset();
        // Kept: the newest, and the one shown, whose nodes keep the identities shown comparable.
        for (auto held = completes.begin(); held != completes.end();) {
            if (held->first == generation || held->first == shown_generation) {
                ++held;
            } else {
                context.ReleaseLater(std::make_shared<EngineWalk>(std::move(held->second)));
                held = completes.erase(held);
            }
        }
    }

    // A job: where the deepest element shown lies now, or whether it has gone.
    void CheckShown(ElementAdapter& adapter, CallContext& context) {
        std::uint64_t generation = 0;
        {
            const std::lock_guard lock(mutex);
            generation = shown_generation;
        }
        const auto held = completes.find(generation);
        const NodePtr deepest = held != completes.end() ? held->second.Deepest() : NodePtr();
        if (!deepest) {
            return;
        }
        const CallContext::Start start = context.Begin(adapter.ApplicationOf(*deepest));
        if (start != CallContext::Start::kGo) {
            const std::lock_guard lock(mutex);
            published.not_known = start == CallContext::Start::kNotNow;
            return;
        }
        const Reply<std::optional<Rectangle>> reply = adapter.ExtentsOf(deepest, context);
        const bool in_time = context.End() && !context.Refused();
        const std::lock_guard lock(mutex);
        // A call that got no answer tells nothing of the element, not even that it is still there.
        published.not_known = !in_time || reply.status == CallStatus::kFailed;
        if (in_time && reply.status != CallStatus::kFailed) {
            published.check = {.generation = generation,
                               .fresh = true,
                               .gone = reply.status == CallStatus::kGone,
                               .extents = reply.value};
        }
    }

    // A job: the tree around the deepest element of the walk shown.
    void ReadTree(ElementAdapter& adapter, CallContext& context, const SteadyClock& clock, TreeRead& read) {
        const auto held = completes.find(read.Generation());
        read.Read(adapter, context, clock, held != completes.end() ? held->second.Deepest() : NodePtr(), application);
    }

    std::mutex mutex;
    Point wanted;
    std::uint64_t shown_generation = 0;
    Published published;

    // The jobs' own: one job of a look runs at a time.
    std::optional<EngineWalk> walk;
    std::map<std::uint64_t, EngineWalk> completes;
    std::uint64_t generations = 0;
    bool reuse_top = true;
    bool reused_top = false;
};

ElementEngine::ElementEngine(std::shared_ptr<ElementAdapter> adapter, SteadyClock clock)
    : adapter_(std::move(adapter)), clock_(std::move(clock)), workers_(adapter_, clock_) {}

ElementEngine::~ElementEngine() {
    Drop();
}

std::optional<std::string> ElementEngine::Start() {
    return adapter_->Start();
}

void ElementEngine::Stop() noexcept {
    Drop();
    adapter_->Stop();
}

void ElementEngine::Drop() {
    if (look_) {
        std::shared_ptr<Look> look = std::move(look_);
        const ApplicationId queue = look->application;
        workers_.Post(queue, [held = std::move(look)](CallContext&) {});
    }
    ticket_.reset();
    shown_.reset();
    deepest_gone_ = false;
    stood_ = false;
    ticks_unchecked_ = 0;
}

void ElementEngine::Post(Job job) {
    if (job == Job::kWalk) {
        applications_at_walk_ = adapter_->ApplicationsSeen();
    }
    std::shared_ptr<Look> look = look_;
    const ApplicationId queue = look->application;
    ticket_ =
        workers_.Post(queue, [look = std::move(look), adapter = adapter_, clock = clock_, job](CallContext& context) {
            if (job == Job::kWalk) {
                look->Walk(*adapter, context, clock);
            } else {
                look->CheckShown(*adapter, context);
            }
        });
}

// Left alone, waited in, or taken for hung by the system: nothing is asked, and nothing can be told now.
bool ElementEngine::BlockedNow(WindowHandle window) {
    const ApplicationId& application = look_->application;
    if (workers_.IsLeftAlone(application) || workers_.StuckIn(application)) {
        return true;
    }
    if (adapter_->WindowHung(window)) {
        workers_.LeaveAlone(application);
        return true;
    }
    return false;
}

bool ElementEngine::CheckDue() {
    if (!stood_ || ++ticks_unchecked_ >= kSteadyCheckEvery) {
        ticks_unchecked_ = 0;
        return true;
    }
    return false;
}

std::optional<ElementEngine::Job> ElementEngine::JobDue(Point pointer) {
    const Look::Published published = look_->Read();
    const auto now = clock_();
    if (now < published.pause_until) {
        return std::nullopt;
    }
    // A window that no element stands for is asked again only once the pointer has moved, no sooner than a walk
    // again at rest, or once an application has come: at rest over it, nobody is asked until then.
    if (published.newest && published.newest->topless) {
        if (adapter_->ApplicationsSeen() != applications_at_walk_) {
            return Job::kWalk;
        }
        if (published.newest->pointer == pointer || now - published.newest->ended < kWalkAgainAtRest) {
            return std::nullopt;
        }
    }
    if (!published.newest || published.newest->pointer != pointer) {
        return Job::kWalk;
    }
    // At rest over a window that shows nothing new, what was found stands, and nobody is asked.
    if (!adapter_->ChangedSinceLastAsked(look_->window)) {
        return std::nullopt;
    }
    if (now - published.newest->ended >= kWalkAgainAtRest) {
        return Job::kWalk;
    }
    // Gone, or no longer where the pointer is: nothing to check until the walk again.
    const bool holds = shown_ && !shown_->elements.empty() && shown_->elements.front().extents &&
                       Holds(*shown_->elements.front().extents, pointer);
    if (shown_ && shown_->generation == published.newest->generation && holds && !deepest_gone_ && CheckDue()) {
        return Job::kCheck;
    }
    return std::nullopt;
}

// Whatever is held from a connection made before the one now: let go of, and not known now.
void ElementEngine::FollowConnection() {
    if (const std::uint64_t connection = adapter_->Connection(); connection != connection_) {
        connection_ = connection;
        Drop();
    }
}

ElementsAnswer ElementEngine::ElementsAt(WindowHandle window, Point pointer) {
    workers_.FindLateCalls();
    FollowConnection();
    const ApplicationId application = window > 0 ? adapter_->ApplicationOfWindow(window) : ApplicationId();
    if (application.empty()) {
        Drop();
        return {};
    }
    if (!look_ || look_->window != window || look_->application != application) {
        Drop();
        look_ = std::make_shared<Look>(window, application, pointer);
    }
    if (BlockedNow(window)) {
        return NotKnownNow();
    }
    look_->SetWanted(pointer);
    if (!ticket_ || CallWorkers::Done(ticket_)) {
        if (const std::optional<Job> job = JobDue(pointer)) {
            Post(*job);
        }
    }
    if (ticket_ && !CallWorkers::Done(ticket_)) {
        workers_.Wait(ticket_, kElementWait);
    }
    TakeWalk(pointer);
    TakeCheck();
    if (look_->Read().not_known) {
        return NotKnownNow();
    }
    if (!shown_) {
        return {};
    }
    return {.elements = shown_->elements, .known = true, .hint = shown_->elements.empty() ? shown_->hint : ""};
}

// Level `level_from_top` of `next` keeps the id it had in what is shown when every level above it did and it
// is the same object, or has the same role and name there (the same extents too, for the deepest).
std::string ElementEngine::IdFor(std::size_t level_from_top, const Shown& next, std::vector<bool>& matched) const {
    const std::size_t depth = next.elements.size();
    const Element& element = next.elements[depth - 1 - level_from_top];
    const bool parent_matched = level_from_top == 0 || matched[level_from_top - 1];
    if (parent_matched && shown_ && level_from_top < shown_->elements.size()) {
        const std::size_t old_depth = shown_->elements.size();
        const std::size_t old_index = old_depth - 1 - level_from_top;
        const Element& old = shown_->elements[old_index];
        const bool both_deepest = level_from_top == depth - 1 && old_index == 0;
        const bool same_object = shown_->identities[old_index] == next.identities[depth - 1 - level_from_top];
        const bool same_place =
            old.role == element.role && old.name == element.name && (!both_deepest || old.extents == element.extents);
        if (same_object || same_place) {
            matched[level_from_top] = true;
            return old.id;
        }
    }
    return {};
}

void ElementEngine::TakeWalk(Point pointer) {
    const Look::Published published = look_->Read();
    if (published.newest && (!shown_ || shown_->generation != published.newest->generation)) {
        const Look::Complete& newest = *published.newest;
        const bool holds = !newest.elements.empty() && newest.elements.front().extents &&
                           Holds(*newest.elements.front().extents, pointer);
        if (newest.pointer == pointer || holds) {
            Shown next{.generation = newest.generation, .identities = {}, .elements = {}, .hint = newest.hint};
            for (const WalkedElement& walked : newest.elements) {
                next.identities.push_back(walked.identity);
                next.elements.push_back(
                    {.id = {}, .role = walked.role, .name = walked.name, .extents = walked.extents});
            }
            std::vector<bool> matched(next.elements.size(), false);
            for (std::size_t level = 0; level < next.elements.size(); ++level) {
                std::string id = IdFor(level, next, matched);
                if (id.empty()) {
                    id = 'e';
                    id += std::to_string(++next_id_);
                }
                next.elements[next.elements.size() - 1 - level].id = std::move(id);
            }
            const bool same_deepest = shown_ && !shown_->elements.empty() && !next.elements.empty() &&
                                      shown_->elements.front().id == next.elements.front().id;
            if (!same_deepest) {
                deepest_gone_ = false;
                stood_ = false;
                ticks_unchecked_ = 0;
            }
            shown_ = std::move(next);
            look_->SetShown(shown_->generation);
        }
    }
}

void ElementEngine::TakeCheck() {
    const Look::Published published = look_->Read();
    const Look::Check& check = published.check;
    if (shown_ && check.fresh && check.generation == shown_->generation) {
        look_->ConsumeCheck();
        Element* deepest = shown_->elements.empty() ? nullptr : &shown_->elements.front();
        if (check.gone) {
            deepest_gone_ = true;
        } else if (deepest != nullptr && check.extents) {
            stood_ = deepest->extents == check.extents;
            deepest->extents = check.extents;
        }
    }
}

ElementPresence ElementEngine::GetElementRect(const std::string& id, Rectangle& rect) {
    workers_.FindLateCalls();
    FollowConnection();
    if (!look_ || !shown_ || shown_->elements.empty() || shown_->elements.front().id != id) {
        return ElementPresence::kNotKnownNow;
    }
    // What has gone stays gone for as long as it is held, whatever its window shows meanwhile.
    if (deepest_gone_ || !adapter_->WindowExists(look_->window)) {
        return ElementPresence::kGone;
    }
    if (BlockedNow(look_->window)) {
        return ElementPresence::kNotKnownNow;
    }
    // Paused or on a bar: the element shown is held, and no walk that comes meanwhile replaces it.
    TakeCheck();
    if ((!ticket_ || CallWorkers::Done(ticket_)) && !deepest_gone_ && CheckDue()) {
        Post(Job::kCheck);
        workers_.Wait(ticket_, kElementWait);
        TakeCheck();
    }
    if (deepest_gone_) {
        return ElementPresence::kGone;
    }
    if (look_->Read().not_known) {
        return ElementPresence::kNotKnownNow;
    }
    if (shown_->elements.front().extents) {
        rect = *shown_->elements.front().extents;
    }
    return ElementPresence::kPresent;
}

bool ElementEngine::StartTreeRead(const std::string& id, std::chrono::steady_clock::time_point deadline) {
    if (!look_ || !shown_ || shown_->elements.empty() || shown_->elements.front().id != id) {
        return false;
    }
    tree_read_ = std::make_shared<TreeRead>(deadline, shown_->generation, shown_->elements);
    // On the look's own queue, behind its walk: the nodes held are its jobs' alone.
    workers_.Post(look_->application, [look = look_, read = tree_read_, adapter = adapter_, clock = clock_](
                                          CallContext& context) { look->ReadTree(*adapter, context, clock, *read); });
    return true;
}

std::optional<ElementTreeAnswer> ElementEngine::TreeReadResult() {
    workers_.FindLateCalls();
    if (!tree_read_) {
        return ElementTreeAnswer{};
    }
    std::optional<ElementTreeAnswer> answer = tree_read_->Take(clock_());
    if (answer) {
        tree_read_.reset();
    }
    return answer;
}

}  // namespace hovermark
