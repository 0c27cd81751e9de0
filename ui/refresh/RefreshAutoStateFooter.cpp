#include "ui/refresh/RefreshAutoStateFooter.h"

#include "platform/ui/TapGestureRecognizer.h"

namespace ql {

void RefreshAutoStateFooter::setTitle(std::optional<std::string> title, RefreshState state) {
    titles_.setTitle(*this, std::move(title), state, this->state());
}

void RefreshAutoStateFooter::prepare() {
    RefreshAutoFooter::prepare();
    setTitle("点击或上拉加载更多", RefreshStateIdle);
    setTitle("正在加载更多的数据...", RefreshStateRefreshing);
    setTitle("已经全部加载完毕", RefreshStateNoMoreData);
    auto label = stateLabel();
    label->setUserInteractionEnabled(true);
    label->addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>(
        weak_from_this(), ui::Action(&RefreshAutoStateFooter::stateLabelClick)));
}

void RefreshAutoStateFooter::stateLabelClick() {
    if (state() == RefreshStateIdle) beginRefreshing();
}

void RefreshAutoStateFooter::placeSubviews() {
    RefreshAutoFooter::placeSubviews();
    stateLabel()->setFrame(bounds());
}

void RefreshAutoStateFooter::setState(RefreshState state) {
    if (state == this->state()) return;
    RefreshAutoFooter::setState(state);
    if (refreshingTitleHidden_ && state == RefreshStateRefreshing) {
        stateLabel()->setText(std::nullopt);
    } else {
        titles_.show(*this, state);
    }
}

}  // namespace ql
