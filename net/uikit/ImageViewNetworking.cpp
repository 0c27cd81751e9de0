#include "net/uikit/ImageViewNetworking.h"

#include <mutex>

#include "net/NetImageResponseSerializer.h"
#include "net/uikit/NetAssociatedObject.h"
#include "net/uikit/NetImageLoading.h"

namespace ql {
namespace {

const char kOperationKey = 0;
const char kSerializerKey = 0;

std::mutex cacheMutex;
std::shared_ptr<NetImageCache>& classCache() {
    static auto& cache = *new std::shared_ptr<NetImageCache>;
    return cache;
}

bool sameURL(const ns::URLRequest& request, const std::shared_ptr<NetHTTPRequestOperation>& current) {
    return current && request.URL() && current->request().URL() == request.URL();
}

}  // namespace

std::shared_ptr<ns::OperationQueue> net_imageViewSharedImageRequestOperationQueue() {
    static const auto* queue = new std::shared_ptr<ns::OperationQueue>(std::make_shared<ns::OperationQueue>());
    return *queue;
}

std::shared_ptr<NetHTTPRequestOperation> net_imageRequestOperation(const ui::ImageView& view) {
    return net_associatedObject<NetHTTPRequestOperation>(view, &kOperationKey);
}

void net_setImageRequestOperation(ui::ImageView& view, std::shared_ptr<NetHTTPRequestOperation> operation) {
    net_setAssociatedObject(view, &kOperationKey, operation);
}

std::shared_ptr<NetImageCache> net_imageViewSharedImageCache() {
    std::lock_guard lock(cacheMutex);
    const auto& cache = classCache();
    return cache ? cache : NetImageCache::defaultCache();
}

void net_setImageViewSharedImageCache(std::shared_ptr<NetImageCache> cache) {
    std::lock_guard lock(cacheMutex);
    classCache() = std::move(cache);
}

std::shared_ptr<NetURLResponseSerialization> net_imageResponseSerializer(const ui::ImageView& view) {
    if (auto own = net_associatedObject<NetURLResponseSerialization>(view, &kSerializerKey)) return own;
    static const auto* shared =
        new std::shared_ptr<NetURLResponseSerialization>(NetImageResponseSerializer::serializer());
    return *shared;
}

void net_setImageResponseSerializer(ui::ImageView& view, std::shared_ptr<NetURLResponseSerialization> serializer) {
    net_setAssociatedObject(view, &kSerializerKey, serializer);
}

void net_setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url,
                         std::shared_ptr<ui::Image> placeholder) {
    net_setImageWithURLRequest(view, net_imageRequestWithURL(url), std::move(placeholder), {}, {});
}

void net_setImageWithURLRequest(const std::shared_ptr<ui::ImageView>& view, const ns::URLRequest& request,
                                std::shared_ptr<ui::Image> placeholder, NetImageSuccessBlock success,
                                NetImageViewFailureBlock failure) {
    net_cancelImageRequestOperation(*view);

    if (auto cached = net_imageViewSharedImageCache()->cachedImageForRequest(request)) {
        if (success) {
            success(request, nullptr, cached);
        } else {
            view->setImage(cached);
        }
        net_setImageRequestOperation(*view, nullptr);
        return;
    }

    if (placeholder) view->setImage(std::move(placeholder));

    auto operation = std::make_shared<NetHTTPRequestOperation>(request);
    net_setImageRequestOperation(*view, operation);
    operation->setResponseSerializer(net_imageResponseSerializer(*view));
    std::weak_ptr<ui::ImageView> weakView = view;
    operation->setCompletionBlockWithSuccess(
        [weakView, request, success](const std::shared_ptr<NetHTTPRequestOperation>& finished,
                                     const ns::Value& responseObject) {
            auto image = net_imageOf(responseObject);
            if (auto view = weakView.lock()) {
                const auto current = net_imageRequestOperation(*view);
                if (sameURL(request, current)) {
                    if (success) {
                        success(request, net_HTTPResponseOf(*finished), image);
                    } else if (image) {
                        view->setImage(image);
                    }
                    if (current == finished) net_setImageRequestOperation(*view, nullptr);
                }
            }
            net_imageViewSharedImageCache()->cacheImage(image, request);
        },
        [weakView, request, failure](const std::shared_ptr<NetHTTPRequestOperation>& finished, const ns::Error& error) {
            auto view = weakView.lock();
            if (!view) return;
            const auto current = net_imageRequestOperation(*view);
            if (!sameURL(request, current)) return;
            if (failure) failure(request, net_HTTPResponseOf(*finished), error);
            if (current == finished) net_setImageRequestOperation(*view, nullptr);
        });
    net_imageViewSharedImageRequestOperationQueue()->addOperation(operation);
}

void net_cancelImageRequestOperation(ui::ImageView& view) {
    if (auto operation = net_imageRequestOperation(view)) operation->cancel();
    net_setImageRequestOperation(view, nullptr);
}

}  // namespace ql
