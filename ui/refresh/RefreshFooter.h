#pragma once
// RefreshFooter: the base of the controls below a scroll view's content that load more: its height, the
// calls that end loading for good, and hiding itself over a table or collection view without data.

#include <memory>

#include "ui/refresh/RefreshComponent.h"

namespace ql {

class RefreshFooter : public RefreshComponent {
    QL_OBJECT(RefreshFooter, RefreshComponent)
public:
    static constexpr double kHeight = 44;

    explicit RefreshFooter(Passkey key) : RefreshComponent(key) {}

    void endRefreshingWithNoMoreData();
    virtual void noticeNoMoreData();
    void resetNoMoreData();

    // While set, every reload of the table or collection view hides the footer when it shows no data.
    bool automaticallyHidden() const { return automaticallyHidden_; }
    void setAutomaticallyHidden(bool hidden) { automaticallyHidden_ = hidden; }
    // The part of the bottom inset the footer sits below.
    double ignoredScrollViewContentInsetBottom() const { return ignoredInsetBottom_; }
    void setIgnoredScrollViewContentInsetBottom(double bottom) { ignoredInsetBottom_ = bottom; }

    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void prepare() override;

private:
    bool automaticallyHidden_ = true;
    double ignoredInsetBottom_ = 0;
};

}  // namespace ql
