#pragma once
// ui::ImageWriteToSavedPhotosAlbum: writes an image into the photo library's saved-photos roll and tells
// the caller how it went, on the main queue.

#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/Error.h"

namespace ql::ui {

class Image;

void ImageWriteToSavedPhotosAlbum(const std::shared_ptr<Image>& image,
                                  std::function<void(const std::optional<ns::Error>& error)> completion);

}  // namespace ql::ui
