#include "net/NetURLSessionManager.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "net/NetJSONResponseSerializer.h"
#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/URLProtectionSpace.h"
#include "platform/net/URLSessionDelegateDispatch.h"

namespace ql {

namespace {

// The platform's reading of a number at the start of a text: leading blanks, a sign, digits; 0 otherwise.
std::int64_t integerValue(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The answer to a server-trust challenge by the policy: use a credential for the trust, or cancel.
ns::URLSessionAuthChallengeDisposition judgeServerTrust(const NetSecurityPolicy* policy,
                                                        const ns::URLAuthenticationChallenge& challenge,
                                                        std::shared_ptr<ns::URLCredential>* credential) {
    const ns::URLProtectionSpace& space = challenge.protectionSpace();
    if (!policy || !policy->evaluateServerTrust(space.serverTrust(), space.host()))
        return ns::URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    *credential = ns::URLCredential::credentialForTrust(space.serverTrust());
    return ns::URLSessionAuthChallengeDisposition::UseCredential;
}

bool isServerTrust(const ns::URLAuthenticationChallenge& challenge) {
    return challenge.protectionSpace().authenticationMethod() == ns::URLAuthenticationMethodServerTrust;
}

}  // namespace

NetURLSessionManager::NetURLSessionManager(std::shared_ptr<ns::URLSessionConfiguration> configuration)
    : sessionConfiguration_(configuration ? std::move(configuration)
                                          : ns::URLSessionConfiguration::defaultSessionConfiguration()),
      responseSerializer_(NetJSONResponseSerializer::serializer()),
      securityPolicy_(NetSecurityPolicy::defaultPolicy()),
      reachabilityManager_(NetNetworkReachabilityManager::sharedManager()) {}

NetURLSessionManager::~NetURLSessionManager() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void NetURLSessionManager::makeSession() const {
    std::call_once(sessionOnce_, [this] {
        auto self = std::const_pointer_cast<NetURLSessionManager>(
            std::static_pointer_cast<const NetURLSessionManager>(shared_from_this()));
        auto queue = std::make_shared<ns::OperationQueue>();
        queue->setMaxConcurrentOperationCount(1);
        auto session = ns::URLSession::sessionWithConfiguration(sessionConfiguration(),
                                                                std::shared_ptr<ns::URLSessionDelegate>(self), queue);
        {
            std::lock_guard lock(fieldsMutex_);
            operationQueue_ = queue;
            session_ = session;
        }
        std::weak_ptr<NetURLSessionManager> weak = self;
        session->getTasksWithCompletionHandler([weak](std::vector<std::shared_ptr<ns::URLSessionDataTask>> data,
                                                      std::vector<std::shared_ptr<ns::URLSessionUploadTask>> uploads,
                                                      std::vector<std::shared_ptr<ns::URLSessionDownloadTask>> downloads) {
            auto manager = weak.lock();
            if (!manager) return;
            // Only tasks nobody gave a delegate yet. The caller may be giving one its delegate (with its
            // completion handler) on another thread right now: the map decides under its lock, so this bare
            // delegate never replaces the caller's.
            const auto adopt = [&](const auto& tasks, const auto& make) {
                for (const auto& task : tasks) {
                    if (!manager->delegateForTask(*task)) manager->setDelegateUnlessSet(make(task), *task);
                }
            };
            adopt(data, [&](const auto& task) { return manager->makeTaskDelegate(task, nullptr); });
            adopt(uploads, [&](const auto& task) { return manager->makeUploadTaskDelegate(task, nullptr); });
            adopt(downloads, [&](const auto& task) { return manager->makeTaskDelegate(task, nullptr); });
        });
        auto& center = ns::NotificationCenter::defaultCenter();
        center.addObserver(
            self, [raw = self.get()](const ns::Notification& notification) { raw->taskDidResume(notification); },
            NetURLSessionTaskDidResumeNotification);
        center.addObserver(
            self, [raw = self.get()](const ns::Notification& notification) { raw->taskDidSuspend(notification); },
            NetURLSessionTaskDidSuspendNotification);
    });
}

// ---- Fields ----

bool NetURLSessionManager::attemptsToRecreateUploadTasksForBackgroundSessions() const {
    return get(attemptsToRecreateUploadTasksForBackgroundSessions_);
}

void NetURLSessionManager::setAttemptsToRecreateUploadTasksForBackgroundSessions(bool attempts) {
    set(attemptsToRecreateUploadTasksForBackgroundSessions_, attempts);
}

std::shared_ptr<ns::URLSession> NetURLSessionManager::session() const {
    makeSession();
    return get(session_);
}

std::shared_ptr<ns::OperationQueue> NetURLSessionManager::operationQueue() const {
    makeSession();
    return get(operationQueue_);
}

std::shared_ptr<NetURLResponseSerialization> NetURLSessionManager::responseSerializer() const {
    return get(responseSerializer_);
}

void NetURLSessionManager::setResponseSerializer(std::shared_ptr<NetURLResponseSerialization> serializer) {
    set(responseSerializer_, std::move(serializer));
}

std::shared_ptr<NetSecurityPolicy> NetURLSessionManager::securityPolicy() const { return get(securityPolicy_); }

void NetURLSessionManager::setSecurityPolicy(std::shared_ptr<NetSecurityPolicy> policy) {
    set(securityPolicy_, std::move(policy));
}

std::shared_ptr<NetNetworkReachabilityManager> NetURLSessionManager::reachabilityManager() const {
    return get(reachabilityManager_);
}

void NetURLSessionManager::setReachabilityManager(std::shared_ptr<NetNetworkReachabilityManager> manager) {
    set(reachabilityManager_, std::move(manager));
}

std::shared_ptr<ns::DispatchQueue> NetURLSessionManager::completionQueue() const { return get(completionQueue_); }

void NetURLSessionManager::setCompletionQueue(std::shared_ptr<ns::DispatchQueue> queue) {
    set(completionQueue_, std::move(queue));
}

std::shared_ptr<ns::DispatchGroup> NetURLSessionManager::completionGroup() const { return get(completionGroup_); }

void NetURLSessionManager::setCompletionGroup(std::shared_ptr<ns::DispatchGroup> group) {
    set(completionGroup_, std::move(group));
}

std::shared_ptr<ns::URLSessionConfiguration> NetURLSessionManager::sessionConfiguration() const {
    return get(sessionConfiguration_);
}

void NetURLSessionManager::setSessionConfiguration(std::shared_ptr<ns::URLSessionConfiguration> configuration) {
    set(sessionConfiguration_, std::move(configuration));
}

std::string NetURLSessionManager::taskDescriptionForSessionTasks() const { return ns::addressText(this); }

// ---- Tasks ----

template <class Task>
std::shared_ptr<Task> NetURLSessionManager::makeTask(const std::function<std::shared_ptr<Task>(ns::URLSession&)>& make) {
    const auto made = session();
    std::shared_ptr<Task> task;
    NetURLSessionManagerCreationQueue()->sync([&] { task = make(*made); });
    return task;
}

std::shared_ptr<ns::URLSessionDataTask> NetURLSessionManager::dataTaskWithRequest(const ns::URLRequest& request,
                                                                                  CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionDataTask>(
        [&](ns::URLSession& session) { return session.dataTaskWithRequest(request); });
    if (task) addDelegateForDataTask(task, std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithRequest(
    const ns::URLRequest& request, const ns::URL& fromFile, std::shared_ptr<ns::Progress>* progress,
    CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionUploadTask>(
        [&](ns::URLSession& session) { return session.uploadTaskWithRequest(request, fromFile); });
    if (!task && attemptsToRecreateUploadTasksForBackgroundSessions() && sessionConfiguration()->identifier()) {
        const auto made = session();
        for (int attempt = 0; attempt < 3 && !task; ++attempt) task = made->uploadTaskWithRequest(request, fromFile);
    }
    if (task) addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithRequest(
    const ns::URLRequest& request, const ns::Data& fromData, std::shared_ptr<ns::Progress>* progress,
    CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionUploadTask>(
        [&](ns::URLSession& session) { return session.uploadTaskWithRequest(request, fromData); });
    if (task) addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::URLSessionUploadTask> NetURLSessionManager::uploadTaskWithStreamedRequest(
    const ns::URLRequest& request, std::shared_ptr<ns::Progress>* progress, CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionUploadTask>(
        [&](ns::URLSession& session) { return session.uploadTaskWithStreamedRequest(request); });
    if (task) addDelegateForUploadTask(task, progress, std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::URLSessionDownloadTask> NetURLSessionManager::downloadTaskWithRequest(
    const ns::URLRequest& request, std::shared_ptr<ns::Progress>* progress, DestinationBlock destination,
    CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionDownloadTask>(
        [&](ns::URLSession& session) { return session.downloadTaskWithRequest(request); });
    if (task) addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::URLSessionDownloadTask> NetURLSessionManager::downloadTaskWithResumeData(
    const ns::Data& resumeData, std::shared_ptr<ns::Progress>* progress, DestinationBlock destination,
    CompletionHandler completionHandler) {
    auto task = makeTask<ns::URLSessionDownloadTask>(
        [&](ns::URLSession& session) { return session.downloadTaskWithResumeData(resumeData); });
    if (task) addDelegateForDownloadTask(task, progress, std::move(destination), std::move(completionHandler));
    return task;
}

std::shared_ptr<ns::Progress> NetURLSessionManager::uploadProgressForTask(const ns::URLSessionTask& task) const {
    auto delegate = delegateForTask(task);
    return delegate ? delegate->progress() : nullptr;
}

std::shared_ptr<ns::Progress> NetURLSessionManager::downloadProgressForTask(const ns::URLSessionTask& task) const {
    return uploadProgressForTask(task);
}

std::vector<std::shared_ptr<ns::URLSessionTask>> NetURLSessionManager::tasksForKeyPath(std::string_view keyPath) {
    const bool all = keyPath == "tasks";
    if (!all && keyPath != "dataTasks" && keyPath != "uploadTasks" && keyPath != "downloadTasks") return {};
    std::vector<std::shared_ptr<ns::URLSessionTask>> data, uploads, downloads;
    const auto made = session();
    if (ns::OperationQueue::currentQueue() == made->delegateQueue()) {
        // The session answers on this very queue, which is busy with the caller: waiting would never end.
        for (auto& task : recordedTasks()) {
            if (std::dynamic_pointer_cast<ns::URLSessionUploadTask>(task)) uploads.push_back(std::move(task));
            else if (std::dynamic_pointer_cast<ns::URLSessionDataTask>(task)) data.push_back(std::move(task));
            else downloads.push_back(std::move(task));
        }
    } else {
        ns::DispatchSemaphore answered(0);
        made->getTasksWithCompletionHandler([&](std::vector<std::shared_ptr<ns::URLSessionDataTask>> dataTasks,
                                                std::vector<std::shared_ptr<ns::URLSessionUploadTask>> uploadTasks,
                                                std::vector<std::shared_ptr<ns::URLSessionDownloadTask>> downloadTasks) {
            data.assign(dataTasks.begin(), dataTasks.end());
            uploads.assign(uploadTasks.begin(), uploadTasks.end());
            downloads.assign(downloadTasks.begin(), downloadTasks.end());
            answered.signal();
        });
        answered.wait();
    }
    if (keyPath == "dataTasks") return data;
    if (keyPath == "uploadTasks") return uploads;
    if (keyPath == "downloadTasks") return downloads;
    data.insert(data.end(), uploads.begin(), uploads.end());
    data.insert(data.end(), downloads.begin(), downloads.end());
    return data;
}

std::vector<std::shared_ptr<ns::URLSessionTask>> NetURLSessionManager::recordedTasks() const {
    std::vector<std::shared_ptr<NetURLSessionManagerTaskDelegate>> delegates;
    {
        std::lock_guard lock(lock_);
        for (const auto& [identifier, delegate] : mutableTaskDelegatesKeyedByTaskIdentifier_) delegates.push_back(delegate);
    }
    std::vector<std::shared_ptr<ns::URLSessionTask>> live;
    for (const auto& delegate : delegates) {
        auto task = delegate->task();
        if (task && task->state() != ns::URLSessionTaskState::Completed) live.push_back(std::move(task));
    }
    return live;
}

void NetURLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    ns::DispatchQueue::main()->async([made = session(), cancelPendingTasks] {
        if (cancelPendingTasks) made->invalidateAndCancel();
        else made->finishTasksAndInvalidate();
    });
}

// ---- Task delegates ----

std::shared_ptr<NetURLSessionManagerTaskDelegate> NetURLSessionManager::delegateForTask(
    const ns::URLSessionTask& task) const {
    std::lock_guard lock(lock_);
    auto found = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task.taskIdentifier());
    return found == mutableTaskDelegatesKeyedByTaskIdentifier_.end() ? nullptr : found->second;
}

void NetURLSessionManager::setDelegate(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate,
                                       const ns::URLSessionTask& task) {
    if (!delegate) return;
    std::lock_guard lock(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_[task.taskIdentifier()] = std::move(delegate);
}

void NetURLSessionManager::setDelegateUnlessSet(std::shared_ptr<NetURLSessionManagerTaskDelegate> delegate,
                                               const ns::URLSessionTask& task) {
    std::lock_guard lock(lock_);
    mutableTaskDelegatesKeyedByTaskIdentifier_.try_emplace(task.taskIdentifier(), std::move(delegate));
}

void NetURLSessionManager::removeDelegateForTask(const ns::URLSessionTask& task) {
    std::shared_ptr<NetURLSessionManagerTaskDelegate> removed;  // released outside the lock
    std::lock_guard lock(lock_);
    auto found = mutableTaskDelegatesKeyedByTaskIdentifier_.find(task.taskIdentifier());
    if (found == mutableTaskDelegatesKeyedByTaskIdentifier_.end()) return;
    removed = std::move(found->second);
    mutableTaskDelegatesKeyedByTaskIdentifier_.erase(found);
}

void NetURLSessionManager::removeAllDelegates() {
    std::map<std::uint64_t, std::shared_ptr<NetURLSessionManagerTaskDelegate>> removed;
    std::lock_guard lock(lock_);
    removed.swap(mutableTaskDelegatesKeyedByTaskIdentifier_);
}

std::shared_ptr<NetURLSessionManagerTaskDelegate> NetURLSessionManager::makeTaskDelegate(
    const std::shared_ptr<ns::URLSessionTask>& task, CompletionHandler completionHandler) {
    auto delegate = std::make_shared<NetURLSessionManagerTaskDelegate>();
    delegate->setManager(std::static_pointer_cast<NetURLSessionManager>(shared_from_this()));
    delegate->setTask(task);
    delegate->setCompletionHandler(std::move(completionHandler));
    task->setTaskDescription(taskDescriptionForSessionTasks());
    return delegate;
}

std::int64_t NetURLSessionManager::expectedBodyLength(const ns::URLSessionTask& task, std::int64_t reported) {
    if (reported != ns::URLSessionTransferSizeUnknown) return reported;
    auto length = task.originalRequest().valueForHTTPHeaderField("Content-Length");
    return length ? integerValue(*length) : reported;
}

void NetURLSessionManager::addDelegateForDataTask(const std::shared_ptr<ns::URLSessionDataTask>& dataTask,
                                                  CompletionHandler completionHandler) {
    setDelegate(makeTaskDelegate(dataTask, std::move(completionHandler)), *dataTask);
}

void NetURLSessionManager::addDelegateForUploadTask(const std::shared_ptr<ns::URLSessionUploadTask>& uploadTask,
                                                    std::shared_ptr<ns::Progress>* progress,
                                                    CompletionHandler completionHandler) {
    auto delegate = makeUploadTaskDelegate(uploadTask, std::move(completionHandler));
    if (progress) *progress = delegate->progress();
    setDelegate(std::move(delegate), *uploadTask);
}

std::shared_ptr<NetURLSessionManagerTaskDelegate> NetURLSessionManager::makeUploadTaskDelegate(
    const std::shared_ptr<ns::URLSessionUploadTask>& uploadTask, CompletionHandler completionHandler) {
    auto delegate = makeTaskDelegate(uploadTask, std::move(completionHandler));
    auto tracked = ns::Progress::progressWithTotalUnitCount(
        expectedBodyLength(*uploadTask, uploadTask->countOfBytesExpectedToSend()));
    std::weak_ptr<ns::URLSessionUploadTask> weak = uploadTask;
    tracked->setPausingHandler([weak] {
        if (auto task = weak.lock()) task->suspend();
    });
    tracked->setCancellationHandler([weak] {
        if (auto task = weak.lock()) task->cancel();
    });
    delegate->setProgress(std::move(tracked));
    return delegate;
}

void NetURLSessionManager::addDelegateForDownloadTask(const std::shared_ptr<ns::URLSessionDownloadTask>& downloadTask,
                                                      std::shared_ptr<ns::Progress>* progress,
                                                      DestinationBlock destination,
                                                      CompletionHandler completionHandler) {
    auto delegate = makeTaskDelegate(downloadTask, std::move(completionHandler));
    if (destination) {
        delegate->setDownloadTaskDidFinishDownloading(
            [destination = std::move(destination)](ns::URLSession&, ns::URLSessionDownloadTask& task,
                                                   const ns::URL& location) { return destination(location, task.response()); });
    }
    if (progress) *progress = delegate->progress();
    setDelegate(std::move(delegate), *downloadTask);
}

// ---- Override blocks ----

void NetURLSessionManager::setSessionDidBecomeInvalidBlock(SessionDidBecomeInvalidBlock block) {
    set(sessionDidBecomeInvalid_, std::move(block));
}

void NetURLSessionManager::setSessionDidReceiveAuthenticationChallengeBlock(
    SessionDidReceiveAuthenticationChallengeBlock block) {
    set(sessionDidReceiveAuthenticationChallenge_, std::move(block));
}

void NetURLSessionManager::setDidFinishEventsForBackgroundURLSessionBlock(
    SessionDidFinishEventsForBackgroundURLSessionBlock block) {
    set(didFinishEventsForBackgroundURLSession_, std::move(block));
}

void NetURLSessionManager::setTaskNeedNewBodyStreamBlock(TaskNeedNewBodyStreamBlock block) {
    set(taskNeedNewBodyStream_, std::move(block));
}

void NetURLSessionManager::setTaskWillPerformHTTPRedirectionBlock(TaskWillPerformHTTPRedirectionBlock block) {
    set(taskWillPerformHTTPRedirection_, std::move(block));
}

void NetURLSessionManager::setTaskDidReceiveAuthenticationChallengeBlock(TaskDidReceiveAuthenticationChallengeBlock block) {
    set(taskDidReceiveAuthenticationChallenge_, std::move(block));
}

void NetURLSessionManager::setTaskDidSendBodyDataBlock(TaskDidSendBodyDataBlock block) {
    set(taskDidSendBodyData_, std::move(block));
}

void NetURLSessionManager::setTaskDidCompleteBlock(TaskDidCompleteBlock block) { set(taskDidComplete_, std::move(block)); }

void NetURLSessionManager::setDataTaskDidReceiveResponseBlock(DataTaskDidReceiveResponseBlock block) {
    set(dataTaskDidReceiveResponse_, std::move(block));
}

void NetURLSessionManager::setDataTaskDidBecomeDownloadTaskBlock(DataTaskDidBecomeDownloadTaskBlock block) {
    set(dataTaskDidBecomeDownloadTask_, std::move(block));
}

void NetURLSessionManager::setDataTaskDidReceiveDataBlock(DataTaskDidReceiveDataBlock block) {
    set(dataTaskDidReceiveData_, std::move(block));
}

void NetURLSessionManager::setDataTaskWillCacheResponseBlock(DataTaskWillCacheResponseBlock block) {
    set(dataTaskWillCacheResponse_, std::move(block));
}

void NetURLSessionManager::setDownloadTaskDidFinishDownloadingBlock(DownloadTaskDidFinishDownloadingBlock block) {
    set(downloadTaskDidFinishDownloading_, std::move(block));
}

void NetURLSessionManager::setDownloadTaskDidWriteDataBlock(DownloadTaskDidWriteDataBlock block) {
    set(downloadTaskDidWriteData_, std::move(block));
}

void NetURLSessionManager::setDownloadTaskDidResumeBlock(DownloadTaskDidResumeBlock block) {
    set(downloadTaskDidResume_, std::move(block));
}

// ---- Task notifications ----

void NetURLSessionManager::taskDidResume(const ns::Notification& notification) {
    relayTaskNotification(notification, NetNetworkingTaskDidResumeNotification);
}

void NetURLSessionManager::taskDidSuspend(const ns::Notification& notification) {
    relayTaskNotification(notification, NetNetworkingTaskDidSuspendNotification);
}

void NetURLSessionManager::relayTaskNotification(const ns::Notification& notification, std::string_view name) const {
    auto task = std::dynamic_pointer_cast<ns::URLSessionTask>(notification.object());
    if (!task || task->taskDescription() != taskDescriptionForSessionTasks()) return;
    ns::DispatchQueue::main()->async([task, name = std::string(name)] {
        ns::NotificationCenter::defaultCenter().post(name, task.get());
    });
}

std::string NetURLSessionManager::description() const {
    return "<" + std::string(className()) + ": " + ns::addressText(this) + ", session: " + session()->description() +
           ", operationQueue: " + operationQueue()->description() + ">";
}

// ---- Session callbacks ----

void NetURLSessionManager::URLSessionDidBecomeInvalidWithError(ns::URLSession& session,
                                                               const std::optional<ns::Error>& error) {
    if (auto block = get(sessionDidBecomeInvalid_)) block(session, error);
    removeAllDelegates();
    ns::NotificationCenter::defaultCenter().post(NetURLSessionDidInvalidateNotification, &session);
}

void NetURLSessionManager::URLSessionDidReceiveChallenge(ns::URLSession& session,
                                                         const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                                         ns::URLSessionChallengeCompletion completionHandler) {
    auto disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    std::shared_ptr<ns::URLCredential> credential;
    if (auto block = get(sessionDidReceiveAuthenticationChallenge_)) {
        disposition = block(session, challenge, &credential);
    } else if (isServerTrust(*challenge)) {
        disposition = judgeServerTrust(securityPolicy().get(), *challenge, &credential);
        if (disposition == ns::URLSessionAuthChallengeDisposition::UseCredential && !credential)
            disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    }
    if (completionHandler) completionHandler(disposition, credential);
}

void NetURLSessionManager::URLSessionDidFinishEventsForBackgroundURLSession(ns::URLSession& session) {
    auto block = get(didFinishEventsForBackgroundURLSession_);
    if (!block) return;
    ns::DispatchQueue::main()->async(
        [block, keep = std::static_pointer_cast<ns::URLSession>(session.shared_from_this())] { block(*keep); });
}

void NetURLSessionManager::URLSessionTaskWillPerformHTTPRedirection(
    ns::URLSession& session, ns::URLSessionTask& task, const std::shared_ptr<ns::HTTPURLResponse>& response,
    const ns::URLRequest& request, std::function<void(std::optional<ns::URLRequest>)> completionHandler) {
    std::optional<ns::URLRequest> follow = request;
    if (auto block = get(taskWillPerformHTTPRedirection_)) follow = block(session, task, response, request);
    if (completionHandler) completionHandler(std::move(follow));
}

void NetURLSessionManager::URLSessionTaskDidReceiveChallenge(ns::URLSession& session, ns::URLSessionTask& task,
                                                             const std::shared_ptr<ns::URLAuthenticationChallenge>& challenge,
                                                             ns::URLSessionChallengeCompletion completionHandler) {
    auto disposition = ns::URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    std::shared_ptr<ns::URLCredential> credential;
    if (auto block = get(taskDidReceiveAuthenticationChallenge_)) {
        disposition = block(session, task, challenge, &credential);
    } else if (isServerTrust(*challenge)) {
        disposition = judgeServerTrust(securityPolicy().get(), *challenge, &credential);
    }
    if (completionHandler) completionHandler(disposition, credential);
}

void NetURLSessionManager::URLSessionTaskNeedNewBodyStream(
    ns::URLSession& session, ns::URLSessionTask& task,
    std::function<void(std::shared_ptr<ns::InputStream>)> completionHandler) {
    std::shared_ptr<ns::InputStream> stream;
    if (auto block = get(taskNeedNewBodyStream_)) {
        stream = block(session, task);
    } else if (const auto& body = task.originalRequest().HTTPBodyStream()) {
        stream = std::dynamic_pointer_cast<ns::InputStream>(body->copy());
    }
    if (completionHandler) completionHandler(std::move(stream));
}

void NetURLSessionManager::URLSessionTaskDidSendBodyData(ns::URLSession& session, ns::URLSessionTask& task,
                                                         std::int64_t bytesSent, std::int64_t totalBytesSent,
                                                         std::int64_t totalBytesExpectedToSend) {
    const std::int64_t expected = expectedBodyLength(task, totalBytesExpectedToSend);
    if (auto delegate = delegateForTask(task))
        ns::URLSessionDelegateDispatch::URLSessionTaskDidSendBodyData(*delegate, session, task, bytesSent, totalBytesSent,
                                                                      expected);
    if (auto block = get(taskDidSendBodyData_)) block(session, task, bytesSent, totalBytesSent, expected);
}

void NetURLSessionManager::URLSessionTaskDidCompleteWithError(ns::URLSession& session, ns::URLSessionTask& task,
                                                              const std::optional<ns::Error>& error) {
    if (auto delegate = delegateForTask(task)) {
        ns::URLSessionDelegateDispatch::URLSessionTaskDidCompleteWithError(*delegate, session, task, error);
        removeDelegateForTask(task);
    }
    if (auto block = get(taskDidComplete_)) block(session, task, error);
}

void NetURLSessionManager::URLSessionDataTaskDidReceiveResponse(
    ns::URLSession& session, ns::URLSessionDataTask& dataTask, const std::shared_ptr<ns::URLResponse>& response,
    std::function<void(ns::URLSessionResponseDisposition)> completionHandler) {
    auto disposition = ns::URLSessionResponseDisposition::Allow;
    if (auto block = get(dataTaskDidReceiveResponse_)) disposition = block(session, dataTask, response);
    if (completionHandler) completionHandler(disposition);
}

void NetURLSessionManager::URLSessionDataTaskDidBecomeDownloadTask(ns::URLSession& session,
                                                                   ns::URLSessionDataTask& dataTask,
                                                                   ns::URLSessionDownloadTask& downloadTask) {
    if (auto delegate = delegateForTask(dataTask)) {
        removeDelegateForTask(dataTask);
        delegate->setTask(std::static_pointer_cast<ns::URLSessionTask>(downloadTask.shared_from_this()));
        setDelegate(std::move(delegate), downloadTask);
    }
    if (auto block = get(dataTaskDidBecomeDownloadTask_)) block(session, dataTask, downloadTask);
}

void NetURLSessionManager::URLSessionDataTaskDidReceiveData(ns::URLSession& session, ns::URLSessionDataTask& dataTask,
                                                            const ns::Data& data) {
    if (auto delegate = delegateForTask(dataTask))
        ns::URLSessionDelegateDispatch::URLSessionDataTaskDidReceiveData(*delegate, session, dataTask, data);
    if (auto block = get(dataTaskDidReceiveData_)) block(session, dataTask, data);
}

void NetURLSessionManager::URLSessionDataTaskWillCacheResponse(
    ns::URLSession& session, ns::URLSessionDataTask& dataTask,
    const std::shared_ptr<ns::CachedURLResponse>& proposedResponse,
    std::function<void(std::shared_ptr<ns::CachedURLResponse>)> completionHandler) {
    auto kept = proposedResponse;
    if (auto block = get(dataTaskWillCacheResponse_)) kept = block(session, dataTask, proposedResponse);
    if (completionHandler) completionHandler(std::move(kept));
}

void NetURLSessionManager::URLSessionDownloadTaskDidFinishDownloadingToURL(ns::URLSession& session,
                                                                           ns::URLSessionDownloadTask& downloadTask,
                                                                           const ns::URL& location) {
    auto delegate = delegateForTask(downloadTask);
    if (auto block = get(downloadTaskDidFinishDownloading_)) {
        if (auto destination = block(session, downloadTask, location)) {
            // A task of another owner has no delegate to remember the file; the move happens all the same.
            (delegate ? delegate : std::make_shared<NetURLSessionManagerTaskDelegate>())
                ->moveDownload(downloadTask, location, *destination);
            return;
        }
    }
    if (delegate) delegate->URLSessionDownloadTaskDidFinishDownloadingToURL(session, downloadTask, location);
}

void NetURLSessionManager::URLSessionDownloadTaskDidWriteData(ns::URLSession& session,
                                                              ns::URLSessionDownloadTask& downloadTask,
                                                              std::int64_t bytesWritten, std::int64_t totalBytesWritten,
                                                              std::int64_t totalBytesExpectedToWrite) {
    if (auto delegate = delegateForTask(downloadTask))
        delegate->URLSessionDownloadTaskDidWriteData(session, downloadTask, bytesWritten, totalBytesWritten,
                                                     totalBytesExpectedToWrite);
    if (auto block = get(downloadTaskDidWriteData_))
        block(session, downloadTask, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

void NetURLSessionManager::URLSessionDownloadTaskDidResumeAtOffset(ns::URLSession& session,
                                                                   ns::URLSessionDownloadTask& downloadTask,
                                                                   std::int64_t fileOffset,
                                                                   std::int64_t expectedTotalBytes) {
    if (auto delegate = delegateForTask(downloadTask))
        delegate->URLSessionDownloadTaskDidResumeAtOffset(session, downloadTask, fileOffset, expectedTotalBytes);
    if (auto block = get(downloadTaskDidResume_)) block(session, downloadTask, fileOffset, expectedTotalBytes);
}

// ---- Archiving and copying ----

void NetURLSessionManager::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(ns::Value(std::static_pointer_cast<ns::Object>(sessionConfiguration())), "sessionConfiguration");
}

bool NetURLSessionManager::initWithCoder(ns::KeyedUnarchiver& coder) {
    // An archive without one gives the default configuration, as a manager made without one has.
    if (auto configuration = coder.decodeObjectOfClass<ns::URLSessionConfiguration>("sessionConfiguration"))
        setSessionConfiguration(std::move(configuration));
    return true;
}

std::shared_ptr<ns::Object> NetURLSessionManager::copy() const {
    auto made = std::dynamic_pointer_cast<NetURLSessionManager>(objectClass().createInstance());
    if (made) made->setSessionConfiguration(sessionConfiguration());
    return made;
}

}  // namespace ql
