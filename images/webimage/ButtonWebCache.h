#pragma once
// Remote images for the per-state image and background image of a button, after the image view's
// pattern: one load per state and kind, the earlier one cancelled when a new one starts.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageOperation.h"
#include "platform/foundation/URL.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"

namespace ql {

void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        std::shared_ptr<ui::Image> placeholder = nullptr, std::uint64_t options = 0,
                        WebImageViewCompletion completed = {});
void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        WebImageViewCompletion completed);
void wi_setImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url, unsigned state,
                        std::shared_ptr<ui::Image> placeholder, WebImageViewCompletion completed);

void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, std::shared_ptr<ui::Image> placeholder = nullptr,
                                  std::uint64_t options = 0, WebImageViewCompletion completed = {});
void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, WebImageViewCompletion completed);
void wi_setBackgroundImageWithURL(const std::shared_ptr<ui::Button>& button, const std::optional<ns::URL>& url,
                                  unsigned state, std::shared_ptr<ui::Image> placeholder,
                                  WebImageViewCompletion completed);

// The URL of the button's current state, else of the normal state.
std::optional<ns::URL> wi_currentImageURL(ui::Button& button);
std::optional<ns::URL> wi_imageURLForState(ui::Button& button, unsigned state);

void wi_setImageLoadOperation(ui::Button& button, std::shared_ptr<WebImageOperation> operation, unsigned state);
void wi_cancelImageLoadForState(ui::Button& button, unsigned state);
void wi_setBackgroundImageLoadOperation(ui::Button& button, std::shared_ptr<WebImageOperation> operation,
                                        unsigned state);
void wi_cancelBackgroundImageLoadForState(ui::Button& button, unsigned state);

// "UIButtonImageOperation<state>" and "UIButtonBackgroundImageOperation<state>".
std::string wi_buttonImageLoadKey(unsigned state);
std::string wi_buttonBackgroundImageLoadKey(unsigned state);

}  // namespace ql
