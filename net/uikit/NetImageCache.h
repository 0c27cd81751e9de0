#pragma once
// NetImageCache: the memory cache of decoded images that image views and buttons ask before they load a
// URL, keyed by the request URL's absolute text. Like every memory cache here it empties itself when the
// application receives a memory warning.

#include <memory>

#include "platform/foundation/Cache.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Image.h"

namespace ql {

class NetImageCache : public ns::Cache {
    QL_OBJECT(NetImageCache, ns::Cache)
public:
    // The process-wide default, made on first use: image views use it unless their class has one set,
    // and buttons fall back to the image views' cache.
    static std::shared_ptr<NetImageCache> defaultCache();

    // None for a request that asks to reload past local caches (policies 1 and 4) or has no URL.
    virtual std::shared_ptr<ui::Image> cachedImageForRequest(const ns::URLRequest& request);
    // Stores only when both an image and a URL are given.
    virtual void cacheImage(const std::shared_ptr<ui::Image>& image, const ns::URLRequest& request);
};

}  // namespace ql
