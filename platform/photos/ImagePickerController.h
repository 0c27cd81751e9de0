#pragma once
// ui::ImagePickerController: the system camera screen, as a stand-in. The device's camera is a picture
// supplied in advance (setCameraPicture); without one the device has no camera. Presented, the screen
// shows what the lens sees with a shutter and a cancel button; the shutter (or takePicture) hands the
// delegate the picture as the original image.

#include <memory>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

class Button;
class Image;
class ImagePickerController;

enum class ImagePickerControllerSourceType { Camera = 1 };
enum class ImagePickerControllerCameraDevice { Rear = 0, Front = 1 };

// Keys of the info a picked picture comes with.
inline constexpr std::string_view ImagePickerControllerMediaType = "UIImagePickerControllerMediaType";
inline constexpr std::string_view ImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";

class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController&, const ns::Dictionary&) {}
    // Without an answer of the delegate's own, the picker dismisses itself.
    virtual bool imagePickerControllerDidCancel(ImagePickerController&) { return false; }
};

class ImagePickerController : public ViewController {
    QL_OBJECT_NAMED(ImagePickerController, ViewController, "UIImagePickerController")
public:
    ImagePickerController() = default;

    static bool isSourceTypeAvailable(ImagePickerControllerSourceType type);
    static bool isCameraDeviceAvailable(ImagePickerControllerCameraDevice device);
    // What the camera sees; none removes the camera.
    static void setCameraPicture(std::shared_ptr<Image> picture);
    static std::shared_ptr<Image> cameraPicture();

    ImagePickerControllerSourceType sourceType() const { return sourceType_; }
    void setSourceType(ImagePickerControllerSourceType type) { sourceType_ = type; }
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
    std::shared_ptr<ImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // Hands the delegate the camera's picture (nothing without a camera).
    void takePicture();

    void loadView() override;

private:
    void shutterTapped(ns::Object*, Event*) { takePicture(); }
    void cancelTapped(ns::Object*, Event*);

    ImagePickerControllerSourceType sourceType_ = ImagePickerControllerSourceType::Camera;
    bool allowsEditing_ = false;
    std::weak_ptr<ImagePickerControllerDelegate> delegate_;
};

}  // namespace ql::ui
