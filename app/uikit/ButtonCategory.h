#pragma once
// A selected state that shows as a thin red border, for choice buttons laid out in a row.

namespace ql::ui {
class Button;
}

namespace ql {

void setSelectedNormal(ui::Button& button, bool selected);

}  // namespace ql
