#include "window_inspection/engine_walk.h"

#include <algorithm>

namespace hovermark {
namespace {

using Progress = EngineWalk::Progress;

// Makes one booked, timed call; a progress to stop with when it could not be made or did not count.
template <typename Value, typename Call>
std::optional<Progress> Ask(CallContext& context, const ApplicationId& application, Reply<Value>& reply, Call&& call) {
    switch (context.Begin(application)) {
        case CallContext::Start::kGo:
            break;
        case CallContext::Start::kSpent:
            return Progress::kSliceEnded;
        case CallContext::Start::kNotNow:
            return Progress::kNotNow;
        case CallContext::Start::kClosing:
            return Progress::kStopped;
    }
    reply = call();
    if (!context.End()) {
        return Progress::kLate;
    }
    if (context.Refused()) {
        return Progress::kNotNow;
    }
    if (reply.status == CallStatus::kGone) {
        return Progress::kGone;
    }
    if (reply.status == CallStatus::kFailed) {
        return Progress::kFailed;
    }
    return std::nullopt;
}

}  // namespace

EngineWalk::EngineWalk(WindowHandle window, ApplicationId application, Point pointer, NodePtr top, KnownChildren known)
    : window_(window),
      application_(std::move(application)),
      pointer_(pointer),
      top_(std::move(top)),
      known_(std::move(known)),
      phase_(top_ ? Phase::kDescend : Phase::kTop) {}

void EngineWalk::Push(ElementAdapter& adapter, NodePtr node) {
    std::string identity = adapter.Identity(*node);
    passed_.insert(identity);
    path_.push_back({.node = std::move(node),
                     .element = {.identity = std::move(identity), .role = {}, .name = {}, .extents = std::nullopt}});
}

EngineWalk::Progress EngineWalk::GoOn(ElementAdapter& adapter,
                                      CallContext& context,
                                      const std::function<bool()>& wanted) {
    while (phase_ != Phase::kComplete) {
        if (!wanted()) {
            return Progress::kStopped;
        }
        if (const Progress progress = Step(adapter, context); progress != Progress::kComplete) {
            return progress;
        }
    }
    return Progress::kComplete;
}

// One call, and what follows from its answer; kComplete means "go on".
EngineWalk::Progress EngineWalk::Step(ElementAdapter& adapter, CallContext& context) {
    switch (phase_) {
        case Phase::kTop: {
            Reply<NodePtr> reply;
            if (auto stop = Ask(context, application_, reply, [&] { return adapter.WindowNode(window_, context); })) {
                // A window whose element has gone shows none.
                if (*stop != Progress::kGone) {
                    return *stop;
                }
                reply.value.reset();
            }
            top_ = std::move(reply.value);
            if (!top_) {
                phase_ = Phase::kLocate;
                return Progress::kComplete;
            }
            top_identity_ = adapter.Identity(*top_);
            passed_.insert(top_identity_);
            phase_ = Phase::kDescend;
            return Progress::kComplete;
        }
        case Phase::kDescend: {
            if (top_identity_.empty()) {
                top_identity_ = adapter.Identity(*top_);
                passed_.insert(top_identity_);
            }
            const NodePtr& from = path_.empty() ? top_ : path_.back().node;
            if (path_.size() == kMaxWalkDepth || adapter.IsLeaf(*from)) {
                phase_ = Phase::kLocate;
                return Progress::kComplete;
            }
            Reply<NodePtr> reply;
            if (auto stop = Ask(context, adapter.ApplicationOf(*from), reply,
                                [&] { return adapter.ChildAt(from, pointer_, context); })) {
                return *stop;
            }
            if (!reply.value || passed_.contains(adapter.Identity(*reply.value))) {
                phase_ = Phase::kLocate;
                return Progress::kComplete;
            }
            const std::string& from_identity = path_.empty() ? top_identity_ : path_.back().element.identity;
            if (adapter.IsLeaf(*reply.value) || known_.contains({from_identity, adapter.Identity(*reply.value)})) {
                Push(adapter, std::move(reply.value));
                return Progress::kComplete;
            }
            climb_ = {std::move(reply.value)};
            phase_ = Phase::kClimb;
            return Progress::kComplete;
        }
        case Phase::kClimb: {
            Reply<NodePtr> reply;
            const NodePtr& child = climb_.back();
            if (auto stop = Ask(context, adapter.ApplicationOf(*child), reply,
                                [&] { return adapter.ParentOf(child, context); })) {
                if (*stop != Progress::kGone) {
                    return *stop;
                }
                reply.value.reset();
            }
            const std::string from_identity = path_.empty() ? top_identity_ : path_.back().element.identity;
            const std::string parent = reply.value ? adapter.Identity(*reply.value) : std::string();
            const bool looped = std::any_of(climb_.begin(), climb_.end(),
                                            [&](const NodePtr& node) { return adapter.Identity(*node) == parent; });
            if (parent == from_identity) {
                // The answer's parents lead back to the element asked: every level between is listed.
                for (auto level = climb_.rbegin(); level != climb_.rend() && path_.size() < kMaxWalkDepth; ++level) {
                    if (passed_.contains(adapter.Identity(**level))) {
                        break;
                    }
                    Push(adapter, std::move(*level));
                }
            } else if (parent.empty() || looped || passed_.contains(parent) || climb_.size() == kMaxWalkDepth) {
                // Parents that lead nowhere, round in a circle or into another tree: the answer counts as a child.
                Push(adapter, std::move(climb_.front()));
            } else {
                climb_.push_back(std::move(reply.value));
                return Progress::kComplete;
            }
            climb_.clear();
            phase_ = Phase::kDescend;
            return Progress::kComplete;
        }
        case Phase::kLocate: {
            if (path_.empty()) {
                Reply<std::string> reply;
                const ApplicationId application = top_ ? adapter.ApplicationOf(*top_) : application_;
                if (auto stop =
                        Ask(context, application, reply, [&] { return adapter.HintFor(window_, top_, context); })) {
                    return *stop;
                }
                hint_ = std::move(reply.value);
                phase_ = Phase::kComplete;
                return Progress::kComplete;
            }
            Level& deepest = path_.back();
            Reply<std::optional<Rectangle>> reply;
            if (auto stop = Ask(context, adapter.ApplicationOf(*deepest.node), reply,
                                [&] { return adapter.ExtentsOf(deepest.node, context); })) {
                return *stop;
            }
            deepest.element.extents = reply.value;
            phase_ = Phase::kDescribe;
            return Progress::kComplete;
        }
        case Phase::kDescribe: {
            if (described_ == path_.size()) {
                phase_ = Phase::kComplete;
                return Progress::kComplete;
            }
            Level& level = path_[path_.size() - 1 - described_];
            Reply<std::string> reply;
            const ApplicationId application = adapter.ApplicationOf(*level.node);
            if (!role_read_) {
                if (auto stop = Ask(context, application, reply, [&] { return adapter.RoleOf(level.node, context); })) {
                    return *stop;
                }
                level.element.role = std::move(reply.value);
                role_read_ = true;
                return Progress::kComplete;
            }
            if (auto stop = Ask(context, application, reply, [&] { return adapter.NameOf(level.node, context); })) {
                return *stop;
            }
            level.element.name = std::move(reply.value);
            role_read_ = false;
            ++described_;
            return Progress::kComplete;
        }
        case Phase::kComplete:
            break;
    }
    return Progress::kComplete;
}

std::vector<WalkedElement> EngineWalk::Elements() const {
    std::vector<WalkedElement> elements;
    elements.reserve(path_.size());
    for (auto level = path_.rbegin(); level != path_.rend(); ++level) {
        elements.push_back(level->element);
    }
    return elements;
}

NodePtr EngineWalk::Deepest() const {
    return path_.empty() ? NodePtr() : path_.back().node;
}

KnownChildren EngineWalk::Children() const {
    KnownChildren children;
    const std::string* parent = &top_identity_;
    for (const Level& level : path_) {
        children.emplace(*parent, level.element.identity);
        parent = &level.element.identity;
    }
    return children;
}

}  // namespace hovermark
