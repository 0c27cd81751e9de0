#pragma once
// RefreshAutoNormalFooter: the auto state footer with a spinner while loading, beside the title or, when
// the title hides while loading, in its place.

#include <memory>

#include "ui/refresh/RefreshArrowIndicator.h"
#include "ui/refresh/RefreshAutoStateFooter.h"

namespace ql {

class RefreshAutoNormalFooter : public RefreshAutoStateFooter {
    QL_OBJECT(RefreshAutoNormalFooter, RefreshAutoStateFooter)
public:
    explicit RefreshAutoNormalFooter(Passkey key) : RefreshAutoStateFooter(key) {}
    static std::shared_ptr<RefreshAutoNormalFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshAutoNormalFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshAutoNormalFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                               RefreshingAction action) {
        return make<RefreshAutoNormalFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::ActivityIndicatorView> loadingView() { return indicator_.loadingView(*this); }
    ui::ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return indicator_.activityIndicatorViewStyle(); }
    void setActivityIndicatorViewStyle(ui::ActivityIndicatorViewStyle style);

    void setState(RefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    // Only its spinner is used.
    RefreshArrowIndicator indicator_;
};

}  // namespace ql
