#pragma once
// One service call (a form POST) from sending until its block has run: counted among the calls in flight,
// and given up on when nothing of its reply has come for the request's time-out, measured on the app's
// clock. On a device the app's clock is real time and this meets the transport's own time-out; on the
// headless device the clock moves only when it is driven, so the wait a student would sit through can be
// reached by moving it, and a held reply ends in the failure a student would see.
//
// Exactly one of the caller's blocks runs, once: the reply's, the failure's, or the failure's with the
// time-out's message when the deadline comes first (the operation is then cancelled and its own report
// dropped). The blocks and the deadline run on the main thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/service/FormPostInFlight.h"
#include "net/NetHTTPRequestOperation.h"
#include "platform/foundation/URL.h"

namespace ql::ns {
class Timer;
}

namespace ql {

class FormPostCall : public std::enable_shared_from_this<FormPostCall> {
public:
    using Failure = std::function<void(const std::string& message)>;

    // Calls made and not yet answered, in the whole process.
    static std::size_t inFlight();
    // The calls in flight that are watched (one whose request could not be made has no request URL).
    static std::vector<FormPostInFlight> watchedInFlight();

    // `timedOut` runs with the time-out's message when the deadline comes first.
    explicit FormPostCall(Failure timedOut);
    ~FormPostCall();
    FormPostCall(const FormPostCall&) = delete;
    FormPostCall& operator=(const FormPostCall&) = delete;

    // The operation's blocks: each runs the caller's block unless the call was answered already.
    NetHTTPRequestOperation::SuccessBlock success(NetHTTPRequestOperation::SuccessBlock block);
    NetHTTPRequestOperation::FailureBlock failure(NetHTTPRequestOperation::FailureBlock block);

    // Watches the operation: the deadline is `timeout` seconds from now, moved on whenever a piece of the
    // reply arrives. A null operation (the request could not be made; its failure is on its way) is not
    // watched.
    void watch(const std::shared_ptr<NetHTTPRequestOperation>& operation, double timeout);

private:
    // True for the first answer only; it ends the call's time in flight and its deadline.
    bool answer();
    // A one-shot timer on the main run loop, `seconds` from now, in place of the last one.
    void armDeadline(double seconds);
    void deadlineCame();

    const std::uint64_t serial_;
    Failure timedOut_;
    std::mutex mutex_;
    bool answered_ = false;
    std::shared_ptr<ns::Timer> deadline_;
    std::weak_ptr<NetHTTPRequestOperation> operation_;
    std::optional<ns::URL> url_;
    double timeout_ = 0;
    double lastHeard_ = 0;  // the app's clock when the request went out or a piece of its reply came
};

}  // namespace ql
