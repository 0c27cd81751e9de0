#include "ui/refresh/RefreshLabel.h"

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"

namespace ql {

std::shared_ptr<ui::Label> refreshLabel() {
    auto label = std::make_shared<ui::Label>(cg::Rect::zero());
    label->setFont(ui::Font::boldSystemFontOfSize(14));
    label->setTextColor(ui::Color::colorWithRed(90 / 255.0, 90 / 255.0, 90 / 255.0, 1));
    label->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setBackgroundColor(ui::Color::clearColor());
    return label;
}

}  // namespace ql
