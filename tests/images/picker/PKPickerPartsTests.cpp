#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/picker/PKAssets.h"
#include "images/picker/PKAssetsGroupCell.h"
#include "images/picker/PKAssetsGroupsView.h"
#include "images/picker/PKAssetsThumbnailView.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKPromptView.h"
#include "images/picker/PKUtil.h"
#include "images/picker/PhotoAlbumManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "tests/images/picker/PickerTestSupport.h"

using namespace ql;

namespace {

std::vector<std::shared_ptr<al::AssetsGroup>> albums(sim::Device& device) {
    std::vector<std::shared_ptr<al::AssetsGroup>> found;
    std::make_shared<al::AssetsLibrary>()->enumerateGroupsWithTypes(
        al::AssetsGroupAll, [&](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
            if (group) found.push_back(group);
        }, {});
    device.advance(0);
    return found;
}

bool onScreen(const ui::Window* window) {
    for (const auto& shown : ui::Application::sharedApplication().windows()) {
        if (shown.get() == window && !shown->isHidden()) return true;
    }
    return false;
}

}  // namespace

TEST(PKAssets, RecordsArchiveUnderTheirKeysAndMissingKeysReadAsNil) {
    auto record = std::make_shared<PKAssets>();
    record->setGroupPropertyID("A1B2");
    record->setGroupPropertyURL(ns::URL::fromString("assets-library://group/?id=A1B2"));
    record->setAssetPropertyURL(ns::URL::fromString("assets-library://asset/asset.JPG?id=C3&ext=JPG"));
    ns::Error error(std::string(), 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(record), &error);
    ASSERT_TRUE(data) << error.description();
    auto back = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<PKAssets>();
    ASSERT_TRUE(back);
    EXPECT_NE(back, record);
    EXPECT_EQ(back->groupPropertyID(), record->groupPropertyID());
    EXPECT_EQ(back->groupPropertyURL(), record->groupPropertyURL());
    EXPECT_EQ(back->assetPropertyURL(), record->assetPropertyURL());

    auto partial = std::make_shared<PKAssets>();
    partial->setAssetPropertyURL(record->assetPropertyURL());
    data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(partial), &error);
    back = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<PKAssets>();
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->groupPropertyID());
    EXPECT_FALSE(back->groupPropertyURL());
    EXPECT_EQ(back->assetPropertyURL(), record->assetPropertyURL());
}

TEST(PKPickerFrame, SettersChangeOnePartAndKeepTheRest) {
    ui::View view(cg::Rect{5, 6, 30, 40});
    setRight(view, 100);
    EXPECT_EQ(view.frame(), (cg::Rect{70, 6, 30, 40}));
    setBottom(view, 50);
    EXPECT_EQ(view.frame(), (cg::Rect{70, 10, 30, 40}));
    setCenterX(view, 20);
    EXPECT_EQ(view.frame(), (cg::Rect{5, 10, 30, 40}));
    setCenterY(view, 0);
    EXPECT_EQ(view.frame(), (cg::Rect{5, -20, 30, 40}));
    setWidth(view, 8);
    setHeight(view, 9);
    EXPECT_EQ(view.frame(), (cg::Rect{5, -20, 8, 9}));
    setOrigin(view, {1, 2});
    setSize(view, {3, 4});
    EXPECT_EQ(view.frame(), (cg::Rect{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(right(view), 4);
    EXPECT_DOUBLE_EQ(bottom(view), 6);
    EXPECT_DOUBLE_EQ(centerX(view), 2.5);
}

TEST(PKUtil, ColoursNeedSixHexDigitsAndImagesStretch) {
    double r = 0, g = 0, b = 0, a = 0;
    auto grey = PKUtil::getColor("282828");
    ASSERT_TRUE(grey && grey->getRed(&r, &g, &b, &a));
    EXPECT_DOUBLE_EQ(r, 40 / 255.0);
    EXPECT_DOUBLE_EQ(g, 40 / 255.0);
    EXPECT_DOUBLE_EQ(a, 1);
    auto light = PKUtil::getColor("F5f7FA");
    ASSERT_TRUE(light && light->getRed(&r, &g, &b, &a));
    EXPECT_DOUBLE_EQ(r, 245 / 255.0);
    EXPECT_DOUBLE_EQ(b, 250 / 255.0);
    EXPECT_FALSE(PKUtil::getColor("28282")) << "five digits are too few";
    EXPECT_FALSE(PKUtil::getColor(""));
    EXPECT_FALSE(PKUtil::getColor("#28282"));
    EXPECT_FALSE(PKUtil::getColor("zz2828"));

    auto image = ui::Image::imageNamed("picker_button_orange");
    auto stretched = PKUtil::stretchImage(image, {5, 5, 5, 5}, ui::ImageResizingMode::Stretch);
    ASSERT_TRUE(stretched);
    EXPECT_EQ(stretched->resizingMode(), ui::ImageResizingMode::Stretch);
    EXPECT_EQ(stretched->capInsets(), (cg::EdgeInsets{5, 5, 5, 5}));

    auto mark = PKUtil::loadImageFromBundle("ImageResources.bundle/FriendsSendsPicturesSelectBigNIcon.png");
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->size(), ui::Image::imageNamed("ImageResources.bundle/FriendsSendsPicturesSelectBigNIcon.png")->size());
    EXPECT_TRUE(PKUtil::loadImageFromBundle("/ImageResources.bundle/FriendsSendsPicturesSelectBigYIcon.png"))
        << "a leading separator joins as one";
    EXPECT_FALSE(PKUtil::loadImageFromBundle("ImageResources.bundle/none.png"));
    EXPECT_FALSE(PKUtil::loadImageFromBundle("Info.plist")) << "a file that is no image";
}

TEST(PKPromptView, APromptFadesInStaysTwoSecondsAndTheFirstPendingHideActsOnTheSlot) {
    test::BootedDevice app;
    PKPromptView::showWithImageName("picker_alert_sigh", "最多选择2张照片");
    auto first = PKPromptView::current();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->windowLevel(), ui::WindowLevelStatusBar + 1);
    EXPECT_DOUBLE_EQ(first->alpha(), 1) << "the model value is set at once; the fade is an animation";
    auto icon = ui::Image::imageNamed("picker_alert_sigh");
    const auto& label = *std::dynamic_pointer_cast<ui::Label>(first->subviews()[1]);
    EXPECT_DOUBLE_EQ(height(*first), height(label) + icon->size().height + 40);
    EXPECT_DOUBLE_EQ(top(label), 15 + icon->size().height + 10);
    EXPECT_DOUBLE_EQ(centerX(*first), 160);
    EXPECT_DOUBLE_EQ(centerY(*first), 284);

    app.device.advance(1);
    PKPromptView::showWithImageName("no_such_image", "两行\n提示");
    auto second = PKPromptView::current();
    const auto& text = *std::dynamic_pointer_cast<ui::Label>(second->subviews()[1]);
    EXPECT_DOUBLE_EQ(height(*second), height(text) + 20) << "without an icon";
    EXPECT_DOUBLE_EQ(top(text), 10);
    const ui::Window* firstWindow = first.get();
    first.reset();
    EXPECT_TRUE(onScreen(firstWindow)) << "its pending hide still holds the first";
    app.device.advance(1.05);
    EXPECT_FALSE(onScreen(firstWindow)) << "the first goes without a fade at 2.0 s";
    EXPECT_DOUBLE_EQ(second->alpha(), 0) << "and fades out the second";
    app.device.advance(0.3);
    EXPECT_FALSE(PKPromptView::current());
    app.device.advance(1);
    EXPECT_FALSE(PKPromptView::current());
}

TEST(PhotoAlbumManager, ShotsJoinTheNamedAlbumMakingItWhenNeeded) {
    test::PhotoLibraryFixture photos;
    test::BootedDevice app;
    photos.addPictures("Albums/Class", 1);
    auto shot = ui::Image::imageWithCGImage(test::solidBitmap(20, 10, 0xFF8800FF));
    auto& manager = *PhotoAlbumManager::sharedManager();
    std::vector<std::shared_ptr<al::Asset>> saved;
    const auto keep = [&](const std::shared_ptr<al::Asset>& asset, const std::optional<ns::Error>& error) {
        EXPECT_FALSE(error);
        saved.push_back(asset);
    };
    manager.saveImage(shot, "Class", keep);
    manager.saveImage(shot, "New", keep);
    manager.saveImage(shot, std::nullopt, keep);
    app.device.advance(0.1);
    ASSERT_EQ(saved.size(), 3u);
    for (const auto& asset : saved) ASSERT_TRUE(asset);
    auto groups = albums(app.device);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0]->name(), "Camera Roll");
    EXPECT_EQ(groups[0]->numberOfAssets(), 3) << "every shot is in the roll";
    EXPECT_EQ(groups[1]->name(), "Class");
    EXPECT_EQ(groups[1]->numberOfAssets(), 2);
    EXPECT_EQ(groups[2]->name(), "New");
    EXPECT_EQ(groups[2]->numberOfAssets(), 1);

    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Denied);
    std::optional<ns::Error> failure;
    bool called = false;
    manager.saveImage(shot, "Other", [&](const std::shared_ptr<al::Asset>& asset, const std::optional<ns::Error>& error) {
        called = true;
        EXPECT_FALSE(asset);
        failure = error;
    });
    app.device.advance(0.1);
    EXPECT_TRUE(called);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), al::AssetsLibraryAccessUserDeniedError);
    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Authorized);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(al::AssetsLibrary::folder()) / "Albums/Other"))
        << "a failed write makes no album";
}

TEST(PKAssetsGroupsView, TheTableFitsUpToFourAlbumsAndCountsFollowTheChoice) {
    test::PhotoLibraryFixture photos;
    test::BootedDevice app;
    for (const char* name : {"A", "B", "C", "D", "E"}) photos.addPictures(std::string("Albums/") + name, 2);
    photos.addFile("Albums/B", "IMG_0003.PNG", "not a picture after all");
    auto groups = albums(app.device);
    ASSERT_EQ(groups.size(), 6u);
    auto list = PKAssetsGroupsView::make({0, 0, 320, 504});
    app.rootView().addSubview(list);
    list->setAssetsGroups({groups.begin() + 1, groups.begin() + 4});
    EXPECT_DOUBLE_EQ(height(*list->tableView()), 258);
    EXPECT_DOUBLE_EQ(top(*list->touchButton()), 258);
    EXPECT_DOUBLE_EQ(height(*list->touchButton()), 504 - 258);
    list->setAssetsGroups(groups);
    EXPECT_DOUBLE_EQ(height(*list->tableView()), 344) << "more than four scroll";

    PKAssets record;
    record.setGroupPropertyID(groups[1]->persistentID());
    list->addAssetSelected(record);
    EXPECT_FALSE(list->selectAssetsGroup(*groups[1])) << "no counts before the picker hands them over";
    list->setSelectedAssetCount({});
    list->addAssetSelected(record);
    list->addAssetSelected(record);
    EXPECT_TRUE(list->selectAssetsGroup(*groups[1]));
    list->removeAssetSelected(record);
    EXPECT_EQ(list->selectedAssetCount()->at(groups[1]->persistentID()), 1);
    list->removeAssetSelected(record);
    EXPECT_FALSE(list->selectedAssetCount()->contains(groups[1]->persistentID())) << "the entry goes, not kept at 0";
    PKAssets nowhere;
    list->addAssetSelected(nowhere);
    EXPECT_TRUE(list->selectedAssetCount()->empty());

    app.device.advance(0.1);
    auto cell = std::dynamic_pointer_cast<PKAssetsGroupCell>(list->tableView()->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->assetsNameLabel()->text(), "A");
    EXPECT_EQ(cell->thumbnailView()->thumbnailImages().size(), 2u) << "two assets stack two thumbnails";
    EXPECT_DOUBLE_EQ(left(*cell->assetsNameLabel()), 8 + 70 + 18);
    EXPECT_DOUBLE_EQ(bottom(*cell->assetsNameLabel()), 4 + 37 - 2);
    EXPECT_DOUBLE_EQ(top(*cell->assetsCountLabel()), bottom(*cell->assetsNameLabel()) + 4);
    EXPECT_TRUE(cell->checkImageView()->isHidden());
    EXPECT_EQ(cell->thumbnailView()->sizeThatFits({}), (cg::Size{70, 74}));

    PKAssetsThumbnailView empty(cg::Rect{0, 0, 70, 74});
    groups[2]->setAssetsFilter(al::AssetsFilter::allVideos());
    empty.setAssetsGroup(groups[2]);
    ASSERT_EQ(empty.thumbnailImages().size(), 3u) << "an album without assets draws three blanks";
    EXPECT_EQ(empty.thumbnailImages()[0], empty.blankImage());

    struct Listener : ns::Object, PKAssetsGroupsViewDelegate {
        void assetsGroupsViewDidCancel(PKAssetsGroupsView&) override { ++cancels; }
        void assetsGroupsViewDidSelectAssetsGroup(PKAssetsGroupsView&, const std::shared_ptr<al::AssetsGroup>& g) override {
            chosen.push_back(g);
        }
        int cancels = 0;
        std::vector<std::shared_ptr<al::AssetsGroup>> chosen;
    };
    auto listener = std::make_shared<Listener>();
    list->setDelegate(listener);
    app.device.tap(*cell);
    app.device.tap(*list->tableView()->cellForRowAtIndexPath({0, 1}));
    EXPECT_EQ(listener->chosen, (std::vector<std::shared_ptr<al::AssetsGroup>>{groups[1], groups[1]}));
    EXPECT_EQ(list->selectedIndexPath(), (ns::IndexPath{0, 1}));
    app.device.tap(cg::Point{160, 450});
    EXPECT_EQ(listener->cancels, 1);
}
