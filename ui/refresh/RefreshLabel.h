#pragma once
// The title label of every refresh control: bold 14-point text in a dark grey, centred, on clear.

#include <memory>

#include "platform/ui/Label.h"

namespace ql {

std::shared_ptr<ui::Label> refreshLabel();

}  // namespace ql
