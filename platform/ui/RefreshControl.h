#pragma once
// ui::RefreshControl: the standard pull-to-refresh control. It keeps whether a refresh is under way;
// "refreshing" is observable.

#include "platform/ui/Control.h"

namespace ql::ui {

class RefreshControl : public Control {
    QL_OBJECT_NAMED(RefreshControl, Control, "UIRefreshControl")
public:
    RefreshControl();

    bool isRefreshing() const { return refreshing_; }
    void beginRefreshing();
    void endRefreshing();

private:
    bool refreshing_ = false;
};

}  // namespace ql::ui
