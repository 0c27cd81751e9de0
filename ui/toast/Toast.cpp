#include "ui/toast/Toast.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Device.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/Window.h"

namespace ql {

namespace {

constexpr double kWrapWidth = 280;

}  // namespace

// ---- Class functions ----

void Toast::showWithText(std::string text) { showWithTextDuration(std::move(text), kDefaultDuration); }

void Toast::showWithTextDuration(std::string text, double seconds) {
    auto toast = initWithText(std::move(text));
    toast->setDuration(seconds);
    toast->show();
}

void Toast::showWithTextTopOffset(std::string text, double top) {
    showWithTextTopOffsetDuration(std::move(text), top, kDefaultDuration);
}

void Toast::showWithTextTopOffsetDuration(std::string text, double top, double seconds) {
    auto toast = initWithText(std::move(text));
    toast->setDuration(seconds);
    toast->showFromTopOffset(top);
}

void Toast::showWithTextBottomOffset(std::string text, double bottom) {
    showWithTextBottomOffsetDuration(std::move(text), bottom, kDefaultDuration);
}

void Toast::showWithTextBottomOffsetDuration(std::string text, double bottom, double seconds) {
    auto toast = initWithText(std::move(text));
    toast->setDuration(seconds);
    toast->showFromBottomOffset(bottom);
}

void Toast::showWithNumText(std::string text) {
    auto toast = initWithNumText(std::move(text));
    toast->setDuration(kDefaultDuration);
    toast->show();
}

// ---- Making ----

std::shared_ptr<Toast> Toast::initWithText(std::string text) { return make(std::move(text), Style::Text); }

std::shared_ptr<Toast> Toast::initWithNumText(std::string text) { return make(std::move(text), Style::Num); }

std::shared_ptr<Toast> Toast::make(std::string text, Style style) {
    auto toast = std::make_shared<Toast>(std::move(text), style);
    std::weak_ptr<Toast> weak = toast;
    ns::NotificationCenter::defaultCenter().addObserver(
        weak,
        [weak](const ns::Notification& n) {
            if (auto self = weak.lock()) self->deviceOrientationDidChanged(n);
        },
        ui::DeviceOrientationDidChangeNotification, &ui::Device::currentDevice());
    toast->contentView_->addTarget(weak, ui::Action(&Toast::toastTaped), ui::ControlEventTouchDown);
    return toast;
}

Toast::Toast(std::string text, Style style) : ui::View(cg::Rect::zero()), text_(std::move(text)) {
    auto font = ui::Font::boldSystemFontOfSize(14);
    const cg::Size size = ui::sizeWithFont(text_, *font, {kWrapWidth, 0}, ui::LineBreakMode::WordWrapping);
    const bool plain = style == Style::Num;

    auto label = std::make_shared<ui::Label>(plain ? cg::Rect{5, 5, size.width + 10, size.height}
                                                   : cg::Rect{10, 10, size.width + 12, size.height + 12});
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextColor(ui::Color::whiteColor());
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->setFont(font);
    label->setText(text_);

    const cg::Size labelSize = label->frame().size;
    const double padding = plain ? 10 : 20;
    contentView_ = std::make_shared<ui::Button>(cg::Rect{0, 0, labelSize.width + padding, labelSize.height + padding});
    if (!plain) {
        contentView_->layer()->setCornerRadius(5);
        contentView_->layer()->setBorderWidth(1);
    }
    contentView_->layer()->setBorderColor(cg::Color::gray(0.5, 0.5));
    const double grey = static_cast<float>(0.2);
    contentView_->setBackgroundColor(ui::Color::colorWithRed(grey, grey, grey, 0.75));
    contentView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    contentView_->setAlpha(0);
    contentView_->addSubview(label);
    addSubview(contentView_);
}

Toast::~Toast() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

// ---- Showing ----

void Toast::show() {
    auto window = ui::Application::sharedApplication().keyWindow();
    if (window) {
        const auto subviews = window->subviews();
        for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
            if ((*it)->tag() == kCentredTag && std::dynamic_pointer_cast<ui::Button>(*it)) (*it)->removeFromSuperview();
        }
    }
    contentView_->setTag(kCentredTag);
    present(window ? window->center() : contentView_->center());
}

void Toast::showFromTopOffset(double top) {
    auto window = ui::Application::sharedApplication().keyWindow();
    const double x = window ? window->center().x : 0;
    present({x, top + contentView_->frame().size.height / 2});
}

void Toast::showFromBottomOffset(double bottom) {
    auto window = ui::Application::sharedApplication().keyWindow();
    const double x = window ? window->center().x : 0;
    const double height = window ? window->frame().size.height : 0;
    present({x, height - (contentView_->frame().size.height / 2 + bottom)});
}

void Toast::present(cg::Point centre) {
    ui::assertMainThread();
    contentView_->setCenter(centre);
    if (auto window = ui::Application::sharedApplication().keyWindow()) window->addSubview(contentView_);
    showAnimation();
    auto self = std::static_pointer_cast<Toast>(sharedFromThis());
    auto timer = ns::Timer::timer(duration_, false, [self](ns::Timer&) { self->hideAnimation(); });
    ns::RunLoop::main()->addTimer(timer, ns::DefaultRunLoopMode);
}

void Toast::showAnimation() {
    auto box = contentView_;
    ui::View::animate(kFadeDuration, 0, ui::ViewAnimationOptionCurveEaseIn, [box] { box->setAlpha(1); });
}

void Toast::hideAnimation() {
    auto box = contentView_;
    // The fade keeps the toast alive until it has stopped, as its delegate would be.
    auto self = std::static_pointer_cast<Toast>(sharedFromThis());
    ui::View::animate(kFadeDuration, 0, ui::ViewAnimationOptionCurveEaseOut, [box] { box->setAlpha(0); },
                      [self](bool) { self->dismissToast(); });
}

void Toast::dismissToast() { contentView_->removeFromSuperview(); }

void Toast::toastTaped(ns::Object*) { hideAnimation(); }

void Toast::deviceOrientationDidChanged(const ns::Notification&) { hideAnimation(); }

}  // namespace ql
