#include "platform/ui/TableViewHeaderFooterView.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

namespace ql::ui {

TableViewHeaderFooterView::TableViewHeaderFooterView(std::string reuseIdentifier)
    : View(cg::Rect{0, 0, 320, 22}), reuseIdentifier_(std::move(reuseIdentifier)),
      contentView_(std::make_shared<View>(cg::Rect{0, 0, 320, 22})) {
    setBackgroundColor(Color::clearColor());
    setOpaque(false);
    contentView_->setBackgroundColor(Color::clearColor());
    contentView_->setOpaque(false);
    addSubview(contentView_);
}

const std::shared_ptr<Label>& TableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        textLabel_->setBackgroundColor(Color::clearColor());
        textLabel_->setOpaque(false);
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

void TableViewHeaderFooterView::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_ == view) return;
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void TableViewHeaderFooterView::layoutSubviews() {
    const cg::Rect b = bounds();
    contentView_->setFrame(b);
    if (backgroundView_) backgroundView_->setFrame(b);
    if (textLabel_) {
        const double margin = TableViewCell::kMargin;
        textLabel_->setFrame({margin, 0, std::max(0.0, b.size.width - 2 * margin), b.size.height});
    }
}

}  // namespace ql::ui
