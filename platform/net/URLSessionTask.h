#pragma once
// The tasks of a URL session, after the platform's: a data task collects a reply for its delegate or
// completion handler, an upload task is a data task whose body comes from data, a file or a stream, and a
// download task writes the reply to a file. Tasks start suspended; resume() starts them. Their state and
// byte counts ("state", "countOfBytesSent", "countOfBytesReceived", …) announce changes to key-value
// observers. After cancel() a task's delegate hears only that it completed, with the "cancelled" error.
//
// resume() and suspend() run through hooks that components install (the platform's method exchange):
// each hook gets the task and the call it wraps, and decides when to make it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/net/DownloadResumeData.h"
#include "platform/net/LoadEventQueue.h"
#include "platform/net/URLLoad.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"

namespace ql::ns {

class URLSession;
class URLSessionDelegate;

enum class URLSessionTaskState : std::int64_t {
    Running = 0,
    Suspended = 1,
    Canceling = 2,
    Completed = 3,
};

inline constexpr std::int64_t URLSessionTransferSizeUnknown = -1;
// Where a cancelled download's error carries the data to resume it with.
inline constexpr std::string_view URLSessionDownloadTaskResumeData = "NSURLSessionDownloadTaskResumeData";

class URLSessionTask : public Object, private QueuedLoadClient {
    QL_OBJECT_NAMED(URLSessionTask, Object, "NSURLSessionTask")
public:
    ~URLSessionTask() override;

    // Unique within its session, from 1.
    std::uint64_t taskIdentifier() const { return identifier_; }
    const URLRequest& originalRequest() const { return originalRequest_; }
    URLRequest currentRequest() const;
    std::shared_ptr<URLResponse> response() const;
    std::optional<Error> error() const;
    URLSessionTaskState state() const;

    std::int64_t countOfBytesSent() const;
    std::int64_t countOfBytesReceived() const;
    std::int64_t countOfBytesExpectedToSend() const;
    std::int64_t countOfBytesExpectedToReceive() const;

    std::optional<std::string> taskDescription() const;
    void setTaskDescription(std::optional<std::string> description);

    void resume();
    void suspend();
    void cancel();

    // "<NSURLSessionDataTask: 0x…> { taskIdentifier: 1 } { running }"
    std::string description() const override;
    Value valueForKey(std::string_view key) const override;

    // Wraps every task's resume or suspend; hooks installed later wrap those installed before.
    using MethodHook = std::function<void(URLSessionTask& task, const std::function<void()>& original)>;
    static void installResumeHook(MethodHook hook);
    static void installSuspendHook(MethodHook hook);
    // For tests: removes every installed hook.
    static void removeAllHooks();

protected:
    class Key {
        friend class URLSession;
        Key() = default;
    };
    using Upload = std::variant<std::monostate, Data, std::string /* file path */>;
    URLSessionTask(std::weak_ptr<URLSession> session, std::uint64_t identifier, URLRequest request, Upload upload,
                   std::int64_t expectedToSend);

    // The session, alive while the task runs; null after it ended.
    std::shared_ptr<URLSession> session() const;
    // The session's delegate, if it has one; dynamic_pointer_cast tells which protocols it adopts.
    std::shared_ptr<URLSessionDelegate> delegate() const;
    bool hasCompletionHandler() const { return hasCompletionHandler_; }
    void setHasCompletionHandler() { hasCompletionHandler_ = true; }

    // Last changes to a load about to start (on the thread that resumes the task).
    virtual void prepareLoad(URLLoadOptions& options) { (void)options; }
    // What a kind of task does with the reply, on the delegate queue. An answer the delegate gives later
    // goes to release(), which lets delivery go on.
    virtual void deliverResponse(const std::shared_ptr<URLResponse>& response) = 0;
    virtual void deliverData(const Data& data) = 0;
    virtual void deliverCacheOffer(load_event::WillCache& offer) = 0;
    // The task's end: tells the delegate or completion handler.
    virtual void deliverCompletion(const std::optional<Error>& error) = 0;
    // Whether the reply's head and body reach no delegate (a data task with a completion handler): they
    // are then taken in as they arrive, on the loading thread, without a trip through the delegate queue.
    virtual bool takesReplyOnArrival() const { return false; }
    virtual void takeData(const Data& data) { (void)data; }
    // Holds delivery until release(): the delegate answers later.
    void hold();
    void release();
    void addReceivedBytes(std::int64_t count);
    void setExpectedToReceive(std::int64_t count);
    // Cancels the load as if cancel() had been called, reporting `error` when the task completes.
    void cancelWithError(Error error);
    // Serializes a caller's look at what the delegate queue delivered so far (see deliveryMutex_).
    std::unique_lock<std::recursive_mutex> holdDelivery() { return std::unique_lock(deliveryMutex_); }
    // The delegate's part in a completion, through the interceptable dispatch.
    void tellDelegateCompleted(const std::optional<Error>& error);

private:
    friend class URLSession;

    void resumeTask();
    void suspendTask();
    void changeState(URLSessionTaskState state);
    void requestDrain();
    void drain();
    void dispatch(LoadEvent& event);
    void complete(const std::optional<Error>& error);

    // Replies a task takes on arrival skip the queue.
    void loadDidReceiveResponse(const std::shared_ptr<URLResponse>& response) override;
    void loadDidReceiveData(const Data& data) override;
    void enqueue(LoadEvent event) override;

    const std::weak_ptr<URLSession> weakSession_;
    const std::uint64_t identifier_;
    const URLRequest originalRequest_;
    const Upload upload_;
    bool hasCompletionHandler_ = false;
    LoadEventQueue queue_;
    std::weak_ptr<URLLoad> backpressureTarget_;  // set once before the load starts
    // Held while the delegate is called: see URLConnection.
    std::recursive_mutex deliveryMutex_;

    mutable std::mutex mutex_;
    std::shared_ptr<URLSession> runningSession_;  // keeps the session while the task runs
    std::shared_ptr<URLLoad> load_;
    // The request a redirect led to; until then the current request is the original one, which a task
    // thus need not copy.
    std::optional<URLRequest> redirectedRequest_;
    std::shared_ptr<URLResponse> response_;
    std::optional<Error> error_;
    std::optional<Error> cancellationError_;
    URLSessionTaskState state_ = URLSessionTaskState::Suspended;
    std::optional<std::string> description_;
    std::int64_t sent_ = 0;
    std::int64_t received_ = 0;
    std::int64_t expectedToSend_;
    std::int64_t expectedToReceive_ = 0;
    bool draining_ = false;
    bool drainDeferred_ = false;  // a drain is asked for at the end of the engine's round
    bool held_ = false;
    bool cancelled_ = false;
};

class URLSessionDataTask : public URLSessionTask {
    QL_OBJECT_NAMED(URLSessionDataTask, URLSessionTask, "NSURLSessionDataTask")
public:
    using CompletionHandler = std::function<void(const std::optional<Data>& data,
                                                 const std::shared_ptr<URLResponse>& response,
                                                 const std::optional<Error>& error)>;

    URLSessionDataTask(Key, std::weak_ptr<URLSession> session, std::uint64_t identifier, URLRequest request,
                       Upload upload, std::int64_t expectedToSend, CompletionHandler completionHandler);

protected:
    void deliverResponse(const std::shared_ptr<URLResponse>& response) override;
    void deliverData(const Data& data) override;
    void deliverCacheOffer(load_event::WillCache& offer) override;
    void deliverCompletion(const std::optional<Error>& error) override;
    bool takesReplyOnArrival() const override { return hasCompletionHandler(); }
    void takeData(const Data& data) override;

private:
    CompletionHandler completionHandler_;
    std::mutex bodyMutex_;
    Data body_;  // collected for the completion handler
};

class URLSessionUploadTask final : public URLSessionDataTask {
    QL_OBJECT_NAMED(URLSessionUploadTask, URLSessionDataTask, "NSURLSessionUploadTask")
public:
    using URLSessionDataTask::URLSessionDataTask;
};

// A download task resumed from resume data asks only for the bytes its partial file lacks ("Range", with
// "If-Range" naming the validator); a 206 reply that continues at that offset is appended to the file, any
// other reply replaces it. Either way its delegate hears where the download resumed before any write.
class URLSessionDownloadTask final : public URLSessionTask {
    QL_OBJECT_NAMED(URLSessionDownloadTask, URLSessionTask, "NSURLSessionDownloadTask")
public:
    using CompletionHandler = std::function<void(const std::optional<URL>& location,
                                                 const std::shared_ptr<URLResponse>& response,
                                                 const std::optional<Error>& error)>;

    URLSessionDownloadTask(Key, std::weak_ptr<URLSession> session, std::uint64_t identifier, URLRequest request,
                           CompletionHandler completionHandler,
                           std::optional<DownloadResumeData> resumeData = std::nullopt);
    ~URLSessionDownloadTask() override;

    // Cancels the download and answers, on the delegate queue, with the data to resume it later (also in
    // the cancellation error, under URLSessionDownloadTaskResumeData), or with nothing when it cannot be
    // resumed: nothing written yet, or a reply that cannot be asked for in part (see DownloadResumeData).
    // The partial file is then kept for the resumed task.
    void cancelByProducingResumeData(std::function<void(std::optional<Data>)> completionHandler);

protected:
    void prepareLoad(URLLoadOptions& options) override;
    void deliverResponse(const std::shared_ptr<URLResponse>& response) override;
    void deliverData(const Data& data) override;
    void deliverCacheOffer(load_event::WillCache& offer) override;
    void deliverCompletion(const std::optional<Error>& error) override;

private:
    void closeFile();
    void removeFile();
    // Opens the partial file to append the rest to; answers the offset it continues at, 0 when the reply
    // starts over (a new file is then made).
    std::int64_t continuePartialFile(const std::shared_ptr<URLResponse>& response);
    void tellDelegateResumed(std::int64_t offset, std::int64_t expectedTotal);

    CompletionHandler completionHandler_;
    std::optional<DownloadResumeData> resumeData_;  // a resumed task's, until its reply came
    bool resumes_ = false;
    std::string path_;
    int fd_ = -1;
    std::int64_t written_ = 0;  // the file's length
    bool keepsFile_ = false;    // for a later resumption
};

}  // namespace ql::ns
