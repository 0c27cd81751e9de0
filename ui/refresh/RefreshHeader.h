#pragma once
// RefreshHeader: the control above a scroll view's content that the user pulls down to reload. Pulled
// out past its height and let go, it stays in view by enlarging the top inset and runs its refreshing
// callback; ending the refresh gives the inset back and records the time in the standard user defaults.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "ui/refresh/RefreshComponent.h"

namespace ql {

inline constexpr std::string_view RefreshHeaderLastUpdatedTimeKey = "RefreshHeaderLastUpdatedTimeKey";

class RefreshHeader : public RefreshComponent {
    QL_OBJECT(RefreshHeader, RefreshComponent)
public:
    static constexpr double kHeight = 54;
    // How long the insets take to open for a refresh and to close after it.
    static constexpr double kOpenDuration = 0.25;
    static constexpr double kCloseDuration = 0.4;

    explicit RefreshHeader(Passkey key) : RefreshComponent(key) {}
    static std::shared_ptr<RefreshHeader> headerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshHeader>(std::move(block));
    }
    static std::shared_ptr<RefreshHeader> headerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                     RefreshingAction action) {
        return make<RefreshHeader>(std::move(target), std::move(action));
    }

    // The user defaults key of the last finished refresh's date; headers that share it share the date.
    const std::string& lastUpdatedTimeKey() const { return lastUpdatedTimeKey_; }
    virtual void setLastUpdatedTimeKey(std::string key);
    std::optional<ns::Date> lastUpdatedTime() const;
    // The part of the top inset the header sits above.
    double ignoredScrollViewContentInsetTop() const { return ignoredInsetTop_; }
    void setIgnoredScrollViewContentInsetTop(double top) { ignoredInsetTop_ = top; }

    // On a collection view the refresh ends 0.1 s later.
    void endRefreshing() override;
    void setState(RefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;

private:
    std::string lastUpdatedTimeKey_;
    double ignoredInsetTop_ = 0;
};

}  // namespace ql
