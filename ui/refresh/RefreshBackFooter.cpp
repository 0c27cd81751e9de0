#include "ui/refresh/RefreshBackFooter.h"

#include <algorithm>

#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/CollectionView.h"
#include "ui/refresh/RefreshGeometry.h"
#include "ui/refresh/ScrollViewRefresh.h"

namespace ql {

void RefreshBackFooter::willMoveToSuperview(ui::View* newSuperview) {
    RefreshFooter::willMoveToSuperview(newSuperview);
    scrollViewContentSizeDidChange(nullptr);
}

double RefreshBackFooter::heightForContentBreakView() const {
    auto scrollView = this->scrollView();
    if (!scrollView) return 0;
    const cg::EdgeInsets& inset = scrollViewOriginalInset();
    const double visible = scrollView->frame().size.height - inset.bottom - inset.top;
    return mm_contentH(*scrollView) - visible;
}

double RefreshBackFooter::happenOffsetY() const {
    const double deltaH = heightForContentBreakView();
    return (deltaH > 0 ? deltaH : 0) - scrollViewOriginalInset().top;
}

void RefreshBackFooter::scrollViewContentSizeDidChange(const ns::KeyValueChange* change) {
    RefreshFooter::scrollViewContentSizeDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView) return;
    const cg::EdgeInsets& inset = scrollViewOriginalInset();
    const double contentHeight = mm_contentH(*scrollView) + ignoredScrollViewContentInsetBottom();
    const double visibleHeight = mm_h(*scrollView) - inset.top - inset.bottom + ignoredScrollViewContentInsetBottom();
    mm_setY(*this, std::max(contentHeight, visibleHeight));
}

void RefreshBackFooter::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    RefreshFooter::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() == RefreshStateRefreshing) return;
    setScrollViewOriginalInset(scrollView->contentInset());

    const double offsetY = mm_offsetY(*scrollView);
    const double happen = happenOffsetY();
    if (offsetY <= happen) return;
    const double percent = (offsetY - happen) / mm_h(*this);
    if (state() == RefreshStateNoMoreData) {
        setPullingPercent(percent);
        return;
    }
    if (scrollView->isDragging()) {
        setPullingPercent(percent);
        const double threshold = happen + mm_h(*this);
        if (state() == RefreshStateIdle && offsetY > threshold) {
            setState(RefreshStatePulling);
        } else if (state() == RefreshStatePulling && offsetY <= threshold) {
            setState(RefreshStateIdle);
        }
    } else if (state() == RefreshStatePulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RefreshBackFooter::setState(RefreshState state) {
    const RefreshState old = this->state();
    if (state == old) return;
    RefreshFooter::setState(state);
    auto scrollView = this->scrollView();
    if (!scrollView) {
        if (state == RefreshStateRefreshing) executeRefreshingCallback();
        return;
    }
    auto self = std::static_pointer_cast<RefreshBackFooter>(selfPointer());

    if (state == RefreshStateRefreshing) {
        lastRefreshCount_ = totalDataCount(*scrollView);
        ui::View::animate(
            kOpenDuration,
            [self, scrollView] {
                double bottom = mm_h(*self) + self->scrollViewOriginalInset().bottom;
                const double deltaH = self->heightForContentBreakView();
                if (deltaH < 0) bottom -= deltaH;
                self->lastBottomDelta_ = bottom - mm_insetB(*scrollView);
                mm_setInsetB(*scrollView, bottom);
                mm_setOffsetY(*scrollView, self->happenOffsetY() + mm_h(*self));
            },
            [self](bool) { self->executeRefreshingCallback(); });
    } else if ((state == RefreshStateIdle || state == RefreshStateNoMoreData) && old == RefreshStateRefreshing) {
        ui::View::animate(
            kCloseDuration,
            [self, scrollView] {
                mm_setInsetB(*scrollView, mm_insetB(*scrollView) - self->lastBottomDelta_);
                if (self->automaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [self](bool) { self->setPullingPercent(0.0); });
        if (heightForContentBreakView() > 0 && totalDataCount(*scrollView) != lastRefreshCount_) {
            mm_setOffsetY(*scrollView, mm_offsetY(*scrollView));
        }
    }
}

void RefreshBackFooter::afterCollectionDelay(void (RefreshBackFooter::*step)()) {
    if (std::dynamic_pointer_cast<ui::CollectionView>(scrollView())) {
        auto self = std::static_pointer_cast<RefreshBackFooter>(selfPointer());
        ns::DispatchQueue::main()->after(0.1, [self, step] { ((*self).*step)(); });
    } else {
        (this->*step)();
    }
}

void RefreshBackFooter::endRefreshing() { afterCollectionDelay(&RefreshBackFooter::endRefreshingNow); }

void RefreshBackFooter::noticeNoMoreData() { afterCollectionDelay(&RefreshBackFooter::noticeNoMoreDataNow); }

}  // namespace ql
