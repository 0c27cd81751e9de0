#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/PanGestureRecognizer.h"
#include "tests/ui/refresh/RefreshTestSupport.h"
#include "ui/refresh/RefreshGeometry.h"
#include "ui/refresh/RefreshNormalHeader.h"

using namespace ql;

namespace {

class RefreshComponentTest : public test::RefreshTest {};

class Listener : public ns::Object {
public:
    void refreshed(ns::Object* sender) { calls.push_back(sender ? "action" : "action without sender"); }
    std::vector<std::string> calls;
};

}  // namespace

TEST_F(RefreshComponentTest, ScrollViewsCarryOneHeaderAndCountTheirData) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setHeader(*table, header);
    EXPECT_EQ(ql::header(*table), header);
    EXPECT_EQ(header->superview(), table.get());
    EXPECT_EQ(header->scrollView(), table);
    EXPECT_EQ(header->pan(), table->panGestureRecognizer());

    // The same header again is left in place; another replaces it; none removes it.
    std::size_t before = table->subviews().size();
    setHeader(*table, header);
    EXPECT_EQ(table->subviews().size(), before);
    auto other = RefreshNormalHeader::headerWithRefreshingBlock({});
    setHeader(*table, other);
    EXPECT_EQ(header->superview(), nullptr);
    EXPECT_EQ(header->pan(), nullptr);
    setHeader(*table, nullptr);
    EXPECT_EQ(other->superview(), nullptr);
    EXPECT_FALSE(ql::header(*table));

    rows->counts = {3, 0, 2};
    table->reloadData();
    EXPECT_EQ(totalDataCount(*table), 5);
    ui::ScrollView plain(cg::Rect{0, 0, 100, 100});
    EXPECT_EQ(totalDataCount(plain), 0);

    std::vector<std::int64_t> told;
    setReloadDataBlock(*table, [&](std::int64_t count) { told.push_back(count); });
    table->reloadData();
    EXPECT_EQ(told, std::vector<std::int64_t>{5});
}

TEST_F(RefreshComponentTest, OnlyScrollViewsAreFollowed) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    auto plain = std::make_shared<ui::View>(cg::Rect{0, 0, 200, 200});
    plain->addSubview(header);
    EXPECT_FALSE(header->scrollView());
    EXPECT_FALSE(header->pan());
    EXPECT_EQ(mm_w(*header), 0);

    // Moved on to a scroll view it follows that one only.
    table->addSubview(header);
    EXPECT_EQ(header->scrollView(), table);
    EXPECT_EQ(mm_w(*header), 320);
}

TEST_F(RefreshComponentTest, ATouchlessControlIgnoresScrolling) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setHeader(*table, header);
    header->setUserInteractionEnabled(false);
    pull(200);
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 0);
}

TEST_F(RefreshComponentTest, TheBlockThenTheActionRunOnALaterTurn) {
    auto listener = std::make_shared<Listener>();
    auto header = RefreshNormalHeader::headerWithRefreshingTarget(listener, &Listener::refreshed);
    header->setRefreshingBlock([&] { listener->calls.push_back("block"); });
    setHeader(*table, header);
    header->beginRefreshing();
    EXPECT_TRUE(listener->calls.empty());
    app.device.advance(0.3);
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"block", "action"}));
}

TEST_F(RefreshComponentTest, AlphaFollowsThePullWhileAsked) {
    auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
    setHeader(*table, header);
    header->setAutomaticallyChangeAlpha(true);
    EXPECT_FLOAT_EQ(header->alpha(), 0);
    EXPECT_TRUE(header->isAutoChangeAlpha());
    header->setPullingPercent(0.4);
    EXPECT_FLOAT_EQ(header->alpha(), 0.4f);
    header->beginRefreshing();
    EXPECT_FLOAT_EQ(header->alpha(), 1);
    header->setAutoChangeAlpha(true);
    header->setPullingPercent(0.2);
    EXPECT_FLOAT_EQ(header->alpha(), 1);
    header->setAutomaticallyChangeAlpha(false);
    EXPECT_FLOAT_EQ(header->alpha(), 1);
}

TEST(RefreshGeometry, AccessorsChangeOnePartOnly) {
    ui::ScrollView scroll(cg::Rect{1, 2, 30, 40});
    mm_setX(scroll, 5);
    mm_setH(scroll, 50);
    EXPECT_EQ(scroll.frame(), (cg::Rect{5, 2, 30, 50}));
    mm_setOrigin(scroll, {7, 8});
    mm_setSize(scroll, {9, 10});
    EXPECT_EQ(scroll.frame(), (cg::Rect{7, 8, 9, 10}));
    mm_setInsetT(scroll, 3);
    mm_setInsetB(scroll, 4);
    mm_setInsetL(scroll, 5);
    mm_setInsetR(scroll, 6);
    EXPECT_EQ(scroll.contentInset(), (cg::EdgeInsets{3, 5, 4, 6}));
    mm_setContentW(scroll, 100);
    mm_setContentH(scroll, 200);
    EXPECT_EQ(scroll.contentSize(), (cg::Size{100, 200}));
    mm_setOffsetX(scroll, 11);
    mm_setOffsetY(scroll, 12);
    EXPECT_EQ(scroll.contentOffset(), (cg::Point{11, 12}));
    EXPECT_EQ(mm_offsetY(scroll), 12);
    EXPECT_EQ(mm_insetR(scroll), 6);
}
