#pragma once
// Screenshots of windows: a window composed as it is shown, at the screen's scale, after the display
// cycle has laid out and drawn whatever was pending.

#include <memory>

#include "platform/foundation/Data.h"
#include "platform/graphics/Image.h"

namespace ql::ui {
class Window;
}

namespace ql::sim {

// The window's layer tree composed over black (what shows where nothing is drawn), one pixel per
// point times the screen's scale.
std::shared_ptr<const cg::Image> renderWindow(ui::Window& window);

// The same as PNG.
ns::Data renderWindowPNG(ui::Window& window);

}  // namespace ql::sim
