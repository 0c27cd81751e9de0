#pragma once
// Navigation bars in any colour: the bar's own background gives way to an overlay view of the colour,
// which also covers the status bar above it. The bar can also be moved up and down and have its item
// and title views faded. The overlay lives with the bar until nb_reset.

#include <memory>

#include "platform/ui/Color.h"
#include "platform/ui/NavigationBar.h"

namespace ql {

// The first call hides the bar's background and puts in the overlay; later calls only recolour it.
void nb_setBackgroundColor(ui::NavigationBar& bar, std::shared_ptr<ui::Color> color);
// Replaces the bar's transform with a move by `offset` points down (negative: up).
void nb_setTranslationY(ui::NavigationBar& bar, double offset);
// The left item views, the right item views, then the title view.
void nb_setElementsAlpha(ui::NavigationBar& bar, double alpha);
// The bar's own background returns and the overlay goes.
void nb_reset(ui::NavigationBar& bar);

std::shared_ptr<ui::View> overlay(const ui::NavigationBar& bar);
void setOverlay(ui::NavigationBar& bar, std::shared_ptr<ui::View> overlay);

}  // namespace ql
