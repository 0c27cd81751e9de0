#pragma once
// The sheet icons of the open-in-browser activities, drawn in code: black glyphs on a clear square whose
// size depends on the device (phone or pad) and the look (flat or the earlier solid one).

#include <memory>

#include "platform/ui/Image.h"
#include "web/browser/WebViewControllerIcons.h"

namespace ql {

enum class ActivityIcon { Safari, Chrome };

// For the device and look the app runs on.
std::shared_ptr<ui::Image> drawActivityIcon(ActivityIcon icon);
std::shared_ptr<ui::Image> drawActivityIcon(ActivityIcon icon, WebViewControllerIconLook look, bool pad);
// The side of the square canvas, in points.
double activityIconSide(ActivityIcon icon, WebViewControllerIconLook look, bool pad);

}  // namespace ql
