#pragma once
// The delegate protocols of a URL session, after the platform's: a session delegate, and task, data and
// download delegates built on it. A delegate adopts the protocols it derives from; each call has the
// platform's default behaviour unless overridden. Calls arrive on the session's delegate queue, in the
// platform's order; completion handlers may be called later, from any thread, once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class InputStream;
class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;

enum class URLSessionAuthChallengeDisposition : std::int64_t {
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

// What becomes of a data task once its reply head arrived. Only Allow and Cancel are offered: a data task
// here never turns into a download or stream task, and a delegate that asks for it cancels the task.
enum class URLSessionResponseDisposition : std::int64_t {
    Cancel = 0,
    Allow = 1,
    BecomeDownload = 2,
    BecomeStream = 3,
};

using URLSessionChallengeCompletion =
    std::function<void(URLSessionAuthChallengeDisposition disposition, std::shared_ptr<URLCredential> credential)>;

class URLSessionDelegate {
public:
    virtual ~URLSessionDelegate() = default;

    // The session ended (finishTasksAndInvalidate or invalidateAndCancel); it lets its delegate go after this.
    virtual void URLSessionDidBecomeInvalidWithError(URLSession& session, const std::optional<Error>& error);
    // Challenges no task delegate answered (server trust among them): default handling unless overridden.
    virtual void URLSessionDidReceiveChallenge(URLSession& session,
                                               const std::shared_ptr<URLAuthenticationChallenge>& challenge,
                                               URLSessionChallengeCompletion completionHandler);
    // Background sessions do not exist here, so this is never called.
    virtual void URLSessionDidFinishEventsForBackgroundURLSession(URLSession& session);
};

class URLSessionTaskDelegate : public virtual URLSessionDelegate {
public:
    // Follows the redirect unless overridden; answering nothing takes the redirect reply as the reply.
    virtual void URLSessionTaskWillPerformHTTPRedirection(URLSession& session, URLSessionTask& task,
                                                          const std::shared_ptr<HTTPURLResponse>& response,
                                                          const URLRequest& request,
                                                          std::function<void(std::optional<URLRequest>)> completionHandler);
    // Passes the challenge to URLSessionDidReceiveChallenge unless overridden.
    virtual void URLSessionTaskDidReceiveChallenge(URLSession& session, URLSessionTask& task,
                                                   const std::shared_ptr<URLAuthenticationChallenge>& challenge,
                                                   URLSessionChallengeCompletion completionHandler);
    // The request's body stream must be sent again: a fresh stream, or none to fail the task.
    virtual void URLSessionTaskNeedNewBodyStream(URLSession& session, URLSessionTask& task,
                                                 std::function<void(std::shared_ptr<InputStream>)> completionHandler);
    virtual void URLSessionTaskDidSendBodyData(URLSession& session, URLSessionTask& task, std::int64_t bytesSent,
                                               std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend);
    virtual void URLSessionTaskDidCompleteWithError(URLSession& session, URLSessionTask& task,
                                                    const std::optional<Error>& error);
};

class URLSessionDataDelegate : public virtual URLSessionTaskDelegate {
public:
    virtual void URLSessionDataTaskDidReceiveResponse(
        URLSession& session, URLSessionDataTask& dataTask, const std::shared_ptr<URLResponse>& response,
        std::function<void(URLSessionResponseDisposition)> completionHandler);
    // Never called: see URLSessionResponseDisposition.
    virtual void URLSessionDataTaskDidBecomeDownloadTask(URLSession& session, URLSessionDataTask& dataTask,
                                                         URLSessionDownloadTask& downloadTask);
    virtual void URLSessionDataTaskDidReceiveData(URLSession& session, URLSessionDataTask& dataTask, const Data& data);
    virtual void URLSessionDataTaskWillCacheResponse(
        URLSession& session, URLSessionDataTask& dataTask, const std::shared_ptr<CachedURLResponse>& proposedResponse,
        std::function<void(std::shared_ptr<CachedURLResponse>)> completionHandler);
};

class URLSessionDownloadDelegate : public virtual URLSessionTaskDelegate {
public:
    // The file at `location` is removed once this returns: move it away to keep it.
    virtual void URLSessionDownloadTaskDidFinishDownloadingToURL(URLSession& session,
                                                                 URLSessionDownloadTask& downloadTask,
                                                                 const URL& location) = 0;
    virtual void URLSessionDownloadTaskDidWriteData(URLSession& session, URLSessionDownloadTask& downloadTask,
                                                    std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                                                    std::int64_t totalBytesExpectedToWrite);
    // A download made from resume data goes on at `fileOffset` (0 when the server sent the whole resource
    // again); told before the first write.
    virtual void URLSessionDownloadTaskDidResumeAtOffset(URLSession& session, URLSessionDownloadTask& downloadTask,
                                                         std::int64_t fileOffset, std::int64_t expectedTotalBytes);
};

}  // namespace ql::ns
