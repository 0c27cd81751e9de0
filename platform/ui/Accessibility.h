#pragma once
// Accessibility announcements. No assistive technology listens here, so what is posted is kept in a
// record that tests and the headless device can read, in the order it was posted.

#include <cstdint>
#include <vector>

#include "platform/foundation/Value.h"

namespace ql::ui {

// The platform's notification numbers.
enum class AccessibilityNotification : std::uint32_t {
    ScreenChanged = 1000,
    LayoutChanged = 1001,
    Announcement = 1008,
    PageScrolled = 1009,
};

struct AccessibilityPost {
    AccessibilityNotification notification;
    ns::Value argument;
};

void AccessibilityPostNotification(AccessibilityNotification notification, ns::Value argument = {});
// Everything posted so far; taking it empties the record.
std::vector<AccessibilityPost> takeAccessibilityPosts();

}  // namespace ql::ui
