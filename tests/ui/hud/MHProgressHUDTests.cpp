#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <cmath>
#include <string>
#include <vector>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Font.h"
#include "platform/ui/StringDrawing.h"
#include "tests/ui/BootedDevice.h"
#include "ui/hud/MHBarProgressView.h"
#include "ui/hud/MHProgressHUD.h"
#include "ui/hud/MHRoundProgressView.h"

using namespace ql;

namespace {

class HiddenLog : public MHProgressHUDDelegate {
public:
    void hudWasHidden(MHProgressHUD&) override { ++hidden; }
    int hidden = 0;
};

class MHProgressHUDTest : public ::testing::Test {
protected:
    test::BootedDevice app{sim::ScreenProfile::phone320x568()};
};

}  // namespace

TEST_F(MHProgressHUDTest, AMinimumShowTimeHoldsTheHideBack) {
    auto hud = MHProgressHUD::showHUDAddedTo(app.rootView(), true);
    auto log = std::make_shared<HiddenLog>();
    hud->setDelegate(log);
    hud->setMinShowTime(1.0);
    EXPECT_FLOAT_EQ(hud->alpha(), 1);
    EXPECT_EQ(MHProgressHUD::HUDForView(app.rootView()), hud);

    app.device.advance(0.3);
    hud->hide(true);
    app.device.advance(0.69);
    EXPECT_FLOAT_EQ(hud->alpha(), 1);
    app.device.advance(0.02);
    EXPECT_FLOAT_EQ(hud->alpha(), 0.02f);
    EXPECT_FALSE(hud->isFinished());
    app.device.advance(0.31);
    EXPECT_TRUE(hud->isFinished());
    EXPECT_FLOAT_EQ(hud->alpha(), 0);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(log->hidden, 1);
}

TEST_F(MHProgressHUDTest, AGraceTimeHidesQuickWorkEntirely) {
    auto hud = MHProgressHUD::initWithView(app.rootView());
    app.rootView().addSubview(hud);
    hud->setGraceTime(0.5);
    std::atomic<bool> ran{false};
    bool completed = false;
    hud->showAnimated(true, [&] { ran = true; }, nullptr, [&] { completed = true; });
    EXPECT_TRUE(hud->taskInProgress());
    ASSERT_TRUE(app.device.runUntil([&] { return completed; }, 5));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(hud->taskInProgress());
    EXPECT_FLOAT_EQ(hud->alpha(), 0);
    app.device.advance(1);
    EXPECT_FLOAT_EQ(hud->alpha(), 0);
    EXPECT_FALSE(hud->completionBlock());

    // Without a grace time the same work shows it until the work is done.
    bool again = false;
    hud->setGraceTime(0);
    hud->showWhileExecuting([] {}, false);
    EXPECT_FLOAT_EQ(hud->alpha(), 1);
    hud->setCompletionBlock([&] { again = true; });
    ASSERT_TRUE(app.device.runUntil([&] { return again; }, 5));
    EXPECT_FLOAT_EQ(hud->alpha(), 0);
}

TEST_F(MHProgressHUDTest, LayoutSizesThePanelAroundItsLabels) {
    auto hud = MHProgressHUD::showHUDAddedTo(app.rootView(), false);
    hud->setMode(MHProgressHUDModeText);
    EXPECT_FALSE(hud->indicator());
    hud->setLabelText("已保存");
    hud->layoutIfNeeded();
    const cg::Size text = ui::sizeWithFont("已保存", *ui::Font::boldSystemFontOfSize(16));
    EXPECT_EQ(hud->size(), (cg::Size{text.width + 40, text.height + 40}));
    EXPECT_EQ(hud->label()->frame().size, text);
    EXPECT_EQ(hud->label()->frame().origin.y, std::round((568 - (text.height + 40)) / 2) + 20);

    hud->setMinSize({150, 100});
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->size(), (cg::Size{150, 100}));

    // Square: as tall as wide when that fits.
    hud->setMinSize({0, 0});
    hud->setSquare(true);
    hud->setNeedsLayout();
    hud->layoutIfNeeded();
    EXPECT_EQ(hud->size(), (cg::Size{text.width + 40, text.width + 40}));

    // A spinner above a label, the details below, each 4 points apart.
    hud->setSquare(false);
    hud->setMode(MHProgressHUDModeIndeterminate);
    hud->setDetailsLabelText("请稍候");
    hud->layoutIfNeeded();
    ASSERT_TRUE(hud->indicator());
    EXPECT_EQ(hud->label()->frame().origin.y, cg::maxY(hud->indicator()->frame()) + 4);
    EXPECT_EQ(hud->detailsLabel()->frame().origin.y, cg::maxY(hud->label()->frame()) + 4);
    EXPECT_EQ(hud->size().height, 37 + 4 + text.height + 4 + hud->detailsLabel()->frame().size.height + 40);
}

TEST_F(MHProgressHUDTest, ModesChooseTheIndicatorAndProgressOnlyRedrawsIt) {
    auto hud = MHProgressHUD::showHUDAddedTo(app.rootView(), false);
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::ActivityIndicatorView>(hud->indicator()));
    hud->setMode(MHProgressHUDModeAnnularDeterminate);
    auto round = std::dynamic_pointer_cast<MHRoundProgressView>(hud->indicator());
    ASSERT_TRUE(round);
    EXPECT_TRUE(round->isAnnular());
    hud->setMode(MHProgressHUDModeDeterminate);
    EXPECT_EQ(hud->indicator(), round);
    EXPECT_TRUE(round->isAnnular());

    hud->layoutIfNeeded();
    hud->setProgress(0.4f);
    EXPECT_FLOAT_EQ(round->progress(), 0.4f);
    EXPECT_FALSE(hud->needsLayout());

    hud->setMode(MHProgressHUDModeDeterminateHorizontalBar);
    auto bar = hud->indicator();
    hud->setMode(MHProgressHUDModeDeterminateHorizontalBar);
    EXPECT_NE(hud->indicator(), bar);
    EXPECT_EQ(bar->superview(), nullptr);

    auto custom = std::make_shared<ui::View>(cg::Rect{0, 0, 28, 28});
    hud->setCustomView(custom);
    hud->setMode(MHProgressHUDModeCustomView);
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->superview(), hud.get());

    // A change made on another thread reaches the labels on the main thread.
    std::thread([&] { hud->setLabelText("上传中"); }).join();
    EXPECT_FALSE(hud->label()->text());
    app.device.advance(0);
    EXPECT_EQ(hud->label()->text(), "上传中");
}

TEST_F(MHProgressHUDTest, ShowingCancelsADelayedHideAndClassOperationsFindOverlays) {
    auto first = MHProgressHUD::showHUDAddedTo(app.rootView(), false);
    auto second = MHProgressHUD::showHUDAddedTo(app.rootView(), false);
    EXPECT_EQ(MHProgressHUD::allHUDsForView(app.rootView()).size(), 2u);
    EXPECT_EQ(MHProgressHUD::HUDForView(app.rootView()), second);

    first->hide(false, 1.0);
    first->show(false);
    app.device.advance(1.5);
    EXPECT_FLOAT_EQ(first->alpha(), 1);

    EXPECT_EQ(MHProgressHUD::hideAllHUDsForView(app.rootView(), false), 2u);
    EXPECT_TRUE(MHProgressHUD::allHUDsForView(app.rootView()).empty());
    EXPECT_FALSE(MHProgressHUD::hideHUDForView(app.rootView(), false));
}

TEST(MHProgressViews, TheBarFillsWithinItsOutline) {
    const cg::Size bar{120, 20};
    // 0.05: the whole left cap (r' = 6).
    EXPECT_DOUBLE_EQ(cg::maxX(MHBarProgressView::filledPath(bar, 0.05f).pathBoundingBox()), 10);
    // 0.5: straight to the middle.
    EXPECT_DOUBLE_EQ(cg::maxX(MHBarProgressView::filledPath(bar, 0.5f).pathBoundingBox()), 60);
    // 0.99 and beyond stop at the inside of the right end, with no stray number.
    for (float progress : {0.99f, 1.0f, 7.0f}) {
        const cg::Rect box = MHBarProgressView::filledPath(bar, progress).pathBoundingBox();
        EXPECT_FALSE(std::isnan(box.size.width));
        EXPECT_NEAR(cg::maxX(box), 116, 1e-3);
        EXPECT_GE(cg::minY(box), 4 - 1e-3);
        EXPECT_LE(cg::maxY(box), 16 + 1e-3);
    }
    EXPECT_TRUE(MHBarProgressView::filledPath(bar, 0).isEmpty());
    EXPECT_TRUE(MHBarProgressView::filledPath(bar, -0.5f).isEmpty());
}

TEST(MHProgressViews, PropertyChangesRedrawWithoutTheOwner) {
    test::BootedDevice app;
    auto round = std::make_shared<MHRoundProgressView>();
    auto bar = std::make_shared<MHBarProgressView>();
    app.rootView().addSubview(round);
    app.rootView().addSubview(bar);
    EXPECT_EQ(round->bounds().size, (cg::Size{37, 37}));
    EXPECT_EQ(bar->bounds().size, (cg::Size{120, 20}));
    app.device.advance(0);
    for (auto change : std::vector<std::function<void()>>{
             [&] { round->setProgress(0.25f); }, [&] { round->setAnnular(true); },
             [&] { round->setProgressTintColor(ui::Color::redColor()); }, [&] { bar->setProgress(0.5f); },
             [&] { bar->setLineColor(ui::Color::redColor()); }}) {
        change();
        EXPECT_TRUE(round->layer()->needsDisplay() || bar->layer()->needsDisplay());
        app.device.advance(0);
        EXPECT_FALSE(round->layer()->needsDisplay());
        EXPECT_FALSE(bar->layer()->needsDisplay());
    }
}
