#pragma once
// The pictograms of the bar buttons' system items that show a picture instead of words.

#include <memory>

#include "platform/ui/BarButtonItem.h"

namespace ql::ui {

class Image;

// Drawn once per process in black, for the button to tint; none for items shown as words or spaces.
std::shared_ptr<Image> pictogramOfSystemItem(BarButtonSystemItem item);

}  // namespace ql::ui
