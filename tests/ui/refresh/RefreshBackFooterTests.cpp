#include <gtest/gtest.h>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "tests/ui/refresh/RefreshTestSupport.h"
#include "ui/refresh/RefreshBackNormalFooter.h"
#include "ui/refresh/RefreshGeometry.h"

using namespace ql;

namespace {

class RefreshBackFooterTest : public test::RefreshTest {
protected:
    void showRows(std::int64_t count) {
        rows->counts = {count};
        table->reloadData();
        settle();
    }
    void install() {
        footer = RefreshBackNormalFooter::footerWithRefreshingBlock([this] { ++refreshes; });
        setFooter(*table, footer);
        settle();
    }
    // Up to the end of the content and beyond it by `beyond` points, then let go.
    void pullUp(double beyond) {
        const double end = std::max(0.0, mm_contentH(*table) - mm_h(*table));
        table->setContentOffset({0, end});
        settle();
        pull(-beyond);
    }

    std::shared_ptr<RefreshBackNormalFooter> footer;
    int refreshes = 0;
};

}  // namespace

TEST_F(RefreshBackFooterTest, ShortContentRefreshesFromTheBottomOfTheView) {
    showRows(6);  // 264 points in a 500-point table
    install();
    EXPECT_EQ(footer->frame(), (cg::Rect{0, 500, 320, 44}));
    EXPECT_EQ(footer->heightForContentBreakView(), 264 - 500);
    EXPECT_EQ(footer->happenOffsetY(), 0);
    EXPECT_EQ(footer->stateLabel()->text(), "上拉可以加载更多");
    EXPECT_EQ(footer->arrowView()->transform(), cg::AffineTransform::makeRotation(0.000001 - 3.14159265358979323846));

    auto touch = press();
    bool sawPulling = false;
    for (double d = 5; d <= 200; d += 5) {
        moveBy(touch, -d);
        const double offset = table->contentOffset().y;
        EXPECT_EQ(footer->state(), offset > 44 ? RefreshStatePulling : RefreshStateIdle) << "offset " << offset;
        sawPulling = sawPulling || footer->state() == RefreshStatePulling;
    }
    ASSERT_TRUE(sawPulling);
    EXPECT_EQ(footer->stateLabel()->text(), "松开立即加载更多");
    EXPECT_EQ(footer->arrowView()->transform(), cg::AffineTransform::identity());
    lift(touch);
    app.device.advance(0.02);

    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(footer->stateLabel()->text(), "正在加载更多的数据...");
    EXPECT_DOUBLE_EQ(table->contentInset().bottom, 44 + 236);
    EXPECT_DOUBLE_EQ(footer->lastBottomDelta(), 44 + 236);
    EXPECT_EQ(footer->lastRefreshCount(), 6);
    EXPECT_EQ(table->contentOffset().y, 44);
    EXPECT_TRUE(footer->loadingView()->isAnimating());
    EXPECT_TRUE(footer->arrowView()->isHidden());
    app.device.advance(0.3);
    EXPECT_EQ(refreshes, 1);

    footer->endRefreshing();
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(footer->state(), RefreshStateIdle);
    app.device.advance(0.41);
    EXPECT_FALSE(footer->arrowView()->isHidden());
    EXPECT_FALSE(footer->loadingView()->isAnimating());
    EXPECT_DOUBLE_EQ(footer->pullingPercent(), 0);
}

TEST_F(RefreshBackFooterTest, LongContentRefreshesPastItsEnd) {
    showRows(23);  // 1012 points
    install();
    EXPECT_EQ(footer->heightForContentBreakView(), 512);
    EXPECT_EQ(footer->frame().origin.y, 1012);
    EXPECT_EQ(footer->happenOffsetY(), 512);

    pullUp(200);
    app.device.advance(0.02);
    EXPECT_EQ(footer->state(), RefreshStateRefreshing);
    EXPECT_EQ(table->contentInset().bottom, 44);
    EXPECT_EQ(table->contentOffset().y, 512 + 44);
    app.device.advance(0.3);
    EXPECT_EQ(refreshes, 1);

    // New rows move the footer down with the content.
    showRows(30);
    EXPECT_EQ(footer->frame().origin.y, 30 * 44);
    footer->endRefreshing();
    EXPECT_EQ(table->contentInset().bottom, 0);
}

TEST_F(RefreshBackFooterTest, HidesOverAnEmptyListWhenAsked) {
    install();
    showRows(0);
    EXPECT_TRUE(footer->isHidden());
    showRows(4);
    EXPECT_FALSE(footer->isHidden());
    footer->setAutomaticallyHidden(false);
    showRows(0);
    EXPECT_FALSE(footer->isHidden());
}

TEST_F(RefreshBackFooterTest, NoMoreDataEndsLoadingForGoodUntilReset) {
    showRows(6);
    install();
    pullUp(200);
    app.device.advance(0.3);
    ASSERT_EQ(refreshes, 1);

    footer->noticeNoMoreData();
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(footer->stateLabel()->text(), "已经全部加载完毕");
    EXPECT_TRUE(footer->arrowView()->isHidden());
    EXPECT_FALSE(footer->loadingView()->isAnimating());

    app.device.advance(1);
    pullUp(200);
    app.device.advance(1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
    EXPECT_TRUE(footer->arrowView()->isHidden());

    footer->resetNoMoreData();
    EXPECT_EQ(footer->stateLabel()->text(), "上拉可以加载更多");
    EXPECT_FALSE(footer->arrowView()->isHidden());
}

TEST_F(RefreshBackFooterTest, AnArrowStaysHiddenWhenTheDataRunsOutRightAfterARefresh) {
    showRows(6);
    install();
    pullUp(200);
    app.device.advance(0.3);
    footer->endRefreshing();
    app.device.advance(0.1);
    footer->endRefreshingWithNoMoreData();
    app.device.advance(0.5);
    EXPECT_TRUE(footer->arrowView()->isHidden());
    EXPECT_EQ(footer->state(), RefreshStateNoMoreData);
}
