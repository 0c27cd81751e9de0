#include "platform/net/URLSessionDelegateDispatch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace ql::ns {

namespace {

using Interceptors = std::vector<std::shared_ptr<URLSessionDelegateInterceptor>>;

struct Registry {
    std::mutex mutex;
    Interceptors interceptors;
    std::atomic<bool> any{false};
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

Interceptors snapshot() {
    Registry& r = registry();
    if (!r.any.load(std::memory_order_acquire)) return {};
    std::lock_guard lock(r.mutex);
    return r.interceptors;
}

// Calls the innermost handling through every interceptor, the latest registered outermost.
template <class Wrap>
void callThrough(const Interceptors& interceptors, std::size_t depth, const std::function<void()>& innermost,
                 const Wrap& wrap) {
    if (depth == 0) return innermost();
    const std::function<void()> forward = [&] { callThrough(interceptors, depth - 1, innermost, wrap); };
    wrap(*interceptors[depth - 1], forward);
}

}  // namespace

void URLSessionDelegateInterceptor::URLSessionTaskDidSendBodyData(URLSessionTaskDelegate&, URLSession&,
                                                                  URLSessionTask&, std::int64_t, std::int64_t,
                                                                  std::int64_t, const std::function<void()>& forward) {
    forward();
}

void URLSessionDelegateInterceptor::URLSessionDataTaskDidReceiveData(URLSessionDataDelegate&, URLSession&,
                                                                     URLSessionDataTask&, const Data&,
                                                                     const std::function<void()>& forward) {
    forward();
}

void URLSessionDelegateInterceptor::URLSessionTaskDidCompleteWithError(URLSessionTaskDelegate&, URLSession&,
                                                                       URLSessionTask&, const std::optional<Error>&,
                                                                       const std::function<void()>& forward) {
    forward();
}

void URLSessionDelegateDispatch::addInterceptor(std::shared_ptr<URLSessionDelegateInterceptor> interceptor) {
    if (!interceptor) return;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.interceptors.push_back(std::move(interceptor));
    r.any.store(true, std::memory_order_release);
}

void URLSessionDelegateDispatch::removeInterceptor(const std::shared_ptr<URLSessionDelegateInterceptor>& interceptor) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase(r.interceptors, interceptor);
    r.any.store(!r.interceptors.empty(), std::memory_order_release);
}

void URLSessionDelegateDispatch::URLSessionTaskDidSendBodyData(URLSessionTaskDelegate& receiver, URLSession& session,
                                                               URLSessionTask& task, std::int64_t bytesSent,
                                                               std::int64_t totalBytesSent,
                                                               std::int64_t totalBytesExpectedToSend) {
    const Interceptors interceptors = snapshot();
    callThrough(
        interceptors, interceptors.size(),
        [&] { receiver.URLSessionTaskDidSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend); },
        [&](URLSessionDelegateInterceptor& interceptor, const std::function<void()>& forward) {
            interceptor.URLSessionTaskDidSendBodyData(receiver, session, task, bytesSent, totalBytesSent,
                                                      totalBytesExpectedToSend, forward);
        });
}

void URLSessionDelegateDispatch::URLSessionDataTaskDidReceiveData(URLSessionDataDelegate& receiver, URLSession& session,
                                                                  URLSessionDataTask& dataTask, const Data& data) {
    const Interceptors interceptors = snapshot();
    callThrough(
        interceptors, interceptors.size(), [&] { receiver.URLSessionDataTaskDidReceiveData(session, dataTask, data); },
        [&](URLSessionDelegateInterceptor& interceptor, const std::function<void()>& forward) {
            interceptor.URLSessionDataTaskDidReceiveData(receiver, session, dataTask, data, forward);
        });
}

void URLSessionDelegateDispatch::URLSessionTaskDidCompleteWithError(URLSessionTaskDelegate& receiver,
                                                                    URLSession& session, URLSessionTask& task,
                                                                    const std::optional<Error>& error) {
    const Interceptors interceptors = snapshot();
    callThrough(
        interceptors, interceptors.size(), [&] { receiver.URLSessionTaskDidCompleteWithError(session, task, error); },
        [&](URLSessionDelegateInterceptor& interceptor, const std::function<void()>& forward) {
            interceptor.URLSessionTaskDidCompleteWithError(receiver, session, task, error, forward);
        });
}

}  // namespace ql::ns
