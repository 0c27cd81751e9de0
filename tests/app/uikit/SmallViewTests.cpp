// The app kit's small views and the frame scaling: the answer button's geometry, the hint text views,
// and scaling from the 375 × 667 design.

#include <gtest/gtest.h>

#include <thread>

#include "app/uikit/FrameAutoScaleQZV.h"
#include "app/uikit/NavigationBarHeight.h"
#include "app/uikit/PlaceHolderTextView.h"
#include "app/uikit/QRadioButton.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"
#include "tests/support/UIHarness.h"

using namespace ql;

TEST(SmallViews, TheAnswerButtonPutsItsMarkInTheMiddleOfTheLeftEdge) {
    test::UIHarness ui;
    auto radio = std::make_shared<QRadioButton>();
    EXPECT_TRUE(radio->isExclusiveTouch());
    EXPECT_FALSE(radio->adjustsImageWhenHighlighted());
    EXPECT_EQ(radio->imageRectForContentRect({0, 0, 300, 100}), (cg::Rect{0, 42, 16, 16}));
    EXPECT_EQ(radio->titleRectForContentRect({0, 0, 300, 100}), (cg::Rect{21, 0, 279, 100}));
    EXPECT_TRUE(radio->backgroundImageForState(ui::ControlStateSelected));
}

TEST(SmallViews, TheHintFollowsOnlyTheViewsOwnText) {
    test::UIHarness ui;
    auto plain = UIPlaceHolderTextView::make({0, 0, 200, 100});
    plain->drawRect(plain->bounds());
    plain->setText("abc");
    EXPECT_EQ(plain->placeHolderLabel(), nullptr);  // without a placeholder there is no hint at all

    auto view = UIPlaceHolderTextView::make({0, 0, 200, 100});
    view->setPlaceholder("写下你的感受");
    ui.root->view()->addSubview(view);
    view->drawRect(view->bounds());
    ASSERT_TRUE(view->placeHolderLabel());
    EXPECT_EQ(view->placeHolderLabel()->tag(), UIPlaceHolderTextView::kHintTag);
    EXPECT_DOUBLE_EQ(view->placeHolderLabel()->alpha(), 1);
    view->setText("好看");
    EXPECT_DOUBLE_EQ(view->placeHolderLabel()->alpha(), 0);
    view->setText("");
    EXPECT_DOUBLE_EQ(view->placeHolderLabel()->alpha(), 1);

    // Another text view's change says nothing about this one.
    auto other = std::make_shared<ui::TextView>(cg::Rect{0, 0, 10, 10});
    view->ui::TextView::setText("x");
    view->placeHolderLabel()->setAlpha(1);
    ns::NotificationCenter::defaultCenter().post(ui::TextViewTextDidChangeNotification, other.get());
    EXPECT_DOUBLE_EQ(view->placeHolderLabel()->alpha(), 1);
    ns::NotificationCenter::defaultCenter().post(ui::TextViewTextDidChangeNotification, view.get());
    EXPECT_DOUBLE_EQ(view->placeHolderLabel()->alpha(), 0);

    // A view that has gone is not called any more.
    std::weak_ptr<UIPlaceHolderTextView> gone = view;
    view->removeFromSuperview();
    view.reset();
    EXPECT_TRUE(gone.expired());
    ns::NotificationCenter::defaultCenter().post(ui::TextViewTextDidChangeNotification, nullptr);
}

TEST(SmallViews, AHintTextViewCanBeAddedOnceToAnyTextView) {
    test::UIHarness ui;
    auto text = std::make_shared<ui::TextView>(cg::Rect{0, 0, 200, 80});
    ui.root->view()->addSubview(text);
    addPlaceHolder(*text, "说点什么");
    auto hint = placeHolderTextView(*text);
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->text(), "说点什么");
    EXPECT_FALSE(hint->isUserInteractionEnabled());
    addPlaceHolder(*text, "again");
    EXPECT_EQ(placeHolderTextView(*text), hint);
    text->delegate()->textViewDidBeginEditing(*text);
    EXPECT_TRUE(hint->isHidden());
    text->delegate()->textViewDidEndEditing(*text);
    EXPECT_FALSE(hint->isHidden());
}

TEST(FrameScaling, ScalesFromTheDesignToTheScreen) {
    test::UIHarness ui({0, 0, 320, 568});
    FrameAutoScaleQZV& scale = FrameAutoScaleQZV::sharedFrameAutoScaleQZV();
    scale.AutoSizeScale();
    EXPECT_FLOAT_EQ(scale.autoSizeScaleX(), 320.0f / 375);
    EXPECT_FLOAT_EQ(scale.autoSizeScaleY(), 568.0f / 667);
    const cg::Rect full = FrameAutoScaleQZV::CGQZVfullScreen();
    EXPECT_NEAR(full.size.width, 320, 1e-4);
    EXPECT_NEAR(full.size.height, 568, 1e-4);

    scale.initWithAutoSizeScale(2, 0.5);
    EXPECT_EQ(FrameAutoScaleQZV::CGQZVPointMake(10, 10), (cg::Point{20, 5}));
    auto root = std::make_shared<ui::View>(cg::Rect{0, 0, 100, 100});
    auto child = std::make_shared<ui::View>(cg::Rect{10, 10, 40, 40});
    auto grandchild = std::make_shared<ui::View>(cg::Rect{1, 2, 3, 4});
    auto great = std::make_shared<ui::View>(cg::Rect{4, 4, 8, 8});
    root->addSubview(child);
    child->addSubview(grandchild);
    grandchild->addSubview(great);
    FrameAutoScaleQZV::scaleAutoLayouts(*root);
    EXPECT_EQ(root->frame(), (cg::Rect{0, 0, 100, 100}));
    EXPECT_EQ(child->frame(), (cg::Rect{20, 5, 80, 20}));
    EXPECT_EQ(grandchild->frame(), (cg::Rect{2, 1, 6, 2}));
    EXPECT_EQ(great->frame(), (cg::Rect{8, 2, 16, 4}));

    FrameAutoScaleQZV* seen[2] = {};
    std::thread a([&] { seen[0] = &FrameAutoScaleQZV::sharedFrameAutoScaleQZV(); });
    std::thread b([&] { seen[1] = &FrameAutoScaleQZV::sharedFrameAutoScaleQZV(); });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
    scale.AutoSizeScale();
}

TEST(SmallViews, ANavigationBarCarriesAStoredHeight) {
    test::UIHarness ui;
    auto bar = std::make_shared<ui::NavigationBar>(cg::Rect{0, 0, 320, 44});
    ui.root->view()->addSubview(bar);
    EXPECT_EQ(height(*bar), std::nullopt);
    EXPECT_EQ(customHeightSizeThatFits(*bar, {100, 0}), bar->sizeThatFits({100, 0}));
    setHeight(*bar, 80.5);
    EXPECT_EQ(height(*bar), 80.5);
    EXPECT_EQ(customHeightSizeThatFits(*bar, {100, 0}), (cg::Size{320, 80.5}));
}
