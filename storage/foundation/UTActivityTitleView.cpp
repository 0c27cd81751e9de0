#include "storage/foundation/UTActivityTitleView.h"

#include <algorithm>

#include "platform/ui/Color.h"
#include "platform/ui/Device.h"
#include "platform/ui/Font.h"
#include "platform/ui/StringDrawing.h"

namespace ql {

namespace {

constexpr double kTitleFontSize = 20;
constexpr double kSpinnerGap = 5;

}  // namespace

UTActivityTitleView::UTActivityTitleView() : ui::View(cg::Rect::zero()) {
    const bool pad = ui::Device::currentDevice().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad;
    activityIndicator_ = std::make_shared<ui::ActivityIndicatorView>(pad ? ui::ActivityIndicatorViewStyle::Gray
                                                                         : ui::ActivityIndicatorViewStyle::White);
    activityIndicator_->setHidesWhenStopped(true);
    addSubview(activityIndicator_);

    titleLabel_ = std::make_shared<ui::Label>(cg::Rect::zero());
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    titleLabel_->setFont(ui::Font::boldSystemFontOfSize(kTitleFontSize));
    if (pad) {
        titleLabel_->setTextColor(ui::Color::colorWithRed(113.0 / 255, 120.0 / 255, 128.0 / 255, 1));
        titleLabel_->setShadowColor(ui::Color::whiteColor());
        titleLabel_->setShadowOffset({0, 1});
    } else {
        titleLabel_->setTextColor(ui::Color::whiteColor());
        titleLabel_->setShadowColor(ui::Color::blackColor());
        titleLabel_->setShadowOffset({0, -1});
    }
    addSubview(titleLabel_);
}

void UTActivityTitleView::setTitle(std::optional<std::string> title) {
    titleLabel_->setText(std::move(title));
    const cg::Size text = ui::sizeWithFont(titleLabel_->text().value_or(""), *titleLabel_->font());
    const cg::Size spinner = activityIndicator_->frame().size;
    const double height = std::max(spinner.height, text.height);
    titleLabel_->setFrame({spinner.width + kSpinnerGap, 0, text.width, height});
    setBounds({0, 0, text.width + spinner.width + kSpinnerGap, height});
    setNeedsLayout();
}

void UTActivityTitleView::setBusy(bool busy) {
    if (busy) activityIndicator_->startAnimating();
    else activityIndicator_->stopAnimating();
    setNeedsLayout();
}

}  // namespace ql
