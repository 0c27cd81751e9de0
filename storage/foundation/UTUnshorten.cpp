#include "storage/foundation/UTUnshorten.h"

#include <memory>
#include <string>

#include "platform/foundation/Cache.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

namespace {

struct Unshortener {
    std::shared_ptr<ns::Cache> cache = std::make_shared<ns::Cache>();
    std::shared_ptr<ns::DispatchQueue> queue = ns::DispatchQueue::serial("UTUnshortenQueue");
};

Unshortener& unshortener() {
    static auto& shared = *new Unshortener;
    return shared;
}

void resolve(const ns::URL& url, const std::function<void(const std::optional<ns::URL>&)>& completion) {
    auto& shared = unshortener();
    const std::string key = url.absoluteString();
    ns::Value cached = shared.cache->objectForKey(key);
    if (cached.isString()) {
        if (completion) completion(ns::URL::fromString(cached.asString()));
        return;
    }
    ns::URLRequest request(url);
    request.setHTTPMethod("HEAD");
    auto task = ns::URLSession::sharedSession()->dataTaskWithRequest(
        request, [key, completion, cache = shared.cache](const std::optional<ns::Data>&,
                                                         const std::shared_ptr<ns::URLResponse>& response,
                                                         const std::optional<ns::Error>&) {
            std::optional<ns::URL> resolved = response ? response->URL() : std::nullopt;
            if (resolved) cache->setObject(key, ns::Value(resolved->absoluteString()));
            if (completion) completion(resolved);
        });
    if (!task) {
        if (completion) completion(std::nullopt);
        return;
    }
    task->resume();
}

}  // namespace

void unshortenWithCompletion(const ns::URL& url, std::function<void(const std::optional<ns::URL>&)> completion) {
    std::optional<ns::URL> target = url;
    if (!url.scheme()) {
        // A link that already names its host ("//host/path") only lacks the scheme itself.
        const std::string& text = url.absoluteString();
        target = ns::URL::fromString((text.rfind("//", 0) == 0 ? "http:" : "http://") + text);
    }
    if (!target) {
        unshortener().queue->async([completion] {
            if (completion) completion(std::nullopt);
        });
        return;
    }
    unshortener().queue->async([url = *target, completion = std::move(completion)] { resolve(url, completion); });
}

}  // namespace ql
