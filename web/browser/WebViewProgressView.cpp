#include "web/browser/WebViewProgressView.h"

#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/Window.h"

namespace ql {

WebViewProgressView::WebViewProgressView(const cg::Rect& frame) : ui::View(frame) { configureViews(); }

void WebViewProgressView::awakeFromNib() {
    ui::View::awakeFromNib();
    configureViews();
}

void WebViewProgressView::configureViews() {
    setUserInteractionEnabled(false);
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    if (progressBarView_) progressBarView_->removeFromSuperview();
    progressBarView_ = std::make_shared<ui::View>(bounds());
    progressBarView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    std::shared_ptr<ui::Color> tint;
    if (const auto& delegate = ui::Application::sharedApplication().delegate()) {
        if (auto window = delegate->window()) tint = window->tintColor();
    }
    progressBarView_->setBackgroundColor(
        tint ? tint : ui::Color::colorWithRed(22 / 255.0f, 126 / 255.0f, 251 / 255.0f, 1));
    addSubview(progressBarView_);
    barAnimationDuration_ = kDefaultBarAnimationDuration;
    fadeAnimationDuration_ = kDefaultFadeAnimationDuration;
    fadeOutDelay_ = kDefaultFadeOutDelay;
}

void WebViewProgressView::setProgress(float progress, bool animated) {
    progress_ = progress;
    const std::uint64_t generation = ++generation_;
    const auto bar = progressBarView_;
    const double width = progress * bounds().size.width;
    ui::View::animate(progress > 0 && animated ? barAnimationDuration_ : 0, 0, 0, [bar, width] {
        cg::Rect frame = bar->frame();
        frame.size.width = width;
        bar->setFrame(frame);
    });
    const double fadeDuration = animated ? fadeAnimationDuration_ : 0;
    if (progress >= 1) {
        std::weak_ptr<ns::Object> weakSelf = weak_from_this();
        ui::View::animate(
            fadeDuration, fadeOutDelay_, 0, [bar] { bar->setAlpha(0); },
            [weakSelf, bar, generation](bool) {
                auto self = std::static_pointer_cast<WebViewProgressView>(weakSelf.lock());
                if (!self || self->generation_ != generation) return;
                cg::Rect frame = bar->frame();
                frame.size.width = 0;
                bar->setFrame(frame);
            });
    } else {
        ui::View::animate(fadeDuration, 0, 0, [bar] { bar->setAlpha(1); });
    }
}

}  // namespace ql
