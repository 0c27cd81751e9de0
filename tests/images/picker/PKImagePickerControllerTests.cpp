#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/picker/PKAssetsGroupCell.h"
#include "images/picker/PKPhotoBrowser.h"
#include "images/picker/PKPhotoBrowserCell.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKPromptView.h"
#include "platform/foundation/Log.h"
#include "platform/photos/CaptureDevice.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "tests/images/picker/PickerTestSupport.h"
#include "tests/platform/photos/FolderReads.h"

using namespace ql;

namespace {

std::string promptText() {
    auto prompt = PKPromptView::current();
    if (!prompt) return {};
    for (const auto& view : prompt->subviews()) {
        if (auto label = std::dynamic_pointer_cast<ui::Label>(view)) return label->text().value_or("");
    }
    return {};
}

std::shared_ptr<PKPhotoBrowser> openBrowser(ui::Window& window) {
    for (const auto& view : window.subviews()) {
        if (auto browser = std::dynamic_pointer_cast<PKPhotoBrowser>(view)) return browser;
    }
    return nullptr;
}

class PickerTest : public ::testing::Test {
protected:
    test::PickerApp picker;
};

}  // namespace

TEST_F(PickerTest, AnAlbumShowsTheCameraItemThenItsPhotosInLibraryOrder) {
    picker.photos.addPictures("Saved Photos", 10);
    picker.present(1, 3);
    auto& controller = *picker.picker;
    ASSERT_TRUE(controller.selectAssetsGroup());
    EXPECT_EQ(controller.selectAssetsGroup()->name(), "Camera Roll");
    EXPECT_EQ(controller.titleLabel()->text(), "Camera Roll");
    EXPECT_TRUE(controller.titleButton()->isEnabled());
    EXPECT_EQ(controller.collectionView()->numberOfItemsInSection(0), 11);
    EXPECT_EQ(controller.numberOfAssets(), 10u);
    EXPECT_EQ(controller.numberOfPhotos(), 10u);

    auto camera = picker.cell(0);
    ASSERT_TRUE(camera);
    EXPECT_FALSE(camera->asset());
    EXPECT_FALSE(camera->photoButton()->isHidden());
    EXPECT_TRUE(camera->imageView()->isHidden());
    for (int item = 1; item <= 10; ++item) {
        auto cell = picker.cell(item);
        ASSERT_TRUE(cell) << item;
        EXPECT_EQ(cell->asset(), controller.assetsArray()[item - 1]);
        EXPECT_FALSE(cell->imageView()->isHidden());
        EXPECT_FALSE(cell->isChecked());
    }
    const double side = (320 - 10) * 0.25;
    EXPECT_DOUBLE_EQ(picker.cell(1)->frame().size.width, side);
    EXPECT_DOUBLE_EQ(picker.cell(4)->frame().origin.y, 2 + side + 2) << "four items fill a row";
    EXPECT_EQ(controller.toolbar()->frame(), (cg::Rect{0, 568 - 64 - 44, 320, 44}));
    EXPECT_TRUE(controller.finishButton()->isHidden());
    picker.shoot("picker-grid-320x568");

    // The footer is laid out with no height; asked for, it counts the album from the strings table.
    auto footer = std::dynamic_pointer_cast<PKAssetsCollectionFooterView>(
        controller.collectionViewViewForSupplementaryElementOfKindAtIndexPath(
            *controller.collectionView(), std::string(ui::CollectionElementKindSectionFooter), {0, 0}));
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->textLabel()->text(), "10 Photos, 0 Videos");
    EXPECT_FALSE(controller.collectionViewViewForSupplementaryElementOfKindAtIndexPath(
        *controller.collectionView(), std::string(ui::CollectionElementKindSectionHeader), {0, 0}));
    controller.setFilterType(1);
    footer = std::dynamic_pointer_cast<PKAssetsCollectionFooterView>(
        controller.collectionViewViewForSupplementaryElementOfKindAtIndexPath(
            *controller.collectionView(), std::string(ui::CollectionElementKindSectionFooter), {0, 0}));
    EXPECT_EQ(footer->textLabel()->text(), "10 Photos");
}

TEST_F(PickerTest, ChoosingStaysWithinTheMaximumWithAPromptAndTheToolbarCounts) {
    picker.photos.addPictures("Saved Photos", 4);
    picker.present(1, 2);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    device.tap(*picker.cell(1)->checkButton());
    EXPECT_TRUE(picker.cell(1)->isChecked());
    EXPECT_FALSE(controller.finishButton()->isHidden());
    EXPECT_EQ(controller.finishLabel()->text(), "下一步(1)");
    device.tap(*picker.cell(3)->checkButton());
    EXPECT_EQ(controller.finishLabel()->text(), "下一步(2)");
    EXPECT_DOUBLE_EQ(right(*controller.finishButton()), 320 - 10);
    EXPECT_DOUBLE_EQ(width(*controller.finishButton()), width(*controller.finishLabel()) + 10);
    EXPECT_FALSE(PKPromptView::current());

    device.tap(*picker.cell(4)->checkButton());
    EXPECT_EQ(promptText(), "最多选择2张照片");
    EXPECT_FALSE(picker.cell(4)->isChecked());
    ASSERT_EQ(controller.selectedAssetArray().size(), 2u);
    EXPECT_EQ(controller.selectedAssetArray()[0]->assetPropertyURL(), controller.assetsArray()[0]->assetURL());
    EXPECT_EQ(controller.selectedAssetArray()[1]->assetPropertyURL(), controller.assetsArray()[2]->assetURL());
    EXPECT_EQ(controller.selectedAssetArray()[0]->groupPropertyID(), controller.selectAssetsGroup()->persistentID());
    EXPECT_EQ(controller.selectedAssetArray()[0]->groupPropertyURL(), controller.selectAssetsGroup()->url());
    picker.shoot("picker-chosen-320x568");
    device.advance(2.5);
    EXPECT_FALSE(PKPromptView::current()) << "the prompt goes by itself";

    device.tap(*picker.cell(1)->checkButton());
    EXPECT_FALSE(picker.cell(1)->isChecked());
    EXPECT_EQ(controller.finishLabel()->text(), "下一步(1)");
    device.tap(*picker.cell(4)->checkButton());
    EXPECT_TRUE(picker.cell(4)->isChecked());
    device.tap(*controller.finishButton());
    ASSERT_EQ(picker.recorder->results.size(), 1u);
    EXPECT_EQ(picker.recorder->results[0], controller.selectedAssetArray());
    EXPECT_EQ(picker.recorder->sources, std::vector<bool>{false});

    device.tap(*picker.cell(3)->checkButton());
    device.tap(*picker.cell(4)->checkButton());
    EXPECT_TRUE(controller.finishButton()->isHidden()) << "releasing the last photo hides the finish button";
    device.tap("取消");
    EXPECT_EQ(picker.recorder->cancels, 1);
    EXPECT_TRUE(picker.navigation->presentingViewController()) << "the picker never dismisses itself";
}

TEST_F(PickerTest, AMaximumOfZeroSetsNoLimitInTheGridOrForTheCamera) {
    picker.photos.addPictures("Saved Photos", 5);
    ui::ImagePickerController::setCameraPicture(ui::Image::imageWithCGImage(test::solidBitmap(30, 20, 0x336699FF)));
    picker.present(1, 0);
    auto& device = picker.app.device;
    for (int item = 1; item <= 5; ++item) device.tap(*picker.cell(item)->checkButton());
    EXPECT_EQ(picker.picker->selectedAssetArray().size(), 5u);
    EXPECT_FALSE(PKPromptView::current());
    EXPECT_TRUE(picker.picker->validateNumberOfSelections(5));
    EXPECT_FALSE(picker.picker->validateNumberOfSelections(0));

    device.tap(*picker.cell(0)->photoButton());
    EXPECT_FALSE(PKPromptView::current());
    EXPECT_TRUE(std::dynamic_pointer_cast<ui::ImagePickerController>(picker.navigation->presentedViewController()))
        << "with no limit the camera opens";
    picker.shoot("picker-camera-320x568");
    device.tap("取消");
    device.advance(1);
    EXPECT_FALSE(picker.navigation->presentedViewController()) << "the camera's own cancel closes it";
    EXPECT_EQ(picker.recorder->cancels, 0);
    EXPECT_EQ(picker.picker->selectedAssetArray().size(), 5u);
    ui::ImagePickerController::setCameraPicture(nullptr);
}

TEST_F(PickerTest, TheCameraSavesTheShotIntoTheAlbumOnShowAndEndsThePicking) {
    picker.photos.addPictures("Albums/Trip", 3);
    ui::ImagePickerController::setCameraPicture(ui::Image::imageWithCGImage(test::solidBitmap(30, 20, 0x336699FF)));
    picker.present(1, 3);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    ASSERT_EQ(controller.selectAssetsGroup()->name(), "Trip") << "the empty roll is not listed";
    device.tap(*picker.cell(1)->checkButton());
    device.tap(*picker.cell(2)->checkButton());

    device.tap(*picker.cell(0)->photoButton());
    auto camera = std::dynamic_pointer_cast<ui::ImagePickerController>(picker.navigation->presentedViewController());
    ASSERT_TRUE(camera);
    device.tap("拍照");
    device.advance(1);
    EXPECT_FALSE(picker.navigation->presentedViewController()) << "the camera goes at once";
    ASSERT_EQ(picker.recorder->results.size(), 1u);
    const auto& records = picker.recorder->results[0];
    ASSERT_EQ(records.size(), 3u) << "the shot ends the picking together with the photos chosen before";
    EXPECT_EQ(records[2]->groupPropertyID(), controller.selectAssetsGroup()->persistentID());
    const std::filesystem::path library = al::AssetsLibrary::folder();
    EXPECT_TRUE(std::filesystem::exists(library / "Saved Photos/IMG_0001.JPG"));
    EXPECT_TRUE(std::filesystem::is_symlink(library / "Albums/Trip/IMG_0001.JPG")) << "the album holds the shot";
    EXPECT_EQ(records[2]->assetPropertyURL()->absoluteString().rfind("assets-library://asset/asset.JPG?id=", 0), 0u);

    // At the maximum the camera item only prompts.
    device.tap(*picker.cell(0)->photoButton());
    EXPECT_EQ(promptText(), "最多选择3张照片");
    EXPECT_FALSE(picker.navigation->presentedViewController());
    ui::ImagePickerController::setCameraPicture(nullptr);
}

TEST_F(PickerTest, WithoutCameraAccessTheCameraItemExplainsAndWithoutLibraryAccessOneAlertShows) {
    picker.photos.addPictures("Saved Photos", 2);
    ui::ImagePickerController::setCameraPicture(ui::Image::imageWithCGImage(test::solidBitmap(8, 8, 0xFFFFFFFF)));
    av::CaptureDevice::setAuthorizationStatusForMediaType(av::MediaTypeVideo, av::AuthorizationStatus::Denied);
    picker.present(1, 3);
    ns::Log::Capture log;
    picker.app.device.tap(*picker.cell(0)->photoButton());
    auto alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->title(), "提示");
    EXPECT_EQ(alerts[0]->message(), "相机权限受限,请进入设置打开相机权限");
    EXPECT_EQ(alerts[0]->buttonTitleAtIndex(0), "确定");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"相机权限受限"});
    EXPECT_FALSE(picker.navigation->presentedViewController());
    alerts[0]->dismissWithClickedButtonIndex(0, false);
    av::CaptureDevice::setAuthorizationStatusForMediaType(av::MediaTypeVideo, av::AuthorizationStatus::NotDetermined);
    ui::ImagePickerController::setCameraPicture(nullptr);

    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Denied);
    auto denied = std::make_shared<PKImagePickerController>();
    denied->view();
    denied->loadAssetsGroups();
    picker.settle();
    alerts = ui::AlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u) << "one alert for the three album types that failed";
    EXPECT_EQ(alerts[0]->message(), "此应用程序没有权限来访问您的照片或视频，您可以在\"隐私设置\"里启用访问");
    EXPECT_FALSE(denied->selectAssetsGroup());
    EXPECT_FALSE(denied->titleButton()->isEnabled()) << "the album list completed, empty";
    EXPECT_EQ(denied->collectionView()->numberOfItemsInSection(0), 1) << "only the camera item";
    alerts[0]->dismissWithClickedButtonIndex(0, false);
}

TEST_F(PickerTest, TheTitleDropsDownTheAlbumsAndTheChoiceSurvivesSwitchingAlbums) {
    picker.photos.addPictures("Albums/Zoo", 2);
    picker.photos.addPictures("Albums/Empty", 0);
    picker.photos.addPictures("Saved Photos", 3);
    picker.photos.addPictures("Photo Library", 1);
    picker.photos.addFile("Albums/Beach", "clip.MOV", "movie");
    picker.present(1, 3);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    auto& list = *controller.assetsGroupsView();
    std::vector<std::string> names;
    for (const auto& group : list.assetsGroups()) names.push_back(group->name());
    EXPECT_EQ(names, (std::vector<std::string>{"Photo Library", "Camera Roll", "Beach", "Zoo"}))
        << "the library, the roll, then the user albums; empty albums are left out";
    EXPECT_EQ(controller.selectAssetsGroup()->name(), "Photo Library");
    EXPECT_DOUBLE_EQ(height(*list.tableView()), 4 * 86);

    const double narrow = width(*controller.titleButton());
    device.tap(*picker.cell(1)->checkButton());
    device.tap(*controller.titleButton());
    EXPECT_TRUE(controller.showsAssetsGroupSelection());
    EXPECT_TRUE(controller.arrowImageView()->isSelected());
    device.advance(0.5);
    EXPECT_DOUBLE_EQ(top(list), 0);
    EXPECT_FLOAT_EQ(controller.overlayView()->alpha(), 0.85f);
    auto row = [&](int index) {
        return std::dynamic_pointer_cast<PKAssetsGroupCell>(list.tableView()->cellForRowAtIndexPath({0, index}));
    };
    ASSERT_TRUE(row(0));
    EXPECT_TRUE(row(0)->isChecked()) << "the album of the chosen photo shows its mark";
    EXPECT_FALSE(row(1)->isChecked());
    EXPECT_EQ(row(1)->assetsCountLabel()->text(), "3");
    picker.shoot("picker-albums-320x568");

    device.tap(*row(3));
    device.advance(0.5);
    EXPECT_FALSE(controller.showsAssetsGroupSelection());
    EXPECT_DOUBLE_EQ(top(list), -height(list));
    EXPECT_EQ(controller.selectAssetsGroup()->name(), "Zoo");
    EXPECT_EQ(controller.titleLabel()->text(), "Zoo");
    EXPECT_DOUBLE_EQ(left(*controller.arrowImageView()), right(*controller.titleLabel()) + 5);
    EXPECT_LT(width(*controller.titleButton()), narrow) << "a short name narrows the title";
    EXPECT_EQ(controller.selectedAssetArray().size(), 1u);
    device.tap(*picker.cell(2)->checkButton());
    EXPECT_EQ(controller.selectedAssetArray().size(), 2u);
    EXPECT_EQ(controller.finishLabel()->text(), "下一步(2)");

    // The strip over the bars closes an open list, the title included.
    device.tap(*controller.titleButton());
    device.advance(0.5);
    device.tap(cg::Point{160, 40});
    device.advance(0.5);
    EXPECT_FALSE(controller.showsAssetsGroupSelection());
    EXPECT_DOUBLE_EQ(top(list), -height(list));

    // Releasing the only chosen photo of an album drops the album's mark.
    device.tap(*controller.titleButton());
    device.advance(0.5);
    device.tap(*row(0));
    device.advance(0.5);
    device.tap(*picker.cell(1)->checkButton());
    EXPECT_FALSE(list.selectedAssetCount()->contains(controller.selectAssetsGroup()->persistentID()));
}

TEST_F(PickerTest, ThePreviewPagesChoosesAndReleasesWithinTheMaximum) {
    picker.photos.addPictures("Saved Photos", 10, 640, 480);
    picker.present(1, 2);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    device.tap(*controller.selectButton());
    device.advance(1);
    EXPECT_FALSE(openBrowser(*device.keyWindow())) << "with nothing chosen the preview button opens nothing";

    device.tap(*picker.cell(3));
    auto browser = openBrowser(*device.keyWindow());
    ASSERT_TRUE(browser);
    EXPECT_TRUE(controller.isShow());
    EXPECT_EQ(browser->numberLabel()->text(), "3/10") << "before any scrolling";
    EXPECT_FALSE(browser->checkButton()->isSelected());
    device.advance(0.5);
    EXPECT_FALSE(controller.isShow());
    EXPECT_DOUBLE_EQ(top(*browser), 0);
    EXPECT_DOUBLE_EQ(browser->collectionView()->contentOffset().x, 2 * 340);
    picker.shoot("picker-preview-320x568");

    device.tap(*browser->checkButton());
    EXPECT_TRUE(browser->checkButton()->isSelected());
    EXPECT_EQ(controller.selectedAssetArray().size(), 1u);
    EXPECT_EQ(controller.finishLabel()->text(), "下一步(1)");

    device.drag(*browser->collectionView(), {-200, 0});
    device.advance(2);
    EXPECT_EQ(browser->currentPage(), 3);
    EXPECT_EQ(browser->numberLabel()->text(), "4/10");
    EXPECT_FALSE(browser->checkButton()->isSelected());
    device.tap(*browser->checkButton());
    device.drag(*browser->collectionView(), {-200, 0});
    device.advance(2);
    device.tap(*browser->checkButton());
    EXPECT_EQ(promptText(), "最多选择2张照片");
    EXPECT_FALSE(browser->checkButton()->isSelected());
    EXPECT_EQ(controller.selectedAssetArray().size(), 2u);

    device.tap("关闭");
    device.advance(0.5);
    EXPECT_FALSE(browser->superview());
    EXPECT_TRUE(picker.cell(3)->isChecked());
    EXPECT_TRUE(picker.cell(4)->isChecked());

    // The preview button shows the chosen photos; releasing one there reaches the grid.
    device.tap(*controller.selectButton());
    device.advance(1);
    browser = openBrowser(*device.keyWindow());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->numberLabel()->text(), "1/2");
    EXPECT_TRUE(browser->checkButton()->isSelected());
    device.tap(*browser->checkButton());
    EXPECT_EQ(controller.selectedAssetArray().size(), 1u);
    EXPECT_FALSE(picker.cell(3)->isChecked());
}

TEST_F(PickerTest, APreviewOfChosenPhotosOneOfWhichWasDeletedShowsTheRest) {
    picker.photos.addPictures("Saved Photos", 2);
    picker.present(1, 3);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    device.tap(*picker.cell(1)->checkButton());
    device.tap(*picker.cell(2)->checkButton());
    ASSERT_EQ(controller.selectedAssetArray().size(), 2u);
    std::filesystem::remove(std::filesystem::path(al::AssetsLibrary::folder()) / "Saved Photos" / "IMG_0001.PNG");
    device.tap(*controller.selectButton());
    device.advance(1);
    auto browser = openBrowser(*device.keyWindow());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->numberLabel()->text(), "1/1");
    EXPECT_DOUBLE_EQ(top(*browser), 0);
    EXPECT_FALSE(controller.isShow());
}

TEST_F(PickerTest, OpeningListsEachAlbumOnceAndPreviewingTheChoiceListsNone) {
    picker.photos.addPictures("Saved Photos", 40);
    picker.photos.addPictures("Albums/Zoo", 2);
    const std::filesystem::path root = al::AssetsLibrary::folder();
    test::FolderReads reads;
    ASSERT_TRUE(reads.ready());
    for (const auto& folder : {root / "Saved Photos", root / "Albums", root / "Albums/Zoo"}) ASSERT_TRUE(reads.watch(folder));
    picker.present(1, 3);
    auto& controller = *picker.picker;
    auto& device = picker.app.device;
    ASSERT_EQ(controller.assetsArray().size(), 40u);
    for (const auto& [folder, count] : reads.take()) EXPECT_EQ(count, 1) << folder;

    for (int item : {38, 39, 40}) device.tap(*picker.cell(item)->checkButton());
    ASSERT_EQ(controller.selectedAssetArray().size(), 3u);
    device.tap(*controller.selectButton());
    device.advance(1);
    auto browser = openBrowser(*device.keyWindow());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->numberLabel()->text(), "1/3");
    EXPECT_EQ(browser->assetsArray().back()->assetURL(), controller.assetsArray().back()->assetURL());
    EXPECT_EQ(reads.takeTotal(), 0) << "the chosen photos are looked up without listing the library again";
}

TEST(PKPhotoBrowser, ACurrentPageOutsideTheAssetsIsClampedAndAPictureFitsItsPage) {
    test::PhotoLibraryFixture photos;
    test::BootedDevice app;
    photos.addPictures("Saved Photos", 2, 40, 30);
    photos.addFile("Saved Photos", "IMG_0003.PNG", test::pngOf(1280, 960, 0x808080FF));
    std::vector<std::shared_ptr<al::Asset>> assets;
    auto library = std::make_shared<al::AssetsLibrary>();
    library->enumerateGroupsWithTypes(al::AssetsGroupSavedPhotos, [&](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
        if (group) group->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& a, std::int64_t, bool*) {
            if (a) assets.push_back(a);
        });
    }, {});
    app.device.advance(0);
    ASSERT_EQ(assets.size(), 3u);
    auto browser = PKPhotoBrowser::make(ui::Screen::mainScreen().bounds());
    browser->setCurrentPage(7);
    browser->setAssetsArray(assets);
    EXPECT_EQ(browser->currentPage(), 2);
    EXPECT_EQ(browser->numberLabel()->text(), "3/3");
    browser->show(false);
    app.device.advance(0.1);
    auto cell = std::dynamic_pointer_cast<PKPhotoBrowserCell>(browser->collectionView()->cellForItemAtIndexPath({0, 2}));
    ASSERT_TRUE(cell);
    EXPECT_DOUBLE_EQ(width(*cell->imageView()), 320) << "a large picture is fitted to the page";
    EXPECT_DOUBLE_EQ(cell->scrollView()->minimumZoomScale(), 1);
    EXPECT_DOUBLE_EQ(cell->scrollView()->maximumZoomScale(), 5);
    browser->setCurrentPage(-4);
    browser->reloadPhotoeData();
    EXPECT_EQ(browser->numberLabel()->text(), "1/3");
    auto small = std::dynamic_pointer_cast<PKPhotoBrowserCell>(browser->collectionView()->cellForItemAtIndexPath({0, 0}));
    app.device.advance(0.1);
    small = std::dynamic_pointer_cast<PKPhotoBrowserCell>(browser->collectionView()->cellForItemAtIndexPath({0, 0}));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->imageView()->frame().size, (cg::Size{40, 30})) << "a small picture keeps its own size";
    EXPECT_EQ(small->imageView()->center(), (cg::Point{160, 284}));
    // A pager at rest far past its last page, further than a page count can hold, is on the last page.
    browser->collectionView()->setContentOffset({1e12, 0});
    browser->scrollViewDidEndDecelerating(*browser->collectionView());
    EXPECT_EQ(browser->numberLabel()->text(), "3/3");
    browser->setAssetsArray({});
    EXPECT_EQ(browser->numberLabel()->text(), "0/0");
    browser->photoDidChecked();
    browser->hide(false);
}

class PickerOnEveryDevice : public ::testing::TestWithParam<sim::ScreenProfile> {};

TEST_P(PickerOnEveryDevice, TheGridToolbarAndPreviewFitTheScreen) {
    const sim::ScreenProfile profile = GetParam();
    test::PickerApp picker(profile);
    picker.photos.addPictures("Saved Photos", 30, 900, 600);
    picker.present(1, 3);
    auto& controller = *picker.picker;
    const cg::Size screen = profile.portraitSize;
    const std::string name = std::to_string(int(screen.width)) + "x" + std::to_string(int(screen.height));
    EXPECT_DOUBLE_EQ(controller.toolbar()->convertRectToView(controller.toolbar()->bounds(), nullptr).origin.y + 44,
                     screen.height) << "the toolbar sits on the bottom edge";
    EXPECT_DOUBLE_EQ(bottom(*controller.collectionView()) + 64, screen.height - 44);
    const double side = (screen.width - 10) * 0.25;
    auto last = picker.cell(30);
    ASSERT_TRUE(last) << "scrolled to the last photo";
    const cg::Rect lastOnScreen = last->convertRectToView(last->bounds(), nullptr);
    EXPECT_LE(cg::maxY(lastOnScreen), screen.height - 44 + 0.5);
    EXPECT_DOUBLE_EQ(lastOnScreen.size.width, side);
    picker.app.device.tap(*last->checkButton());
    EXPECT_LE(right(*controller.finishButton()), screen.width);
    picker.shoot("picker-grid-" + name);

    picker.app.device.tap(*last);
    picker.app.device.advance(1);
    auto browser = openBrowser(*picker.app.device.keyWindow());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->frame(), (cg::Rect{{0, 0}, screen}));
    EXPECT_DOUBLE_EQ(right(*browser->checkButton()), screen.width - 10);
    EXPECT_TRUE(browser->checkButton()->isSelected());
    picker.shoot("picker-preview-" + name);
}

INSTANTIATE_TEST_SUITE_P(Devices, PickerOnEveryDevice,
                         ::testing::Values(sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone320x568(),
                                           sim::ScreenProfile::phone375x667(), sim::ScreenProfile::phone414x736(),
                                           sim::ScreenProfile::pad768x1024()));
