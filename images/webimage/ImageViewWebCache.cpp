#include "images/webimage/ImageViewWebCache.h"

#include <utility>

#include "images/webimage/MainThread.h"
#include "images/webimage/ViewWebCacheOperation.h"
#include "images/webimage/WebImageManager.h"
#include "platform/ui/LayoutConstraint.h"

namespace ql {

namespace {

// What an image view keeps of its remote loads.
class WebImageViewState final : public ns::Object {
    QL_OBJECT(WebImageViewState, ns::Object)
public:
    std::optional<ns::URL> imageURL;
    std::shared_ptr<ui::ActivityIndicatorView> indicator;
    bool showIndicator = false;
    ui::ActivityIndicatorViewStyle indicatorStyle = ui::ActivityIndicatorViewStyle::WhiteLarge;
};

const char kStateKey = 0;

WebImageViewState& stateOf(ui::ImageView& view) {
    if (auto state = view.associatedValue(&kStateKey).asObject<WebImageViewState>()) return *state;
    auto state = std::make_shared<WebImageViewState>();
    view.setAssociatedValue(&kStateKey, ns::Value(state));
    return *state;
}

}  // namespace

ns::Error webImageNilURLError() { return webImageError(-1, "Trying to load a nil url"); }

// ---- Image ----

void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder, std::uint64_t options, WebImageFetchProgress progress,
                        WebImageViewCompletion completed) {
    wi_cancelCurrentImageLoad(*view);
    stateOf(*view).imageURL = url;
    std::weak_ptr<ui::ImageView> weak = view;
    if (!(options & WebImageLoadDelayPlaceholder)) {
        runOnMain([weak, placeholder] {
            if (auto strong = weak.lock()) strong->setImage(placeholder);
        });
    }
    if (!url) {
        runOnMain([weak, completed] {
            if (auto strong = weak.lock()) removeActivityIndicator(*strong);
            if (completed) completed(nullptr, webImageNilURLError(), ImageCacheSourceNone, std::nullopt);
        });
        return;
    }
    if (stateOf(*view).showIndicator) addActivityIndicator(view);
    auto operation = WebImageManager::sharedManager()->downloadImageWithURL(
        url, options, std::move(progress),
        [weak, options, placeholder, completed](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                                ImageCacheSource source, bool finished,
                                                std::optional<ns::URL> imageURL) {
            auto strong = weak.lock();
            if (!strong) return;
            removeActivityIndicator(*strong);
            runOnMainAndWait([&] {
                if (image && (options & WebImageLoadAvoidAutoSetImage) && completed) {
                    completed(image, error, source, imageURL);
                    return;
                }
                if (image) {
                    strong->setImage(image);
                    strong->setNeedsLayout();
                } else if (options & WebImageLoadDelayPlaceholder) {
                    strong->setImage(placeholder);
                    strong->setNeedsLayout();
                }
                if (completed && finished) completed(image, error, source, imageURL);
            });
        });
    wi_setImageLoadOperation(*view, operation, WebImageViewImageLoadKey);
}

void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        WebImageViewCompletion completed) {
    wi_setImageWithURL(view, url, nullptr, 0, {}, std::move(completed));
}

void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder, WebImageViewCompletion completed) {
    wi_setImageWithURL(view, url, std::move(placeholder), 0, {}, std::move(completed));
}

void wi_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                        std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                        WebImageViewCompletion completed) {
    wi_setImageWithURL(view, url, std::move(placeholder), options, {}, std::move(completed));
}

void wi_setImageWithPreviousCachedImageWithURL(const std::shared_ptr<ui::ImageView>& view,
                                               const std::optional<ns::URL>& url,
                                               std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                                               WebImageFetchProgress progress, WebImageViewCompletion completed) {
    const std::string key = WebImageManager::sharedManager()->cacheKeyForURL(url);
    auto cached = ImageCache::sharedImageCache()->imageFromDiskCacheForKey(key);
    wi_setImageWithURL(view, url, cached ? cached : std::move(placeholder), options, std::move(progress),
                       std::move(completed));
}

std::optional<ns::URL> wi_imageURL(ui::ImageView& view) { return stateOf(view).imageURL; }

void wi_cancelCurrentImageLoad(ui::ImageView& view) { wi_cancelImageLoadOperationWithKey(view, WebImageViewImageLoadKey); }

// ---- Animation frames ----

void wi_setAnimationImagesWithURLs(const std::shared_ptr<ui::ImageView>& view, const std::vector<ns::URL>& urls) {
    wi_cancelCurrentAnimationImagesLoad(*view);
    std::weak_ptr<ui::ImageView> weak = view;
    std::vector<std::shared_ptr<WebImageOperation>> operations;
    for (const ns::URL& url : urls) {
        operations.push_back(WebImageManager::sharedManager()->downloadImageWithURL(
            url, 0, {},
            [weak](std::shared_ptr<ui::Image> image, std::optional<ns::Error>, ImageCacheSource, bool,
                   std::optional<ns::URL>) {
                if (!weak.lock()) return;
                runOnMainAndWait([&] {
                    auto strong = weak.lock();
                    if (!strong) return;
                    strong->stopAnimating();
                    if (image) {
                        auto frames = strong->animationImages();
                        frames.push_back(image);
                        strong->setAnimationImages(std::move(frames));
                        strong->setNeedsLayout();
                    }
                    strong->startAnimating();
                });
            }));
    }
    wi_setImageLoadOperations(*view, std::move(operations), WebImageViewAnimationImagesKey);
}

void wi_cancelCurrentAnimationImagesLoad(ui::ImageView& view) {
    wi_cancelImageLoadOperationWithKey(view, WebImageViewAnimationImagesKey);
}

// ---- Highlighted image ----

void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   std::uint64_t options, WebImageFetchProgress progress,
                                   WebImageViewCompletion completed) {
    wi_cancelCurrentHighlightedImageLoad(*view);
    if (!url) {
        runOnMain([completed] {
            if (completed) completed(nullptr, webImageNilURLError(), ImageCacheSourceNone, std::nullopt);
        });
        return;
    }
    std::weak_ptr<ui::ImageView> weak = view;
    auto operation = WebImageManager::sharedManager()->downloadImageWithURL(
        url, options, std::move(progress),
        [weak, options, completed](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                   ImageCacheSource source, bool finished, std::optional<ns::URL> imageURL) {
            if (!weak.lock()) return;
            runOnMainAndWait([&] {
                auto strong = weak.lock();
                if (!strong) return;
                if (image && (options & WebImageLoadAvoidAutoSetImage) && completed) {
                    completed(image, error, source, imageURL);
                    return;
                }
                if (image) {
                    strong->setHighlightedImage(image);
                    strong->setNeedsLayout();
                }
                if (completed && finished) completed(image, error, source, imageURL);
            });
        });
    wi_setImageLoadOperation(*view, operation, WebImageViewHighlightedImageKey);
}

void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   WebImageViewCompletion completed) {
    wi_setHighlightedImageWithURL(view, url, 0, {}, std::move(completed));
}

void wi_setHighlightedImageWithURL(const std::shared_ptr<ui::ImageView>& view, const std::optional<ns::URL>& url,
                                   std::uint64_t options, WebImageViewCompletion completed) {
    wi_setHighlightedImageWithURL(view, url, options, {}, std::move(completed));
}

void wi_cancelCurrentHighlightedImageLoad(ui::ImageView& view) {
    wi_cancelImageLoadOperationWithKey(view, WebImageViewHighlightedImageKey);
}

// ---- Activity indicator ----

void setShowActivityIndicatorView(ui::ImageView& view, bool show) { stateOf(view).showIndicator = show; }

bool showActivityIndicatorView(ui::ImageView& view) { return stateOf(view).showIndicator; }

void setIndicatorStyle(ui::ImageView& view, ui::ActivityIndicatorViewStyle style) { stateOf(view).indicatorStyle = style; }

ui::ActivityIndicatorViewStyle getIndicatorStyle(ui::ImageView& view) { return stateOf(view).indicatorStyle; }

std::shared_ptr<ui::ActivityIndicatorView> activityIndicator(ui::ImageView& view) { return stateOf(view).indicator; }

void setActivityIndicator(ui::ImageView& view, std::shared_ptr<ui::ActivityIndicatorView> indicator) {
    stateOf(view).indicator = std::move(indicator);
}

void addActivityIndicator(const std::shared_ptr<ui::ImageView>& view) {
    WebImageViewState& state = stateOf(*view);
    if (!state.indicator) {
        auto indicator = std::make_shared<ui::ActivityIndicatorView>(state.indicatorStyle);
        indicator->setTranslatesAutoresizingMaskIntoConstraints(false);
        state.indicator = indicator;
        std::weak_ptr<ui::ImageView> weak = view;
        runOnMain([weak, indicator] {
            auto strong = weak.lock();
            if (!strong) return;
            strong->addSubview(indicator);
            for (auto attribute : {ui::LayoutAttribute::CenterX, ui::LayoutAttribute::CenterY}) {
                strong->addConstraint(ui::LayoutConstraint::constraintWithItem(
                    indicator, attribute, ui::LayoutRelation::Equal, strong, attribute, 1, 0));
            }
        });
    }
    runOnMain([indicator = state.indicator] { indicator->startAnimating(); });
}

void removeActivityIndicator(ui::ImageView& view) {
    WebImageViewState& state = stateOf(view);
    if (!state.indicator) return;
    state.indicator->removeFromSuperview();
    state.indicator = nullptr;
}

}  // namespace ql
