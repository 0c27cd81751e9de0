#include <gtest/gtest.h>

#include <algorithm>

#include "platform/device/Device.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationItem.h"
#include "ui/NavigationBarAwesome.h"

using namespace ql;

TEST(NavigationBarAwesome, OneOverlayCoversBarAndStatusBarUntilReset) {
    sim::Device device(sim::ScreenProfile::phone375x667());
    auto bar = std::make_shared<ui::NavigationBar>(cg::Rect{0, 20, 375, 44});
    nb_setBackgroundColor(*bar, ui::Color::redColor());
    auto first = overlay(*bar);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frame(), (cg::Rect{0, -20, 375, 64}));
    EXPECT_EQ(bar->subviews().front(), first);
    EXPECT_FALSE(first->isUserInteractionEnabled());
    EXPECT_EQ(first->autoresizingMask(), 18u);
    auto hidden = bar->backgroundImageForBarMetrics(ui::BarMetrics::Default);
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->size(), (cg::Size{0, 0}));

    nb_setBackgroundColor(*bar, ui::Color::blueColor());
    EXPECT_EQ(overlay(*bar), first);
    EXPECT_TRUE(first->backgroundColor()->isEqual(*ui::Color::blueColor()));
    EXPECT_EQ(std::count(bar->subviews().begin(), bar->subviews().end(), first), 1);

    nb_reset(*bar);
    EXPECT_FALSE(overlay(*bar));
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_FALSE(bar->backgroundImageForBarMetrics(ui::BarMetrics::Default));

    nb_setBackgroundColor(*bar, ui::Color::greenColor());
    EXPECT_NE(overlay(*bar), first);
}

TEST(NavigationBarAwesome, MovesAndFadesItsElements) {
    sim::Device device(sim::ScreenProfile::phone375x667());
    auto bar = std::make_shared<ui::NavigationBar>(cg::Rect{0, 20, 375, 44});
    auto navigationItem = std::make_shared<ui::NavigationItem>("书城");
    navigationItem->setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>(std::make_shared<ui::View>(cg::Rect{0, 0, 30, 30})));
    navigationItem->setRightBarButtonItem(std::make_shared<ui::BarButtonItem>(std::make_shared<ui::View>(cg::Rect{0, 0, 30, 30})));
    bar->pushNavigationItem(navigationItem, false);
    bar->layoutIfNeeded();
    ASSERT_FALSE(bar->leftItemViews().empty());
    ASSERT_FALSE(bar->rightItemViews().empty());
    ASSERT_TRUE(bar->titleItemView());

    nb_setElementsAlpha(*bar, 0.25);
    for (const auto& view : bar->leftItemViews()) EXPECT_FLOAT_EQ(view->alpha(), 0.25);
    for (const auto& view : bar->rightItemViews()) EXPECT_FLOAT_EQ(view->alpha(), 0.25);
    EXPECT_FLOAT_EQ(bar->titleItemView()->alpha(), 0.25);

    bar->setTransform(cg::AffineTransform::makeScale(2, 2));
    nb_setTranslationY(*bar, -30);
    EXPECT_EQ(bar->transform(), cg::AffineTransform::makeTranslation(0, -30));
}
