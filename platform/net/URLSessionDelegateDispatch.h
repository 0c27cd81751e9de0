#pragma once
// The way a session calls its delegate for body-sent, data-received and completed events, open to
// interception: a component registers an interceptor to observe these calls on any session delegate,
// around the delegate's own handling (a traffic recorder, say). Code that forwards such a call to
// another delegate (a session manager to its per-task delegate) forwards through this dispatch too, so
// the forwarded call is intercepted as well, inside the outer one.
//
// Interceptors registered later wrap those registered before, as successive method exchanges would.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/net/URLSessionDelegate.h"

namespace ql::ns {

class URLSessionDelegateInterceptor {
public:
    virtual ~URLSessionDelegateInterceptor() = default;
    // Each wraps one call on `receiver`: `forward` runs the receiver's own handling (and the interceptors
    // registered before this one). The receiver is the delegate object, whose class a dynamic cast to
    // ns::Object tells.
    virtual void URLSessionTaskDidSendBodyData(URLSessionTaskDelegate& receiver, URLSession& session,
                                               URLSessionTask& task, std::int64_t bytesSent,
                                               std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend,
                                               const std::function<void()>& forward);
    virtual void URLSessionDataTaskDidReceiveData(URLSessionDataDelegate& receiver, URLSession& session,
                                                  URLSessionDataTask& dataTask, const Data& data,
                                                  const std::function<void()>& forward);
    virtual void URLSessionTaskDidCompleteWithError(URLSessionTaskDelegate& receiver, URLSession& session,
                                                    URLSessionTask& task, const std::optional<Error>& error,
                                                    const std::function<void()>& forward);
};

class URLSessionDelegateDispatch {
public:
    static void addInterceptor(std::shared_ptr<URLSessionDelegateInterceptor> interceptor);
    static void removeInterceptor(const std::shared_ptr<URLSessionDelegateInterceptor>& interceptor);

    static void URLSessionTaskDidSendBodyData(URLSessionTaskDelegate& receiver, URLSession& session,
                                              URLSessionTask& task, std::int64_t bytesSent,
                                              std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend);
    static void URLSessionDataTaskDidReceiveData(URLSessionDataDelegate& receiver, URLSession& session,
                                                 URLSessionDataTask& dataTask, const Data& data);
    static void URLSessionTaskDidCompleteWithError(URLSessionTaskDelegate& receiver, URLSession& session,
                                                   URLSessionTask& task, const std::optional<Error>& error);
};

}  // namespace ql::ns
