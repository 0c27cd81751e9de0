#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "images/picker/PKPhotoBrowser.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKPromptView.h"
#include "platform/photos/CaptureDevice.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "tests/images/picker/PickerTestSupport.h"

using namespace ql;

namespace {

[[maybe_unused]] std::string promptText() {
    auto prompt = PKPromptView::current();
    if (!prompt) return {};
    for (const auto& view : prompt->subviews()) {
        if (auto label = std::dynamic_pointer_cast<ui::Label>(view)) return label->text().value_or("");
    }
    return {};
}

[[maybe_unused]] std::shared_ptr<PKPhotoBrowser> openBrowser(ui::Window& window) {
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
}
