#pragma once
// RefreshBackFooter: a footer resting just below the content, or at the bottom of the visible area when
// the content is shorter. Pulled up past its height and let go, it stays in view by enlarging the bottom
// inset and runs its refreshing callback; ending the refresh takes back exactly what it added.

#include <cstdint>
#include <memory>

#include "ui/refresh/RefreshFooter.h"

namespace ql {

class RefreshBackFooter : public RefreshFooter {
    QL_OBJECT(RefreshBackFooter, RefreshFooter)
public:
    static constexpr double kOpenDuration = 0.25;
    static constexpr double kCloseDuration = 0.4;

    explicit RefreshBackFooter(Passkey key) : RefreshFooter(key) {}
    static std::shared_ptr<RefreshBackFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshBackFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshBackFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                         RefreshingAction action) {
        return make<RefreshBackFooter>(std::move(target), std::move(action));
    }

    // How far the content reaches beyond the visible area (negative when it is shorter).
    double heightForContentBreakView() const;
    // The offset at which the footer starts to come into view.
    double happenOffsetY() const;
    std::int64_t lastRefreshCount() const { return lastRefreshCount_; }
    double lastBottomDelta() const { return lastBottomDelta_; }

    // On a collection view these take effect 0.1 s later.
    void endRefreshing() override;
    void noticeNoMoreData() override;

    void setState(RefreshState state) override;
    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;
    void scrollViewContentSizeDidChange(const ns::KeyValueChange* change) override;

private:
    void afterCollectionDelay(void (RefreshBackFooter::*step)());
    void endRefreshingNow() { RefreshFooter::endRefreshing(); }
    void noticeNoMoreDataNow() { RefreshFooter::noticeNoMoreData(); }

    std::int64_t lastRefreshCount_ = 0;
    double lastBottomDelta_ = 0;
};

}  // namespace ql
