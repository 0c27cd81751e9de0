#pragma once
// The reports of a load waiting to be delivered to a delegate on the owner's run loop or queue, in order.
// Consecutive small body pieces are joined (large ones are delivered as they came, without copying), and
// while too many received bytes wait, the load is asked to hold back. Internal to the loading system.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class InputStream;

namespace load_event {

struct WillSendRequest {
    URLRequest request;
    std::shared_ptr<URLResponse> redirectResponse;
    std::function<void(std::optional<URLRequest>)> answer;
};
struct Challenge {
    std::shared_ptr<URLAuthenticationChallenge> challenge;
    bool cancelled;  // the protocol withdrew it
};
struct NeedNewBodyStream {
    std::function<void(std::shared_ptr<InputStream>)> answer;
};
struct SentBodyData {
    std::int64_t bytesSent;
    std::int64_t totalBytesSent;
    std::int64_t totalBytesExpectedToSend;
};
struct Response {
    std::shared_ptr<URLResponse> response;
};
struct Received {
    Data data;
};
struct WillCache {
    std::shared_ptr<CachedURLResponse> proposed;
    std::function<void(std::shared_ptr<CachedURLResponse>)> answer;
};
struct Finished {};
struct Failed {
    Error error;
};

}  // namespace load_event

using LoadEvent = std::variant<load_event::WillSendRequest, load_event::Challenge, load_event::NeedNewBodyStream,
                               load_event::SentBodyData, load_event::Response, load_event::Received,
                               load_event::WillCache, load_event::Finished, load_event::Failed>;

bool isFinal(const LoadEvent& event);

class LoadEventQueue {
public:
    // `holdBack(true)` when too many received bytes wait, `holdBack(false)` once few do again.
    explicit LoadEventQueue(std::function<void(bool)> holdBack) : holdBack_(std::move(holdBack)) {}

    // Answers whether the queue was empty, i.e. whether the owner must arrange a delivery.
    bool push(LoadEvent event);
    std::optional<LoadEvent> pop();
    void clear();
    bool empty() const;

private:
    static constexpr std::size_t kHoldBackAbove = 8 * 1024 * 1024;
    static constexpr std::size_t kResumeBelow = 2 * 1024 * 1024;
    static constexpr std::size_t kLargestJoinedPiece = 64 * 1024;

    const std::function<void(bool)> holdBack_;
    mutable std::mutex mutex_;
    std::deque<LoadEvent> events_;
    std::size_t waitingBytes_ = 0;
    bool heldBack_ = false;
};

}  // namespace ql::ns
