#pragma once
// ui::ScrollView: a view that shows part of larger content, the visible part chosen by its content
// offset (the bounds origin). A finger drags the content through the view's own pan recogniser; let go,
// the content decelerates, bounces back inside its edges or settles on a page, driven by a timer on
// ns::Clock; a pinch zooms the view the delegate names. "contentOffset", "contentSize" and
// "contentInset" are observable, and so is the pan recogniser's "state".

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/ui/View.h"

namespace ql::ns {
class Timer;
}

namespace ql::ui {

class GestureRecognizerDelegate;
class PanGestureRecognizer;
class PinchGestureRecognizer;
class ScrollView;

// How much of its speed the content keeps per millisecond of deceleration.
inline constexpr double ScrollViewDecelerationRateNormal = 0.998;
inline constexpr double ScrollViewDecelerationRateFast = 0.99;

enum class ScrollViewIndicatorStyle { Default = 0, Black = 1, White = 2 };

// Every member is optional; the defaults are the platform's answers without a delegate.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // After every change of the content offset, however it came about.
    virtual void scrollViewDidScroll(ScrollView&) {}
    virtual void scrollViewWillBeginDragging(ScrollView&) {}
    // `velocity` in points per millisecond, as the platform gives it; the delegate may move the target
    // (within the content) where the content comes to rest.
    virtual void scrollViewWillEndDragging(ScrollView&, cg::Point /*velocity*/, cg::Point* /*targetContentOffset*/) {}
    virtual void scrollViewDidEndDragging(ScrollView&, bool /*willDecelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(ScrollView&) {}
    virtual void scrollViewDidEndDecelerating(ScrollView&) {}
    // After an animated setContentOffset or scrollRectToVisible has arrived.
    virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
    // The subview that zooms; none (the default) turns zooming off.
    virtual View* viewForZoomingInScrollView(ScrollView&) { return nullptr; }
    virtual void scrollViewWillBeginZooming(ScrollView&, View* /*view*/) {}
    virtual void scrollViewDidZoom(ScrollView&) {}
    virtual void scrollViewDidEndZooming(ScrollView&, View* /*view*/, double /*scale*/) {}
};

class ScrollView : public View {
    QL_OBJECT_NAMED(ScrollView, View, "UIScrollView")
public:
    // Animated offset changes and zooms take this long; the motion timer fires at this interval.
    static constexpr double kAnimationDuration = 0.3;
    static constexpr double kFrameInterval = 1.0 / 60;

    ScrollView() : ScrollView(cg::Rect::zero()) {}
    explicit ScrollView(const cg::Rect& frame);
    ~ScrollView() override;

    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // ---- Content ----
    cg::Point contentOffset() const { return bounds().origin; }
    // Stops any deceleration or scrolling animation and moves the content at once. Offsets outside the
    // content are kept as they are.
    void setContentOffset(cg::Point offset);
    // Animated: the content moves there over kAnimationDuration, reporting every step.
    void setContentOffset(cg::Point offset, bool animated);
    cg::Size contentSize() const { return contentSize_; }
    void setContentSize(cg::Size size);
    // Space around the content. Changing it (or the content size) while nothing moves the content
    // brings an offset that fell outside the content back to its nearest edge.
    const cg::EdgeInsets& contentInset() const { return contentInset_; }
    void setContentInset(const cg::EdgeInsets& insets);
    const cg::EdgeInsets& scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(const cg::EdgeInsets& insets) { indicatorInsets_ = insets; }
    // The least movement that shows `rect` (content coordinates) inside the insets.
    void scrollRectToVisible(const cg::Rect& rect, bool animated);

    // The offsets the content rests between: from -inset at the start to content + inset - bounds at the
    // end (never before the start).
    cg::Point minimumContentOffset() const;
    cg::Point maximumContentOffset() const;

    // A change of the offset through the bounds is a scroll as well.
    void setBounds(const cg::Rect& bounds) override;

    // ---- Behaviour ----
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    // Without bouncing, a drag stops at the content's edges; with it the content follows the finger past
    // an edge at half speed and springs back when let go.
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    // Dragging along an axis needs content larger than the view along it, or one of these.
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool bounce) { alwaysBounceVertical_ = bounce; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool bounce) { alwaysBounceHorizontal_ = bounce; }
    // Let go, the content settles on a multiple of the view's size.
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool paging) { pagingEnabled_ = paging; }
    double decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(double rate);
    // Indicators are not drawn; the settings are kept for their readers.
    bool showsHorizontalScrollIndicator() const { return showsHorizontalIndicator_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontalIndicator_ = shows; }
    bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVerticalIndicator_ = shows; }
    ScrollViewIndicatorStyle indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(ScrollViewIndicatorStyle style) { indicatorStyle_ = style; }

    // ---- State ----
    // A finger is on the content.
    bool isTracking() const { return tracking_; }
    // The finger has moved the content.
    bool isDragging() const { return dragging_; }
    // The content moves on after the finger has let go.
    bool isDecelerating() const { return motion_ && motionKind_ == MotionKind::Decelerating; }
    bool isZooming() const { return zooming_; }

    // ---- Zooming ----
    // The delegate's zoom view is scaled by the zoom scale and sits at the content's origin; the content
    // size follows its frame. A pinch zooms when the maximum is above the minimum.
    double minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(double scale);
    double maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(double scale);
    double zoomScale() const { return zoomScale_; }
    // Kept within the limits; zooms about the centre of the view. Nothing happens without a zoom view.
    void setZoomScale(double scale);
    void setZoomScale(double scale, bool animated);
    // Zooms so that `rect` (in the zoom view's coordinates) fills the view as far as the limits allow,
    // centred.
    void zoomToRect(const cg::Rect& rect, bool animated);
    bool bouncesZoom() const { return bouncesZoom_; }
    void setBouncesZoom(bool bounces) { bouncesZoom_ = bounces; }

    // ---- Gestures ----
    const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return pan_; }
    // Null while zooming is off.
    std::shared_ptr<PinchGestureRecognizer> pinchGestureRecognizer() const;

    ns::Value valueForKey(std::string_view key) const override;
    std::string description() const override;

protected:
    // Whether the finger now on the content landed on it while it was moving (and stopped it): such a
    // touch only stops the content, it does not act on what is under it.
    bool touchCaughtMotion() const { return caughtMotion_; }

private:
    class PanRecognizer;
    class PinchRecognizer;
    class RecognizerDelegate;
    enum class MotionKind { Decelerating, Animating, Zooming };

    View* zoomView();
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    cg::Point clampedOffset(cg::Point offset) const;
    // The same for a content size other than the current one.
    cg::Point clampedOffset(cg::Point offset, cg::Size contentSize) const;
    // Moves the content without stopping a motion in progress.
    void applyContentOffset(cg::Point offset);
    // Brings a stray offset back inside the content when nothing else moves it.
    void adjustOffsetIfIdle();

    // Touches and gestures.
    void touchDown();
    void touchUpWithoutDrag();
    void handlePan(PanGestureRecognizer* pan);
    void handlePinch(PinchGestureRecognizer* pinch);
    void beginDrag();
    void drag(cg::Point translation);
    void endDrag(cg::Point fingerVelocity);
    cg::Point pagedTarget(cg::Point offset, cg::Point velocity) const;

    // Motions on the clock.
    void startMotion(MotionKind kind, cg::Point target, double rate);
    void step();
    void finishMotion();
    void stopMotion();
    // Settles an offset outside the content, or between pages, when the finger has gone.
    void settle();

    // Zooming.
    void applyZoomScale(double scale);
    void zoomAbout(double scale, cg::Point anchor);
    void animateZoom(double scale, cg::Point finalOffset);

    std::weak_ptr<ScrollViewDelegate> delegate_;
    cg::Size contentSize_;
    cg::EdgeInsets contentInset_;
    cg::EdgeInsets indicatorInsets_;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool pagingEnabled_ = false;
    double decelerationRate_ = ScrollViewDecelerationRateNormal;
    bool showsHorizontalIndicator_ = true;
    bool showsVerticalIndicator_ = true;
    ScrollViewIndicatorStyle indicatorStyle_ = ScrollViewIndicatorStyle::Default;

    bool tracking_ = false;
    bool dragging_ = false;
    bool zooming_ = false;
    bool caughtMotion_ = false;
    cg::Point dragStart_;

    double minimumZoomScale_ = 1;
    double maximumZoomScale_ = 1;
    double zoomScale_ = 1;
    double zoomStart_ = 1;
    bool bouncesZoom_ = true;

    std::shared_ptr<PanGestureRecognizer> pan_;
    std::shared_ptr<PinchGestureRecognizer> pinch_;
    std::shared_ptr<RecognizerDelegate> recognizerDelegate_;

    // The motion in progress: where it goes and how. Decelerations close in on the target exponentially
    // (at `rate` per second), animations and zooms ease from start to target over kAnimationDuration.
    std::shared_ptr<ns::Timer> motion_;
    MotionKind motionKind_ = MotionKind::Decelerating;
    std::uint64_t motionGeneration_ = 0;
    double motionStart_ = 0;
    double motionRate_ = 0;
    cg::Point motionFrom_;
    cg::Point motionTarget_;
    double zoomFrom_ = 1;
    double zoomTarget_ = 1;
};

// The page (from 0, within `pageCount` pages) that a paging position measured in pages lies on; nothing for
// a position that is no number. A far position is clamped before it becomes a whole number, which it would
// overflow.
std::optional<std::int64_t> pageAtPosition(double pages, std::int64_t pageCount);

}  // namespace ql::ui
