#pragma once
// Readings of the answers a page gives to the browser's probe scripts.

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Color.h"

namespace ql {

// The script that reads the page's viewport declaration.
inline constexpr std::string_view WebPageViewportScript =
    "(function() {var metaTags = document.getElementsByTagName('meta');for (i=0; i<metaTags.length; i++) {if "
    "(metaTags[i].name=='viewport') {return metaTags[i].getAttribute('content');}}})()";
// The script that reads the computed background colour of the page's body.
inline constexpr std::string_view WebPageBackgroundScript =
    "window.getComputedStyle(document.body,null).getPropertyValue('background-color');";

// Whether a viewport declaration makes the page follow the device's width (spaces and case ignored).
bool viewportIsDynamic(std::string_view viewportContent);
// The colour of a computed background ("rgb(r, g, b)" or "rgba(r, g, b, a)", the alpha a fraction);
// white for an empty, unreadable or fully transparent one.
std::shared_ptr<ui::Color> pageBackgroundColor(std::string_view computedColor);

}  // namespace ql
