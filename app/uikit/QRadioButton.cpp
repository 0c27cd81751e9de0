#include "app/uikit/QRadioButton.h"

#include "app/uikit/ImageContent.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace ql {

QRadioButton::QRadioButton() {
    setExclusiveTouch(true);
    const double quarter = ui::Screen::mainScreen().bounds().size.width * 0.25;
    const cg::EdgeInsets caps{0, quarter, 0, quarter * 3};
    setBackgroundImage(resizableImageName("test_button_unselect.png", caps), ui::ControlStateNormal);
    setBackgroundImage(resizableImageName("test_button_selected.png", caps), ui::ControlStateSelected);
    setAdjustsImageWhenHighlighted(false);
    titleLabel()->setLineBreakMode(ui::LineBreakMode::CharWrapping);
}

cg::Rect QRadioButton::imageRectForContentRect(const cg::Rect& contentRect) const {
    return {0, (contentRect.size.height - 16) * 0.5, 16, 16};
}

cg::Rect QRadioButton::titleRectForContentRect(const cg::Rect& contentRect) const {
    return {21, 0, contentRect.size.width - 16 - 5, contentRect.size.height};
}

}  // namespace ql
