#pragma once
// RefreshBackNormalFooter: the back state footer with an arrow that points up until pulled far enough
// and a spinner while loading. The footer the app's lists use.

#include <memory>

#include "ui/refresh/RefreshArrowIndicator.h"
#include "ui/refresh/RefreshBackStateFooter.h"

namespace ql {

class RefreshBackNormalFooter : public RefreshBackStateFooter {
    QL_OBJECT(RefreshBackNormalFooter, RefreshBackStateFooter)
public:
    explicit RefreshBackNormalFooter(Passkey key) : RefreshBackStateFooter(key) {}
    static std::shared_ptr<RefreshBackNormalFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshBackNormalFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshBackNormalFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                               RefreshingAction action) {
        return make<RefreshBackNormalFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::ImageView> arrowView() { return indicator_.arrowView(*this); }
    std::shared_ptr<ui::ActivityIndicatorView> loadingView() { return indicator_.loadingView(*this); }
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return indicator_.activityIndicatorViewStyle(); }
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style);

    void setState(RefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    RefreshArrowIndicator indicator_;
};

}  // namespace ql
