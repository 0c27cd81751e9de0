#include "app/service/FormPostCall.h"

#include <map>
#include <utility>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/net/URLError.h"

namespace ql {

namespace {

std::atomic<std::size_t> callsInFlight{0};
std::atomic<std::uint64_t> lastSerial{0};

struct WatchedCalls {
    std::mutex mutex;
    std::map<std::uint64_t, std::string> urls;  // by serial
};

// Never destroyed: a call may still end while the process exits.
WatchedCalls& watchedCalls() {
    static auto* watched = new WatchedCalls;
    return *watched;
}

}  // namespace

std::size_t FormPostCall::inFlight() { return callsInFlight.load(); }

std::vector<FormPostInFlight> FormPostCall::watchedInFlight() {
    WatchedCalls& watched = watchedCalls();
    std::lock_guard lock(watched.mutex);
    std::vector<FormPostInFlight> calls;
    calls.reserve(watched.urls.size());
    for (const auto& [serial, url] : watched.urls) calls.push_back({serial, url});
    return calls;
}

FormPostCall::FormPostCall(Failure timedOut) : serial_(++lastSerial), timedOut_(std::move(timedOut)) { ++callsInFlight; }

// A call whose blocks went without running (nothing can answer it any more) is no longer in flight.
FormPostCall::~FormPostCall() { answer(); }

bool FormPostCall::answer() {
    std::shared_ptr<ns::Timer> deadline;
    bool watchedCall = false;
    {
        std::lock_guard lock(mutex_);
        if (answered_) return false;
        answered_ = true;
        deadline = std::move(deadline_);
        watchedCall = url_.has_value();
    }
    if (deadline) deadline->invalidate();
    if (watchedCall) {
        WatchedCalls& watched = watchedCalls();
        std::lock_guard lock(watched.mutex);
        watched.urls.erase(serial_);
    }
    --callsInFlight;
    return true;
}

NetHTTPRequestOperation::SuccessBlock FormPostCall::success(NetHTTPRequestOperation::SuccessBlock block) {
    return [self = shared_from_this(), block = std::move(block)](const auto& operation, const ns::Value& reply) {
        if (self->answer()) block(operation, reply);
    };
}

NetHTTPRequestOperation::FailureBlock FormPostCall::failure(NetHTTPRequestOperation::FailureBlock block) {
    return [self = shared_from_this(), block = std::move(block)](const auto& operation, const ns::Error& error) {
        if (self->answer()) block(operation, error);
    };
}

void FormPostCall::watch(const std::shared_ptr<NetHTTPRequestOperation>& operation, double timeout) {
    if (!operation) return;
    std::weak_ptr<FormPostCall> weakSelf = weak_from_this();
    operation->setDownloadProgressBlock([weakSelf](std::uint64_t, std::int64_t, std::int64_t) {
        if (auto self = weakSelf.lock()) {
            std::lock_guard lock(self->mutex_);
            self->lastHeard_ = ns::Clock::now();
        }
    });
    {
        std::lock_guard lock(mutex_);
        if (answered_) return;
        operation_ = operation;
        url_ = operation->request().URL();
        timeout_ = timeout;
        lastHeard_ = ns::Clock::now();
        if (url_) {
            WatchedCalls& watched = watchedCalls();
            std::lock_guard watchedLock(watched.mutex);
            watched.urls.emplace(serial_, url_->absoluteString());
        }
    }
    armDeadline(timeout);
}

void FormPostCall::armDeadline(double seconds) {
    std::weak_ptr<FormPostCall> weakSelf = weak_from_this();
    auto deadline = ns::Timer::timer(seconds, false, [weakSelf](ns::Timer&) {
        if (auto self = weakSelf.lock()) self->deadlineCame();
    });
    {
        std::lock_guard lock(mutex_);
        if (answered_) return;
        deadline_ = deadline;
    }
    // In every mode, so that a scrolling student still sees the call end.
    ns::RunLoop::main()->addTimer(deadline, ns::RunLoopCommonModes);
}

void FormPostCall::deadlineCame() {
    std::shared_ptr<NetHTTPRequestOperation> operation;
    std::optional<ns::URL> url;
    double left = 0;
    {
        std::lock_guard lock(mutex_);
        if (answered_) return;
        left = lastHeard_ + timeout_ - ns::Clock::now();
        operation = operation_.lock();
        url = url_;
    }
    // A reply still coming in is not cut: the deadline counts from the last piece of it.
    if (left > 0) {
        armDeadline(left);
        return;
    }
    if (!answer()) return;
    if (operation) operation->cancel();
    if (timedOut_) timedOut_(ns::urlError(ns::URLErrorTimedOut, url).localizedDescription());
}

}  // namespace ql
