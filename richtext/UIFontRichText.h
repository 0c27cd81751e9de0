#pragma once
// The view layer's font for a typesetting font: the same face, size and matrix.

#include <memory>

#include "platform/text/Font.h"
#include "platform/ui/Font.h"

namespace ql {

inline std::shared_ptr<ui::Font> fontWithCTFont(const ct::Font& font) { return std::make_shared<ui::Font>(font); }

}  // namespace ql
