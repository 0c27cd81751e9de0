#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/layout/LinearLayoutView.h"

using namespace ql;
using namespace ql::ui;

namespace {

using ItemPtr = std::shared_ptr<LinearLayoutItem>;

ItemPtr item(double w, double h, cg::EdgeInsets padding = {}) {
    auto it = LinearLayoutItem::layoutItemForView(std::make_shared<View>(cg::Rect{0, 0, w, h}));
    it->setPadding(padding);
    return it;
}

void expectFrame(const ItemPtr& it, double x, double y, double w, double h) {
    EXPECT_EQ(it->view()->frame(), (cg::Rect{x, y, w, h}));
}

}  // namespace

TEST(LinearLayout, VerticalRunsAlignAndFill) {
    LinearLayoutView layout({0, 0, 320, 100});
    auto a = item(100, 40, {10, 0, 5, 0});
    auto b = item(100, 40, {10, 0, 5, 0});
    layout.addItem(a);
    layout.addItem(b);
    layout.layoutSubviews();
    expectFrame(a, 0, 10, 100, 40);
    expectFrame(b, 0, 65, 100, 40);
    EXPECT_EQ(layout.layoutOffset(), 110);
    EXPECT_EQ(layout.contentSize(), (cg::Size{320, 110}));

    a->setHorizontalAlignment(LinearLayoutItem::kAlignmentTrailing);
    a->setPadding({0, 0, 0, 8});
    b->setHorizontalAlignment(LinearLayoutItem::kAlignmentCenter);
    b->setPadding({0, 10, 0, 20});
    layout.layoutSubviews();
    EXPECT_EQ(a->view()->frame().origin.x, 212);
    EXPECT_EQ(b->view()->frame().origin.x, 105);
    // The content is never smaller than the view.
    EXPECT_EQ(layout.contentSize(), (cg::Size{320, 100}));

    for (const auto& it : {a, b}) {
        it->setFillMode(LinearLayoutItem::kFillModeStretch);
        it->setPadding({0, 10, 0, 10});
    }
    layout.layoutSubviews();
    expectFrame(a, 10, 0, 300, 40);
    expectFrame(b, 10, 40, 300, 40);
}

TEST(LinearLayout, HorizontalRunsAndTheFrameFollowingTheRun) {
    LinearLayoutView layout({0, 0, 320, 100});
    layout.setOrientation(LinearLayoutView::kOrientationHorizontal);
    layout.setAutoAdjustFrameSize(true);
    std::vector<ItemPtr> items;
    for (int i = 0; i < 3; ++i) {
        items.push_back(item(50, 30, {0, 5, 0, 5}));
        layout.addItem(items.back());
    }
    EXPECT_EQ(layout.frame().size.width, 180);  // already on adding
    items[1]->setVerticalAlignment(LinearLayoutItem::kAlignmentTrailing);
    items[2]->setVerticalAlignment(LinearLayoutItem::kAlignmentCenter);
    layout.layoutSubviews();
    expectFrame(items[0], 5, 0, 50, 30);
    expectFrame(items[1], 65, 70, 50, 30);
    expectFrame(items[2], 125, 35, 50, 30);
    EXPECT_EQ(layout.frame().size, (cg::Size{180, 100}));
    EXPECT_EQ(layout.contentSize(), (cg::Size{180, 100}));
}

TEST(LinearLayout, ListOperationsAndRefusals) {
    LinearLayoutView layout({0, 0, 320, 480});
    std::vector<ItemPtr> four;
    for (int i = 0; i < 4; ++i) four.push_back(item(10, 10));
    const auto order = [&] { return layout.items(); };
    using Items = std::vector<ItemPtr>;

    layout.insertItemAtIndex(four[0], 0);  // an empty list takes no index
    EXPECT_TRUE(order().empty());
    for (const auto& it : four) layout.addItem(it);
    layout.addItem(four[0]);  // listed already
    layout.addItem(std::make_shared<LinearLayoutItem>());  // no view
    layout.addItem(nullptr);
    EXPECT_EQ(order(), four);
    EXPECT_EQ(layout.subviews().size(), 4u);

    auto extra = item(10, 10);
    layout.insertItemAtIndex(extra, 4);  // the count: refused
    layout.insertItemBeforeItem(std::make_shared<LinearLayoutItem>(), four[0]);  // no view: refused
    layout.insertItemAfterItem(extra, item(1, 1));  // the other is not listed
    EXPECT_EQ(order(), four);

    layout.moveItemToIndex(four[0], 2);
    EXPECT_EQ(order(), (Items{four[1], four[2], four[0], four[3]}));
    layout.moveItemToIndex(four[0], 3);
    EXPECT_EQ(order(), (Items{four[1], four[2], four[3], four[0]}));
    layout.moveItemBeforeItem(four[0], four[1]);
    EXPECT_EQ(order(), four);
    layout.moveItemAfterItem(four[0], four[3]);
    EXPECT_EQ(order(), (Items{four[1], four[2], four[3], four[0]}));
    layout.swapItemWithItem(four[0], four[1]);
    EXPECT_EQ(order(), (Items{four[0], four[2], four[3], four[1]}));
    layout.swapItemWithItem(four[0], four[0]);
    EXPECT_EQ(order(), (Items{four[0], four[2], four[3], four[1]}));

    layout.insertItemAfterItem(extra, four[1]);  // after the last: appended
    EXPECT_EQ(order().back(), extra);
    layout.removeItem(extra);
    EXPECT_FALSE(extra->view()->superview());
    layout.removeItem(extra);  // not listed any more: nothing

    // The item keeps its own copy of the caller's data.
    {
        ns::Dictionary info;
        info.set("book", ns::Value(7));
        four[0]->setUserInfo(info);
    }
    EXPECT_EQ(four[0]->userInfo()["book"].int64Value(), 7);

    layout.addSubview(std::make_shared<View>());
    layout.removeAllItems();
    EXPECT_TRUE(order().empty());
    EXPECT_TRUE(layout.subviews().empty());
}
