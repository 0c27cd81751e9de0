#pragma once
// What the picker's tests share: a booted device over a fresh photo library, the picker presented in a
// navigation controller as the reading-note screen presents it, a delegate that writes down what it is
// told, and screenshots written when QUILLORY_SHOTS_DIR names a folder.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "images/picker/PKAssetsViewCell.h"
#include "images/picker/PKImagePickerController.h"
#include "platform/photos/AssetImages.h"
#include "platform/ui/NavigationController.h"
#include "tests/platform/photos/PhotoLibraryFixture.h"
#include "tests/ui/BootedDevice.h"

namespace ql::test {

class PickerRecorder : public ns::Object, public PKImagePickerControllerDelegate {
public:
    void imagePickerControllerDidSelectAssets(PKImagePickerController&, const std::vector<std::shared_ptr<PKAssets>>& records,
                                              bool isSource) override {
        results.push_back(records);
        sources.push_back(isSource);
    }
    void imagePickerControllerDidCancel(PKImagePickerController&) override { ++cancels; }

    std::vector<std::vector<std::shared_ptr<PKAssets>>> results;
    std::vector<bool> sources;
    int cancels = 0;
};

class PickerApp {
public:
    explicit PickerApp(const sim::ScreenProfile& profile = sim::ScreenProfile::phone320x568()) : app(profile) {}

    // Presents a picker with that minimum and maximum, as the reading-note screen does.
    void present(std::uint64_t minimum, std::uint64_t maximum) {
        picker = std::make_shared<PKImagePickerController>();
        picker->setDelegate(recorder);
        picker->setShowsCancelButton(true);
        picker->setMinimumNumberOfSelection(minimum);
        picker->setMaximumNumberOfSelection(maximum);
        navigation = std::make_shared<ui::NavigationController>(picker);
        app.delegate->root->presentViewController(navigation, false);
        settle();
    }

    // Runs the app a second on, and hands it the thumbnails it asked for meanwhile.
    void settle() {
        app.device.advance(1);
        al::waitForAssetImageRequests();
        app.device.advance(0);
    }

    std::shared_ptr<PKAssetsViewCell> cell(std::int64_t item) {
        return std::dynamic_pointer_cast<PKAssetsViewCell>(picker->collectionView()->cellForItemAtIndexPath({0, item}));
    }

    void shoot(const std::string& name) {
        if (const char* dir = std::getenv("QUILLORY_SHOTS_DIR")) app.device.writeScreenshot(std::string(dir) + "/" + name + ".png");
    }

    PhotoLibraryFixture photos;
    BootedDevice app;
    std::shared_ptr<PickerRecorder> recorder = std::make_shared<PickerRecorder>();
    std::shared_ptr<PKImagePickerController> picker;
    std::shared_ptr<ui::NavigationController> navigation;
};

}  // namespace ql::test
