#include "ui/hud/ProgressHUD.h"

#include <cmath>
#include <numbers>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ShapeLayer.h"
#include "platform/ui/StringDrawing.h"
#include "platform/ui/Window.h"
#include "ui/RadialDimming.h"

namespace ql {

namespace {

constexpr double kFadeDuration = 0.15;
constexpr double kShowScale = 1.3;
constexpr double kDismissScale = 0.8;
constexpr double kResultPause = 1.0;
constexpr unsigned kFlexibleSize = ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight;
constexpr unsigned kFlexibleMargins = ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                                      ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin;

ns::Dictionary statusUserInfo(const ProgressHUD::Status& status) {
    if (!status) return {};
    return ns::Dictionary{{std::string(ProgressHUDStatusUserInfoKey), ns::Value(*status)}};
}

}  // namespace

ProgressHUD::ProgressHUD() : ProgressHUD(ui::Screen::mainScreen().bounds()) {}

ProgressHUD::ProgressHUD(const cg::Rect& frame) : ui::View(frame) {
    setUserInteractionEnabled(false);
    setBackgroundColor(ui::Color::clearColor());
    setAlpha(0);
    setAutoresizingMask(kFlexibleSize);
}

ProgressHUD::~ProgressHUD() {
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
}

ProgressHUD& ProgressHUD::sharedView() {
    // Made once and never released, as the overlay lives for the whole process.
    static const auto* const holder =
        new std::shared_ptr<ProgressHUD>(std::make_shared<ProgressHUD>(ui::Screen::mainScreen().bounds()));
    static ProgressHUD* const shared = holder->get();
    return *shared;
}

// ---- Class functions ----

void ProgressHUD::show() { sharedView().showProgressStatusMaskType(-1, std::nullopt, ProgressHUDMaskTypeNone); }

void ProgressHUD::showWithStatus(Status status) {
    sharedView().showProgressStatusMaskType(-1, std::move(status), ProgressHUDMaskTypeNone);
}

void ProgressHUD::showWithMaskType(ProgressHUDMaskType maskType) {
    sharedView().showProgressStatusMaskType(-1, std::nullopt, maskType);
}

void ProgressHUD::showWithStatus(Status status, ProgressHUDMaskType maskType) {
    sharedView().showProgressStatusMaskType(-1, std::move(status), maskType);
}

void ProgressHUD::showProgress(double progress) { showProgress(progress, std::nullopt, ProgressHUDMaskTypeNone); }

void ProgressHUD::showProgress(double progress, Status status) {
    showProgress(progress, std::move(status), ProgressHUDMaskTypeNone);
}

void ProgressHUD::showProgress(double progress, Status status, ProgressHUDMaskType maskType) {
    sharedView().showProgressStatusMaskType(static_cast<float>(progress), std::move(status), maskType);
}

void ProgressHUD::showSuccessWithStatus(Status status) {
    showImage(ui::Image::imageNamed("ProgressHUD.bundle/success.png"), std::move(status));
}

void ProgressHUD::showErrorWithStatus(Status status) {
    showImage(ui::Image::imageNamed("ProgressHUD.bundle/error.png"), std::move(status));
}

void ProgressHUD::showImage(std::shared_ptr<ui::Image> image, Status status) {
    ProgressHUD& hud = sharedView();
    const double duration = hud.displayDurationForString(status);
    hud.showImage(std::move(image), std::move(status), duration);
}

void ProgressHUD::setStatus(Status status) { sharedView().setStatusText(std::move(status)); }

void ProgressHUD::popActivity() {
    ProgressHUD& hud = sharedView();
    if (hud.activityCount_ == 0) return;
    if (--hud.activityCount_ == 0) dismiss();
}

void ProgressHUD::dismiss() { sharedView().fadeOut(0, kDismissScale); }

void ProgressHUD::dismissWithStatus(Status status, double delay) { dismissWithStatus(std::move(status), delay, {}); }

void ProgressHUD::dismissWithStatus(Status status, double delay, std::function<void()> endBlock) {
    sharedView().setStatusText(std::move(status));
    ns::DispatchQueue::main()->after(delay, [endBlock = std::move(endBlock)] {
        dismiss();
        if (endBlock) endBlock();
    });
}

bool ProgressHUD::isVisible() { return sharedView().alpha() == 1; }

// ---- Style ----

std::shared_ptr<ui::Color> ProgressHUD::hudBackgroundColor() const {
    return hudBgColor_ ? hudBgColor_ : ui::Color::colorWithWhite(0, 0.6);
}

void ProgressHUD::setHudBackgroundColor(std::shared_ptr<ui::Color> color) { hudBgColor_ = std::move(color); }

std::shared_ptr<ui::Color> ProgressHUD::hudForegroundColor() const {
    return hudFgColor_ ? hudFgColor_ : ui::Color::whiteColor();
}

void ProgressHUD::setHudForegroundColor(std::shared_ptr<ui::Color> color) { hudFgColor_ = std::move(color); }

std::shared_ptr<ui::Color> ProgressHUD::hudStatusShadowColor() const {
    return hudStatusShColor_ ? hudStatusShColor_ : ui::Color::blackColor();
}

void ProgressHUD::setHudStatusShadowColor(std::shared_ptr<ui::Color> color) { hudStatusShColor_ = std::move(color); }

std::shared_ptr<ui::Font> ProgressHUD::hudFont() const {
    return hudFont_ ? hudFont_ : ui::Font::boldSystemFontOfSize(14);
}

void ProgressHUD::setHudFont(std::shared_ptr<ui::Font> font) { hudFont_ = std::move(font); }

// ---- Parts ----

void ProgressHUD::setFadeOutTimer(std::shared_ptr<ns::Timer> timer) {
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
    fadeOutTimer_ = std::move(timer);
}

const std::shared_ptr<ui::Button>& ProgressHUD::overlayView() {
    if (!overlayView_) {
        overlayView_ = std::make_shared<ui::Button>(ui::Screen::mainScreen().bounds());
        overlayView_->setAutoresizingMask(kFlexibleSize);
        overlayView_->setBackgroundColor(ui::Color::clearColor());
        const auto empty = std::make_shared<ui::Image>(nullptr, 1, ui::ImageOrientation::Up);
        overlayView_->setBackgroundImage(empty, ui::ControlStateNormal);
        overlayView_->setBackgroundImage(empty, ui::ControlStateDisabled);
        overlayView_->addTarget(weak_from_this(), ui::Action(&ProgressHUD::overlayViewDidReceiveTouchEvent),
                                ui::ControlEventTouchDown);
    }
    return overlayView_;
}

const std::shared_ptr<ui::View>& ProgressHUD::hudView() {
    if (!hudView_) {
        hudView_ = std::make_shared<ui::View>(cg::Rect::zero());
        hudView_->layer()->setCornerRadius(10);
        hudView_->layer()->setMasksToBounds(true);
        hudView_->setBackgroundColor(hudBackgroundColor());
        hudView_->setAutoresizingMask(kFlexibleMargins);
        addSubview(hudView_);
    }
    return hudView_;
}

const std::shared_ptr<ui::Label>& ProgressHUD::stringLabel() {
    if (!stringLabel_) {
        stringLabel_ = std::make_shared<ui::Label>(cg::Rect::zero());
        stringLabel_->setBackgroundColor(ui::Color::clearColor());
        stringLabel_->setAdjustsFontSizeToFitWidth(true);
        stringLabel_->setTextAlignment(ui::TextAlignment::Center);
        stringLabel_->setBaselineAdjustment(ui::BaselineAdjustment::AlignCenters);
        stringLabel_->setTextColor(hudForegroundColor());
        stringLabel_->setFont(hudFont());
        stringLabel_->setShadowOffset({0, -1});
        stringLabel_->setNumberOfLines(0);
    }
    if (!stringLabel_->superview()) hudView()->addSubview(stringLabel_);
    return stringLabel_;
}

const std::shared_ptr<ui::ImageView>& ProgressHUD::imageView() {
    if (!imageView_) imageView_ = std::make_shared<ui::ImageView>(cg::Rect{0, 0, 28, 28});
    if (!imageView_->superview()) hudView()->addSubview(imageView_);
    return imageView_;
}

const std::shared_ptr<ui::ActivityIndicatorView>& ProgressHUD::spinnerView() {
    if (!spinnerView_) {
        spinnerView_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::White);
        spinnerView_->setHidesWhenStopped(true);
        spinnerView_->setBounds({0, 0, 37, 37});
        spinnerView_->setColor(hudForegroundColor());
    }
    if (!spinnerView_->superview()) hudView()->addSubview(spinnerView_);
    return spinnerView_;
}

const std::shared_ptr<ui::ShapeLayer>& ProgressHUD::ringLayer() {
    if (!ringLayer_) {
        const cg::Rect panel = hudView()->frame();
        const cg::Point centre{panel.size.width / 2, panel.size.height / 2};
        ringLayer_ = createRingLayerWithCenter(centre, kRingRadius, kRingLineWidth, cg::Color::gray(1, 1));
        ringLayer_->setStrokeEnd(0);
        hudView()->layer()->addSublayer(ringLayer_);
    }
    return ringLayer_;
}

const std::shared_ptr<ui::ShapeLayer>& ProgressHUD::backgroundRingLayer() {
    if (!backgroundRingLayer_) {
        const cg::Rect panel = hudView()->frame();
        const cg::Point centre{panel.size.width / 2, panel.size.height / 2};
        backgroundRingLayer_ =
            createRingLayerWithCenter(centre, kRingRadius, kRingLineWidth, ui::Color::darkGrayColor()->CGColor());
        backgroundRingLayer_->setStrokeEnd(1);
        hudView()->layer()->addSublayer(backgroundRingLayer_);
    }
    return backgroundRingLayer_;
}

// ---- Showing ----

std::shared_ptr<ui::Window> ProgressHUD::normalLevelWindow() const {
    const auto windows = ui::Application::sharedApplication().windows();
    for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
        if ((*window)->windowLevel() == ui::WindowLevelNormal) return *window;
    }
    return nullptr;
}

void ProgressHUD::showProgressStatusMaskType(float progress, Status status, ProgressHUDMaskType maskType) {
    ui::assertMainThread();
    if (!overlayView()->superview()) {
        if (auto window = normalLevelWindow()) window->addSubview(overlayView());
    }
    if (!superview()) {
        // The mask covers the overlay it is shown in, whatever screen the overlay was made for.
        setFrame(overlayView()->bounds());
        overlayView()->addSubview(sharedFromThis());
    }
    setFadeOutTimer(nullptr);
    imageView()->setHidden(true);
    maskType_ = maskType;
    progress_ = progress;
    stringLabel()->setText(status);
    updatePosition();

    if (progress >= 0) {
        imageView()->setImage(nullptr);
        imageView()->setHidden(false);
        spinnerView()->stopAnimating();
        ringLayer()->setStrokeEnd(progress);
        if (progress == 0) ++activityCount_;
    } else {
        ++activityCount_;
        cancelRingLayerAnimation();
        spinnerView()->startAnimating();
    }

    overlayView()->setUserInteractionEnabled(maskType != ProgressHUDMaskTypeNone);
    makeAccessibilityElement(status);
    overlayView()->setHidden(false);
    positionHUD(nullptr);

    if (alpha() != 1) {
        registerNotifications();
        hudView()->setTransform(cg::scale(hudView()->transform(), kShowScale, kShowScale));
        auto panel = hudView();
        auto self = std::static_pointer_cast<ProgressHUD>(sharedFromThis());
        ui::View::animate(
            kFadeDuration, 0, ui::ViewAnimationOptionAllowUserInteraction | ui::ViewAnimationOptionBeginFromCurrentState,
            [self, panel] {
                panel->setTransform(cg::scale(panel->transform(), 1 / kShowScale, 1 / kShowScale));
                self->setAlpha(1);
            },
            [status](bool) {
                ui::AccessibilityPostNotification(ui::AccessibilityNotification::ScreenChanged);
                ui::AccessibilityPostNotification(ui::AccessibilityNotification::Announcement,
                                                  status ? ns::Value(*status) : ns::Value());
            });
        setNeedsDisplay();
    }
}

void ProgressHUD::makeAccessibilityElement(const Status& status) {
    ui::View& element = maskType_ == ProgressHUDMaskTypeNone ? *hudView() : *this;
    element.setIsAccessibilityElement(true);
    element.setAccessibilityLabel(status);
}

void ProgressHUD::showImage(std::shared_ptr<ui::Image> image, Status status, double duration) {
    progress_ = -1;
    cancelRingLayerAnimation();
    if (!isVisible()) show();

    imageView()->setImage(std::move(image));
    imageView()->setHidden(false);
    stringLabel()->setText(status);
    updatePosition();
    spinnerView()->stopAnimating();

    makeAccessibilityElement(status);
    ui::AccessibilityPostNotification(ui::AccessibilityNotification::ScreenChanged);
    ui::AccessibilityPostNotification(ui::AccessibilityNotification::Announcement,
                                      status ? ns::Value(*status) : ns::Value());

    std::weak_ptr<ProgressHUD> weak = std::static_pointer_cast<ProgressHUD>(sharedFromThis());
    auto timer = ns::Timer::timer(duration, false, [weak](ns::Timer&) {
        if (auto self = weak.lock()) self->dismissSuccess();
    });
    setFadeOutTimer(timer);
    ns::RunLoop::main()->addTimer(timer, ns::RunLoopCommonModes);
}

double ProgressHUD::displayDurationForString(const Status& text) const {
    const auto length = text ? ns::utf16Length(*text) : 0;
    return static_cast<float>(length) * 0.06 + 0.3;
}

void ProgressHUD::setStatusText(Status status) {
    stringLabel()->setText(std::move(status));
    updatePosition();
}

// ---- Hiding ----

void ProgressHUD::dismissSuccess() { fadeOut(kResultPause, 1); }

void ProgressHUD::fadeOut(double delay, double scale) {
    const ns::Dictionary userInfo = statusUserInfo(stringLabel()->text());
    ns::NotificationCenter::defaultCenter().post(ProgressHUDWillDisappearNotification, nullptr, userInfo);
    activityCount_ = 0;
    // A result's timer still pending would fade the overlay (and tell of it) a second time.
    setFadeOutTimer(nullptr);

    auto self = std::static_pointer_cast<ProgressHUD>(sharedFromThis());
    auto panel = hudView();
    ui::View::animate(
        kFadeDuration, delay, ui::ViewAnimationOptionLayoutSubviews | ui::ViewAnimationOptionAllowUserInteraction,
        [self, panel, scale] {
            panel->setTransform(cg::scale(panel->transform(), scale, scale));
            self->setAlpha(0);
        },
        [self, userInfo](bool) {
            // A show during the fade raised the alpha again: the overlay stays.
            if (self->alpha() != 0) return;
            ns::NotificationCenter::defaultCenter().removeObserver(self.get());
            self->cancelRingLayerAnimation();
            if (self->hudView_) self->hudView_->removeFromSuperview();
            self->hudView_ = nullptr;
            if (self->overlayView_) self->overlayView_->removeFromSuperview();
            self->overlayView_ = nullptr;
            ui::AccessibilityPostNotification(ui::AccessibilityNotification::ScreenChanged);
            ns::NotificationCenter::defaultCenter().post(ProgressHUDDidDisappearNotification, nullptr, userInfo);
        });
}

// ---- Layout ----

// The panel is 100 × 100 without a text. With one, it grows around the text measured within 200 × 300:
// 80 points taller than the text above a spinner or image (the tall layout), 20 taller for a ring alone
// (an image view shown without an image), at least 124 wide, the label spanning the whole panel while
// the panel stays within 100 points of height.
void ProgressHUD::updatePosition() {
    const Status& text = stringLabel()->text();
    const bool tall = imageView()->image() || imageView()->isHidden();
    double width = 100, height = 100;
    cg::Rect labelFrame = cg::Rect::zero();
    if (text) {
        const cg::Size size = ui::sizeWithFont(*text, *stringLabel()->font(), {200, 300}, ui::LineBreakMode::WordWrapping);
        height = size.height + (tall ? 80 : 20);
        const double textWidth = size.width > 100 ? std::ceil(size.width / 2) * 2 : 100;
        const double y = tall ? 66 : 9;
        width = textWidth + 24;
        labelFrame = height > 100 ? cg::Rect{12, y, textWidth, size.height} : cg::Rect{0, y, width, size.height};
    }
    hudView()->setBounds({0, 0, width, height});
    if (hudView()->superview()) hudView()->setCenter(keptOnScreen(hudView()->center()));

    imageView()->setCenter(text ? cg::Point{width / 2, 36} : cg::Point{width / 2, height / 2});
    stringLabel()->setHidden(false);
    stringLabel()->setFrame(labelFrame);
    spinnerView()->setCenter(text ? cg::Point{std::ceil(width / 2) + 0.5, 40.5}
                                  : cg::Point{std::ceil(width / 2) + 0.5, std::ceil(height / 2) + 0.5});
    if (progress_ != -1) {
        const cg::Point ringCentre = text ? cg::Point{width / 2, 36} : cg::Point{width / 2, height / 2};
        backgroundRingLayer()->setPosition(ringCentre);
        ringLayer()->setPosition(ringCentre);
    }
}

double ProgressHUD::visibleKeyboardHeight() const { return ui::Keyboard::shared().visibleHeight(); }

// Windows here follow the interface orientation themselves (the screen's bounds turn with it), so the
// panel stays upright and only its height above the keyboard depends on the orientation.
void ProgressHUD::positionHUD(const ns::Notification* notification) {
    double keyboard = 0;
    double duration = 0;
    if (notification) {
        const ns::Dictionary& info = notification->userInfo();
        const std::string& name = notification->name();
        if (name == ui::KeyboardWillShowNotification || name == ui::KeyboardDidShowNotification) {
            if (const ns::Value* frame = info.find(ui::KeyboardFrameBeginUserInfoKey)) {
                if (auto rect = ui::GeometryValue::CGRectValue(*frame)) keyboard = rect->size.height;
            }
        }
        if (const ns::Value* seconds = info.find(ui::KeyboardAnimationDurationUserInfoKey)) {
            duration = seconds->doubleValue();
        }
    } else {
        keyboard = visibleKeyboardHeight();
    }

    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    const double statusBar = ui::Application::sharedApplication().statusBarFrame().size.height;
    double activeHeight = screen.height;
    if (keyboard > 0) activeHeight += 2 * statusBar;
    activeHeight -= keyboard;
    const cg::Point centre{screen.width / 2, std::floor(activeHeight * 0.45)};

    if (notification) {
        auto self = std::static_pointer_cast<ProgressHUD>(sharedFromThis());
        ui::View::animate(duration, 0, ui::ViewAnimationOptionAllowUserInteraction,
                          [self, centre] { self->moveToPoint(centre, 0); });
    } else {
        moveToPoint(centre, 0);
    }
}

void ProgressHUD::moveToPoint(cg::Point point, double angle) {
    hudView()->setTransform(cg::AffineTransform::makeRotation(angle));
    hudView()->setCenter(keptOnScreen(point));
}

// A panel taller than twice the room above its place (a long status over the keyboard of a small phone)
// moves down so that its top stays on the screen.
cg::Point ProgressHUD::keptOnScreen(cg::Point centre) {
    return {centre.x, std::max(centre.y, std::ceil(hudView()->bounds().size.height / 2))};
}

void ProgressHUD::registerNotifications() {
    auto& centre = ns::NotificationCenter::defaultCenter();
    centre.removeObserver(this);
    std::weak_ptr<ProgressHUD> weak = std::static_pointer_cast<ProgressHUD>(sharedFromThis());
    for (std::string_view name : {ui::ApplicationDidChangeStatusBarOrientationNotification, ui::KeyboardWillHideNotification,
                                  ui::KeyboardDidHideNotification, ui::KeyboardWillShowNotification,
                                  ui::KeyboardDidShowNotification}) {
        centre.addObserver(
            weak, [weak](const ns::Notification& n) {
                if (auto self = weak.lock()) self->positionHUD(&n);
            },
            name);
    }
}

void ProgressHUD::overlayViewDidReceiveTouchEvent() {
    ns::NotificationCenter::defaultCenter().post(ProgressHUDDidReceiveTouchEventNotification);
}

// ---- Rings ----

cg::Point ProgressHUD::pointOnCircleWithCenter(cg::Point, double radius, double angleInDegrees) {
    const float r = static_cast<float>(radius);
    const float radians = static_cast<float>(angleInDegrees * std::numbers::pi / 180);
    const float x = r + static_cast<float>(r * std::cos(radians));
    const float y = r + static_cast<float>(r * std::sin(radians));
    return {x, y};
}

cg::Path ProgressHUD::createCirclePathWithCenter(cg::Point center, double radius, int sampleCount) {
    cg::Path path;
    const cg::Point first = pointOnCircleWithCenter(center, radius, -90);
    path.moveTo(first);
    const float step = 360.0f / static_cast<float>(sampleCount);
    for (int i = 1; i < sampleCount; ++i) {
        path.lineTo(pointOnCircleWithCenter(center, radius, -90 + static_cast<float>(i) * step));
    }
    path.lineTo(first);
    return path;
}

std::shared_ptr<ui::ShapeLayer> ProgressHUD::createRingLayerWithCenter(cg::Point center, double radius,
                                                                      double lineWidth, const cg::Color& color) {
    auto layer = ui::ShapeLayer::layer();
    layer->setFrame({center.x - radius, center.y - radius, 2 * radius, 2 * radius});
    layer->setFillColor(cg::Color::gray(0, 0));
    layer->setStrokeColor(color);
    layer->setLineWidth(lineWidth);
    layer->setLineJoin(cg::LineJoin::Bevel);
    layer->setPath(createCirclePathWithCenter(center, radius, kRingSamples));
    return layer;
}

// Layers here change without implicit animation, so no transaction is needed around the changes.
void ProgressHUD::cancelRingLayerAnimation() {
    if (hudView_) hudView_->layer()->removeAllAnimations();
    if (ringLayer_) {
        ringLayer_->setStrokeEnd(0);
        ringLayer_->removeFromSuperlayer();
        ringLayer_ = nullptr;
    }
    if (backgroundRingLayer_) {
        backgroundRingLayer_->removeFromSuperlayer();
        backgroundRingLayer_ = nullptr;
    }
}

// ---- Drawing ----

void ProgressHUD::drawRect(const cg::Rect&) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;
    if (maskType_ == ProgressHUDMaskTypeBlack) {
        context->setFillColor(cg::Color::gray(0, 0.5));
        context->fillRect(bounds());
    } else if (maskType_ == ProgressHUDMaskTypeGradient) {
        drawRadialDimming(*context, bounds());
    }
}

}  // namespace ql
