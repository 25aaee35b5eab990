#include "window_inspection/left_alone_applications.h"

namespace hovermark {

void LeftAloneApplications::LeaveAlone(const std::string& application) {
    const auto now = clock_();
    // The table holds only the applications left alone now, however many have hung over a long run.
    std::erase_if(until_, [&](const auto& entry) { return entry.second <= now; });
    until_[application] = now + kHungApplicationPause;
}

bool LeftAloneApplications::IsLeftAlone(const std::string& application) const {
    const auto found = until_.find(application);
    return found != until_.end() && clock_() < found->second;
}

}  // namespace hovermark
