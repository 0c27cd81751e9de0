#include "net/NetURLSessionManagerTaskDelegate.h"

#include "net/NetURLSessionManager.h"
#include "net/NetURLSessionNotifications.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/NotificationCenter.h"

namespace ql {

namespace {

const std::shared_ptr<ns::DispatchQueue>& processingQueue() {
    static const auto* queue = new std::shared_ptr<ns::DispatchQueue>(
        ns::DispatchQueue::concurrent("com.varnholt.networking.session.manager.processing"));
    return *queue;
}

const std::shared_ptr<ns::DispatchGroup>& defaultCompletionGroup() {
    static const auto* group = new std::shared_ptr<ns::DispatchGroup>(std::make_shared<ns::DispatchGroup>());
    return *group;
}

void postCompletion(const std::shared_ptr<ns::URLSessionTask>& task, ns::Dictionary userInfo) {
    ns::DispatchQueue::main()->async([task, userInfo = std::move(userInfo)] {
        ns::NotificationCenter::defaultCenter().post(NetNetworkingTaskDidCompleteNotification, task.get(), userInfo);
    });
}

}  // namespace

const std::shared_ptr<ns::DispatchQueue>& NetURLSessionManagerCreationQueue() {
    static const auto* queue = new std::shared_ptr<ns::DispatchQueue>(
        ns::DispatchQueue::serial("com.varnholt.networking.session.manager.creation"));
    return *queue;
}

NetURLSessionManagerTaskDelegate::NetURLSessionManagerTaskDelegate()
    : mutableData_(ns::Data()), progress_(ns::Progress::progressWithTotalUnitCount(0)) {}

// ---- Fields ----

std::shared_ptr<NetURLSessionManager> NetURLSessionManagerTaskDelegate::manager() const {
    std::lock_guard lock(mutex_);
    return manager_.lock();
}

void NetURLSessionManagerTaskDelegate::setManager(std::weak_ptr<NetURLSessionManager> manager) {
    ns::lockedStore(mutex_, manager_, std::move(manager));
}

std::shared_ptr<ns::URLSessionTask> NetURLSessionManagerTaskDelegate::task() const {
    std::lock_guard lock(mutex_);
    return task_.lock();
}

void NetURLSessionManagerTaskDelegate::setTask(std::weak_ptr<ns::URLSessionTask> task) {
    ns::lockedStore(mutex_, task_, std::move(task));
}

std::optional<ns::Data> NetURLSessionManagerTaskDelegate::mutableData() const {
    return ns::lockedCopy(mutex_, mutableData_);
}

std::shared_ptr<ns::Progress> NetURLSessionManagerTaskDelegate::progress() const {
    return ns::lockedCopy(mutex_, progress_);
}

void NetURLSessionManagerTaskDelegate::setProgress(std::shared_ptr<ns::Progress> progress) {
    ns::lockedStore(mutex_, progress_, std::move(progress));
}

std::optional<ns::URL> NetURLSessionManagerTaskDelegate::downloadFileURL() const {
    return ns::lockedCopy(mutex_, downloadFileURL_);
}

void NetURLSessionManagerTaskDelegate::setDownloadFileURL(std::optional<ns::URL> url) {
    ns::lockedStore(mutex_, downloadFileURL_, std::move(url));
}

NetURLSessionManagerTaskDelegate::DownloadDestinationBlock
NetURLSessionManagerTaskDelegate::downloadTaskDidFinishDownloading() const {
    return ns::lockedCopy(mutex_, downloadTaskDidFinishDownloading_);
}

void NetURLSessionManagerTaskDelegate::setDownloadTaskDidFinishDownloading(DownloadDestinationBlock block) {
    ns::lockedStore(mutex_, downloadTaskDidFinishDownloading_, std::move(block));
}

NetURLSessionManagerTaskDelegate::CompletionHandler NetURLSessionManagerTaskDelegate::completionHandler() const {
    return ns::lockedCopy(mutex_, completionHandler_);
}

void NetURLSessionManagerTaskDelegate::setCompletionHandler(CompletionHandler handler) {
    ns::lockedStore(mutex_, completionHandler_, std::move(handler));
}

// ---- Progress and body ----

void NetURLSessionManagerTaskDelegate::URLSessionTaskDidSendBodyData(ns::URLSession&, ns::URLSessionTask&,
                                                                     std::int64_t, std::int64_t totalBytesSent,
                                                                     std::int64_t totalBytesExpectedToSend) {
    const auto tracked = progress();
    tracked->setTotalUnitCount(totalBytesExpectedToSend);
    tracked->setCompletedUnitCount(totalBytesSent);
}

void NetURLSessionManagerTaskDelegate::URLSessionDataTaskDidReceiveData(ns::URLSession&, ns::URLSessionDataTask&,
                                                                        const ns::Data& data) {
    std::lock_guard lock(mutex_);
    if (mutableData_) mutableData_->append(data);
}

void NetURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidWriteData(ns::URLSession&, ns::URLSessionDownloadTask&,
                                                                          std::int64_t, std::int64_t totalBytesWritten,
                                                                          std::int64_t totalBytesExpectedToWrite) {
    const auto tracked = progress();
    tracked->setTotalUnitCount(totalBytesExpectedToWrite);
    tracked->setCompletedUnitCount(totalBytesWritten);
}

void NetURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidResumeAtOffset(ns::URLSession&,
                                                                               ns::URLSessionDownloadTask&,
                                                                               std::int64_t fileOffset,
                                                                               std::int64_t expectedTotalBytes) {
    const auto tracked = progress();
    tracked->setTotalUnitCount(expectedTotalBytes);
    tracked->setCompletedUnitCount(fileOffset);
}

// ---- Downloads ----

void NetURLSessionManagerTaskDelegate::URLSessionDownloadTaskDidFinishDownloadingToURL(
    ns::URLSession& session, ns::URLSessionDownloadTask& downloadTask, const ns::URL& location) {
    setDownloadFileURL(std::nullopt);
    const auto destinationBlock = downloadTaskDidFinishDownloading();
    if (!destinationBlock) return;
    if (auto destination = destinationBlock(session, downloadTask, location))
        moveDownload(downloadTask, location, *destination);
}

void NetURLSessionManagerTaskDelegate::moveDownload(ns::URLSessionDownloadTask& downloadTask, const ns::URL& location,
                                                    const ns::URL& destination) {
    ns::Error moveError(std::string(ns::CocoaErrorDomain), 0);
    if (ns::FileManager::defaultManager().moveItemAtPath(location.path(), destination.path(), &moveError)) {
        std::lock_guard lock(mutex_);
        downloadFileURL_ = destination;
        downloadMoveError_.reset();
        return;
    }
    {
        // The file is not where the caller asked for it: its completion handler hears why instead.
        std::lock_guard lock(mutex_);
        downloadFileURL_.reset();
        downloadMoveError_ = moveError;
    }
    ns::NotificationCenter::defaultCenter().post(NetURLSessionDownloadTaskDidFailToMoveFileNotification, &downloadTask,
                                                 moveError.userInfo());
}

// ---- Completion ----

void NetURLSessionManagerTaskDelegate::URLSessionTaskDidCompleteWithError(ns::URLSession&, ns::URLSessionTask& task,
                                                                          const std::optional<ns::Error>& error) {
    // The manager is kept until the reply has been delivered, so a manager let go while its task ran still
    // parses the reply and calls the handler.
    const auto owner = manager();
    const auto serializer = owner ? owner->responseSerializer() : nullptr;
    ns::Dictionary userInfo;
    if (auto object = std::dynamic_pointer_cast<ns::Object>(serializer))
        userInfo.set(std::string(NetNetworkingTaskDidCompleteResponseSerializerKey), ns::Value(object));

    std::optional<ns::Data> body;
    std::optional<ns::URL> fileURL;
    std::optional<ns::Error> moveError;
    CompletionHandler handler;
    {
        std::lock_guard lock(mutex_);
        body = std::exchange(mutableData_, std::nullopt);
        fileURL = downloadFileURL_;
        moveError = downloadMoveError_;
        handler = completionHandler_;
    }
    if (fileURL) userInfo.set(std::string(NetNetworkingTaskDidCompleteAssetPathKey), fileURL->boxed());
    else if (body) userInfo.set(std::string(NetNetworkingTaskDidCompleteResponseDataKey), ns::Value(*body));

    auto group = owner ? owner->completionGroup() : nullptr;
    if (!group) group = defaultCompletionGroup();
    auto queue = owner ? owner->completionQueue() : nullptr;
    if (!queue) queue = ns::DispatchQueue::main();
    const auto taskObject = std::static_pointer_cast<ns::URLSessionTask>(task.shared_from_this());
    const auto response = task.response();

    if (const std::optional<ns::Error> failure = error ? error : moveError) {
        userInfo.set(std::string(NetNetworkingTaskDidCompleteErrorKey), failure->boxed());
        group->async(queue, [owner, handler, response, failure, taskObject, userInfo] {
            if (handler) handler(response, ns::Value(), failure);
            postCompletion(taskObject, userInfo);
        });
        return;
    }
    processingQueue()->async([owner, serializer, handler, response, body, fileURL, taskObject, userInfo, group, queue] {
        std::optional<ns::Error> serializationError;
        ns::Value object;
        if (serializer) object = serializer->responseObjectForResponse(response, body, &serializationError);
        if (fileURL) object = fileURL->boxed();
        ns::Dictionary info = userInfo;
        if (!object.isNil()) info.set(std::string(NetNetworkingTaskDidCompleteSerializedResponseKey), object);
        if (serializationError) info.set(std::string(NetNetworkingTaskDidCompleteErrorKey), serializationError->boxed());
        group->async(queue, [owner, handler, response, object, serializationError, taskObject, info] {
            if (handler) handler(response, object, serializationError);
            postCompletion(taskObject, info);
        });
    });
}

}  // namespace ql
