#pragma once
// NetURLSessionManagerTaskDelegate: what a session manager keeps for each of its tasks. It collects the
// reply body (or the downloaded file), tracks progress, and when the task completes parses the reply with
// the manager's response serializer on the processing queue, calls the caller's completion handler on the
// completion queue in the completion group, then posts the task-complete notification on the main queue.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/net/URLResponse.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

class NetURLSessionManager;

// Process-wide: the serial queue on which managers make their tasks.
const std::shared_ptr<ns::DispatchQueue>& NetURLSessionManagerCreationQueue();

class NetURLSessionManagerTaskDelegate : public ns::Object,
                                         public ns::URLSessionDataDelegate,
                                         public ns::URLSessionDownloadDelegate {
    QL_OBJECT(NetURLSessionManagerTaskDelegate, ns::Object)
public:
    using CompletionHandler = std::function<void(const std::shared_ptr<ns::URLResponse>& response,
                                                 const ns::Value& responseObject, const std::optional<ns::Error>& error)>;
    // Where to move a finished download (nothing: leave it).
    using DownloadDestinationBlock = std::function<std::optional<ns::URL>(
        ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask, const ns::URL& location)>;

    NetURLSessionManagerTaskDelegate();

    // Held weakly; while a reply is being delivered the delegate keeps it.
    std::shared_ptr<NetURLSessionManager> manager() const;
    void setManager(std::weak_ptr<NetURLSessionManager> manager);
    // Held weakly, so that the manager can list its tasks from its own delegate queue.
    std::shared_ptr<ns::URLSessionTask> task() const;
    void setTask(std::weak_ptr<ns::URLSessionTask> task);
    // The body so far; nothing once the task completed.
    std::optional<ns::Data> mutableData() const;
    std::shared_ptr<ns::Progress> progress() const;
    void setProgress(std::shared_ptr<ns::Progress> progress);
    std::optional<ns::URL> downloadFileURL() const;
    void setDownloadFileURL(std::optional<ns::URL> url);
    DownloadDestinationBlock downloadTaskDidFinishDownloading() const;
    void setDownloadTaskDidFinishDownloading(DownloadDestinationBlock block);
    CompletionHandler completionHandler() const;
    void setCompletionHandler(CompletionHandler handler);

    // Moves the finished download to `destination`, which becomes the download's file. When the move fails,
    // the file-manager-error notification is posted and the completion handler will get the move error.
    void moveDownload(ns::URLSessionDownloadTask& downloadTask, const ns::URL& location, const ns::URL& destination);

    // ---- Calls the manager forwards (delegate queue) ----
    void URLSessionTaskDidSendBodyData(ns::URLSession& session, ns::URLSessionTask& task, std::int64_t bytesSent,
                                       std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend) override;
    void URLSessionTaskDidCompleteWithError(ns::URLSession& session, ns::URLSessionTask& task,
                                            const std::optional<ns::Error>& error) override;
    void URLSessionDataTaskDidReceiveData(ns::URLSession& session, ns::URLSessionDataTask& dataTask,
                                          const ns::Data& data) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(ns::URLSession& session,
                                                         ns::URLSessionDownloadTask& downloadTask,
                                                         const ns::URL& location) override;
    void URLSessionDownloadTaskDidWriteData(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask,
                                            std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                                            std::int64_t totalBytesExpectedToWrite) override;
    void URLSessionDownloadTaskDidResumeAtOffset(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask,
                                                 std::int64_t fileOffset, std::int64_t expectedTotalBytes) override;

private:
    mutable std::mutex mutex_;
    std::weak_ptr<NetURLSessionManager> manager_;
    std::weak_ptr<ns::URLSessionTask> task_;
    std::optional<ns::Data> mutableData_;
    std::shared_ptr<ns::Progress> progress_;
    std::optional<ns::URL> downloadFileURL_;
    std::optional<ns::Error> downloadMoveError_;
    DownloadDestinationBlock downloadTaskDidFinishDownloading_;
    CompletionHandler completionHandler_;
};

}  // namespace ql
