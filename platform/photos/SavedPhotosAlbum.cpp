#include "platform/photos/SavedPhotosAlbum.h"

#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Image.h"

namespace ql::ui {

void ImageWriteToSavedPhotosAlbum(const std::shared_ptr<Image>& image,
                                  std::function<void(const std::optional<ns::Error>&)> completion) {
    auto library = std::make_shared<al::AssetsLibrary>();
    library->writeImageToSavedPhotosAlbum(
        image ? image->CGImage() : nullptr, image ? image->imageOrientation() : ImageOrientation::Up,
        [library, completion = std::move(completion)](const std::optional<ns::URL>&, const std::optional<ns::Error>& error) {
            if (completion) completion(error);
        });
}

}  // namespace ql::ui
