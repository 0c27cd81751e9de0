#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "images/picker/PKActionSheet.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKSideScrollingImagePicker.h"
#include "platform/photos/AssetImages.h"
#include "platform/ui/VisualEffectView.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "tests/platform/photos/PhotoLibraryFixture.h"
#include "tests/ui/BootedDevice.h"

using namespace ql;

namespace {

std::shared_ptr<ui::Button> button(ui::View& panel, std::int64_t number) {
    return std::dynamic_pointer_cast<ui::Button>(panel.viewWithTag(100 + number)->sharedFromThis());
}

void shoot(sim::Device& device, const std::string& name) {
    if (const char* dir = std::getenv("QUILLORY_SHOTS_DIR")) device.writeScreenshot(std::string(dir) + "/" + name + ".png");
}

class SheetTest : public ::testing::Test {
protected:
    std::shared_ptr<PKActionSheet> present(std::vector<std::string> titles, std::optional<std::string> caption = std::nullopt) {
        auto sheet = PKActionSheet::make("取消", std::move(titles), std::move(caption));
        app.rootView().addSubview(sheet);
        sheet->setButtonIndex([this](std::int64_t number) {
            numbers.push_back(number);
            stillShown.push_back(app.rootView().subviews().back()->isDescendantOfView(&app.rootView()));
        });
        return sheet;
    }

    test::BootedDevice app;
    std::vector<std::int64_t> numbers;
    std::vector<bool> stillShown;
};

}  // namespace

TEST_F(SheetTest, ButtonsStackAboveCancelAndReportTheirTagLess100AfterTheSheetHasGone) {
    auto sheet = present({"拍照", "从手机相册中选择"});
    auto panel = sheet->ButtomView();
    ASSERT_TRUE(panel);
    EXPECT_EQ(sheet->frame(), (cg::Rect{0, 0, 320, 568}));
    EXPECT_EQ(panel->frame(), (cg::Rect{0, 568 - 158.5, 320, 158.5 + 10})) << "the spring's overshoot";
    app.device.advance(0.3);
    EXPECT_EQ(panel->frame(), (cg::Rect{0, 568 - 158.5, 320, 158.5}));
    EXPECT_DOUBLE_EQ(button(*panel, 1)->frame().origin.y, 0.5);
    EXPECT_DOUBLE_EQ(button(*panel, 2)->frame().origin.y, 51);
    EXPECT_DOUBLE_EQ(button(*panel, 0)->frame().origin.y, 108.5);
    EXPECT_EQ(button(*panel, 2)->titleForState(ui::ControlStateNormal), "从手机相册中选择");
    shoot(app.device, "action-sheet-320x568");

    app.device.tap("从手机相册中选择");
    EXPECT_TRUE(numbers.empty()) << "the number comes after the hide";
    app.device.advance(0.39);
    EXPECT_TRUE(numbers.empty());
    app.device.advance(0.02);
    EXPECT_EQ(numbers, std::vector<std::int64_t>{2});
    EXPECT_FALSE(sheet->superview()) << "gone right after the block returns";

    sheet = present({});
    EXPECT_DOUBLE_EQ(sheet->ButtomView()->frame().size.height, 57.5 + 10);
    EXPECT_EQ(sheet->ButtomView()->subviews().size(), 1u);
    app.device.advance(0.3);
    app.device.tap("取消");
    app.device.advance(0.5);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{2, 0})) << "cancel reports 0";

    sheet = present({"同名", "同名"});
    app.device.advance(0.3);
    app.device.tap(*button(*sheet->ButtomView(), 2));
    app.device.advance(0.5);
    EXPECT_EQ(numbers.back(), 2) << "equal titles are numbered by place";
}

TEST_F(SheetTest, BlankCaptionsAreLeftOutAndBackgroundTapsCountOnlyAboveThePanelOnceShown) {
    EXPECT_TRUE(PKActionSheet::isBlankString(std::nullopt));
    EXPECT_TRUE(PKActionSheet::isBlankString(" \t\u3000 "));
    EXPECT_FALSE(PKActionSheet::isBlankString("\n"));
    EXPECT_FALSE(PKActionSheet::isBlankString(" 说明 "));

    auto blank = present({"拍照"}, "   ");
    EXPECT_DOUBLE_EQ(blank->ButtomView()->frame().size.height, 50.5 + 57.5 + 10);
    blank->removeFromSuperview();

    auto sheet = present({"拍照", "从手机相册中选择"}, "选择照片来源");
    auto panel = sheet->ButtomView();
    const double h = 2 * 50.5 + 57.5 + 65;
    app.device.tap(cg::Point{160, 100});
    app.device.advance(0.3);
    EXPECT_TRUE(sheet->superview()) << "a tap during the show animation is not recognised";
    EXPECT_EQ(panel->frame(), (cg::Rect{0, 568 - h, 320, h}));
    std::shared_ptr<ui::Label> caption;
    for (const auto& view : panel->subviews()) {
        if (auto label = std::dynamic_pointer_cast<ui::Label>(view)) caption = label;
    }
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->frame(), (cg::Rect{0, 0, 320, 65}));
    EXPECT_DOUBLE_EQ(button(*panel, 1)->frame().origin.y, 65.5);
    shoot(app.device, "action-sheet-caption-320x568");

    ns::Log::Capture log;
    app.device.tap(cg::Point{160, 568 - h + 30});
    app.device.advance(0.5);
    EXPECT_TRUE(sheet->superview()) << "a tap on the panel leaves the sheet open";
    EXPECT_EQ(log.lines(), std::vector<std::string>{"tap"});
    sheet->ChangeTitleColor(ui::Color::redColor(), 1);
    EXPECT_EQ(button(*panel, 1)->titleColorForState(ui::ControlStateNormal), ui::Color::redColor());

    app.device.tap(cg::Point{160, 100});
    app.device.advance(0.5);
    EXPECT_FALSE(sheet->superview());
    EXPECT_TRUE(numbers.empty()) << "closing by the background reports nothing";
}

class SheetOnEveryDevice : public ::testing::TestWithParam<sim::ScreenProfile> {};

TEST_P(SheetOnEveryDevice, ThePanelSitsOnTheBottomEdgeAcrossTheWidth) {
    test::BootedDevice app(GetParam());
    const cg::Size screen = GetParam().portraitSize;
    auto sheet = PKActionSheet::make("取消", {"拍照", "从手机相册中选择"}, std::nullopt);
    app.rootView().addSubview(sheet);
    app.device.advance(0.5);
    EXPECT_EQ(sheet->ButtomView()->frame(), (cg::Rect{0, screen.height - 158.5, screen.width, 158.5}));
    EXPECT_DOUBLE_EQ(width(*button(*sheet->ButtomView(), 0)), screen.width);
    shoot(app.device, "action-sheet-" + std::to_string(int(screen.width)) + "x" + std::to_string(int(screen.height)));
}

INSTANTIATE_TEST_SUITE_P(Devices, SheetOnEveryDevice,
                         ::testing::Values(sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone375x667(),
                                           sim::ScreenProfile::phone414x736(), sim::ScreenProfile::pad768x1024()));

namespace {

class SideScrollingTest : public ::testing::Test {
protected:
    std::shared_ptr<PKSideScrollingImagePicker> present(bool multiple = false) {
        auto sheet = PKSideScrollingImagePicker::make("取消", {"发送", "编辑"});
        sheet->setIsMultipleSelection(multiple);
        sheet->setSeletedImages([this](const std::vector<std::shared_ptr<al::Asset>>& assets, std::int64_t number) {
            picked.push_back(assets);
            numbers.push_back(number);
        });
        app.rootView().addSubview(sheet);
        app.device.advance(0.5);
        al::waitForAssetImageRequests();
        app.device.advance(0);
        return sheet;
    }

    test::PhotoLibraryFixture photos;
    test::BootedDevice app;
    std::vector<std::vector<std::shared_ptr<al::Asset>>> picked;
    std::vector<std::int64_t> numbers;
};

}  // namespace

TEST_F(SideScrollingTest, TheStripSitsAboveTheButtonsAndTheFirstTitleCountsTheChoice) {
    photos.addPictures("Saved Photos", 6, 120, 90);
    auto sheet = present();
    auto panel = sheet->BottomView();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->frame(), (cg::Rect{0, 568 - 336.5, 320, 336.5}));
    auto strip = sheet->CollectionView();
    EXPECT_EQ(strip->frame(), (cg::Rect{0, 5, 320, 168}));
    EXPECT_DOUBLE_EQ(button(*panel, 1)->frame().origin.y, 178.5);
    EXPECT_DOUBLE_EQ(button(*panel, 2)->frame().origin.y, 229);
    EXPECT_DOUBLE_EQ(button(*panel, 0)->frame().origin.y, 286.5);
    ASSERT_EQ(sheet->allArr().size(), 6u);
    auto first = strip->cellForItemAtIndexPath({0, 0});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->frame().size, (cg::Size{224, 168})) << "thumbnails keep their proportions at the strip's height";
    shoot(app.device, "side-scrolling-320x568");
    {
        // The panel is a light blur view: where no button covers it, between the last title and the cancel
        // button, its own colour shows lightened, alike across the width.
        ASSERT_TRUE(std::dynamic_pointer_cast<ui::VisualEffectView>(panel));
        const auto shot = app.device.screenshot();
        const double scale = shot->width() / 320.0;
        const int row = static_cast<int>((568 - 336.5 + 283) * scale);
        const auto left = shot->pixel(static_cast<int>(20 * scale), row), right = shot->pixel(static_cast<int>(300 * scale), row);
        EXPECT_EQ(left, right);
        EXPECT_GE(left.r, 223 + 5);
        EXPECT_GE(left.g, 226 + 5);
        EXPECT_GE(left.b, 236 + 5);
        EXPECT_LE(left.b, 255);
        const auto thumbnail = shot->pixel(static_cast<int>(100 * scale), static_cast<int>((568 - 336.5 + 80) * scale));
        EXPECT_NE(thumbnail, left) << "the thumbnails are drawn sharp over the panel";
    }

    app.device.tap(*strip->cellForItemAtIndexPath({0, 0}));
    app.device.advance(0.5);
    app.device.tap(*strip->cellForItemAtIndexPath({0, 1}));
    app.device.advance(0.5);
    EXPECT_EQ(sheet->selectedIndexes().size(), 2u);
    EXPECT_EQ(button(*panel, 1)->titleForState(ui::ControlStateNormal), "选择(2张)");
    strip->setContentOffset({0, 0});
    app.device.advance(0.1);
    app.device.tap(*strip->cellForItemAtIndexPath({0, 0}));
    app.device.advance(0.5);
    ASSERT_EQ(sheet->selectedIndexes().size(), 1u);
    EXPECT_EQ(sheet->selectedIndexes()[0], sheet->allArr()[1]);
    EXPECT_EQ(button(*panel, 1)->titleForState(ui::ControlStateNormal), "选择(1张)");
    double r = 0, g = 0, b = 0, a = 0;
    button(*panel, 1)->titleColorForState(ui::ControlStateNormal)->getRed(&r, &g, &b, &a);
    EXPECT_DOUBLE_EQ(g, 178 / 255.0);
    ASSERT_TRUE(sheet->checkView({0, 1}));
    EXPECT_TRUE(sheet->checkView({0, 1})->isChecked());
    EXPECT_FALSE(sheet->checkView({0, 0})->isChecked());

    sheet->toggleSelectionAtIndexPath({0, 1});
    EXPECT_TRUE(sheet->selectedIndexes().empty());
    EXPECT_EQ(button(*panel, 1)->titleForState(ui::ControlStateNormal), "发送");
    EXPECT_EQ(button(*panel, 1)->titleColorForState(ui::ControlStateNormal), ui::Color::blackColor());

    sheet->toggleSelectionAtIndexPath({0, 1});
    app.device.tap("取消");
    app.device.advance(0.5);
    ASSERT_EQ(numbers, std::vector<std::int64_t>{0}) << "cancel reports 0 with the choice";
    EXPECT_EQ(picked[0].size(), 1u);
    EXPECT_FALSE(sheet->superview());
}

TEST_F(SideScrollingTest, CheckMarksStickToTheVisibleRightEdgeAndATapInSingleTapModeReportsMinusOne) {
    photos.addPictures("Saved Photos", 4, 120, 90);
    auto sheet = present(true);
    auto strip = sheet->CollectionView();
    app.device.advance(0.1);
    // Item 1 runs from 229 to 453 with the strip 320 wide: its mark sits at the visible right edge.
    auto mark = strip->layoutAttributesForSupplementaryElementOfKind("check", {0, 1});
    ASSERT_TRUE(mark);
    const cg::Rect item = strip->layoutAttributesForItemAtIndexPath({0, 1})->frame();
    EXPECT_DOUBLE_EQ(mark->center().x, strip->contentOffset().x + 320 - 14);
    EXPECT_DOUBLE_EQ(mark->center().y, 17);
    EXPECT_EQ(mark->zIndex(), 100);
    // Ten points of the photo in view: the mark would stick left of the photo, so it keeps to its edge.
    strip->setContentOffset({cg::minX(item) + 10 - 320, 0});
    mark = strip->layoutAttributesForSupplementaryElementOfKind("check", {0, 1});
    EXPECT_DOUBLE_EQ(mark->center().x, cg::minX(item) + 4 + 14) << "never left of the photo's own edge";
    strip->setContentOffset({0, 0});
    mark = strip->layoutAttributesForSupplementaryElementOfKind("check", {0, 0});
    EXPECT_DOUBLE_EQ(mark->center().x, cg::maxX(strip->layoutAttributesForItemAtIndexPath({0, 0})->frame()) - 18)
        << "a whole photo keeps its mark in its corner";

    app.device.advance(0.1);
    app.device.tap(*strip->cellForItemAtIndexPath({0, 0}));
    app.device.advance(1);
    ASSERT_EQ(numbers, std::vector<std::int64_t>{PKSideScrollingImagePicker::kEndedByTap})
        << "a pick ended by a tap has a number no button has";
    ASSERT_EQ(picked[0].size(), 1u);
    EXPECT_EQ(picked[0][0], sheet->allArr()[0]);
}

TEST_F(SideScrollingTest, AccessDecidesWhenTheSheetComesUp) {
    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Denied);
    {
        ns::Log::Capture log;
        auto sheet = present();
        EXPECT_FALSE(sheet->BottomView());
        auto alerts = ui::AlertView::visibleAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0]->title(), "读取失败");
        EXPECT_EQ(alerts[0]->message(), "请打开 设置-隐私-照片 来进行设置");
        EXPECT_EQ(log.lines().at(0), "用户已经明确否认了这一应用程序访问数据的照片。");
        alerts[0]->dismissWithClickedButtonIndex(0, false);
        sheet->removeFromSuperview();
    }
    photos.addPictures("Saved Photos", 2);
    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::NotDetermined);
    ns::Log::Capture log;
    auto sheet = present();
    EXPECT_EQ(log.lines().at(0), "用户还没有做出选择的问候这个应用程序");
    ASSERT_TRUE(sheet->BottomView()) << "the sheet comes up once the listing delivers photos";
    EXPECT_EQ(sheet->allArr().size(), 2u);
    EXPECT_EQ(log.lines().back(), "_assets---2");
}
