#include <gtest/gtest.h>

#include "tests/support/UIHarness.h"
#include "web/browser/WebViewProgressView.h"

namespace ql {
namespace {

struct ProgressBar {
    test::UIHarness ui;
    std::shared_ptr<WebViewProgressView> view = std::make_shared<WebViewProgressView>(cg::Rect{0, 42, 320, 2});

    ProgressBar() { ui.root->view()->addSubview(view); }
    double width() const { return view->progressBarView()->frame().size.width; }
    double alpha() const { return view->progressBarView()->alpha(); }
};

TEST(WebViewProgressView, ConfigurationAndImmediateValues) {
    ProgressBar bar;
    EXPECT_FALSE(bar.view->isUserInteractionEnabled());
    EXPECT_EQ(bar.view->subviews().size(), 1u);
    EXPECT_EQ(bar.view->progressBarView()->frame(), (cg::Rect{0, 0, 320, 2}));
    EXPECT_DOUBLE_EQ(bar.view->barAnimationDuration(), 0.27f);
    EXPECT_DOUBLE_EQ(bar.view->fadeOutDelay(), 0.1f);

    bar.view->setProgress(0.25f);
    EXPECT_DOUBLE_EQ(bar.width(), 80);
    EXPECT_DOUBLE_EQ(bar.alpha(), 1);
    // Zero is never animated, even when asked.
    bar.view->setProgress(0, true);
    EXPECT_DOUBLE_EQ(bar.width(), 0);
    EXPECT_EQ(bar.view->progressBarView()->layer()->animationForKey("bounds"), nullptr);

    // Not animated, the fade-out still waits for its delay before the bar shrinks.
    bar.view->setProgress(1);
    EXPECT_DOUBLE_EQ(bar.width(), 320);
    EXPECT_DOUBLE_EQ(bar.alpha(), 0);
    bar.ui.advance(0.05);
    EXPECT_DOUBLE_EQ(bar.width(), 320);
    bar.ui.advance(0.06);
    EXPECT_DOUBLE_EQ(bar.width(), 0);

    // Above 1 the bar is wider than the view and fades like 1.
    bar.view->setProgress(1.5f);
    EXPECT_DOUBLE_EQ(bar.width(), 480);
    bar.ui.advance(0.2);
    EXPECT_DOUBLE_EQ(bar.width(), 0);
    bar.view->setProgress(0.5f);
    EXPECT_DOUBLE_EQ(bar.alpha(), 1);
}

TEST(WebViewProgressView, AnimatedGrowthAndFadeOnTheClock) {
    ProgressBar bar;
    bar.view->setProgress(0.5f, true);
    const auto grow = bar.view->progressBarView()->layer()->animationForKey("bounds");
    ASSERT_NE(grow, nullptr);
    EXPECT_DOUBLE_EQ(grow->duration(), 0.27f);
    EXPECT_DOUBLE_EQ(bar.width(), 160);

    bar.view->setProgress(1, true);
    const auto fade = bar.view->progressBarView()->layer()->animationForKey("opacity");
    ASSERT_NE(fade, nullptr);
    EXPECT_DOUBLE_EQ(fade->duration(), 0.27f);
    EXPECT_NEAR(fade->beginTime() - ns::Clock::now(), 0.1, 1e-6);
    bar.ui.advance(0.3);
    EXPECT_DOUBLE_EQ(bar.width(), 320);
    bar.ui.advance(0.1);
    EXPECT_DOUBLE_EQ(bar.width(), 0);
    EXPECT_DOUBLE_EQ(bar.alpha(), 0);
}

TEST(WebViewProgressView, LateFadeOutLeavesANewerBarAlone) {
    ProgressBar bar;
    bar.view->setProgress(1, true);
    // A new page starts before the old bar has faded: its bar must survive the old fade's end.
    bar.ui.advance(0.2);
    bar.view->setProgress(0.1f, true);
    bar.ui.advance(0.5);
    EXPECT_NEAR(bar.width(), 32, 1e-4);
    EXPECT_DOUBLE_EQ(bar.alpha(), 1);
}

}  // namespace
}  // namespace ql
