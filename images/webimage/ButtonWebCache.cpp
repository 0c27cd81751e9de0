#include "images/webimage/ButtonWebCache.h"

#include <map>
#include <utility>

#include "images/webimage/MainThread.h"
#include "images/webimage/ViewWebCacheOperation.h"
#include "images/webimage/WebImageManager.h"

namespace ql {

namespace {

// A button's image URLs by state.
class ButtonImageURLs final : public ns::Object {
    QL_OBJECT(ButtonImageURLs, ns::Object)
public:
    std::map<unsigned, ns::URL> urls;
};

const char kURLsKey = 0;

std::map<unsigned, ns::URL>& imageURLStorage(ui::Button& button) {
    if (auto storage = button.associatedValue(&kURLsKey).asObject<ButtonImageURLs>()) return storage->urls;
    auto storage = std::make_shared<ButtonImageURLs>();
    button.setAssociatedValue(&kURLsKey, ns::Value(storage));
    return storage->urls;
}

using SetImage = void (ui::Button::*)(std::shared_ptr<ui::Image>, unsigned);

// The load behind both kinds of button image; `setImage` says which one it fills.
std::shared_ptr<WebImageOperation> startLoad(const std::shared_ptr<ui::Button>& button, const ns::URL& url,
                                             unsigned state, std::uint64_t options, SetImage setImage,
                                             WebImageViewCompletion completed) {
    std::weak_ptr<ui::Button> weak = button;
    return WebImageManager::sharedManager()->downloadImageWithURL(
        url, options, {},
        [weak, state, options, setImage, completed](std::shared_ptr<ui::Image> image, std::optional<ns::Error> error,
                                                    ImageCacheSource source, bool finished,
                                                    std::optional<ns::URL> imageURL) {
            if (!weak.lock()) return;
            runOnMainAndWait([&] {
                auto strong = weak.lock();
                if (!strong) return;
                if (image && (options & WebImageLoadAvoidAutoSetImage) && completed) {
                    completed(image, error, source, imageURL);
                    return;
                }
                if (image) ((*strong).*setImage)(image, state);
                if (completed && finished) completed(image, error, source, imageURL);
            });
        });
}

void reportNilURL(const WebImageViewCompletion& completed) {
    runOnMain([completed] {
        if (completed) completed(nullptr, webImageNilURLError(), ImageCacheSourceNone, std::nullopt);
    });
}

}  // namespace

std::string wi_buttonImageLoadKey(unsigned state) { return "UIButtonImageOperation" + std::to_string(state); }

std::string wi_buttonBackgroundImageLoadKey(unsigned state) {
    return "UIButtonBackgroundImageOperation" + std::to_string(state);
}

// ---- Image ----

void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                        WebImageViewCompletion completed) {
    button->setImage(std::move(placeholder), state);
    wi_cancelImageLoadForState(*button, state);
    if (!url) {
        imageURLStorage(*button).erase(state);
        reportNilURL(completed);
        return;
    }
    imageURLStorage(*button).insert_or_assign(state, *url);
    wi_setImageLoadOperation(*button, startLoad(button, *url, state, options, &ui::Button::setImage, std::move(completed)),
                             state);
}

void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        WebImageViewCompletion completed) {
    wi_setImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        std::shared_ptr<ui::Image> placeholder, WebImageViewCompletion completed) {
    wi_setImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

// ---- Background image ----

void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, std::shared_ptr<ui::Image> placeholder, std::uint64_t options,
                                  WebImageViewCompletion completed) {
    wi_cancelBackgroundImageLoadForState(*button, state);
    button->setBackgroundImage(std::move(placeholder), state);
    if (!url) {
        reportNilURL(completed);
        return;
    }
    wi_setBackgroundImageLoadOperation(
        *button, startLoad(button, *url, state, options, &ui::Button::setBackgroundImage, std::move(completed)), state);
}

void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, WebImageViewCompletion completed) {
    wi_setBackgroundImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}

void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, std::shared_ptr<ui::Image> placeholder,
                                  WebImageViewCompletion completed) {
    wi_setBackgroundImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

// ---- URLs and operations ----

std::optional<ns::URL> wi_imageURLForState(ui::Button& button, unsigned state) {
    const auto& urls = imageURLStorage(button);
    auto found = urls.find(state);
    if (found == urls.end()) return std::nullopt;
    return found->second;
}

std::optional<ns::URL> wi_currentImageURL(ui::Button& button) {
    if (auto url = wi_imageURLForState(button, button.state())) return url;
    return wi_imageURLForState(button, ui::ControlStateNormal);
}

void wi_setImageLoadOperation(ui::Button& button, std::shared_ptr<WebImageOperation> operation, unsigned state) {
    wi_setImageLoadOperation(static_cast<ui::View&>(button), std::move(operation), wi_buttonImageLoadKey(state));
}

void wi_cancelImageLoadForState(ui::Button& button, unsigned state) {
    wi_cancelImageLoadOperationWithKey(button, wi_buttonImageLoadKey(state));
}

void wi_setBackgroundImageLoadOperation(ui::Button& button, std::shared_ptr<WebImageOperation> operation,
                                        unsigned state) {
    wi_setImageLoadOperation(static_cast<ui::View&>(button), std::move(operation), wi_buttonBackgroundImageLoadKey(state));
}

void wi_cancelBackgroundImageLoadForState(ui::Button& button, unsigned state) {
    wi_cancelImageLoadOperationWithKey(button, wi_buttonBackgroundImageLoadKey(state));
}

}  // namespace ql
