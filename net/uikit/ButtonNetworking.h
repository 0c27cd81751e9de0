#pragma once
// Remote images for buttons, per control state, for the image and separately for the background image.
// Highlighted, disabled and selected each have a load slot of their own; every other state (normal and
// any combination) shares one, so starting a load there cancels the other's. A result is applied only
// while its load is still the current one of its slot.

#include <functional>
#include <memory>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetURLResponseSerialization.h"
#include "net/uikit/ImageViewNetworking.h"
#include "net/uikit/NetImageCache.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"

namespace ql {

using NetButtonFailureBlock = std::function<void(const ns::Error& error)>;

// The queue every button's load runs on, made once.
std::shared_ptr<ns::OperationQueue> net_buttonSharedImageRequestOperationQueue();
std::shared_ptr<NetHTTPRequestOperation> net_imageRequestOperationForState(const ui::Button& button, unsigned state);
void net_setImageRequestOperation(ui::Button& button, std::shared_ptr<NetHTTPRequestOperation> operation,
                                  unsigned state);
std::shared_ptr<NetHTTPRequestOperation> net_backgroundImageRequestOperationForState(const ui::Button& button,
                                                                                     unsigned state);
void net_setBackgroundImageRequestOperation(ui::Button& button, std::shared_ptr<NetHTTPRequestOperation> operation,
                                            unsigned state);

// The cache set for buttons, else the image views' shared cache.
std::shared_ptr<NetImageCache> net_buttonSharedImageCache();
void net_setButtonSharedImageCache(std::shared_ptr<NetImageCache> cache);

// The serializer set for this button, else the buttons' shared image response serializer.
std::shared_ptr<NetURLResponseSerialization> net_imageResponseSerializer(const ui::Button& button);
void net_setImageResponseSerializer(ui::Button& button, std::shared_ptr<NetURLResponseSerialization> serializer);

void net_setImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URL& url,
                          std::shared_ptr<ui::Image> placeholder = nullptr);
// With a success block the caller sets the image itself; without one the button takes it for the state.
void net_setImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URLRequest& request,
                          std::shared_ptr<ui::Image> placeholder, NetImageSuccessBlock success,
                          NetButtonFailureBlock failure);
void net_setBackgroundImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URL& url,
                                    std::shared_ptr<ui::Image> placeholder = nullptr);
void net_setBackgroundImageForState(const std::shared_ptr<ui::Button>& button, unsigned state,
                                    const ns::URLRequest& request, std::shared_ptr<ui::Image> placeholder,
                                    NetImageSuccessBlock success, NetButtonFailureBlock failure);

void net_cancelImageRequestOperationForState(ui::Button& button, unsigned state);
void net_cancelBackgroundImageRequestOperationForState(ui::Button& button, unsigned state);

}  // namespace ql
