#pragma once
// The older unprefixed forms of the image view and button loads, kept for callers written against them:
// each forwards to its wi_ form. Their completion has the older shape, without the image URL.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "images/webimage/ButtonWebCache.h"
#include "images/webimage/ImageViewWebCache.h"

namespace ql {

using WebImageViewLegacyCompletion =
    std::function<void(std::shared_ptr<ui::Image> image, std::optional<ns::Error> error, ImageCacheSource source)>;

// ---- Image views ----
std::optional<ns::URL> imageURL(ui::ImageView& view);
void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder = nullptr, std::uint64_t options = 0,
                     WebImageFetchProgress progress = {}, WebImageViewLegacyCompletion completed = {});
void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     WebImageViewLegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder, WebImageViewLegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                     WebImageViewLegacyCompletion completed);
void cancelCurrentImageLoad(ui::ImageView& view);
void cancelCurrentArrayLoad(ui::ImageView& view);
void setAnimationImagesWithURLs(const std::shared_ptr<ui::ImageView>& view, const std::vector<ns::URL>& urls);

void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                std::uint64_t options = 0, WebImageFetchProgress progress = {},
                                WebImageViewLegacyCompletion completed = {});
void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                WebImageViewLegacyCompletion completed);
void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                std::uint64_t options, WebImageViewLegacyCompletion completed);
void cancelCurrentHighlightedImageLoad(ui::ImageView& view);

// ---- Buttons ----
std::optional<ns::URL> currentImageURL(ui::Button& button);
std::optional<ns::URL> imageURLForState(ui::Button& button, unsigned state);
void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     std::shared_ptr<ui::Image> placeholder = nullptr, std::uint64_t options = 0,
                     WebImageViewLegacyCompletion completed = {});
void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     WebImageViewLegacyCompletion completed);
void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     std::shared_ptr<ui::Image> placeholder, WebImageViewLegacyCompletion completed);
void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, std::shared_ptr<ui::Image> placeholder = nullptr,
                               std::uint64_t options = 0, WebImageViewLegacyCompletion completed = {});
void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, WebImageViewLegacyCompletion completed);
void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, std::shared_ptr<ui::Image> placeholder,
                               WebImageViewLegacyCompletion completed);
// Cancels the image load of the button's current state.
void cancelCurrentImageLoad(ui::Button& button);
void cancelBackgroundImageLoadForState(ui::Button& button, unsigned state);

}  // namespace ql
