#pragma once
// ns::URLSession: makes tasks that load requests and tells its delegate about them on its delegate queue,
// a serial operation queue unless one is given. Completion handlers run on the delegate queue too.
//
// A session keeps its delegate while it has tasks that have not completed and until its invalidation has
// been reported; otherwise it holds the delegate weakly, so a session that is never invalidated does not
// keep its delegate (or itself) alive for ever. A running task keeps its session.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLLoad.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

namespace ql::ns {

class OperationQueue;

class URLSession final : public Object {
    QL_OBJECT_NAMED(URLSession, Object, "NSURLSession")
public:
    class Key {
        friend class URLSession;
        Key() = default;
    };
    URLSession(Key, std::shared_ptr<URLSessionConfiguration> configuration, std::shared_ptr<URLSessionDelegate> delegate,
               std::shared_ptr<OperationQueue> delegateQueue, bool shared);
    ~URLSession() override;

    // Without a delegate, on the default configuration; it cannot be invalidated.
    static std::shared_ptr<URLSession> sharedSession();
    static std::shared_ptr<URLSession> sessionWithConfiguration(std::shared_ptr<URLSessionConfiguration> configuration);
    // A null queue makes the session a serial queue of its own.
    static std::shared_ptr<URLSession> sessionWithConfiguration(std::shared_ptr<URLSessionConfiguration> configuration,
                                                                std::shared_ptr<URLSessionDelegate> delegate,
                                                                std::shared_ptr<OperationQueue> delegateQueue);

    std::shared_ptr<URLSessionDelegate> delegate() const;
    const std::shared_ptr<OperationQueue>& delegateQueue() const { return delegateQueue_; }
    // A copy of the configuration the session was made with.
    std::shared_ptr<URLSessionConfiguration> configuration() const;
    std::optional<std::string> sessionDescription() const;
    void setSessionDescription(std::optional<std::string> description);

    // New tasks, suspended. An invalidated session makes none (null).
    std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(const URLRequest& request);
    std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(const URLRequest& request,
                                                            URLSessionDataTask::CompletionHandler completionHandler);
    std::shared_ptr<URLSessionDataTask> dataTaskWithURL(const URL& url);
    std::shared_ptr<URLSessionDataTask> dataTaskWithURL(const URL& url,
                                                        URLSessionDataTask::CompletionHandler completionHandler);
    // The body comes from the file, whose absence fails the task with "file does not exist".
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, const URL& fromFile);
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, const URL& fromFile,
                                                                URLSessionDataTask::CompletionHandler completionHandler);
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, const Data& fromData);
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(const URLRequest& request, const Data& fromData,
                                                                URLSessionDataTask::CompletionHandler completionHandler);
    // The body is the request's body stream, read as it is sent.
    std::shared_ptr<URLSessionUploadTask> uploadTaskWithStreamedRequest(const URLRequest& request);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(const URLRequest& request);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(
        const URLRequest& request, URLSessionDownloadTask::CompletionHandler completionHandler);
    // A download that goes on from where a cancelled one stopped (see cancelByProducingResumeData); null
    // when the data is no resume data.
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithResumeData(const Data& resumeData);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithResumeData(
        const Data& resumeData, URLSessionDownloadTask::CompletionHandler completionHandler);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithURL(const URL& url);
    std::shared_ptr<URLSessionDownloadTask> downloadTaskWithURL(
        const URL& url, URLSessionDownloadTask::CompletionHandler completionHandler);

    // The tasks that have not completed, on the delegate queue.
    void getTasksWithCompletionHandler(
        std::function<void(std::vector<std::shared_ptr<URLSessionDataTask>> dataTasks,
                           std::vector<std::shared_ptr<URLSessionUploadTask>> uploadTasks,
                           std::vector<std::shared_ptr<URLSessionDownloadTask>> downloadTasks)>
            completionHandler);

    // Makes no new tasks; once every task completed, the delegate hears that the session became invalid.
    void finishTasksAndInvalidate();
    // The same, cancelling the tasks.
    void invalidateAndCancel();

    std::string description() const override;

private:
    friend class URLSessionTask;

    template <class Task, class... Extra>
    std::shared_ptr<Task> makeTask(const URLRequest& request, URLSessionTask::Upload upload,
                                   std::int64_t expectedToSend, Extra&&... extra);
    void registerTask(const std::shared_ptr<URLSessionTask>& task);
    std::vector<std::shared_ptr<URLSessionTask>> liveTasks() const;

    // For tasks.
    URLLoadOptions loadOptions() const;
    void taskDidStart();
    void taskDidComplete(const URLSessionTask& task);
    void invalidateIfDone();

    const std::shared_ptr<URLSessionConfiguration> configuration_;
    const std::shared_ptr<OperationQueue> delegateQueue_;
    const bool shared_;
    const std::shared_ptr<ServerTrustApprovals> approvals_ = std::make_shared<ServerTrustApprovals>();

    mutable std::mutex mutex_;
    std::weak_ptr<URLSessionDelegate> delegate_;
    std::shared_ptr<URLSessionDelegate> delegateWhileBusy_;
    std::vector<std::weak_ptr<URLSessionTask>> tasks_;
    std::uint64_t lastIdentifier_ = 0;
    int runningTasks_ = 0;
    bool invalidating_ = false;
    bool invalidationReported_ = false;
    std::optional<std::string> description_;
};

}  // namespace ql::ns
