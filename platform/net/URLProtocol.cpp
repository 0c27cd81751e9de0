#include "platform/net/URLProtocol.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Thread.h"

namespace ql::ns {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<URLProtocol::Registration> classes;  // in order of registration
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

std::shared_ptr<RunLoop> protocolRunLoop() {
    static const auto* loop = new std::shared_ptr<RunLoop>([] {
        auto thread = std::make_shared<Thread>([] {
            auto loop = RunLoop::current();
            loop->addSource(Port::port(), DefaultRunLoopMode);
            loop->run();
        });
        thread->setName("ql.net.protocols");
        thread->start();
        return thread->runLoop();
    }());
    return *loop;
}

}  // namespace

URLProtocol::URLProtocol(URLRequest request, std::shared_ptr<CachedURLResponse> cachedResponse,
                         std::shared_ptr<URLProtocolClient> client)
    : request_(std::move(request)), cachedResponse_(std::move(cachedResponse)), client_(std::move(client)) {}

bool URLProtocol::add(Registration registration) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::any_of(r.classes.begin(), r.classes.end(), [&](const Registration& c) { return c.type == registration.type; }))
        return false;
    r.classes.push_back(std::move(registration));
    return true;
}

void URLProtocol::remove(std::type_index type) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.classes, [&](const Registration& c) { return c.type == type; });
}

std::optional<URLProtocol::Registration> URLProtocol::registrationForRequest(const URLRequest& request) {
    std::vector<Registration> classes;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        if (r.classes.empty()) return std::nullopt;
        classes = r.classes;
    }
    // Asked outside the lock: a protocol may look at the registry (or load requests) while it answers.
    for (auto it = classes.rbegin(); it != classes.rend(); ++it) {
        if (it->canInitWithRequest(request)) return *it;
    }
    return std::nullopt;
}

void URLProtocol::performOnProtocolThread(std::function<void()> block) {
    protocolRunLoop()->performBlock(std::move(block));
}

Value URLProtocol::propertyForKey(std::string_view key, const URLRequest& request) {
    return request.properties_[key];
}

void URLProtocol::setProperty(Value value, std::string_view key, URLRequest& request) {
    if (!request.properties_.isDictionary()) request.properties_ = Value(Dictionary());
    request.properties_.mutableDictionaryStorage()->set(std::string(key), std::move(value));
}

void URLProtocol::removePropertyForKey(std::string_view key, URLRequest& request) {
    if (Dictionary* properties = request.properties_.mutableDictionaryStorage()) properties->erase(key);
}

}  // namespace ql::ns
