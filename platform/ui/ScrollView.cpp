#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/Touch.h"

namespace ql::ui {

namespace {

// Paging and springing back close in faster than a free deceleration: about half a second for a page.
constexpr double kSnapRate = 10;
// Below this speed (points per second) a paging drag settles on the nearest page instead of the next.
constexpr double kPagingFlickSpeed = 200;
// A motion that is this close to its target has arrived.
constexpr double kArrivalDistance = 0.5;

double clampValue(double value, double low, double high) { return std::max(low, std::min(value, high)); }

// Decelerating at `rate` per millisecond is closing in exponentially at this rate per second.
double exponentialRate(double decelerationRate) { return -1000 * std::log(decelerationRate); }

double eased(double t) { return (1 - std::cos(M_PI * std::clamp(t, 0.0, 1.0))) / 2; }

cg::Point lerp(cg::Point a, cg::Point b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

bool near(cg::Point a, cg::Point b) {
    return std::abs(a.x - b.x) < kArrivalDistance && std::abs(a.y - b.y) < kArrivalDistance;
}

// Past an edge the content follows the finger at half speed; undone when a drag starts out there.
double rubberBand(double raw, double low, double high, bool bounces) {
    if (raw < low) return bounces ? low - (low - raw) / 2 : low;
    if (raw > high) return bounces ? high + (raw - high) / 2 : high;
    return raw;
}

double unRubberBand(double shown, double low, double high) {
    if (shown < low) return low - (low - shown) * 2;
    if (shown > high) return high + (shown - high) * 2;
    return shown;
}

}  // namespace

// ---- The scroll view's own recognisers ----

// The pan that drags the content. It learns of fingers landing and lifting before the gesture decides,
// and does not begin on a movement along an axis the content cannot scroll, so that an enclosing scroll
// view may take it.
class ScrollView::PanRecognizer final : public PanGestureRecognizer {
    QL_OBJECT_NAMED(PanRecognizer, PanGestureRecognizer, "UIScrollViewPanGestureRecognizer")
public:
    void touchesBegan(const TouchSet& touches, Event& event) override {
        if (auto* scrollView = dynamic_cast<ScrollView*>(view())) {
            // The target is added here because a view has no owner yet while it is being made.
            addTarget(scrollView->weak_from_this(), Action(&ScrollView::handlePan));
            if (numberOfTouches() == touches.size()) scrollView->touchDown();
        }
        PanGestureRecognizer::touchesBegan(touches, event);
    }

    void touchesMoved(const TouchSet& touches, Event& event) override {
        if (state() == GestureRecognizerState::Possible && !movesAlongScrollableAxis()) {
            setState(GestureRecognizerState::Failed);
            return;
        }
        PanGestureRecognizer::touchesMoved(touches, event);
    }

    void touchesEnded(const TouchSet& touches, Event& event) override {
        const bool dragged = isDragging();
        PanGestureRecognizer::touchesEnded(touches, event);
        lifted(dragged);
    }

    void touchesCancelled(const TouchSet& touches, Event& event) override {
        const bool dragged = isDragging();
        PanGestureRecognizer::touchesCancelled(touches, event);
        lifted(dragged);
    }

private:
    bool isDragging() const {
        return state() == GestureRecognizerState::Began || state() == GestureRecognizerState::Changed;
    }

    void lifted(bool dragged) {
        auto* scrollView = dynamic_cast<ScrollView*>(view());
        if (!scrollView || numberOfTouches() > 0) return;
        if (dragged) {
            scrollView->tracking_ = false;
        } else {
            scrollView->touchUpWithoutDrag();
        }
    }

    bool movesAlongScrollableAxis() const {
        auto* scrollView = dynamic_cast<ScrollView*>(view());
        if (!scrollView) return true;
        const cg::Point moved = translationInView(scrollView);
        if (std::hypot(moved.x, moved.y) <= kHysteresis) return true;
        return std::abs(moved.x) > std::abs(moved.y) ? scrollView->canScrollHorizontally()
                                                     : scrollView->canScrollVertically();
    }
};

class ScrollView::PinchRecognizer final : public PinchGestureRecognizer {
    QL_OBJECT_NAMED(PinchRecognizer, PinchGestureRecognizer, "UIScrollViewPinchGestureRecognizer")
public:
    void touchesBegan(const TouchSet& touches, Event& event) override {
        if (auto* scrollView = dynamic_cast<ScrollView*>(view())) {
            addTarget(scrollView->weak_from_this(), Action(&ScrollView::handlePinch));
        }
        PinchGestureRecognizer::touchesBegan(touches, event);
    }
};

// Two fingers may pan and pinch at once.
class ScrollView::RecognizerDelegate final : public GestureRecognizerDelegate {
public:
    explicit RecognizerDelegate(ScrollView& scrollView) : scrollView_(scrollView) {}
    bool gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(GestureRecognizer& a,
                                                                              GestureRecognizer& b) override {
        const GestureRecognizer* pan = scrollView_.pan_.get();
        const GestureRecognizer* pinch = scrollView_.pinch_.get();
        return pinch && ((&a == pan && &b == pinch) || (&a == pinch && &b == pan));
    }

private:
    ScrollView& scrollView_;
};

// ---- Construction ----

ScrollView::ScrollView(const cg::Rect& frame)
    : View(frame), pan_(std::make_shared<PanRecognizer>()),
      recognizerDelegate_(std::make_shared<RecognizerDelegate>(*this)) {
    setClipsToBounds(true);
    pan_->setDelegate(recognizerDelegate_);
    addGestureRecognizer(pan_);
}

ScrollView::~ScrollView() {
    if (motion_) motion_->invalidate();
}

// ---- Content ----

void ScrollView::setBounds(const cg::Rect& bounds) {
    if (bounds.origin == this->bounds().origin) {
        View::setBounds(bounds);
        return;
    }
    willChangeValueForKey("contentOffset");
    View::setBounds(bounds);
    didChangeValueForKey("contentOffset");
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
}

void ScrollView::applyContentOffset(cg::Point offset) {
    if (offset == contentOffset()) return;
    setBounds({offset, bounds().size});
}

void ScrollView::setContentOffset(cg::Point offset) {
    if (dragging_) {
        // The drag goes on from the new place.
        const cg::Point moved = pan_->translationInView(this);
        dragStart_ = {offset.x + moved.x, offset.y + moved.y};
    }
    stopMotion();
    applyContentOffset(offset);
}

void ScrollView::setContentOffset(cg::Point offset, bool animated) {
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    stopMotion();
    if (offset == contentOffset()) return;
    startMotion(MotionKind::Animating, offset, 0);
}

void ScrollView::setContentSize(cg::Size size) {
    if (size == contentSize_) return;
    changeValue("contentSize", contentSize_, size);
    adjustOffsetIfIdle();
}

void ScrollView::setContentInset(const cg::EdgeInsets& insets) {
    if (insets == contentInset_) return;
    changeValue("contentInset", contentInset_, insets);
    setNeedsLayout();
    adjustOffsetIfIdle();
}

cg::Point ScrollView::minimumContentOffset() const { return {0 - contentInset_.left, 0 - contentInset_.top}; }

cg::Point ScrollView::maximumContentOffset() const {
    const cg::Size view = bounds().size;
    return {std::max(0 - contentInset_.left, contentSize_.width + contentInset_.right - view.width),
            std::max(0 - contentInset_.top, contentSize_.height + contentInset_.bottom - view.height)};
}

cg::Point ScrollView::clampedOffset(cg::Point offset) const { return clampedOffset(offset, contentSize_); }

cg::Point ScrollView::clampedOffset(cg::Point offset, cg::Size content) const {
    const cg::Size view = bounds().size;
    const double maxX = std::max(0 - contentInset_.left, content.width + contentInset_.right - view.width);
    const double maxY = std::max(0 - contentInset_.top, content.height + contentInset_.bottom - view.height);
    return {clampValue(offset.x, 0 - contentInset_.left, maxX), clampValue(offset.y, 0 - contentInset_.top, maxY)};
}

void ScrollView::adjustOffsetIfIdle() {
    if (tracking_ || dragging_ || zooming_ || motion_) return;
    applyContentOffset(clampedOffset(contentOffset()));
}

void ScrollView::scrollRectToVisible(const cg::Rect& rect, bool animated) {
    const cg::Rect r = cg::rectStandardize(rect);
    const cg::Rect b = bounds();
    auto axis = [](double offset, double low, double high, double visibleLength, double insetLow, double insetHigh) {
        const double top = offset + insetLow;
        const double bottom = offset + visibleLength - insetHigh;
        if (low < top) return low - insetLow;
        if (high > bottom) return std::min(low - insetLow, high - visibleLength + insetHigh);
        return offset;
    };
    cg::Point target{axis(b.origin.x, cg::minX(r), cg::maxX(r), b.size.width, contentInset_.left, contentInset_.right),
                     axis(b.origin.y, cg::minY(r), cg::maxY(r), b.size.height, contentInset_.top, contentInset_.bottom)};
    target = clampedOffset(target);
    if (target != contentOffset()) setContentOffset(target, animated);
}

// ---- Behaviour ----

void ScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

void ScrollView::setDecelerationRate(double rate) { decelerationRate_ = clampValue(rate, 0.5, 0.9999); }

bool ScrollView::canScrollHorizontally() const {
    if (!scrollEnabled_) return false;
    return contentSize_.width + contentInset_.left + contentInset_.right > bounds().size.width ||
           (bounces_ && alwaysBounceHorizontal_);
}

bool ScrollView::canScrollVertically() const {
    if (!scrollEnabled_) return false;
    return contentSize_.height + contentInset_.top + contentInset_.bottom > bounds().size.height ||
           (bounces_ && alwaysBounceVertical_);
}

// ---- Dragging ----

void ScrollView::touchDown() {
    tracking_ = true;
    // A finger on moving content stops it where it is.
    caughtMotion_ = motion_ && motionKind_ == MotionKind::Decelerating;
    stopMotion();
}

void ScrollView::touchUpWithoutDrag() {
    tracking_ = false;
    settle();
}

void ScrollView::handlePan(PanGestureRecognizer* pan) {
    if (!pan) return;
    switch (pan->state()) {
        case GestureRecognizerState::Began:
            beginDrag();
            drag(pan->translationInView(this));
            break;
        case GestureRecognizerState::Changed: drag(pan->translationInView(this)); break;
        case GestureRecognizerState::Ended: endDrag(pan->velocityInView(this)); break;
        case GestureRecognizerState::Cancelled: endDrag({0, 0}); break;
        default: break;
    }
}

void ScrollView::beginDrag() {
    stopMotion();
    const cg::Point shown = contentOffset();
    const cg::Point low = minimumContentOffset();
    const cg::Point high = maximumContentOffset();
    dragStart_ = {unRubberBand(shown.x, low.x, high.x), unRubberBand(shown.y, low.y, high.y)};
    dragging_ = true;
    if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
}

void ScrollView::drag(cg::Point translation) {
    if (!dragging_) return;
    const cg::Point low = minimumContentOffset();
    const cg::Point high = maximumContentOffset();
    cg::Point offset = contentOffset();
    if (canScrollHorizontally()) offset.x = rubberBand(dragStart_.x - translation.x, low.x, high.x, bounces_);
    if (canScrollVertically()) offset.y = rubberBand(dragStart_.y - translation.y, low.y, high.y, bounces_);
    applyContentOffset(offset);
}

cg::Point ScrollView::pagedTarget(cg::Point offset, cg::Point velocity) const {
    const cg::Size page = bounds().size;
    auto axis = [](double position, double pageLength, double speed) {
        if (pageLength <= 0) return position;
        const double pages = position / pageLength;
        double index = std::round(pages);
        if (speed > kPagingFlickSpeed) index = std::floor(pages) + 1;
        if (speed < -kPagingFlickSpeed) index = std::ceil(pages) - 1;
        return index * pageLength;
    };
    return {axis(offset.x, page.width, velocity.x), axis(offset.y, page.height, velocity.y)};
}

void ScrollView::endDrag(cg::Point fingerVelocity) {
    if (!dragging_) return;
    auto keep = weak_from_this().lock();
    const cg::Point current = contentOffset();
    // The content moves against the finger's coordinates: the finger going up scrolls down.
    const cg::Point velocity{canScrollHorizontally() ? -fingerVelocity.x : 0,
                             canScrollVertically() ? -fingerVelocity.y : 0};
    const double rate = exponentialRate(decelerationRate_);
    cg::Point target = pagingEnabled_ ? pagedTarget(current, velocity)
                                      : cg::Point{current.x + velocity.x / rate, current.y + velocity.y / rate};
    target = clampedOffset(target);
    if (auto d = delegate()) {
        d->scrollViewWillEndDragging(*this, {velocity.x / 1000, velocity.y / 1000}, &target);
        target = clampedOffset(target);
    }
    dragging_ = false;
    const bool outside = clampedOffset(current) != current;
    const bool willDecelerate = !near(current, target);
    if (auto d = delegate()) d->scrollViewDidEndDragging(*this, willDecelerate);
    // The delegate may have moved the content itself, or a finger may have landed again.
    if (!willDecelerate || motion_ || dragging_ || contentOffset() != current) return;
    startMotion(MotionKind::Decelerating, target, pagingEnabled_ || outside ? kSnapRate : rate);
    if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
}

void ScrollView::settle() {
    if (motion_ || dragging_ || zooming_) return;
    const cg::Point current = contentOffset();
    cg::Point target = pagingEnabled_ ? pagedTarget(current, {0, 0}) : current;
    target = clampedOffset(target);
    if (near(current, target)) {
        applyContentOffset(target);
        return;
    }
    startMotion(MotionKind::Decelerating, target, kSnapRate);
    if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
}

// ---- Motions ----

void ScrollView::startMotion(MotionKind kind, cg::Point target, double rate) {
    stopMotion();
    motionKind_ = kind;
    motionStart_ = ns::Clock::now();
    motionFrom_ = contentOffset();
    motionTarget_ = target;
    motionRate_ = rate;
    ++motionGeneration_;
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    motion_ = ns::Timer::timer(kFrameInterval, true, [weak](ns::Timer&) {
        if (auto self = weak.lock()) self->step();
    });
    // Common modes: the content keeps moving while the run loop tracks touches.
    ns::RunLoop::main()->addTimer(motion_, ns::RunLoopCommonModes);
}

void ScrollView::step() {
    if (!motion_) return;
    auto keep = shared_from_this();
    const std::uint64_t generation = motionGeneration_;
    const double elapsed = ns::Clock::now() - motionStart_;
    switch (motionKind_) {
        case MotionKind::Decelerating: {
            // The content's edges may have moved under the motion (insets changed): aim inside them again.
            const cg::Point target = clampedOffset(motionTarget_);
            if (target != motionTarget_) {
                motionTarget_ = target;
                motionFrom_ = contentOffset();
                motionStart_ = ns::Clock::now();
                return;
            }
            const double remaining = std::exp(-motionRate_ * elapsed);
            const cg::Point offset = lerp(motionTarget_, motionFrom_, remaining);
            const bool arrived = near(offset, motionTarget_);
            applyContentOffset(arrived ? motionTarget_ : offset);
            if (arrived && generation == motionGeneration_) finishMotion();
            return;
        }
        case MotionKind::Animating: {
            const double t = elapsed / kAnimationDuration;
            applyContentOffset(t >= 1 ? motionTarget_ : lerp(motionFrom_, motionTarget_, eased(t)));
            if (t >= 1 && generation == motionGeneration_) finishMotion();
            return;
        }
        case MotionKind::Zooming: {
            const double t = elapsed / kAnimationDuration;
            const double progress = t >= 1 ? 1 : eased(t);
            applyZoomScale(zoomFrom_ + (zoomTarget_ - zoomFrom_) * progress);
            applyContentOffset(t >= 1 ? motionTarget_ : lerp(motionFrom_, motionTarget_, progress));
            if (auto d = delegate()) d->scrollViewDidZoom(*this);
            if (t >= 1 && generation == motionGeneration_) finishMotion();
            return;
        }
    }
}

void ScrollView::finishMotion() {
    const MotionKind kind = motionKind_;
    motion_->invalidate();
    motion_.reset();
    ++motionGeneration_;
    auto d = delegate();
    if (!d) return;
    switch (kind) {
        case MotionKind::Decelerating: d->scrollViewDidEndDecelerating(*this); break;
        case MotionKind::Animating: d->scrollViewDidEndScrollingAnimation(*this); break;
        case MotionKind::Zooming: d->scrollViewDidEndZooming(*this, zoomView(), zoomScale_); break;
    }
}

void ScrollView::stopMotion() {
    if (!motion_) return;
    const MotionKind kind = motionKind_;
    motion_->invalidate();
    motion_.reset();
    ++motionGeneration_;
    // A deceleration that is stopped has still come to an end; an interrupted animation has not arrived.
    if (kind == MotionKind::Decelerating) {
        if (auto d = delegate()) d->scrollViewDidEndDecelerating(*this);
    }
}

// ---- Zooming ----

void ScrollView::setMinimumZoomScale(double scale) {
    minimumZoomScale_ = scale;
    setMaximumZoomScale(maximumZoomScale_);
}

void ScrollView::setMaximumZoomScale(double scale) {
    maximumZoomScale_ = scale;
    const bool zooms = maximumZoomScale_ > minimumZoomScale_;
    if (zooms && !pinch_) {
        pinch_ = std::make_shared<PinchRecognizer>();
        pinch_->setDelegate(recognizerDelegate_);
        addGestureRecognizer(pinch_);
    }
    if (pinch_) pinch_->setEnabled(zooms);
}

std::shared_ptr<PinchGestureRecognizer> ScrollView::pinchGestureRecognizer() const {
    return pinch_ && pinch_->isEnabled() ? pinch_ : nullptr;
}

View* ScrollView::zoomView() {
    auto d = delegate();
    return d ? d->viewForZoomingInScrollView(*this) : nullptr;
}

void ScrollView::applyZoomScale(double scale) {
    View* view = zoomView();
    if (!view) return;
    zoomScale_ = scale;
    view->setTransform(cg::AffineTransform::makeScale(scale, scale));
    // The zoomed view's frame starts at the content's origin.
    const cg::Rect frame = view->frame();
    const cg::Point center = view->center();
    view->setCenter({center.x - frame.origin.x, center.y - frame.origin.y});
    setContentSize(view->frame().size);
}

void ScrollView::zoomAbout(double scale, cg::Point anchor) {
    View* view = zoomView();
    if (!view) return;
    const cg::Point under = view->convertPointFromView(anchor, this);
    applyZoomScale(clampValue(scale, minimumZoomScale_, maximumZoomScale_));
    // The point under the anchor stays under it.
    const cg::Point moved = view->convertPointToView(under, this);
    const cg::Point offset = contentOffset();
    applyContentOffset(clampedOffset({offset.x + moved.x - anchor.x, offset.y + moved.y - anchor.y}));
    if (auto d = delegate()) d->scrollViewDidZoom(*this);
}

void ScrollView::setZoomScale(double scale) { setZoomScale(scale, false); }

void ScrollView::setZoomScale(double scale, bool animated) {
    scale = clampValue(scale, minimumZoomScale_, maximumZoomScale_);
    View* view = zoomView();
    if (!view || scale == zoomScale_) return;
    const cg::Rect b = bounds();
    const cg::Point anchor{cg::midX(b), cg::midY(b)};
    if (!animated) {
        zoomAbout(scale, anchor);
        return;
    }
    const cg::Point under = view->convertPointFromView(anchor, this);
    const cg::Rect zoomBounds = view->bounds();
    const cg::Point after{(under.x - zoomBounds.origin.x) * scale, (under.y - zoomBounds.origin.y) * scale};
    const cg::Point offset{after.x - (anchor.x - b.origin.x), after.y - (anchor.y - b.origin.y)};
    animateZoom(scale, clampedOffset(offset, {zoomBounds.size.width * scale, zoomBounds.size.height * scale}));
}

void ScrollView::zoomToRect(const cg::Rect& rect, bool animated) {
    View* view = zoomView();
    const cg::Rect r = cg::rectStandardize(rect);
    if (!view || r.size.width <= 0 || r.size.height <= 0) return;
    const cg::Size visible = bounds().size;
    const double scale = clampValue(std::min(visible.width / r.size.width, visible.height / r.size.height),
                                    minimumZoomScale_, maximumZoomScale_);
    const cg::Rect zoomBounds = view->bounds();
    const cg::Point centre{(cg::midX(r) - zoomBounds.origin.x) * scale, (cg::midY(r) - zoomBounds.origin.y) * scale};
    const cg::Point offset = clampedOffset({centre.x - visible.width / 2, centre.y - visible.height / 2},
                                           {zoomBounds.size.width * scale, zoomBounds.size.height * scale});
    if (animated) {
        animateZoom(scale, offset);
        return;
    }
    stopMotion();
    applyZoomScale(scale);
    applyContentOffset(offset);
    if (auto d = delegate()) d->scrollViewDidZoom(*this);
}

void ScrollView::animateZoom(double scale, cg::Point finalOffset) {
    stopMotion();
    if (auto d = delegate()) d->scrollViewWillBeginZooming(*this, zoomView());
    zoomFrom_ = zoomScale_;
    zoomTarget_ = scale;
    startMotion(MotionKind::Zooming, finalOffset, 0);
}

void ScrollView::handlePinch(PinchGestureRecognizer* pinch) {
    if (!pinch) return;
    switch (pinch->state()) {
        case GestureRecognizerState::Began: {
            View* view = zoomView();
            if (!view) return;
            stopMotion();
            zooming_ = true;
            zoomStart_ = zoomScale_;
            if (auto d = delegate()) d->scrollViewWillBeginZooming(*this, view);
            zoomAbout(zoomStart_ * pinch->scale(), pinch->locationInView(this));
            break;
        }
        case GestureRecognizerState::Changed:
            if (zooming_) zoomAbout(zoomStart_ * pinch->scale(), pinch->locationInView(this));
            break;
        case GestureRecognizerState::Ended:
        case GestureRecognizerState::Cancelled:
            if (!zooming_) return;
            zooming_ = false;
            if (auto d = delegate()) d->scrollViewDidEndZooming(*this, zoomView(), zoomScale_);
            adjustOffsetIfIdle();
            break;
        default: break;
    }
}

// ---- Observation ----

ns::Value ScrollView::valueForKey(std::string_view key) const {
    if (key == "contentOffset") return GeometryValue::valueWithCGPoint(contentOffset());
    if (key == "contentSize") return GeometryValue::valueWithCGSize(contentSize_);
    if (key == "contentInset") return GeometryValue::valueWithUIEdgeInsets(contentInset_);
    return View::valueForKey(key);
}

std::string ScrollView::description() const {
    std::string d = View::description();
    d.pop_back();
    return d + "; contentOffset: " + cg::toString(contentOffset()) + "; contentSize: " + cg::toString(contentSize_) + ">";
}

std::optional<std::int64_t> pageAtPosition(double pages, std::int64_t pageCount) {
    if (std::isnan(pages)) return std::nullopt;
    const double last = static_cast<double>(std::max<std::int64_t>(pageCount - 1, 0));
    return static_cast<std::int64_t>(std::clamp(pages, 0.0, last));
}

}  // namespace ql::ui
