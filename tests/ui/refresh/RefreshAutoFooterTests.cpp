#include <gtest/gtest.h>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "tests/ui/refresh/RefreshTestSupport.h"
#include "ui/refresh/RefreshAutoGifFooter.h"
#include "ui/refresh/RefreshAutoNormalFooter.h"
#include "ui/refresh/RefreshGeometry.h"

using namespace ql;

namespace {

class RefreshAutoFooterTest : public test::RefreshTest {
protected:
    RefreshAutoFooterTest() {
        table->setRowHeight(50);
        showRows(20);  // 1000 points in a 500-point table
        // The count outlives the fixture: a refresh may still be due when the device goes.
        footer = RefreshAutoNormalFooter::footerWithRefreshingBlock([count = refreshes] { ++*count; });
        setFooter(*table, footer);
        settle();
    }
    void showRows(std::int64_t count) {
        rows->counts = {count};
        table->reloadData();
        settle();
    }
    void scrollTo(double y) {
        table->setContentOffset({0, y});
        settle();
    }

    std::shared_ptr<RefreshAutoNormalFooter> footer;
    std::shared_ptr<int> refreshes = std::make_shared<int>(0);
};

}  // namespace

TEST_F(RefreshAutoFooterTest, KeepsItsHeightInTheInsetWhileShown) {
    EXPECT_EQ(table->contentInset().bottom, 44);
    EXPECT_EQ(footer->frame(), (cg::Rect{0, 1000, 320, 44}));
    EXPECT_EQ(footer->stateLabel()->text(), "点击或上拉加载更多");

    footer->setHidden(true);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    footer->setHidden(true);
    EXPECT_EQ(table->contentInset().bottom, 0);
    footer->setHidden(false);
    EXPECT_EQ(table->contentInset().bottom, 44);

    showRows(0);
    EXPECT_TRUE(footer->isHidden());
    EXPECT_EQ(table->contentInset().bottom, 0);
    showRows(3);
    EXPECT_FALSE(footer->isHidden());
    EXPECT_EQ(table->contentInset().bottom, 44);
    EXPECT_EQ(footer->frame().origin.y, 150);

    setFooter(*table, nullptr);
    EXPECT_EQ(table->contentInset().bottom, 0);
}

TEST_F(RefreshAutoFooterTest, MovedStraightToAnotherListItGivesTheFirstItsInsetBack) {
    auto other = std::make_shared<ui::TableView>(cg::Rect{0, 0, 320, 300});
    app.rootView().addSubview(other);
    other->addSubview(footer);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(other->contentInset().bottom, 44);
}

TEST_F(RefreshAutoFooterTest, LoadsWhenTheWholeFooterComesIntoViewOnTheWayDown) {
    // 1000 − 500 + 44 × 1.0 + 44 − 44.
    scrollTo(543);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    scrollTo(544);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(footer->stateLabel()->text(), "正在加载更多的数据...");
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    app.device.advance(0.49);
    EXPECT_EQ(*refreshes, 0);
    app.device.advance(0.02);
    EXPECT_EQ(*refreshes, 1);

    // A tap on the title while loading or after the end does nothing.
    app.device.tap(*footer->stateLabel());
    footer->endRefreshing();
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    footer->endRefreshingWithNoMoreData();
    EXPECT_EQ(footer->stateLabel()->text(), "已经全部加载完毕");
    app.device.tap(*footer->stateLabel());
    scrollTo(400);
    scrollTo(600);
    app.device.advance(1);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_EQ(*refreshes, 1);

    // Back up past the footer starts nothing.
    footer->resetNoMoreData();
    footer->setAutomaticallyRefresh(false);
    scrollTo(600);
    footer->setAutomaticallyRefresh(true);
    scrollTo(580);
    EXPECT_EQ(footer->state(), RefreshStateIdle);

    // A lower percentage loads earlier.
    scrollTo(0);
    footer->setTriggerAutomaticallyRefreshPercent(0.5);
    scrollTo(522);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
}

TEST_F(RefreshAutoFooterTest, AShortListLoadsAtTheEndOfADragNotByScrolling) {
    showRows(4);  // 200 points
    for (double y : {10.0, 50.0, 100.0}) scrollTo(y);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    scrollTo(0);
    pull(-30);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
}

TEST_F(RefreshAutoFooterTest, ATapOnTheTitleLoadsAndTheTitleCanHideWhileLoading) {
    footer->setRefreshingTitleHidden(true);
    scrollTo(520);
    app.device.tap(*footer->stateLabel());
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_FALSE(footer->stateLabel()->text());
    footer->setNeedsLayout();
    footer->layoutIfNeeded();
    EXPECT_EQ(footer->loadingView()->center(), (cg::Point{160, 22}));
}

TEST_F(RefreshAutoFooterTest, TheGifFooterAnimatesOnlyWhileLoading) {
    auto gif = RefreshAutoGifFooter::footerWithRefreshingBlock({});
    const auto frame = std::make_shared<ui::Image>(nullptr, 1, ui::ImageOrientation::Up);
    gif->setImages({frame, frame}, RefreshStateRefreshing);
    setFooter(*table, gif);
    gif->beginRefreshing();
    EXPECT_TRUE(gif->gifView()->isAnimating());
    EXPECT_FALSE(gif->gifView()->isHidden());
    gif->endRefreshing();
    EXPECT_FALSE(gif->gifView()->isAnimating());
    EXPECT_TRUE(gif->gifView()->isHidden());
}
