#include "platform/ui/Accessibility.h"

#include "platform/ui/MainThread.h"

namespace ql::ui {

namespace {

std::vector<AccessibilityPost>& record() {
    static auto* posts = new std::vector<AccessibilityPost>;
    return *posts;
}

}  // namespace

void AccessibilityPostNotification(AccessibilityNotification notification, ns::Value argument) {
    assertMainThread();
    record().push_back({notification, std::move(argument)});
}

std::vector<AccessibilityPost> takeAccessibilityPosts() {
    assertMainThread();
    auto posts = std::move(record());
    record().clear();
    return posts;
}

}  // namespace ql::ui
