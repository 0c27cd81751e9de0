#include "platform/ui/RefreshControl.h"

#include "platform/ui/MainThread.h"

namespace ql::ui {

RefreshControl::RefreshControl() : Control(cg::Rect{0, 0, 320, 60}) {}

void RefreshControl::beginRefreshing() {
    assertMainThread();
    if (!refreshing_) changeValue("refreshing", refreshing_, true);
}

void RefreshControl::endRefreshing() {
    assertMainThread();
    if (refreshing_) changeValue("refreshing", refreshing_, false);
}

}  // namespace ql::ui
