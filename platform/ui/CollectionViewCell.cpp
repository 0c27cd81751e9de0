#include "platform/ui/CollectionViewCell.h"

#include "platform/ui/Color.h"

namespace ql::ui {

CollectionViewCell::CollectionViewCell(const cg::Rect& frame)
    : CollectionReusableView(frame), contentView_(std::make_shared<View>(bounds())) {
    setBackgroundColor(Color::clearColor());
    setOpaque(false);
    contentView_->setBackgroundColor(Color::clearColor());
    contentView_->setOpaque(false);
    contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void CollectionViewCell::setBackgroundView(std::shared_ptr<View> view) {
    if (view == backgroundView_) return;
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void CollectionViewCell::setSelectedBackgroundView(std::shared_ptr<View> view) {
    if (view == selectedBackgroundView_) return;
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    showSelection();
}

void CollectionViewCell::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    showSelection();
}

void CollectionViewCell::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    showSelection();
}

void CollectionViewCell::showSelection() {
    if (!selectedBackgroundView_) return;
    if (selected_ || highlighted_) {
        if (selectedBackgroundView_->superview() != this) {
            insertSubviewBelow(selectedBackgroundView_, contentView_.get());
            selectedBackgroundView_->setFrame(bounds());
        }
    } else {
        selectedBackgroundView_->removeFromSuperview();
    }
}

void CollectionViewCell::prepareForReuse() {
    setHighlighted(false);
    setSelected(false);
}

void CollectionViewCell::layoutSubviews() {
    const cg::Rect b = bounds();
    contentView_->setFrame(b);
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_ && selectedBackgroundView_->superview() == this) selectedBackgroundView_->setFrame(b);
}

}  // namespace ql::ui
