#include "ui/refresh/RefreshBackStateFooter.h"

namespace ql {

void RefreshBackStateFooter::setTitle(std::optional<std::string> title, RefreshState state) {
    titles_.setTitle(*this, std::move(title), state, this->state());
}

void RefreshBackStateFooter::prepare() {
    RefreshBackFooter::prepare();
    setTitle("上拉可以加载更多", RefreshStateIdle);
    setTitle("松开立即加载更多", RefreshStatePulling);
    setTitle("正在加载更多的数据...", RefreshStateRefreshing);
    setTitle("已经全部加载完毕", RefreshStateNoMoreData);
}

void RefreshBackStateFooter::placeSubviews() {
    RefreshBackFooter::placeSubviews();
    stateLabel()->setFrame(bounds());
}

void RefreshBackStateFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshBackFooter::setState(state);
    titles_.show(*this, state);
}

}  // namespace ql
