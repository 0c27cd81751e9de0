#pragma once
// NetURLSessionManager: owns one URL session and is its delegate. It makes data, upload and download tasks,
// gives each a task delegate that collects the reply and calls the caller's completion handler, routes
// every session callback to that task delegate (through the session's interceptable dispatch, inside its
// own call) and to override blocks, answers server-trust challenges with its security policy, and relays
// the resumption and suspension of its own tasks as notifications on the main queue.
//
// The session keeps the manager while tasks run, and a task delegate keeps it until the reply has been
// delivered, so a manager may be let go as soon as its tasks are resumed.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/NetNetworkReachabilityManager.h"
#include "net/NetSecurityPolicy.h"
#include "net/NetURLResponseSerialization.h"
#include "net/NetURLSessionManagerTaskDelegate.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Progress.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLAuthenticationChallenge.h"
#include "platform/net/URLCache.h"
#include "platform/net/URLCredential.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionConfiguration.h"
#include "platform/net/URLSessionDelegate.h"
#include "platform/net/URLSessionTask.h"

namespace ql {

class NetURLSessionManager : public ns::Object,
                             public ns::URLSessionDataDelegate,
                             public ns::URLSessionDownloadDelegate,
                             public ns::Coding {
    QL_OBJECT(NetURLSessionManager, ns::Object)
public:
    static constexpr std::string_view kLockName = "com.varnholt.networking.session.manager.lock";

    using CompletionHandler = NetURLSessionManagerTaskDelegate::CompletionHandler;
    // Receives the temporary file and the reply; answers where to move the file.
    using DestinationBlock =
        std::function<std::optional<ns::URL>(const ns::URL& targetPath, const std::shared_ptr<ns::URLResponse>& response)>;
    using Disposition = ns::URLSessionAuthChallengeDisposition;

    using SessionDidBecomeInvalidBlock = std::function<void(ns::URLSession& session, const std::optional<ns::Error>& error)>;
    using SessionDidReceiveAuthenticationChallengeBlock =
        std::function<Disposition(ns::URLSession& session, const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                  std::shared_ptr<ns::URLCredential>* credential)>;
    using SessionDidFinishEventsForBackgroundURLSessionBlock = std::function<void(ns::URLSession& session)>;
    using TaskWillPerformHTTPRedirectionBlock = std::function<std::optional<ns::URLRequest>(
        ns::URLSession& session, ns::URLSessionTask& task, const std::shared_ptr<ns::HTTPURLResponse>& response,
        const ns::URLRequest& request)>;
    using TaskDidReceiveAuthenticationChallengeBlock = std::function<Disposition(
        ns::URLSession& session, ns::URLSessionTask& task,
        const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge, std::shared_ptr<ns::URLCredential>* credential)>;
    using TaskNeedNewBodyStreamBlock =
        std::function<std::shared_ptr<ns::InputStream>(ns::URLSession& session, ns::URLSessionTask& task)>;
    using TaskDidSendBodyDataBlock =
        std::function<void(ns::URLSession& session, ns::URLSessionTask& task, std::int64_t bytesSent,
                           std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)>;
    using TaskDidCompleteBlock =
        std::function<void(ns::URLSession& session, ns::URLSessionTask& task, const std::optional<ns::Error>& error)>;
    using DataTaskDidReceiveResponseBlock = std::function<ns::URLSessionResponseDisposition(
        ns::URLSession& session, ns::URLSessionDataTask& dataTask, const std::shared_ptr<ns::URLResponse>& response)>;
    using DataTaskDidBecomeDownloadTaskBlock = std::function<void(
        ns::URLSession& session, ns::URLSessionDataTask& dataTask, ns::URLSessionDownloadTask& downloadTask)>;
    using DataTaskDidReceiveDataBlock =
        std::function<void(ns::URLSession& session, ns::URLSessionDataTask& dataTask, const ns::Data& data)>;
    using DataTaskWillCacheResponseBlock = std::function<std::shared_ptr<ns::CachedURLResponse>(
        ns::URLSession& session, ns::URLSessionDataTask& dataTask,
        const std::shared_ptr<ns::CachedURLResponse>& proposedResponse)>;
    using DownloadTaskDidFinishDownloadingBlock = NetURLSessionManagerTaskDelegate::DownloadDestinationBlock;
    using DownloadTaskDidWriteDataBlock =
        std::function<void(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask, std::int64_t bytesWritten,
                           std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)>;
    using DownloadTaskDidResumeBlock =
        std::function<void(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask, std::int64_t fileOffset,
                           std::int64_t expectedTotalBytes)>;

    // The platform's default configuration when none is given. The session is made on first use.
    explicit NetURLSessionManager(std::shared_ptr<ns::URLSessionConfiguration> configuration = nullptr);
    ~NetURLSessionManager() override;

    // ---- Fields ----
    bool attemptsToRecreateUploadTasksForBackgroundSessions() const;
    void setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts);
    std::shared_ptr<ns::URLSession> session() const;
    // The session's delegate queue: one callback at a time.
    std::shared_ptr<ns::OperationQueue> operationQueue() const;
    std::shared_ptr<NetURLResponseSerialization> responseSerializer() const;
    virtual void setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer);
    std::shared_ptr<NetSecurityPolicy> securityPolicy() const;
    void setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy);
    // Held only.
    std::shared_ptr<NetNetworkReachabilityManager> reachabilityManager() const;
    void setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager);
    // Null: the main queue, and the process-wide session completion group.
    std::shared_ptr<ns::DispatchQueue> completionQueue() const;
    void setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue);
    std::shared_ptr<ns::DispatchGroup> completionGroup() const;
    void setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group);
    std::shared_ptr<ns::URLSessionConfiguration> sessionConfiguration() const;
    // "0x…", the manager's address: the mark on every task it makes.
    std::string taskDescriptionForSessionTasks() const;

    // ---- Tasks ----
    // Each returns the new task, suspended (null when the session makes none).
    std::shared_ptr<ns::URLSessionDataTask> dataTaskWithRequest(const ns::URLRequest& request,
                                                                CompletionHandler completionHandler);
    std::shared_ptr<ns::URLSessionUploadTask> uploadTaskWithRequest(const ns::URLRequest& request, const ns::URL& fromFile,
                                                                    std::shared_ptr<ns::Progress>* progress,
                                                                    CompletionHandler completionHandler);
    std::shared_ptr<ns::URLSessionUploadTask> uploadTaskWithRequest(const ns::URLRequest& request,
                                                                    const ns::Data& fromData,
                                                                    std::shared_ptr<ns::Progress>* progress,
                                                                    CompletionHandler completionHandler);
    std::shared_ptr<ns::URLSessionUploadTask> uploadTaskWithStreamedRequest(const ns::URLRequest& request,
                                                                            std::shared_ptr<ns::Progress>* progress,
                                                                            CompletionHandler completionHandler);
    std::shared_ptr<ns::URLSessionDownloadTask> downloadTaskWithRequest(const ns::URLRequest& request,
                                                                        std::shared_ptr<ns::Progress>* progress,
                                                                        DestinationBlock destination,
                                                                        CompletionHandler completionHandler);
    // Goes on with a download cancelled by cancelByProducingResumeData (null when the data is no resume data).
    std::shared_ptr<ns::URLSessionDownloadTask> downloadTaskWithResumeData(const ns::Data& resumeData,
                                                                           std::shared_ptr<ns::Progress>* progress,
                                                                           DestinationBlock destination,
                                                                           CompletionHandler completionHandler);
    std::shared_ptr<ns::Progress> uploadProgressForTask(const ns::URLSessionTask& task) const;
    std::shared_ptr<ns::Progress> downloadProgressForTask(const ns::URLSessionTask& task) const;

    // The session's tasks that have not completed: "dataTasks", "uploadTasks", "downloadTasks", or all
    // three joined in that order for "tasks" (any other key: none). From any thread; on the session's
    // delegate queue the manager answers from its own records instead of waiting for the session.
    std::vector<std::shared_ptr<ns::URLSessionTask>> tasksForKeyPath(std::string_view keyPath);
    std::vector<std::shared_ptr<ns::URLSessionTask>> tasks() { return tasksForKeyPath("tasks"); }
    std::vector<std::shared_ptr<ns::URLSessionTask>> dataTasks() { return tasksForKeyPath("dataTasks"); }
    std::vector<std::shared_ptr<ns::URLSessionTask>> uploadTasks() { return tasksForKeyPath("uploadTasks"); }
    std::vector<std::shared_ptr<ns::URLSessionTask>> downloadTasks() { return tasksForKeyPath("downloadTasks"); }

    // Asynchronously on the main queue: cancels running tasks too when asked, else lets them finish.
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // ---- Task delegates ----
    std::shared_ptr<NetURLSessionManagerTaskDelegate> delegateForTask(const ns::URLSessionTask& task) const;
    void setDelegate(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate, const ns::URLSessionTask& task);
    void addDelegateForDataTask(const std::shared_ptr<ns::URLSessionDataTask>& dataTask,
                                CompletionHandler completionHandler);
    void addDelegateForUploadTask(const std::shared_ptr<ns::URLSessionUploadTask>& uploadTask,
                                  std::shared_ptr<ns::Progress>* progress, CompletionHandler completionHandler);
    void addDelegateForDownloadTask(const std::shared_ptr<ns::URLSessionDownloadTask>& downloadTask,
                                    std::shared_ptr<ns::Progress>* progress, DestinationBlock destination,
                                    CompletionHandler completionHandler);
    void removeDelegateForTask(const ns::URLSessionTask& task);
    void removeAllDelegates();

    // ---- Override blocks (called on the delegate queue, the background-events block on the main queue) ----
    void setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block);
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionDidReceiveAuthenticationChallengeBlock block);
    void setDidFinishEventsForBackgroundURLSessionBlock(SessionDidFinishEventsForBackgroundURLSessionBlock block);
    void setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block);
    void setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block);
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block);
    void setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block);
    void setTaskDidCompleteBlock(TaskDidCompleteBlock block);
    void setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block);
    void setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block);
    void setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block);
    void setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block);
    void setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block);
    void setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block);
    void setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block);

    std::string description() const override;

    // ---- Session callbacks (delegate queue) ----
    void URLSessionDidBecomeInvalidWithError(ns::URLSession& session, const std::optional<ns::Error>& error) override;
    void URLSessionDidReceiveChallenge(ns::URLSession& session,
                                       const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                       ns::URLSessionChallengeCompletion completionHandler) override;
    void URLSessionDidFinishEventsForBackgroundURLSession(ns::URLSession& session) override;
    void URLSessionTaskWillPerformHTTPRedirection(ns::URLSession& session, ns::URLSessionTask& task,
                                                  const std::shared_ptr<ns::HTTPURLResponse>& response,
                                                  const ns::URLRequest& request,
                                                  std::function<void(std::optional<ns::URLRequest>)> completionHandler) override;
    void URLSessionTaskDidReceiveChallenge(ns::URLSession& session, ns::URLSessionTask& task,
                                           const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                           ns::URLSessionChallengeCompletion completionHandler) override;
    void URLSessionTaskNeedNewBodyStream(ns::URLSession& session, ns::URLSessionTask& task,
                                         std::function<void(std::shared_ptr<ns::InputStream>)> completionHandler) override;
    void URLSessionTaskDidSendBodyData(ns::URLSession& session, ns::URLSessionTask& task, std::int64_t bytesSent,
                                       std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend) override;
    void URLSessionTaskDidCompleteWithError(ns::URLSession& session, ns::URLSessionTask& task,
                                            const std::optional<ns::Error>& error) override;
    void URLSessionDataTaskDidReceiveResponse(
        ns::URLSession& session, ns::URLSessionDataTask& dataTask, const std::shared_ptr<ns::URLResponse>& response,
        std::function<void(ns::URLSessionResponseDisposition)> completionHandler) override;
    void URLSessionDataTaskDidBecomeDownloadTask(ns::URLSession& session, ns::URLSessionDataTask& dataTask,
                                                 ns::URLSessionDownloadTask& downloadTask) override;
    void URLSessionDataTaskDidReceiveData(ns::URLSession& session, ns::URLSessionDataTask& dataTask,
                                          const ns::Data& data) override;
    void URLSessionDataTaskWillCacheResponse(
        ns::URLSession& session, ns::URLSessionDataTask& dataTask,
        const std::shared_ptr<ns::CachedURLResponse>& proposedResponse,
        std::function<void(std::shared_ptr<ns::CachedURLResponse>)> completionHandler) override;
    void URLSessionDownloadTaskDidFinishDownloadingToURL(ns::URLSession& session,
                                                         ns::URLSessionDownloadTask& downloadTask,
                                                         const ns::URL& location) override;
    void URLSessionDownloadTaskDidWriteData(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask,
                                            std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                                            std::int64_t totalBytesExpectedToWrite) override;
    void URLSessionDownloadTaskDidResumeAtOffset(ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask,
                                                 std::int64_t fileOffset, std::int64_t expectedTotalBytes) override;

    // ---- Archiving and copying ----
    // The session configuration travels under "sessionConfiguration".
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    // A manager of the same class on the same configuration; blocks, serializers and policy stay default.
    std::shared_ptr<ns::Object> copy() const override;

protected:
    // Sets the configuration of a manager whose session has not been made yet (decoding, copying).
    void setSessionConfiguration(std::shared_ptr<ns::URLSessionConfiguration> configuration);

private:
    template <class T>
    T get(const T& field) const {
        std::lock_guard lock(fieldsMutex_);
        return field;
    }
    template <class T>
    void set(T& field, T value) {
        std::lock_guard lock(fieldsMutex_);
        field = std::move(value);
    }
    // Makes the session on first use, with this manager as its delegate.
    void makeSession() const;
    std::shared_ptr<NetURLSessionManagerTaskDelegate> makeTaskDelegate(const std::shared_ptr<ns::URLSessionTask>& task,
                                                                       CompletionHandler completionHandler);
    // A task delegate whose progress follows the upload and can pause or cancel it.
    std::shared_ptr<NetURLSessionManagerTaskDelegate> makeUploadTaskDelegate(
        const std::shared_ptr<ns::URLSessionUploadTask>& uploadTask, CompletionHandler completionHandler);
    // Keeps a delegate the task already has.
    void setDelegateUnlessSet(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate, const ns::URLSessionTask& task);
    // The body size the platform reports, or the request's "Content-Length" when it cannot tell (-1).
    static std::int64_t expectedBodyLength(const ns::URLSessionTask& task, std::int64_t reported);
    void taskDidResume(const ns::Notification& notification);
    void taskDidSuspend(const ns::Notification& notification);
    void relayTaskNotification(const ns::Notification& notification, std::string_view name) const;
    // The tasks with a delegate in the map, for a listing asked from the delegate queue.
    std::vector<std::shared_ptr<ns::URLSessionTask>> recordedTasks() const;
    // Runs `make` on the creation queue and answers its task.
    template <class Task>
    std::shared_ptr<Task> makeTask(const std::function<std::shared_ptr<Task>(ns::URLSession&)>& make);

    mutable std::once_flag sessionOnce_;
    mutable std::mutex fieldsMutex_;
    bool attemptsToRecreateUploadTasksForBackgroundSessions_ = false;
    std::shared_ptr<ns::URLSessionConfiguration> sessionConfiguration_;
    mutable std::shared_ptr<ns::URLSession> session_;
    mutable std::shared_ptr<ns::OperationQueue> operationQueue_;
    std::shared_ptr<NetURLResponseSerialization> responseSerializer_;
    std::shared_ptr<NetSecurityPolicy> securityPolicy_;
    std::shared_ptr<NetNetworkReachabilityManager> reachabilityManager_;
    std::shared_ptr<ns::DispatchQueue> completionQueue_;
    std::shared_ptr<ns::DispatchGroup> completionGroup_;

    // Guards only the map (see kLockName).
    mutable std::mutex lock_;
    std::map<std::uint64_t, std::shared_ptr<NetURLSessionManagerTaskDelegate>> mutableTaskDelegatesKeyedByTaskIdentifier_;

    SessionDidBecomeInvalidBlock sessionDidBecomeInvalid_;
    SessionDidReceiveAuthenticationChallengeBlock sessionDidReceiveAuthenticationChallenge_;
    SessionDidFinishEventsForBackgroundURLSessionBlock didFinishEventsForBackgroundURLSession_;
    TaskWillPerformHTTPRedirectionBlock taskWillPerformHTTPRedirection_;
    TaskDidReceiveAuthenticationChallengeBlock taskDidReceiveAuthenticationChallenge_;
    TaskNeedNewBodyStreamBlock taskNeedNewBodyStream_;
    TaskDidSendBodyDataBlock taskDidSendBodyData_;
    TaskDidCompleteBlock taskDidComplete_;
    DataTaskDidReceiveResponseBlock dataTaskDidReceiveResponse_;
    DataTaskDidBecomeDownloadTaskBlock dataTaskDidBecomeDownloadTask_;
    DataTaskDidReceiveDataBlock dataTaskDidReceiveData_;
    DataTaskWillCacheResponseBlock dataTaskWillCacheResponse_;
    DownloadTaskDidFinishDownloadingBlock downloadTaskDidFinishDownloading_;
    DownloadTaskDidWriteDataBlock downloadTaskDidWriteData_;
    DownloadTaskDidResumeBlock downloadTaskDidResume_;
};

}  // namespace ql
