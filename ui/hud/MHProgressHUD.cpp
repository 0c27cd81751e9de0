#include "ui/hud/MHProgressHUD.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/StringDrawing.h"
#include "ui/RadialDimming.h"
#include "ui/hud/MHBarProgressView.h"
#include "ui/hud/MHRoundProgressView.h"

namespace ql {

namespace {

constexpr unsigned kFlexibleMargins = ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                                      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin;

std::shared_ptr<ui::Label> makeLabel(bool multiline) {
    auto label = std::make_shared<ui::Label>(cg::Rect::zero());
    label->setAdjustsFontSizeToFitWidth(false);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setOpaque(false);
    label->setBackgroundColor(ui::Color::clearColor());
    if (multiline) label->setNumberOfLines(0);
    return label;
}

cg::AffineTransform scaled(const cg::AffineTransform& rotation, double factor) {
    return cg::concat(rotation, cg::AffineTransform::makeScale(factor, factor));
}

}  // namespace

MHProgressHUD::MHProgressHUD(const cg::Rect& frame) : ui::View(frame) {
    labelFont_ = ui::Font::boldSystemFontOfSize(16);
    detailsLabelFont_ = ui::Font::boldSystemFontOfSize(12);
    labelColor_ = ui::Color::whiteColor();
    detailsLabelColor_ = ui::Color::whiteColor();
    activityIndicatorColor_ = ui::Color::whiteColor();
    setContentMode(ui::ContentMode::Center);
    setAutoresizingMask(kFlexibleMargins);
    setOpaque(false);
    setBackgroundColor(ui::Color::clearColor());
    setAlpha(0);

    label_ = makeLabel(false);
    label_->setFont(labelFont_);
    label_->setTextColor(labelColor_);
    addSubview(label_);
    detailsLabel_ = makeLabel(true);
    detailsLabel_->setFont(detailsLabelFont_);
    detailsLabel_->setTextColor(detailsLabelColor_);
    addSubview(detailsLabel_);
    updateIndicators();
}

MHProgressHUD::~MHProgressHUD() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
    for (const auto& timer : {graceTimer_, minShowTimer_, delayedHide_}) {
        if (timer) timer->invalidate();
    }
}

std::shared_ptr<MHProgressHUD> MHProgressHUD::initWithView(const ui::View& view) {
    return std::make_shared<MHProgressHUD>(view.bounds());
}

// ---- Class operations ----

std::shared_ptr<MHProgressHUD> MHProgressHUD::showHUDAddedTo(ui::View& view, bool animated) {
    auto hud = initWithView(view);
    hud->setRemoveFromSuperViewOnHide(true);
    view.addSubview(hud);
    hud->show(animated);
    return hud;
}

bool MHProgressHUD::hideHUDForView(ui::View& view, bool animated) {
    auto hud = HUDForView(view);
    if (!hud) return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(animated);
    return true;
}

std::size_t MHProgressHUD::hideAllHUDsForView(ui::View& view, bool animated) {
    const auto huds = allHUDsForView(view);
    for (const auto& hud : huds) {
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return huds.size();
}

std::shared_ptr<MHProgressHUD> MHProgressHUD::HUDForView(const ui::View& view) {
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (auto hud = std::dynamic_pointer_cast<MHProgressHUD>(*it)) return hud;
    }
    return nullptr;
}

std::vector<std::shared_ptr<MHProgressHUD>> MHProgressHUD::allHUDsForView(const ui::View& view) {
    std::vector<std::shared_ptr<MHProgressHUD>> huds;
    for (const auto& subview : view.subviews()) {
        if (auto hud = std::dynamic_pointer_cast<MHProgressHUD>(subview)) huds.push_back(hud);
    }
    return huds;
}

// ---- Showing and hiding ----

void MHProgressHUD::show(bool animated) {
    ui::assertMainThread();
    useAnimation_ = animated;
    if (graceTime_ > 0) {
        std::weak_ptr<MHProgressHUD> weak = self();
        graceTimer_ = ns::Timer::timer(graceTime_, false, [weak](ns::Timer&) {
            auto hud = weak.lock();
            // Shown only when the work it waits for is still going.
            if (hud && hud->taskInProgress_) hud->showUsingAnimation(hud->useAnimation_);
        });
        ns::RunLoop::current()->addTimer(graceTimer_, ns::RunLoopCommonModes);
        return;
    }
    showUsingAnimation(animated);
}

void MHProgressHUD::hide(bool animated) {
    ui::assertMainThread();
    useAnimation_ = animated;
    if (minShowTime_ > 0 && showStarted_) {
        const double shown = ns::Date::now().timeIntervalSince1970() - showStarted_->timeIntervalSince1970();
        if (shown < minShowTime_) {
            std::weak_ptr<MHProgressHUD> weak = self();
            minShowTimer_ = ns::Timer::timer(minShowTime_ - shown, false, [weak](ns::Timer&) {
                if (auto hud = weak.lock()) hud->hideUsingAnimation(hud->useAnimation_);
            });
            ns::RunLoop::current()->addTimer(minShowTimer_, ns::DefaultRunLoopMode);
            return;
        }
    }
    hideUsingAnimation(animated);
}

void MHProgressHUD::hide(bool animated, double delay) {
    cancelDelayedHide();
    std::weak_ptr<MHProgressHUD> weak = self();
    delayedHide_ = ns::Timer::timer(delay, false, [weak, animated](ns::Timer&) {
        if (auto hud = weak.lock()) hud->hideDelayed(animated);
    });
    ns::RunLoop::current()->addTimer(delayedHide_, ns::DefaultRunLoopMode);
}

void MHProgressHUD::cancelDelayedHide() {
    if (delayedHide_) delayedHide_->invalidate();
    delayedHide_ = nullptr;
}

void MHProgressHUD::showUsingAnimation(bool animated) {
    cancelDelayedHide();
    setNeedsDisplay();
    if (animated && animationType_ == MHProgressHUDAnimationZoomIn) {
        setTransform(scaled(rotationTransform_, 0.5));
    } else if (animated && animationType_ == MHProgressHUDAnimationZoomOut) {
        setTransform(scaled(rotationTransform_, 1.5));
    }
    showStarted_ = ns::Date::now();
    if (!animated) {
        setAlpha(1);
        return;
    }
    auto hud = self();
    ui::View::animate(kAnimationDuration, [hud] {
        hud->setAlpha(1);
        if (hud->animationType_ != MHProgressHUDAnimationFade) hud->setTransform(hud->rotationTransform_);
    });
}

void MHProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && showStarted_) {
        auto hud = self();
        ui::View::animate(
            kAnimationDuration,
            [hud] {
                if (hud->animationType_ == MHProgressHUDAnimationZoomIn) {
                    hud->setTransform(scaled(hud->rotationTransform_, 1.5));
                } else if (hud->animationType_ == MHProgressHUDAnimationZoomOut) {
                    hud->setTransform(scaled(hud->rotationTransform_, 0.5));
                }
                hud->setAlpha(0.02f);
            },
            [hud](bool) { hud->done(); });
    } else {
        setAlpha(0);
        done();
    }
    showStarted_.reset();
}

void MHProgressHUD::done() {
    auto keep = self();
    cancelDelayedHide();
    isFinished_ = true;
    setAlpha(0);
    if (removeFromSuperViewOnHide_) removeFromSuperview();
    if (completionBlock_) {
        auto block = std::move(completionBlock_);
        completionBlock_ = nullptr;
        block();
    }
    if (auto d = delegate()) d->hudWasHidden(*this);
}

// ---- Work while shown ----

void MHProgressHUD::showWhileExecuting(Block method, bool animated) {
    methodForExecution_ = std::move(method);
    taskInProgress_ = true;
    auto hud = self();
    Block work = methodForExecution_;
    ns::Thread::detachNewThread([hud, work] {
        if (work) work();
        ns::RunLoop::main()->performBlock([hud] { hud->cleanUp(); });
    });
    show(animated);
}

void MHProgressHUD::showAnimated(bool animated, Block block, std::shared_ptr<ns::DispatchQueue> queue, Block completion) {
    taskInProgress_ = true;
    completionBlock_ = std::move(completion);
    if (!queue) queue = ns::DispatchQueue::global();
    auto hud = self();
    queue->async([hud, block = std::move(block)] {
        if (block) block();
        ns::DispatchQueue::main()->async([hud] { hud->cleanUp(); });
    });
    show(animated);
}

void MHProgressHUD::cleanUp() {
    taskInProgress_ = false;
    methodForExecution_ = nullptr;
    hide(useAnimation_);
}

// ---- Properties that change the look ----

namespace {

template <class T>
T locked(std::mutex& mutex, const T& field) {
    std::lock_guard lock(mutex);
    return field;
}

}  // namespace

#define QL_MH_PROPERTY(Type, getter, setter, field, key)                     \
    Type MHProgressHUD::getter() const { return locked(mutex_, field); }    \
    void MHProgressHUD::setter(Type value) {                                 \
        willChangeValueForKey(key);                                          \
        {                                                                    \
            std::lock_guard lock(mutex_);                                    \
            field = std::move(value);                                        \
        }                                                                    \
        didChangeValueForKey(key);                                           \
        propertyChanged(key);                                                \
    }

QL_MH_PROPERTY(MHProgressHUDMode, mode, setMode, mode_, "mode")
QL_MH_PROPERTY(std::shared_ptr<ui::View>, customView, setCustomView, customView_, "customView")
QL_MH_PROPERTY(std::optional<std::string>, labelText, setLabelText, labelText_, "labelText")
QL_MH_PROPERTY(std::shared_ptr<ui::Font>, labelFont, setLabelFont, labelFont_, "labelFont")
QL_MH_PROPERTY(std::shared_ptr<ui::Color>, labelColor, setLabelColor, labelColor_, "labelColor")
QL_MH_PROPERTY(std::optional<std::string>, detailsLabelText, setDetailsLabelText, detailsLabelText_, "detailsLabelText")
QL_MH_PROPERTY(std::shared_ptr<ui::Font>, detailsLabelFont, setDetailsLabelFont, detailsLabelFont_, "detailsLabelFont")
QL_MH_PROPERTY(std::shared_ptr<ui::Color>, detailsLabelColor, setDetailsLabelColor, detailsLabelColor_,
               "detailsLabelColor")
QL_MH_PROPERTY(float, progress, setProgress, progress_, "progress")
QL_MH_PROPERTY(std::shared_ptr<ui::Color>, activityIndicatorColor, setActivityIndicatorColor, activityIndicatorColor_,
               "activityIndicatorColor")

#undef QL_MH_PROPERTY

void MHProgressHUD::propertyChanged(std::string_view keyPath) {
    if (ns::Thread::isMainThread()) {
        updateUIForKeypath(keyPath);
        return;
    }
    std::weak_ptr<MHProgressHUD> weak = std::static_pointer_cast<MHProgressHUD>(weak_from_this().lock());
    ns::RunLoop::main()->performBlock([weak, key = std::string(keyPath)] {
        if (auto hud = weak.lock()) hud->updateUIForKeypath(key);
    });
}

void MHProgressHUD::updateUIForKeypath(std::string_view keyPath) {
    if (keyPath == "mode" || keyPath == "customView" || keyPath == "activityIndicatorColor") {
        updateIndicators();
    } else if (keyPath == "labelText") {
        label_->setText(labelText());
    } else if (keyPath == "labelFont") {
        label_->setFont(labelFont());
    } else if (keyPath == "labelColor") {
        label_->setTextColor(labelColor());
    } else if (keyPath == "detailsLabelText") {
        detailsLabel_->setText(detailsLabelText());
    } else if (keyPath == "detailsLabelFont") {
        detailsLabel_->setFont(detailsLabelFont());
    } else if (keyPath == "detailsLabelColor") {
        detailsLabel_->setTextColor(detailsLabelColor());
    } else if (keyPath == "progress") {
        // Only the indicator draws anew; the panel keeps its layout.
        if (auto round = std::dynamic_pointer_cast<MHRoundProgressView>(indicator_)) round->setProgress(progress());
        if (auto bar = std::dynamic_pointer_cast<MHBarProgressView>(indicator_)) bar->setProgress(progress());
        return;
    }
    setNeedsLayout();
    setNeedsDisplay();
}

void MHProgressHUD::updateIndicators() {
    const auto color = activityIndicatorColor();
    const auto replace = [this](std::shared_ptr<ui::View> next) {
        if (indicator_) indicator_->removeFromSuperview();
        indicator_ = std::move(next);
        if (indicator_) addSubview(indicator_);
    };
    switch (mode()) {
        case MHProgressHUDModeIndeterminate: {
            auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(indicator_);
            if (!spinner) {
                spinner = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::WhiteLarge);
                spinner->startAnimating();
                replace(spinner);
            }
            spinner->setColor(color);
            break;
        }
        case MHProgressHUDModeDeterminateHorizontalBar:
            replace(std::make_shared<MHBarProgressView>());
            break;
        case MHProgressHUDModeDeterminate:
        case MHProgressHUDModeAnnularDeterminate: {
            auto round = std::dynamic_pointer_cast<MHRoundProgressView>(indicator_);
            if (!round) {
                round = std::make_shared<MHRoundProgressView>();
                replace(round);
            }
            if (mode() == MHProgressHUDModeAnnularDeterminate) round->setAnnular(true);
            round->setProgressTintColor(color);
            round->setBackgroundTintColor(color->colorWithAlphaComponent(static_cast<float>(0.1)));
            break;
        }
        case MHProgressHUDModeCustomView:
            if (auto custom = customView(); custom != indicator_) replace(custom);
            break;
        case MHProgressHUDModeText:
            replace(nullptr);
            break;
    }
}

// ---- Layout and drawing ----

void MHProgressHUD::layoutSubviews() {
    ui::View::layoutSubviews();
    if (ui::View* parent = superview()) setFrame(parent->bounds());
    const cg::Rect bounds = this->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    const double margin = margin_;
    const double maxWidth = W - 4 * margin;

    cg::Size indicatorSize = indicator_ ? indicator_->bounds().size : cg::Size{};
    indicatorSize.width = std::min(indicatorSize.width, maxWidth);
    double totalWidth = indicatorSize.width;
    double totalHeight = indicatorSize.height;

    cg::Size labelSize;
    if (const auto text = label_->text(); text && !text->empty()) {
        labelSize = ui::sizeWithFont(*text, *label_->font());
        labelSize.width = std::min(labelSize.width, maxWidth);
    }
    totalWidth = std::max(totalWidth, labelSize.width);
    totalHeight += labelSize.height;
    const bool spaceAfterIndicator = labelSize.height > 0 && indicatorSize.height > 0;
    if (spaceAfterIndicator) totalHeight += kPadding;

    cg::Size detailsSize;
    if (const auto text = detailsLabel_->text(); text && !text->empty()) {
        const double remaining = H - totalHeight - kPadding - 4 * margin;
        detailsSize = ui::sizeWithFont(*text, *detailsLabel_->font(), {maxWidth, remaining}, ui::LineBreakMode::WordWrapping);
    }
    totalWidth = std::max(totalWidth, detailsSize.width);
    totalHeight += detailsSize.height;
    const bool spaceAfterLabel = detailsSize.height > 0 && (indicatorSize.height > 0 || labelSize.height > 0);
    if (spaceAfterLabel) totalHeight += kPadding;

    totalWidth += 2 * margin;
    totalHeight += 2 * margin;

    double y = std::round((H - totalHeight) / 2) + margin + yOffset_;
    if (indicator_) {
        indicator_->setFrame({std::round((W - indicatorSize.width) / 2) + xOffset_, y, indicatorSize.width,
                              indicatorSize.height});
    }
    y += indicatorSize.height + (spaceAfterIndicator ? kPadding : 0);
    label_->setFrame({std::round((W - labelSize.width) / 2) + xOffset_, y, labelSize.width, labelSize.height});
    y += labelSize.height + (spaceAfterLabel ? kPadding : 0);
    detailsLabel_->setFrame({std::round((W - detailsSize.width) / 2) + xOffset_, y, detailsSize.width, detailsSize.height});

    if (square_) {
        const double side = std::max(totalWidth, totalHeight);
        if (side <= W - 2 * margin) totalWidth = side;
        if (side <= H - 2 * margin) totalHeight = side;
    }
    size_ = {std::max(totalWidth, minSize_.width), std::max(totalHeight, minSize_.height)};
}

void MHProgressHUD::drawRect(const cg::Rect&) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    const cg::Rect all = bounds();
    if (dimBackground_) drawRadialDimming(*context, all);
    context->setFillColor(color_ ? color_->CGColor() : cg::Color::gray(0, opacity_));
    const cg::Rect box{std::round((all.size.width - size_.width) / 2) + xOffset_,
                       std::round((all.size.height - size_.height) / 2) + yOffset_, size_.width, size_.height};
    const double r = cornerRadius_;
    const double pi = std::numbers::pi;
    context->moveToPoint(cg::minX(box) + r, cg::minY(box));
    context->addArc(cg::maxX(box) - r, cg::minY(box) + r, r, 3 * pi / 2, 0, false);
    context->addArc(cg::maxX(box) - r, cg::maxY(box) - r, r, 0, pi / 2, false);
    context->addArc(cg::minX(box) + r, cg::maxY(box) - r, r, pi / 2, pi, false);
    context->addArc(cg::minX(box) + r, cg::minY(box) + r, r, pi, 3 * pi / 2, false);
    context->closePath();
    context->fillPath();
}

// ---- Orientation ----

void MHProgressHUD::didMoveToSuperview() {
    if (!observingOrientation_ && superview()) {
        observingOrientation_ = true;
        std::weak_ptr<MHProgressHUD> weak = self();
        ns::NotificationCenter::defaultCenter().addObserver(
            weak,
            [weak](const ns::Notification&) {
                auto hud = weak.lock();
                if (hud && hud->superview()) hud->updateForCurrentOrientationAnimated(true);
            },
            ui::ApplicationDidChangeStatusBarOrientationNotification);
    }
    updateForCurrentOrientationAnimated(false);
}

// The windows here turn with the interface, so the overlay only follows its parent's bounds.
void MHProgressHUD::updateForCurrentOrientationAnimated(bool) {
    if (ui::View* parent = superview()) {
        setBounds(parent->bounds());
        setNeedsDisplay();
    }
}

}  // namespace ql
