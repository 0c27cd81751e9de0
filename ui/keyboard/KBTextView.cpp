#include "ui/keyboard/KBTextView.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Color.h"

namespace ql {

KBTextView::~KBTextView() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void KBTextView::setPlaceholder(std::optional<std::string> placeholder) {
    placeholder_ = std::move(placeholder);
    if (!placeHolderLabel_) {
        placeHolderLabel_ = std::make_shared<ui::Label>(cg::Rect{8, 8, bounds().size.width - 16, 0});
        placeHolderLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        placeHolderLabel_->setLineBreakMode(ui::LineBreakMode::WordWrapping);
        placeHolderLabel_->setNumberOfLines(0);
        placeHolderLabel_->setFont(font());
        placeHolderLabel_->setBackgroundColor(ui::Color::clearColor());
        placeHolderLabel_->setTextColor(ui::Color::colorWithWhite(0.7, 1));
        placeHolderLabel_->setAlpha(0);
        addSubview(placeHolderLabel_);
        std::weak_ptr<KBTextView> weak = std::static_pointer_cast<KBTextView>(shared_from_this());
        ns::NotificationCenter::defaultCenter().addObserver(
            weak, [weak](const ns::Notification&) {
                if (auto self = weak.lock()) self->refreshPlaceholder();
            },
            ui::TextViewTextDidChangeNotification, this);
    }
    placeHolderLabel_->setText(placeholder_);
    refreshPlaceholder();
}

void KBTextView::refreshPlaceholder() {
    if (!placeHolderLabel_) return;
    placeHolderLabel_->setAlpha(text().empty() ? 1 : 0);
    setNeedsLayout();
    layoutIfNeeded();
}

void KBTextView::setText(std::optional<std::string> text) {
    ui::TextView::setText(std::move(text));
    refreshPlaceholder();
}

void KBTextView::setFont(std::shared_ptr<ui::Font> font) {
    ui::TextView::setFont(std::move(font));
    if (!placeHolderLabel_) return;
    placeHolderLabel_->setFont(this->font());
    setNeedsLayout();
    layoutIfNeeded();
}

void KBTextView::layoutSubviews() {
    ui::TextView::layoutSubviews();
    if (!placeHolderLabel_) return;
    placeHolderLabel_->sizeToFit();
    placeHolderLabel_->setFrame({8, 8, frame().size.width - 16, placeHolderLabel_->frame().size.height});
}

}  // namespace ql
