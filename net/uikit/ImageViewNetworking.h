#pragma once
// Remote images for image views: a load asks the image views' cache first, else shows the placeholder and
// runs an HTTP request operation with an image response serializer on the image views' own queue. A new
// load cancels the view's previous one; a result is applied only while its URL is the one the view is
// loading.

#include <functional>
#include <memory>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetURLResponseSerialization.h"
#include "net/uikit/NetImageCache.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"

namespace ql {

// The response is none when the image came from the cache.
using NetImageSuccessBlock = std::function<void(const ns::URLRequest& request,
                                                const std::shared_ptr<ns::HTTPURLResponse>& response,
                                                const std::shared_ptr<ui::Image>& image)>;
using NetImageViewFailureBlock = std::function<void(
    const ns::URLRequest& request, const std::shared_ptr<ns::HTTPURLResponse>& response, const ns::Error& error)>;

// The queue every image view's load runs on, made once.
std::shared_ptr<ns::OperationQueue> net_imageViewSharedImageRequestOperationQueue();
std::shared_ptr<NetHTTPRequestOperation> net_imageRequestOperation(const ui::ImageView& view);
void net_setImageRequestOperation(ui::ImageView& view, std::shared_ptr<NetHTTPRequestOperation> operation);

// The cache set for image views, else the default one.
std::shared_ptr<NetImageCache> net_imageViewSharedImageCache();
void net_setImageViewSharedImageCache(std::shared_ptr<NetImageCache> cache);

// The serializer set for this view, else the image views' shared image response serializer.
std::shared_ptr<NetURLResponseSerialization> net_imageResponseSerializer(const ui::ImageView& view);
void net_setImageResponseSerializer(ui::ImageView& view, std::shared_ptr<NetURLResponseSerialization> serializer);

void net_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url,
                         std::shared_ptr<ui::Image> placeholder = nullptr);
// With a success block the caller sets the image itself; without one the view takes it.
void net_setImageWithURLRequest(const std::shared_ptr<ui::ImageView>& view, const ns::URLRequest& request,
                                std::shared_ptr<ui::Image> placeholder, NetImageSuccessBlock success,
                                NetImageViewFailureBlock failure);
void net_cancelImageRequestOperation(ui::ImageView& view);

}  // namespace ql
