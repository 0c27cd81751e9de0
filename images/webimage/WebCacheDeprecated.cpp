#include "images/webimage/WebCacheDeprecated.h"

#include <utility>

namespace ql {

namespace {

// The newer completion around an older one; none when there is none.
WebImageViewCompletion forwarded(WebImageViewLegacyCompletion completed) {
    if (!completed) return {};
    return [completed = std::move(completed)](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                              ImageCacheSource source, std::optional<ns::URL>) {
        completed(std::move(image), std::move(error), source);
    };
}

}  // namespace

// ---- Image views ----

std::optional<ns::URL> imageURL(ui::ImageView& view) { return wi_imageURL(view); }

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder, std::uint64_t options, WebImageFetchProgress progress,
                     WebImageViewLegacyCompletion completed) {
    wi_setImageWithURL(view, url, std::move(placeholder), options, std::move(progress), forwarded(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     WebImageViewLegacyCompletion completed) {
    setImageWithURL(view, url, nullptr, 0, {}, std::move(completed));
}

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder, WebImageViewLegacyCompletion completed) {
    setImageWithURL(view, url, std::move(placeholder), 0, {}, std::move(completed));
}

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                     std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                     WebImageViewLegacyCompletion completed) {
    setImageWithURL(view, url, std::move(placeholder), options, {}, std::move(completed));
}

void cancelCurrentImageLoad(ui::ImageView& view) { wi_cancelCurrentImageLoad(view); }

void cancelCurrentArrayLoad(ui::ImageView& view) { wi_cancelCurrentAnimationImagesLoad(view); }

void setAnimationImagesWithURLs(const std::shared_ptr<ui::ImageView>& view, const std::vector<ns::URL>& urls) {
    wi_setAnimationImagesWithURLs(view, urls);
}

void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                std::uint64_t options, WebImageFetchProgress progress,
                                WebImageViewLegacyCompletion completed) {
    wi_setHighlightedImageWithURL(view, url, options, std::move(progress), forwarded(std::move(completed)));
}

void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                WebImageViewLegacyCompletion completed) {
    setHighlightedImageWithURL(view, url, 0, {}, std::move(completed));
}

void setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                std::uint64_t options, WebImageViewLegacyCompletion completed) {
    setHighlightedImageWithURL(view, url, options, {}, std::move(completed));
}

void cancelCurrentHighlightedImageLoad(ui::ImageView& view) { wi_cancelCurrentHighlightedImageLoad(view); }

// ---- Buttons ----

std::optional<ns::URL> currentImageURL(ui::Button& button) { return wi_currentImageURL(button); }

std::optional<ns::URL> imageURLForState(ui::Button& button, unsigned state) { return wi_imageURLForState(button, state); }

void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                     WebImageViewLegacyCompletion completed) {
    wi_setImageWithURL(button, url, state, std::move(placeholder), options, forwarded(std::move(completed)));
}

void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     WebImageViewLegacyCompletion completed) {
    setImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                     std::shared_ptr<ui::Image> placeholder, WebImageViewLegacyCompletion completed) {
    setImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                               WebImageViewLegacyCompletion completed) {
    wi_setBackgroundImageWithURL(button, url, state, std::move(placeholder), options, forwarded(std::move(completed)));
}

void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, WebImageViewLegacyCompletion completed) {
    setBackgroundImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                               unsigned state, std::shared_ptr<ui::Image> placeholder,
                               WebImageViewLegacyCompletion completed) {
    setBackgroundImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

void cancelCurrentImageLoad(ui::Button& button) { wi_cancelImageLoadForState(button, button.state()); }

void cancelBackgroundImageLoadForState(ui::Button& button, unsigned state) {
    wi_cancelBackgroundImageLoadForState(button, state);
}

}  // namespace ql
