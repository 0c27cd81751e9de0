#pragma once
// Web view addition: the title of the page shown.

#include <string>

#include "platform/web/WebView.h"

namespace ql {

// The page's document title; "" when no page is shown or it has none.
std::string documentTitle(ui::WebView& view);

}  // namespace ql
