#include "platform/photos/ImagePickerController.h"

#include <mutex>

#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

namespace {

std::mutex gMutex;
std::shared_ptr<Image>& cameraPictureSet() {  // guarded by gMutex
    static auto& set = *new std::shared_ptr<Image>;
    return set;
}

}  // namespace

bool ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType) { return cameraPicture() != nullptr; }

bool ImagePickerController::isCameraDeviceAvailable(ImagePickerControllerCameraDevice device) {
    return device == ImagePickerControllerCameraDevice::Rear && cameraPicture() != nullptr;
}

void ImagePickerController::setCameraPicture(std::shared_ptr<Image> picture) {
    std::lock_guard lock(gMutex);
    cameraPictureSet() = std::move(picture);
}

std::shared_ptr<Image> ImagePickerController::cameraPicture() {
    std::lock_guard lock(gMutex);
    return cameraPictureSet();
}

void ImagePickerController::takePicture() {
    auto picture = cameraPicture();
    auto delegate = this->delegate();
    if (!picture || !delegate) return;
    ns::Dictionary info;
    info.set(std::string(ImagePickerControllerMediaType), "public.image");
    info.set(std::string(ImagePickerControllerOriginalImage), ns::Value(picture));
    delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
}

void ImagePickerController::cancelTapped(ns::Object*, Event*) {
    auto delegate = this->delegate();
    if (!delegate || !delegate->imagePickerControllerDidCancel(*this)) dismissViewControllerAnimated(true);
}

void ImagePickerController::loadView() {
    const cg::Rect screen = Screen::mainScreen().bounds();
    auto root = std::make_shared<View>(screen);
    root->setBackgroundColor(Color::blackColor());
    auto lens = std::make_shared<ImageView>(cg::Rect{0, 0, screen.size.width, screen.size.height - 96});
    lens->setContentMode(ContentMode::ScaleAspectFit);
    lens->setImage(cameraPicture());
    root->addSubview(lens);
    const auto self = std::static_pointer_cast<ImagePickerController>(shared_from_this());
    auto shutter = std::make_shared<Button>(cg::Rect{screen.size.width / 2 - 33, screen.size.height - 81, 66, 66});
    shutter->setBackgroundColor(Color::whiteColor());
    shutter->layer()->setCornerRadius(33);
    shutter->setAccessibilityLabel("拍照");
    shutter->addTarget(self, Action(&ImagePickerController::shutterTapped), ControlEventTouchUpInside);
    root->addSubview(shutter);
    auto cancel = std::make_shared<Button>(cg::Rect{10, screen.size.height - 63, 60, 30});
    cancel->setTitle("取消", ControlStateNormal);
    cancel->setTitleColor(Color::whiteColor(), ControlStateNormal);
    cancel->addTarget(self, Action(&ImagePickerController::cancelTapped), ControlEventTouchUpInside);
    root->addSubview(cancel);
    setView(root);
}

}  // namespace ql::ui
