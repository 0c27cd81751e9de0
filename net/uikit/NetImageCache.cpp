#include "net/uikit/NetImageCache.h"

namespace ql {

std::shared_ptr<NetImageCache> NetImageCache::defaultCache() {
    static const auto* cache = new std::shared_ptr<NetImageCache>(std::make_shared<NetImageCache>());
    return *cache;
}

std::shared_ptr<ui::Image> NetImageCache::cachedImageForRequest(const ns::URLRequest& request) {
    switch (request.cachePolicy()) {
        case ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData:
        case ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData:
            return nullptr;
        default:
            break;
    }
    if (!request.URL()) return nullptr;
    return objectForKey(request.URL()->absoluteString()).asObject<ui::Image>();
}

void NetImageCache::cacheImage(const std::shared_ptr<ui::Image>& image, const ns::URLRequest& request) {
    if (image && request.URL()) setObject(request.URL()->absoluteString(), ns::Value(image));
}

}  // namespace ql
