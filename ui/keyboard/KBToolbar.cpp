#include "ui/keyboard/KBToolbar.h"

#include "platform/ui/Color.h"
#include "platform/ui/Screen.h"

namespace ql {

KBToolbar::KBToolbar(const cg::Rect& frame) : ui::Toolbar(frame) {
    sizeToFit();
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    setTranslucent(true);
    setTintColor(ui::Color::blackColor());
}

void KBToolbar::setTitleFont(std::shared_ptr<ui::Font> font) {
    titleFont_ = std::move(font);
    for (const auto& item : items()) {
        if (auto title = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item)) title->setFont(titleFont_);
    }
}

void KBToolbar::setTitle(std::optional<std::string> title) {
    title_ = std::move(title);
    for (const auto& item : items()) {
        if (auto titled = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item)) titled->setTitle(title_);
    }
}

void KBToolbar::setTintColor(std::shared_ptr<ui::Color> color) {
    ui::Toolbar::setTintColor(color);
    for (const auto& item : items()) item->setTintColor(color);
}

cg::Size KBToolbar::sizeThatFits(cg::Size size) const {
    const double width = size.width > 0 ? size.width : ui::Screen::mainScreen().bounds().size.width;
    return {width, kHeight};
}

KBTitleBarButtonItem::KBTitleBarButtonItem(const cg::Rect& frame, std::optional<std::string> title) {
    titleView_ = std::make_shared<ui::View>(frame);
    titleView_->setBackgroundColor(ui::Color::clearColor());
    titleView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    titleLabel_ = std::make_shared<ui::Label>(titleView_->bounds());
    titleLabel_->setTextColor(ui::Color::lightGrayColor());
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    titleLabel_->setTextAlignment(ui::TextAlignment::Center);
    titleLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    setTitle(std::move(title));
    setFont(ui::Font::boldSystemFontOfSize(12));
    titleView_->addSubview(titleLabel_);
    setCustomView(titleView_);
    setEnabled(false);
}

void KBTitleBarButtonItem::setTitle(std::optional<std::string> title) {
    ui::BarItem::setTitle(title);
    titleLabel_->setText(std::move(title));
}

void KBTitleBarButtonItem::setFont(std::shared_ptr<ui::Font> font) {
    font_ = std::move(font);
    titleLabel_->setFont(font_);
}

}  // namespace ql
