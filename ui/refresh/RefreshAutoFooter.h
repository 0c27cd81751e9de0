#pragma once
// RefreshAutoFooter: a footer directly under the content that keeps its height in the bottom inset while
// shown and loads more by itself: when it scrolls fully into view, when a drag ends at the end of the
// list (or anywhere over a short one), or when asked. Its callback runs half a second after it starts.

#include <memory>

#include "ui/refresh/RefreshFooter.h"

namespace ql {

class RefreshAutoFooter : public RefreshFooter {
    QL_OBJECT(RefreshAutoFooter, RefreshFooter)
public:
    static constexpr double kCallbackDelay = 0.5;

    explicit RefreshAutoFooter(Passkey key) : RefreshFooter(key) {}
    static std::shared_ptr<RefreshAutoFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshAutoFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshAutoFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                         RefreshingAction action) {
        return make<RefreshAutoFooter>(std::move(target), std::move(action));
    }

    bool automaticallyRefresh() const { return automaticallyRefresh_; }
    void setAutomaticallyRefresh(bool automatically) { automaticallyRefresh_ = automatically; }
    // How much of the footer's height must have come into view: 1.0, all of it, unless set.
    double triggerAutomaticallyRefreshPercent() const { return triggerPercent_; }
    void setTriggerAutomaticallyRefreshPercent(double percent) { triggerPercent_ = percent; }
    double appearencePercentTriggerAutoRefresh() const { return triggerPercent_; }
    void setAppearencePercentTriggerAutoRefresh(double percent) { triggerPercent_ = percent; }

    // Hiding gives the footer's height back to the inset (and makes it idle); showing takes it again.
    void setHidden(bool hidden) override;
    void setState(RefreshState state) override;
    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void prepare() override;
    void scrollViewContentSizeDidChange(const ns::KeyValueChange* change) override;
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;
    void scrollViewPanStateDidChange(const ns::KeyValueChange* change) override;

private:
    bool automaticallyRefresh_ = true;
    double triggerPercent_ = 1.0;
};

}  // namespace ql
