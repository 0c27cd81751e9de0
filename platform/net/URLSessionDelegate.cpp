#include "platform/net/URLSessionDelegate.h"

namespace ql::ns {

void URLSessionDelegate::URLSessionDidBecomeInvalidWithError(URLSession&, const std::optional<Error>&) {}

void URLSessionDelegate::URLSessionDidReceiveChallenge(URLSession&, const std::shared_ptr<URLAuthenticationChallenge>&,
                                                       URLSessionChallengeCompletion completionHandler) {
    completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
}

void URLSessionDelegate::URLSessionDidFinishEventsForBackgroundURLSession(URLSession&) {}

void URLSessionTaskDelegate::URLSessionTaskWillPerformHTTPRedirection(
    URLSession&, URLSessionTask&, const std::shared_ptr<HTTPURLResponse>&, const URLRequest& request,
    std::function<void(std::optional<URLRequest>)> completionHandler) {
    completionHandler(request);
}

void URLSessionTaskDelegate::URLSessionTaskDidReceiveChallenge(
    URLSession& session, URLSessionTask&, const std::shared_ptr<URLAuthenticationChallenge>& challenge,
    URLSessionChallengeCompletion completionHandler) {
    URLSessionDidReceiveChallenge(session, challenge, std::move(completionHandler));
}

void URLSessionTaskDelegate::URLSessionTaskNeedNewBodyStream(
    URLSession&, URLSessionTask&, std::function<void(std::shared_ptr<InputStream>)> completionHandler) {
    completionHandler(nullptr);
}

void URLSessionTaskDelegate::URLSessionTaskDidSendBodyData(URLSession&, URLSessionTask&, std::int64_t, std::int64_t,
                                                           std::int64_t) {}

void URLSessionTaskDelegate::URLSessionTaskDidCompleteWithError(URLSession&, URLSessionTask&,
                                                                const std::optional<Error>&) {}

void URLSessionDataDelegate::URLSessionDataTaskDidReceiveResponse(
    URLSession&, URLSessionDataTask&, const std::shared_ptr<URLResponse>&,
    std::function<void(URLSessionResponseDisposition)> completionHandler) {
    completionHandler(URLSessionResponseDisposition::Allow);
}

void URLSessionDataDelegate::URLSessionDataTaskDidBecomeDownloadTask(URLSession&, URLSessionDataTask&,
                                                                     URLSessionDownloadTask&) {}

void URLSessionDataDelegate::URLSessionDataTaskDidReceiveData(URLSession&, URLSessionDataTask&, const Data&) {}

void URLSessionDataDelegate::URLSessionDataTaskWillCacheResponse(
    URLSession&, URLSessionDataTask&, const std::shared_ptr<CachedURLResponse>& proposedResponse,
    std::function<void(std::shared_ptr<CachedURLResponse>)> completionHandler) {
    completionHandler(proposedResponse);
}

void URLSessionDownloadDelegate::URLSessionDownloadTaskDidWriteData(URLSession&, URLSessionDownloadTask&, std::int64_t,
                                                                    std::int64_t, std::int64_t) {}

void URLSessionDownloadDelegate::URLSessionDownloadTaskDidResumeAtOffset(URLSession&, URLSessionDownloadTask&,
                                                                         std::int64_t, std::int64_t) {}

}  // namespace ql::ns
