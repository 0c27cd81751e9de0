#pragma once
// DuvSessionTrafficRecorder: records every finished URL-session data task as one DuvHttpModel in the
// shared traffic store, from load time on, by wrapping the session delegate calls of every delegate that
// takes data-task calls (the HTTP client's session manager and its per-task delegates among them).
//
// Where one call reaches two such delegates (a manager forwarding to its task delegate inside its own
// call), the inner one stamps last, owns nothing of the bytes the outer one already buffers, and records
// first; the outer one then finds the exchange's id in the store and leaves it.

#include <memory>
#include <string_view>

#include "platform/net/URLSessionDelegateDispatch.h"

namespace ql {

class DuvSessionTrafficRecorder final : public ns::URLSessionDelegateInterceptor {
public:
    static constexpr std::string_view kLoadHookName = "NSURLSession(Swizzling)";

    // Registers the installation as a category load hook, to run with the others at start-up.
    static void registerLoadHook();
    // Installs the recorder once per process; later calls change nothing.
    static void install();

    void URLSessionTaskDidSendBodyData(ns::URLSessionTaskDelegate& receiver, ns::URLSession& session,
                                       ns::URLSessionTask& task, std::int64_t bytesSent, std::int64_t totalBytesSent,
                                       std::int64_t totalBytesExpectedToSend,
                                       const std::function<void()>& forward) override;
    void URLSessionDataTaskDidReceiveData(ns::URLSessionDataDelegate& receiver, ns::URLSession& session,
                                          ns::URLSessionDataTask& dataTask, const ns::Data& data,
                                          const std::function<void()>& forward) override;
    void URLSessionTaskDidCompleteWithError(ns::URLSessionTaskDelegate& receiver, ns::URLSession& session,
                                            ns::URLSessionTask& task, const std::optional<ns::Error>& error,
                                            const std::function<void()>& forward) override;
};

}  // namespace ql
