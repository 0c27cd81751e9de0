#include "ui/refresh/RefreshFooter.h"

#include "platform/ui/CollectionView.h"
#include "platform/ui/TableView.h"
#include "ui/refresh/RefreshGeometry.h"
#include "ui/refresh/ScrollViewRefresh.h"

namespace ql {

void RefreshFooter::prepare() {
    RefreshComponent::prepare();
    mm_setH(*this, kHeight);
    setAutomaticallyHidden(true);
}

void RefreshFooter::willMoveToSuperview(ui::View* newSuperview) {
    RefreshComponent::willMoveToSuperview(newSuperview);
    if (!newSuperview) return;
    auto* scrollView = dynamic_cast<ui::ScrollView*>(newSuperview);
    if (!dynamic_cast<ui::TableView*>(scrollView) && !dynamic_cast<ui::CollectionView*>(scrollView)) return;
    // The block keeps the footer alive for as long as the scroll view keeps the block.
    auto self = std::static_pointer_cast<RefreshFooter>(selfPointer());
    setReloadDataBlock(*scrollView, [self](std::int64_t totalDataCount) {
        if (self->automaticallyHidden()) self->setHidden(totalDataCount == 0);
    });
}

void RefreshFooter::endRefreshingWithNoMoreData() { setState(RefreshStateNoMoreData); }

void RefreshFooter::noticeNoMoreData() { endRefreshingWithNoMoreData(); }

void RefreshFooter::resetNoMoreData() { setState(RefreshStateIdle); }

}  // namespace ql
