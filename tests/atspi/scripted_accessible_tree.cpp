#include "tests/atspi/scripted_accessible_tree.h"

#include <algorithm>

namespace hovermark::atspi::testing {
namespace {

std::string ApplicationOf(const std::string& id) {
    return id.substr(0, id.find('/'));
}

class ScriptedAccessible final : public Accessible {
  public:
    ScriptedAccessible(ScriptedDesktop& desktop, std::string id)
        : desktop_(desktop), id_(std::move(id)), application_(ApplicationOf(id_)) {}

    const std::string& Id() const override { return id_; }
    const std::string& Application() const override { return application_; }

    std::optional<Extents> ReportedExtents() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr ? node->extents : std::nullopt;
    }

    AccessiblePtr ChildAtPoint(std::int32_t x, std::int32_t y) override {
        const ScriptedNode* node = desktop_.Ask(id_);
        if (node == nullptr) {
            return nullptr;
        }
        if (node->answer) {
            return node->answer->empty() ? nullptr : desktop_.Element(*node->answer);
        }
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            const ScriptedNode* child_node = desktop_.Peek(*child);
            if (child_node != nullptr && child_node->extents) {
                const Extents& e = *child_node->extents;
                if (e.x <= x && x < e.x + e.width && e.y <= y && y < e.y + e.height) {
                    return desktop_.Element(*child);
                }
            }
        }
        return nullptr;
    }

    std::int32_t ChildCount() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr ? static_cast<std::int32_t>(node->children.size()) : 0;
    }

    AccessiblePtr ChildAt(std::int32_t index) override {
        const ScriptedNode* node = desktop_.Ask(id_);
        if (node == nullptr || index < 0 || static_cast<std::size_t>(index) >= node->children.size()) {
            return nullptr;
        }
        // A child counted but not there is not given, as Chromium does without its renderer's accessibility.
        const std::string& child = node->children[static_cast<std::size_t>(index)];
        return desktop_.Peek(child) != nullptr ? desktop_.Element(child) : nullptr;
    }

    AccessiblePtr Parent() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr && !node->parent.empty() ? desktop_.Element(node->parent) : nullptr;
    }

    std::int32_t IndexInParent() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        const ScriptedNode* parent = node != nullptr ? desktop_.Peek(node->parent) : nullptr;
        if (parent == nullptr) {
            return -1;
        }
        const auto listed = std::find(parent->children.begin(), parent->children.end(), id_);
        return listed == parent->children.end() ? -1 : static_cast<std::int32_t>(listed - parent->children.begin());
    }

    ElementStates States() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr ? node->states : ElementStates{.defunct = true};
    }

    std::string RoleName() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr ? node->role : std::string();
    }

    std::string Name() override {
        const ScriptedNode* node = desktop_.Ask(id_);
        return node != nullptr ? node->name : std::string();
    }

    std::string ToolkitName() override {
        desktop_.Ask(id_);
        const auto toolkit = desktop_.toolkits.find(application_);
        return toolkit != desktop_.toolkits.end() ? toolkit->second : std::string();
    }

  private:
    ScriptedDesktop& desktop_;
    std::string id_;
    std::string application_;
};

}  // namespace

std::vector<AccessibleApplication> ScriptedDesktop::Applications(WalkBudget& budget) {
    if (!budget.Spend()) {
        return {};
    }
    ++calls_["registry"];
    std::vector<AccessibleApplication> applications;
    for (const Application& application : applications_) {
        applications.push_back({Element(application.root), application.pid});
    }
    return applications;
}

const ScriptedNode* ScriptedDesktop::Ask(const std::string& id) {
    const std::string application = ApplicationOf(id);
    ++calls_[application];
    if (on_ask) {
        on_ask();
    }
    if (hung.contains(application)) {
        throw ApplicationHung{application};
    }
    const auto found = nodes_.find(id);
    return found == nodes_.end() ? nullptr : &found->second;
}

const ScriptedNode* ScriptedDesktop::Peek(const std::string& id) const {
    const auto found = nodes_.find(id);
    return found == nodes_.end() ? nullptr : &found->second;
}

AccessiblePtr ScriptedDesktop::Element(const std::string& id) {
    return std::make_shared<ScriptedAccessible>(*this, id);
}

}  // namespace hovermark::atspi::testing
