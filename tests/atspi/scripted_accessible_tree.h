// An accessibility bus held in memory, for the element finder's headless tests: applications and elements a
// test describes, answering as sound toolkits do unless told to answer as broken or hostile ones do, and
// counting every question per application.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/atspi/accessible_tree.h"

namespace hovermark::atspi::testing {

struct ScriptedNode {
    std::string id{};  // unique; the application is what comes before the first '/'
    std::string role{};
    std::string name{};
    std::optional<Extents> extents{};  // none: the question fails
    ElementStates states{.visible = true, .showing = false, .defunct = false};
    std::vector<std::string>
        children{};        // ids; may name missing nodes (counted, never given), the node itself, or an ancestor
    std::string parent{};  // id; "" for none; may name anything, as children may
    // What the child-at-point question answers: by default the last child whose extents hold the point;
    // set, this id whatever the point ("" for nothing).
    std::optional<std::string> answer{};
};

class ScriptedDesktop final : public AccessibleDesktop {
  public:
    void Add(ScriptedNode node) { nodes_[node.id] = std::move(node); }
    ScriptedNode& Node(const std::string& id) { return nodes_.at(id); }
    void Remove(const std::string& id) { nodes_.erase(id); }
    void AddApplication(const std::string& root_id, std::optional<std::uint32_t> pid) {
        applications_.push_back({root_id, pid});
    }
    // Every question to that application throws ApplicationHung, as a bound waited out.
    std::set<std::string> hung;
    // Called on every question asked of an application, before it answers: a slow one, for instance.
    std::function<void()> on_ask;
    // Each application's toolkit name, by the application's part of the ids (":1.9"); none: "".
    std::map<std::string, std::string> toolkits;

    int Calls(const std::string& application) const {
        const auto found = calls_.find(application);
        return found == calls_.end() ? 0 : found->second;
    }
    int AllCalls() const {
        int total = 0;
        for (const auto& entry : calls_) {
            total += entry.second;
        }
        return total;
    }

    std::vector<AccessibleApplication> Applications(WalkBudget& budget) override;

    // Used by the elements it hands out.
    const ScriptedNode* Ask(const std::string& id);         // counted, and throws for a hung application
    const ScriptedNode* Peek(const std::string& id) const;  // the application's own look: not counted
    AccessiblePtr Element(const std::string& id);

  private:
    struct Application {
        std::string root;
        std::optional<std::uint32_t> pid;
    };
    std::map<std::string, ScriptedNode> nodes_;
    std::vector<Application> applications_;
    std::map<std::string, int> calls_;
};

}  // namespace hovermark::atspi::testing
