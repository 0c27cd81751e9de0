#include "ui/refresh/RefreshHeader.h"

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/CollectionView.h"
#include "ui/refresh/RefreshGeometry.h"

namespace ql {

void RefreshHeader::prepare() {
    RefreshComponent::prepare();
    setLastUpdatedTimeKey(std::string(RefreshHeaderLastUpdatedTimeKey));
    mm_setH(*this, kHeight);
}

void RefreshHeader::placeSubviews() {
    RefreshComponent::placeSubviews();
    mm_setY(*this, -mm_h(*this) - ignoredInsetTop_);
}

void RefreshHeader::setLastUpdatedTimeKey(std::string key) { lastUpdatedTimeKey_ = std::move(key); }

std::optional<ns::Date> RefreshHeader::lastUpdatedTime() const {
    return ns::UserDefaults::standard().dateForKey(lastUpdatedTimeKey_);
}

void RefreshHeader::scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) {
    RefreshComponent::scrollViewContentOffsetDidChange(change);
    auto scrollView = this->scrollView();
    if (!scrollView || state() == RefreshStateRefreshing) return;
    setScrollViewOriginalInset(scrollView->contentInset());

    const double offsetY = mm_offsetY(*scrollView);
    const double happenOffsetY = -scrollViewOriginalInset().top;
    if (offsetY > happenOffsetY) return;
    const double threshold = happenOffsetY - mm_h(*this);
    const double percent = (happenOffsetY - offsetY) / mm_h(*this);

    if (scrollView->isDragging()) {
        setPullingPercent(percent);
        if (state() == RefreshStateIdle && offsetY < threshold) {
            setState(RefreshStatePulling);
        } else if (state() == RefreshStatePulling && offsetY >= threshold) {
            setState(RefreshStateIdle);
        }
    } else if (state() == RefreshStatePulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void RefreshHeader::setState(RefreshState state) {
    const RefreshState old = this->state();
    if (state == old) return;
    RefreshComponent::setState(state);
    auto scrollView = this->scrollView();
    if (!scrollView) {
        if (state == RefreshStateRefreshing) executeRefreshingCallback();
        return;
    }
    auto self = std::static_pointer_cast<RefreshHeader>(selfPointer());

    if (state == RefreshStateRefreshing) {
        ui::View::animate(
            kOpenDuration,
            [self, scrollView] {
                const double top = self->scrollViewOriginalInset().top + mm_h(*self);
                mm_setInsetT(*scrollView, top);
                mm_setOffsetY(*scrollView, -top);
            },
            [self](bool) { self->executeRefreshingCallback(); });
    } else if (state == RefreshStateIdle && old == RefreshStateRefreshing) {
        auto& defaults = ns::UserDefaults::standard();
        defaults.setObject(ns::Value(ns::Date::now()), lastUpdatedTimeKey_);
        defaults.synchronize();
        ui::View::animate(
            kCloseDuration,
            [self, scrollView] {
                mm_setInsetT(*scrollView, mm_insetT(*scrollView) - mm_h(*self));
                if (self->automaticallyChangeAlpha()) self->setAlpha(0.0);
            },
            [self](bool) { self->setPullingPercent(0.0); });
    }
}

void RefreshHeader::endRefreshing() {
    if (std::dynamic_pointer_cast<ui::CollectionView>(scrollView())) {
        auto self = selfPointer();
        ns::DispatchQueue::main()->after(0.1, [self] { self->RefreshComponent::endRefreshing(); });
    } else {
        RefreshComponent::endRefreshing();
    }
}

}  // namespace ql
