#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ui/AlertView.h"
#include "platform/ui/RefreshControl.h"

namespace ql {
namespace {

class RecordingDelegate final : public ui::AlertViewDelegate {
public:
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, std::int64_t index) override {
        clicked.push_back(index);
        visibleWhileTold = alert.isVisible();
    }
    std::vector<std::int64_t> clicked;
    bool visibleWhileTold = false;
};

TEST(AlertView, ListsButtonsCancelFirstAndStaysVisibleUntilAButtonDismissesIt) {
    auto delegate = std::make_shared<RecordingDelegate>();
    auto alert = std::make_shared<ui::AlertView>("Title", "Text", delegate, "Dismiss", std::vector<std::string>{"Retry"});
    EXPECT_EQ(alert->addButtonWithTitle("More"), 2);
    EXPECT_EQ(alert->numberOfButtons(), 3);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "Dismiss");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Retry");
    EXPECT_EQ(alert->buttonTitleAtIndex(3), "");
    EXPECT_FALSE(alert->isVisible());

    alert->show();
    alert->show();
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(ui::AlertView::visibleAlerts(), std::vector<std::shared_ptr<ui::AlertView>>{alert});

    alert->dismissWithClickedButtonIndex(7, false);
    EXPECT_TRUE(alert->isVisible());
    alert->dismissWithClickedButtonIndex(1, true);
    EXPECT_EQ(delegate->clicked, std::vector<std::int64_t>{1});
    EXPECT_TRUE(delegate->visibleWhileTold);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(ui::AlertView::visibleAlerts().empty());

    ui::AlertView plain("T", "M", {}, std::nullopt);
    EXPECT_EQ(plain.cancelButtonIndex(), -1);
    EXPECT_EQ(plain.numberOfButtons(), 0);
}

TEST(RefreshControl, AnnouncesOnlyRealChangesOfRefreshing) {
    auto control = std::make_shared<ui::RefreshControl>();
    int changes = 0;
    auto observation = control->addObserver("refreshing", 0, [&](const ns::KeyValueChange&) { ++changes; });
    control->endRefreshing();
    control->beginRefreshing();
    control->beginRefreshing();
    EXPECT_TRUE(control->isRefreshing());
    control->endRefreshing();
    EXPECT_FALSE(control->isRefreshing());
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace ql
