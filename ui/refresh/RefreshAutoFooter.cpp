#include "ui/refresh/RefreshAutoFooter.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "ui/refresh/RefreshGeometry.h"

namespace ql {

void RefreshAutoFooter::prepare() {
    RefreshFooter::prepare();
    setTriggerAutomaticallyRefreshPercent(1.0);
    setAutomaticallyRefresh(true);
}

void RefreshAutoFooter::willMoveToSuperview(ui::View* newSuperview) {
    auto previous = scrollView();
    auto* next = dynamic_cast<ui::ScrollView*>(newSuperview);
    // Moved straight from one scroll view to another, the footer first gives the old one its inset back.
    if (next && previous && previous.get() != next && previous.get() == superview() && !isHidden()) {
        mm_setInsetB(*previous, mm_insetB(*previous) - mm_h(*this));
    }
    RefreshFooter::willMoveToSuperview(newSuperview);
    if (next) {
        if (!isHidden()) mm_setInsetB(*next, mm_insetB(*next) + mm_h(*this));
        mm_setY(*this, mm_contentH(*next));
    } else if (!newSuperview && previous && !isHidden()) {
        mm_setInsetB(*previous, mm_insetB(*previous) - mm_h(*this));
    }
}

void RefreshAutoFooter::setHidden(bool hidden) {
    const bool wasHidden = isHidden();
    RefreshFooter::setHidden(hidden);
    auto scrollView = this->scrollView();
    if (!wasHidden && hidden) {
        setState(RefreshStateIdle);
        if (scrollView) mm_setInsetB(*scrollView, mm_insetB(*scrollView) - mm_h(*this));
    } else if (wasHidden && !hidden && scrollView) {
        mm_setInsetB(*scrollView, mm_insetB(*scrollView) + mm_h(*this));
        mm_setY(*this, mm_contentH(*scrollView));
    }
}

void RefreshAutoFooter::scrollViewContentSizeDidChange(const ns::KeyValueChange* change) {
    RefreshFooter::scrollViewContentSizeDidChange(change);
    if (auto scrollView = this->scrollView()) mm_setY(*this, mm_contentH(*scrollView));
}

void RefreshAutoFooter::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    RefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() != RefreshStateIdle || !automaticallyRefresh_ || mm_y(*this) == 0) return;
    const double height = mm_h(*this);
    if (mm_insetT(*scrollView) + mm_contentH(*scrollView) <= mm_h(*scrollView)) return;
    const double trigger = mm_contentH(*scrollView) - mm_h(*scrollView) + height * triggerPercent_ +
                           mm_insetB(*scrollView) - height;
    if (mm_offsetY(*scrollView) < trigger) return;
    if (!change) return;
    const auto oldPoint = ui::GeometryValue::CGPointValue(change->oldValue);
    const auto newPoint = ui::GeometryValue::CGPointValue(change->newValue);
    // Only on the way towards the end: scrolling back up past the footer starts nothing.
    if (!oldPoint || !newPoint || newPoint->y <= oldPoint->y) return;
    beginRefreshing();
}

void RefreshAutoFooter::scrollViewPanStateDidChange(const ns::KeyValueChange* change) {
    RefreshFooter::scrollViewPanStateDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || !pan() || state() != RefreshStateIdle) return;
    if (pan()->state() != ui::GestureRecognizerState::Ended) return;
    const double offsetY = mm_offsetY(*scrollView);
    if (mm_insetT(*scrollView) + mm_contentH(*scrollView) <= mm_h(*scrollView)) {
        if (offsetY >= -mm_insetT(*scrollView)) beginRefreshing();
    } else if (offsetY >= mm_contentH(*scrollView) + mm_insetB(*scrollView) - mm_h(*scrollView)) {
        beginRefreshing();
    }
}

void RefreshAutoFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshFooter::setState(state);
    if (state == RefreshStateRefreshing) {
        auto self = selfPointer();
        ns::DispatchQueue::main()->after(kCallbackDelay, [self] {
            std::static_pointer_cast<RefreshAutoFooter>(self)->executeRefreshingCallback();
        });
    }
}

}  // namespace ql
