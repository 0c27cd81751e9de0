#pragma once
// RefreshNormalHeader: the state header with an arrow that turns up once pulled far enough and a spinner
// while refreshing. The header the app's lists use.

#include <memory>

#include "ui/refresh/RefreshArrowIndicator.h"
#include "ui/refresh/RefreshStateHeader.h"

namespace ql {

class RefreshNormalHeader : public RefreshStateHeader {
    QL_OBJECT(RefreshNormalHeader, RefreshStateHeader)
public:
    explicit RefreshNormalHeader(Passkey key) : RefreshStateHeader(key) {}
    static std::shared_ptr<RefreshNormalHeader> headerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshNormalHeader>(std::move(block));
    }
    static std::shared_ptr<RefreshNormalHeader> headerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                           RefreshingAction action) {
        return make<RefreshNormalHeader>(std::move(target), std::move(action));
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
