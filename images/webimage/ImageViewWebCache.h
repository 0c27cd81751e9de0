#pragma once
// How screens put remote images into image views: a call cancels whatever the view loaded before, shows
// the placeholder, asks the shared web image manager for the image and sets it on the main thread when it
// comes. Also the highlighted image, a list of animation frames and an optional activity indicator.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "images/webimage/ImageCacheTypes.h"
#include "images/webimage/WebImageFetchOptions.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"

namespace ql {

using WebImageViewCompletion = std::function<void(std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                                  ImageCacheSource source, std::optional<ns::URL> imageURL)>;

// The load keys views keep their operations under.
inline constexpr std::string_view WebImageViewImageLoadKey = "UIImageViewImageLoad";
inline constexpr std::string_view WebImageViewAnimationImagesKey = "UIImageViewAnimationImages";
inline constexpr std::string_view WebImageViewHighlightedImageKey = "highlightedImage";

// "WebImageErrorDomain" -1 "Trying to load a nil url".
ns::Error webImageNilURLError();

// ---- Image ----
void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder = nullptr, std::uint64_t options = 0,
                        WebImageFetchProgress progress = {}, WebImageViewCompletion completed = {});
void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        WebImageViewCompletion completed);
void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder, WebImageViewCompletion completed);
void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                        WebImageViewCompletion completed);
// The image cached for the URL, when there is one, stands in for the placeholder.
void wi_setImageWithPreviousCachedImageWithURL(const std::shared_ptr<ui::ImageView>& view,
                                               const std::optional<ns::URL>& url,
                                               std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                                               WebImageFetchProgress progress, WebImageViewCompletion completed);
// The URL of the last load started (nothing when it had none).
std::optional<ns::URL> wi_imageURL(ui::ImageView& view);
void wi_cancelCurrentImageLoad(ui::ImageView& view);

// ---- Animation frames, in the order they arrive ----
void wi_setAnimationImagesWithURLs(const std::shared_ptr<ui::ImageView>& view, const std::vector<ns::URL>& urls);
void wi_cancelCurrentAnimationImagesLoad(ui::ImageView& view);

// ---- Highlighted image ----
void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   std::uint64_t options = 0, WebImageFetchProgress progress = {},
                                   WebImageViewCompletion completed = {});
void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   WebImageViewCompletion completed);
void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   std::uint64_t options, WebImageViewCompletion completed);
void wi_cancelCurrentHighlightedImageLoad(ui::ImageView& view);

// ---- Activity indicator, centred on the view while it loads ----
void setShowActivityIndicatorView(ui::ImageView& view, bool show);
bool showActivityIndicatorView(ui::ImageView& view);
void setIndicatorStyle(ui::ImageView& view, ui::ActivityIndicatorViewStyle style);
ui::ActivityIndicatorViewStyle getIndicatorStyle(ui::ImageView& view);
std::shared_ptr<ui::ActivityIndicatorView> activityIndicator(ui::ImageView& view);
void setActivityIndicator(ui::ImageView& view, std::shared_ptr<ui::ActivityIndicatorView> indicator);
void addActivityIndicator(const std::shared_ptr<ui::ImageView>& view);
void removeActivityIndicator(ui::ImageView& view);

}  // namespace ql
