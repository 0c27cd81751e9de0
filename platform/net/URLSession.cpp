#include "platform/net/URLSession.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/foundation/Locked.h"
#include "platform/foundation/OperationQueue.h"

namespace ql::ns {

namespace {

std::shared_ptr<OperationQueue> serialQueue() {
    auto queue = std::make_shared<OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    return queue;
}

std::int64_t bodyLength(const URLRequest& request) {
    if (request.HTTPBody()) return static_cast<std::int64_t>(request.HTTPBody()->length());
    return request.HTTPBodyStream() ? URLSessionTransferSizeUnknown : 0;
}

}  // namespace

URLSession::URLSession(Key, std::shared_ptr<URLSessionConfiguration> configuration,
                       std::shared_ptr<URLSessionDelegate> delegate, std::shared_ptr<OperationQueue> delegateQueue,
                       bool shared)
    : configuration_(std::move(configuration)),
      delegateQueue_(delegateQueue ? std::move(delegateQueue) : serialQueue()),
      shared_(shared),
      delegate_(delegate) {}

URLSession::~URLSession() = default;

std::shared_ptr<URLSession> URLSession::sharedSession() {
    static const auto* session = new std::shared_ptr<URLSession>(std::make_shared<URLSession>(
        Key{}, URLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr, true));
    return *session;
}

std::shared_ptr<URLSession> URLSession::sessionWithConfiguration(std::shared_ptr<URLSessionConfiguration> configuration) {
    return sessionWithConfiguration(std::move(configuration), nullptr, nullptr);
}

std::shared_ptr<URLSession> URLSession::sessionWithConfiguration(std::shared_ptr<URLSessionConfiguration> configuration,
                                                                 std::shared_ptr<URLSessionDelegate> delegate,
                                                                 std::shared_ptr<OperationQueue> delegateQueue) {
    auto copy = configuration ? std::static_pointer_cast<URLSessionConfiguration>(configuration->copy())
                              : URLSessionConfiguration::defaultSessionConfiguration();
    return std::make_shared<URLSession>(Key{}, std::move(copy), std::move(delegate), std::move(delegateQueue), false);
}

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const {
    std::lock_guard lock(mutex_);
    return delegateWhileBusy_ ? delegateWhileBusy_ : delegate_.lock();
}

std::shared_ptr<URLSessionConfiguration> URLSession::configuration() const {
    return std::static_pointer_cast<URLSessionConfiguration>(configuration_->copy());
}

std::optional<std::string> URLSession::sessionDescription() const { return ns::lockedCopy(mutex_, description_); }

void URLSession::setSessionDescription(std::optional<std::string> description) {
    ns::lockedStore(mutex_, description_, std::move(description));
}

std::string URLSession::description() const { return "<NSURLSession: " + addressText(this) + ">"; }

// ---- Tasks ----

void URLSession::registerTask(const std::shared_ptr<URLSessionTask>& task) {
    std::lock_guard lock(mutex_);
    std::erase_if(tasks_, [](const std::weak_ptr<URLSessionTask>& weak) { return weak.expired(); });
    tasks_.push_back(task);
}

template <class Task, class... Extra>
std::shared_ptr<Task> URLSession::makeTask(const URLRequest& request, URLSessionTask::Upload upload,
                                           std::int64_t expectedToSend, Extra&&... extra) {
    std::uint64_t identifier;
    {
        std::lock_guard lock(mutex_);
        if (invalidating_) return nullptr;
        identifier = ++lastIdentifier_;
    }
    auto self = std::static_pointer_cast<URLSession>(shared_from_this());
    std::shared_ptr<Task> task;
    if constexpr (std::is_same_v<Task, URLSessionDownloadTask>) {
        task = std::make_shared<Task>(URLSessionTask::Key{}, self, identifier, request, std::forward<Extra>(extra)...);
    } else {
        task = std::make_shared<Task>(URLSessionTask::Key{}, self, identifier, request, std::move(upload),
                                      expectedToSend, std::forward<Extra>(extra)...);
    }
    registerTask(task);
    return task;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(const URLRequest& request) {
    return dataTaskWithRequest(request, nullptr);
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(
    const URLRequest& request, URLSessionDataTask::CompletionHandler completionHandler) {
    return makeTask<URLSessionDataTask>(request, std::monostate(), bodyLength(request), std::move(completionHandler));
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithURL(const URL& url) {
    return dataTaskWithRequest(URLRequest(url));
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithURL(
    const URL& url, URLSessionDataTask::CompletionHandler completionHandler) {
    return dataTaskWithRequest(URLRequest(url), std::move(completionHandler));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(const URLRequest& request, const URL& fromFile) {
    return uploadTaskWithRequest(request, fromFile, nullptr);
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(
    const URLRequest& request, const URL& fromFile, URLSessionDataTask::CompletionHandler completionHandler) {
    const std::string path = fromFile.path();
    struct stat info {};
    const std::int64_t size = ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
    return makeTask<URLSessionUploadTask>(request, path, size, std::move(completionHandler));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(const URLRequest& request,
                                                                        const Data& fromData) {
    return uploadTaskWithRequest(request, fromData, nullptr);
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(
    const URLRequest& request, const Data& fromData, URLSessionDataTask::CompletionHandler completionHandler) {
    return makeTask<URLSessionUploadTask>(request, fromData, static_cast<std::int64_t>(fromData.length()),
                                          std::move(completionHandler));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithStreamedRequest(const URLRequest& request) {
    return makeTask<URLSessionUploadTask>(request, std::monostate(), URLSessionTransferSizeUnknown,
                                          URLSessionDataTask::CompletionHandler());
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(const URLRequest& request) {
    return downloadTaskWithRequest(request, nullptr);
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(
    const URLRequest& request, URLSessionDownloadTask::CompletionHandler completionHandler) {
    return makeTask<URLSessionDownloadTask>(request, std::monostate(), 0, std::move(completionHandler));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithResumeData(const Data& resumeData) {
    return downloadTaskWithResumeData(resumeData, nullptr);
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithResumeData(
    const Data& resumeData, URLSessionDownloadTask::CompletionHandler completionHandler) {
    auto resume = DownloadResumeData::fromData(resumeData);
    if (!resume) return nullptr;
    const URLRequest request = resume->request();
    return makeTask<URLSessionDownloadTask>(request, std::monostate(), 0, std::move(completionHandler), std::move(resume));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithURL(const URL& url) {
    return downloadTaskWithRequest(URLRequest(url));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithURL(
    const URL& url, URLSessionDownloadTask::CompletionHandler completionHandler) {
    return downloadTaskWithRequest(URLRequest(url), std::move(completionHandler));
}

std::vector<std::shared_ptr<URLSessionTask>> URLSession::liveTasks() const {
    std::vector<std::shared_ptr<URLSessionTask>> live;
    {
        std::lock_guard lock(mutex_);
        for (const auto& weak : tasks_) {
            if (auto task = weak.lock()) live.push_back(std::move(task));
        }
    }
    // Asked outside the session's lock: a task asks its session under its own.
    std::erase_if(live, [](const auto& task) { return task->state() == URLSessionTaskState::Completed; });
    return live;
}

void URLSession::getTasksWithCompletionHandler(
    std::function<void(std::vector<std::shared_ptr<URLSessionDataTask>>, std::vector<std::shared_ptr<URLSessionUploadTask>>,
                       std::vector<std::shared_ptr<URLSessionDownloadTask>>)>
        completionHandler) {
    auto self = std::static_pointer_cast<URLSession>(shared_from_this());
    delegateQueue_->addOperationWithBlock([self, completionHandler = std::move(completionHandler)] {
        std::vector<std::shared_ptr<URLSessionDataTask>> data;
        std::vector<std::shared_ptr<URLSessionUploadTask>> uploads;
        std::vector<std::shared_ptr<URLSessionDownloadTask>> downloads;
        for (auto& task : self->liveTasks()) {
            if (auto upload = std::dynamic_pointer_cast<URLSessionUploadTask>(task)) uploads.push_back(std::move(upload));
            else if (auto dataTask = std::dynamic_pointer_cast<URLSessionDataTask>(task)) data.push_back(std::move(dataTask));
            else if (auto download = std::dynamic_pointer_cast<URLSessionDownloadTask>(task))
                downloads.push_back(std::move(download));
        }
        completionHandler(std::move(data), std::move(uploads), std::move(downloads));
    });
}

// ---- Life ----

URLLoadOptions URLSession::loadOptions() const {
    URLLoadOptions options;
    options.cache = configuration_->URLCache();
    if (configuration_->HTTPShouldSetCookies()) options.cookies = configuration_->HTTPCookieStorage();
    options.defaultCachePolicy = configuration_->requestCachePolicy();
    options.defaultTimeoutInterval = configuration_->timeoutIntervalForRequest();
    options.resourceTimeout = configuration_->timeoutIntervalForResource();
    options.additionalHeaders = HTTPHeaderFields::fromDictionary(configuration_->HTTPAdditionalHeaders());
    options.ownerJudgesServerTrust = delegate() != nullptr;
    options.asksForFirstRequest = false;
    options.cancelledChallengeErrorCode = URLErrorCancelled;
    options.approvals = approvals_;
    return options;
}

void URLSession::taskDidStart() {
    std::lock_guard lock(mutex_);
    ++runningTasks_;
    if (!delegateWhileBusy_) delegateWhileBusy_ = delegate_.lock();
}

void URLSession::taskDidComplete(const URLSessionTask& task) {
    std::shared_ptr<URLSessionDelegate> released;  // let go outside the lock: it may be the last owner
    {
        std::lock_guard lock(mutex_);
        --runningTasks_;
        std::erase_if(tasks_, [&](const std::weak_ptr<URLSessionTask>& weak) {
            auto alive = weak.lock();
            return !alive || alive.get() == &task;
        });
        if (runningTasks_ == 0 && !invalidating_) released = std::move(delegateWhileBusy_);
    }
    invalidateIfDone();
}

void URLSession::invalidateIfDone() {
    std::shared_ptr<URLSessionDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        if (!invalidating_ || invalidationReported_) return;
    }
    if (!liveTasks().empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (invalidationReported_) return;
        invalidationReported_ = true;
        delegate = delegateWhileBusy_ ? delegateWhileBusy_ : delegate_.lock();
    }
    auto self = std::static_pointer_cast<URLSession>(shared_from_this());
    delegateQueue_->addOperationWithBlock([self, delegate] {
        if (delegate) delegate->URLSessionDidBecomeInvalidWithError(*self, std::nullopt);
        std::shared_ptr<URLSessionDelegate> released;
        std::lock_guard lock(self->mutex_);
        released = std::move(self->delegateWhileBusy_);
        self->delegate_.reset();
    });
}

void URLSession::finishTasksAndInvalidate() {
    if (shared_) return;
    {
        std::lock_guard lock(mutex_);
        if (invalidating_) return;
        invalidating_ = true;
        if (!delegateWhileBusy_) delegateWhileBusy_ = delegate_.lock();
    }
    invalidateIfDone();
}

void URLSession::invalidateAndCancel() {
    if (shared_) return;
    finishTasksAndInvalidate();
    for (const auto& task : liveTasks()) task->cancel();
}

}  // namespace ql::ns
