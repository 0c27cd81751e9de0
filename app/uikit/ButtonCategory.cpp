#include "app/uikit/ButtonCategory.h"

#include "app/uikit/ColorHex.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"

namespace ql {

void setSelectedNormal(ui::Button& button, bool selected) {
    button.setSelected(selected);
    button.layer()->setBorderWidth(0.5);
    const auto color = selected ? colorWithHexString("E81D1D") : ui::Color::lightGrayColor();
    button.layer()->setBorderColor(color->CGColor());
}

}  // namespace ql
