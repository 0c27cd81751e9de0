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
#include "platform/net/URLLoad.h"
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

    // Whether the body bytes waiting are worth a delivery at once rather than at the end of the loading
    // thread's round, which goes on reading for as long as its sockets stay readable (a whole download, on
    // a fast link): its pieces would all wait for its end, each holding a buffer.
    bool wantsDeliveryNow() const;

    // Answers whether the queue was empty, i.e. whether the owner must arrange a delivery.
    bool push(LoadEvent event);
    std::optional<LoadEvent> pop();
    void clear();
    bool empty() const;

private:
    static constexpr std::size_t kHoldBackAbove = 8 * 1024 * 1024;
    static constexpr std::size_t kResumeBelow = 2 * 1024 * 1024;
    // Four of the loading thread's pieces: parallel downloads wake their owners about as often as when
    // all came at a round's end (fewer wake-ups cost the loading thread less), and lend few enough buffers
    // that the pool's spare ones serve them.
    static constexpr std::size_t kDeliverAtOnceFrom = 2 * 1024 * 1024;
    static constexpr std::size_t kLargestJoinedPiece = 64 * 1024;

    const std::function<void(bool)> holdBack_;
    mutable std::mutex mutex_;
    std::deque<LoadEvent> events_;
    std::size_t waitingBytes_ = 0;
    bool heldBack_ = false;
};

// A load client that turns every report into an event for its owner to queue and deliver later; owners
// override only the reports they treat otherwise.
class QueuedLoadClient : public URLLoadClient {
protected:
    // From any thread.
    virtual void enqueue(LoadEvent event) = 0;

    void loadWillSendRequest(const URLRequest& request, const std::shared_ptr<URLResponse>& redirectResponse,
                             std::function<void(std::optional<URLRequest>)> answer) override {
        enqueue(load_event::WillSendRequest{request, redirectResponse, std::move(answer)});
    }
    void loadDidReceiveChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        enqueue(load_event::Challenge{challenge, false});
    }
    void loadDidCancelChallenge(const std::shared_ptr<URLAuthenticationChallenge>& challenge) override {
        enqueue(load_event::Challenge{challenge, true});
    }
    void loadNeedsNewBodyStream(std::function<void(std::shared_ptr<InputStream>)> answer) override {
        enqueue(load_event::NeedNewBodyStream{std::move(answer)});
    }
    void loadDidSendBodyData(std::int64_t bytesSent, std::int64_t totalBytesSent,
                             std::int64_t totalBytesExpectedToSend) override {
        enqueue(load_event::SentBodyData{bytesSent, totalBytesSent, totalBytesExpectedToSend});
    }
    void loadDidReceiveResponse(const std::shared_ptr<URLResponse>& response) override {
        enqueue(load_event::Response{response});
    }
    void loadDidReceiveData(const Data& data) override { enqueue(load_event::Received{data}); }
    void loadWillCacheResponse(const std::shared_ptr<CachedURLResponse>& proposed,
                               std::function<void(std::shared_ptr<CachedURLResponse>)> answer) override {
        enqueue(load_event::WillCache{proposed, std::move(answer)});
    }
    void loadDidFinish() override { enqueue(load_event::Finished{}); }
    void loadDidFail(const Error& error) override { enqueue(load_event::Failed{error}); }
};

}  // namespace ql::ns
