#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/NetURLSessionManager.h"
#include "net/NetURLSessionNotifications.h"
#include "net/NetURLSessionTaskSwizzling.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Runtime.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSessionDelegateDispatch.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/platform/net/RangedFile.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::NotificationLog;
using test::pollUntil;
using test::pumpUntil;

void installTaskHooks() {
    NetURLSessionTaskSwizzling::registerLoadHook();
    ns::Runtime::runLoadHooks();
}

ns::URLRequest requestFor(const LoopbackServer& server, std::string_view path) {
    return ns::URLRequest(ns::URL::fromString(server.url(path)));
}

struct Reply {
    int calls = 0;
    bool onMainThread = true;
    std::shared_ptr<ns::URLResponse> response;
    ns::Value object;
    std::optional<ns::Error> error;

    NetURLSessionManager::CompletionHandler handler() {
        return [this](const std::shared_ptr<ns::URLResponse>& r, const ns::Value& o, const std::optional<ns::Error>& e) {
            onMainThread = onMainThread && ns::Thread::isMainThread();
            ++calls;
            response = r;
            object = o;
            error = e;
        };
    }
};

ns::Dictionary completionInfo(const NotificationLog& log, const ns::Object* task) {
    for (const auto& entry : log.entries()) {
        if (entry.sender == task) return entry.userInfo;
    }
    return {};
}

TEST(NetURLSessionManager, TasksAnnounceResumeSuspendAndCompletionWithTheCompletionKeys) {
    installTaskHooks();
    LoopbackServer server;
    server.serveText("/json", R"({"a":1})", "application/json");
    server.serveHeld("/held", server.makeGate());
    NotificationLog resumed(NetNetworkingTaskDidResumeNotification);
    NotificationLog suspended(NetNetworkingTaskDidSuspendNotification);
    NotificationLog completed(NetNetworkingTaskDidCompleteNotification);
    NotificationLog anyResume(NetURLSessionTaskDidResumeNotification);
    NotificationLog anySuspend(NetURLSessionTaskDidSuspendNotification);

    auto manager = std::make_shared<NetURLSessionManager>();
    Reply reply;
    bool notifiedBeforeHandler = false;
    auto handler = reply.handler();
    std::shared_ptr<ns::URLSessionDataTask> task;
    task = manager->dataTaskWithRequest(requestFor(server, "/json"), [&](const auto& r, const auto& o, const auto& e) {
        notifiedBeforeHandler = completed.count(task.get()) > 0;
        handler(r, o, e);
    });
    EXPECT_EQ(task->taskDescription(), manager->taskDescriptionForSessionTasks());
    task->suspend();  // suspended already: nothing to announce
    task->resume();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(task.get()) == 1; }));
    EXPECT_EQ(reply.calls, 1);
    EXPECT_TRUE(reply.onMainThread);
    EXPECT_FALSE(notifiedBeforeHandler);
    EXPECT_EQ(reply.object["a"].int64Value(), 1);
    EXPECT_EQ(anyResume.count(task.get()), 1u);
    EXPECT_EQ(resumed.count(task.get()), 1u);
    EXPECT_EQ(anySuspend.count(task.get()), 0u);

    const ns::Dictionary info = completionInfo(completed, task.get());
    EXPECT_EQ(info[NetNetworkingTaskDidCompleteResponseSerializerKey].asObject(),
              std::dynamic_pointer_cast<ns::Object>(manager->responseSerializer()));
    ASSERT_TRUE(info[NetNetworkingTaskDidCompleteResponseDataKey].asData());
    EXPECT_EQ(info[NetNetworkingTaskDidCompleteResponseDataKey].asData()->toString(), R"({"a":1})");
    EXPECT_EQ(info[NetNetworkingTaskDidCompleteSerializedResponseKey]["a"].int64Value(), 1);
    EXPECT_FALSE(info.contains(NetNetworkingTaskDidCompleteErrorKey));
    EXPECT_FALSE(info.contains(NetNetworkingTaskDidCompleteAssetPathKey));

    // Suspending a running task is announced once; tasks of other managers and of plain sessions are not
    // relayed by this manager.
    auto held = manager->dataTaskWithRequest(requestFor(server, "/held"), nullptr);
    held->resume();
    // Running already: the server holds its reply back, so it cannot have completed meanwhile (a completed
    // task that is resumed announces it again).
    held->resume();
    held->suspend();
    held->suspend();
    ASSERT_TRUE(pumpUntil([&] { return suspended.count(held.get()) == 1 && resumed.count(held.get()) == 1; }));
    EXPECT_EQ(anyResume.count(held.get()), 1u);
    EXPECT_EQ(anySuspend.count(held.get()), 1u);
    auto other = std::make_shared<NetURLSessionManager>();
    auto otherTask = other->dataTaskWithRequest(requestFor(server, "/json"), nullptr);
    otherTask->resume();
    auto plain = ns::URLSession::sharedSession()->dataTaskWithRequest(requestFor(server, "/json"));
    plain->resume();
    ASSERT_TRUE(pollUntil([&] {
        return completed.count(otherTask.get()) == 1 && plain->state() == ns::URLSessionTaskState::Completed;
    }));
    EXPECT_EQ(resumed.count(otherTask.get()), 1u);
    EXPECT_EQ(anyResume.count(plain.get()), 1u);
    EXPECT_EQ(resumed.count(plain.get()), 0u);
    held->cancel();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(held.get()) == 1; }));
}

TEST(NetURLSessionManager, ErrorsReachTheHandlerAndTheCompletionNotification) {
    int closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    LoopbackServer server;
    server.serveText("/missing", R"({"msg":"none"})", "application/json", 404);
    NotificationLog completed(NetNetworkingTaskDidCompleteNotification);
    auto manager = std::make_shared<NetURLSessionManager>();

    Reply refused;
    auto unreachable = manager->dataTaskWithRequest(
        ns::URLRequest(ns::URL::fromString("http://127.0.0.1:" + std::to_string(closedPort) + "/")), refused.handler());
    unreachable->resume();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(unreachable.get()) == 1; }));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->domain(), ns::URLErrorDomain);
    EXPECT_TRUE(refused.object.isNil());
    const ns::Dictionary failed = completionInfo(completed, unreachable.get());
    EXPECT_TRUE(failed.contains(NetNetworkingTaskDidCompleteResponseSerializerKey));
    ASSERT_TRUE(failed[NetNetworkingTaskDidCompleteResponseDataKey].asData());
    EXPECT_TRUE(failed[NetNetworkingTaskDidCompleteResponseDataKey].asData()->empty());
    EXPECT_EQ(ns::Error::fromValue(failed[NetNetworkingTaskDidCompleteErrorKey]), refused.error);
    EXPECT_FALSE(failed.contains(NetNetworkingTaskDidCompleteSerializedResponseKey));

    Reply rejected;
    auto missing = manager->dataTaskWithRequest(requestFor(server, "/missing"), rejected.handler());
    missing->resume();
    ASSERT_TRUE(pumpUntil([&] { return rejected.calls == 1; }));
    ASSERT_TRUE(rejected.error);
    EXPECT_EQ(rejected.error->localizedDescription(), "Request failed: not found (404)");
    EXPECT_EQ(rejected.object["msg"].stringValue(), "none");
}

TEST(NetURLSessionManager, AManagerLetGoWhileItsTaskRunsStillDeliversAndIsThenReleased) {
    LoopbackServer server;
    server.serveText("/json", R"({"ok":true})", "application/json");
    std::weak_ptr<NetURLSessionManager> weak;
    Reply reply;
    {
        auto manager = std::make_shared<NetURLSessionManager>();
        weak = manager;
        manager->dataTaskWithRequest(requestFor(server, "/json"), reply.handler())->resume();
    }
    EXPECT_FALSE(weak.expired());
    ASSERT_TRUE(pumpUntil([&] { return reply.calls == 1; }));
    EXPECT_FALSE(reply.error);
    EXPECT_TRUE(reply.object["ok"].boolValue());
    EXPECT_TRUE(pollUntil([&] { return weak.expired(); }));

    std::weak_ptr<NetURLSessionManager> idle;
    {
        auto manager = std::make_shared<NetURLSessionManager>();
        idle = manager;
        manager->dataTaskWithRequest(requestFor(server, "/json"), nullptr);  // never resumed
    }
    // The session's first look at its tasks, on the delegate queue, may hold the manager a moment longer.
    EXPECT_TRUE(pollUntil([&] { return idle.expired(); }));
}

TEST(NetURLSessionManager, ListsItsTasksInOrderAndFromItsOwnDelegateQueueWithoutWaiting) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    server.serveText("/quick", "quick");
    NotificationLog completed(NetNetworkingTaskDidCompleteNotification);
    auto manager = std::make_shared<NetURLSessionManager>();

    auto download = manager->downloadTaskWithRequest(requestFor(server, "/held"), nullptr, nullptr, nullptr);
    auto upload = manager->uploadTaskWithRequest(requestFor(server, "/held"), ns::Data("up"), nullptr, nullptr);
    auto data = manager->dataTaskWithRequest(requestFor(server, "/held"), nullptr);
    for (const auto& task : std::vector<std::shared_ptr<ns::URLSessionTask>>{download, upload, data}) task->resume();
    EXPECT_EQ(manager->tasks(), (std::vector<std::shared_ptr<ns::URLSessionTask>>{data, upload, download}));
    EXPECT_EQ(manager->dataTasks(), (std::vector<std::shared_ptr<ns::URLSessionTask>>{data}));
    EXPECT_EQ(manager->uploadTasks(), (std::vector<std::shared_ptr<ns::URLSessionTask>>{upload}));
    EXPECT_EQ(manager->downloadTasks(), (std::vector<std::shared_ptr<ns::URLSessionTask>>{download}));
    EXPECT_TRUE(manager->tasksForKeyPath("otherTasks").empty());

    // Listed on the delegate queue as the quick task completes; the completion notification may come before
    // the block has run, so the listing travels to the main thread on its own.
    std::optional<std::vector<std::shared_ptr<ns::URLSessionTask>>> listedInside;
    std::weak_ptr<NetURLSessionManager> weak = manager;
    auto quick = manager->dataTaskWithRequest(requestFor(server, "/quick"), nullptr);
    manager->setTaskDidCompleteBlock(
        [&listedInside, weak, quickTask = quick.get()](ns::URLSession&, ns::URLSessionTask& task, const auto&) {
            auto self = weak.lock();
            if (!self || &task != quickTask) return;
            ns::DispatchQueue::main()->async([&listedInside, listed = self->tasks()] { listedInside = listed; });
        });
    quick->resume();
    ASSERT_TRUE(pumpUntil([&] { return listedInside.has_value(); }));
    EXPECT_EQ(*listedInside, (std::vector<std::shared_ptr<ns::URLSessionTask>>{data, upload, download}));

    gate->open();
    ASSERT_TRUE(pumpUntil([&] {
        return completed.count(download.get()) == 1 && completed.count(upload.get()) == 1 &&
               completed.count(data.get()) == 1;
    }));
    EXPECT_TRUE(manager->tasks().empty());
}

TEST(NetURLSessionManager, DownloadsMoveToTheirDestinationAndAFailedMoveIsAnError) {
    LoopbackServer server;
    server.serveText("/file", "file body");
    NotificationLog completed(NetNetworkingTaskDidCompleteNotification);
    NotificationLog moveFailures(NetURLSessionDownloadTaskDidFailToMoveFileNotification);
    auto manager = std::make_shared<NetURLSessionManager>();
    const ns::TemporarySandbox sandbox;
    const std::string destination = sandbox.path() + "/downloaded";

    Reply moved;
    auto task = manager->downloadTaskWithRequest(
        requestFor(server, "/file"), nullptr,
        [&](const ns::URL&, const std::shared_ptr<ns::URLResponse>&) { return ns::URL::fileURLWithPath(destination, false); },
        moved.handler());
    task->resume();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(task.get()) == 1; }));
    EXPECT_FALSE(moved.error);
    EXPECT_EQ(ns::URL::fromValue(moved.object), ns::URL::fileURLWithPath(destination, false));
    EXPECT_EQ(ns::FileManager::defaultManager().contentsAtPath(destination)->toString(), "file body");
    EXPECT_EQ(ns::URL::fromValue(completionInfo(completed, task.get())[NetNetworkingTaskDidCompleteAssetPathKey]),
              ns::URL::fileURLWithPath(destination, false));

    // The destination is taken now: the move fails, and the handler hears it.
    Reply failed;
    auto again = manager->downloadTaskWithRequest(
        requestFor(server, "/file"), nullptr,
        [&](const ns::URL&, const std::shared_ptr<ns::URLResponse>&) { return ns::URL::fileURLWithPath(destination, false); },
        failed.handler());
    again->resume();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(again.get()) == 1; }));
    EXPECT_TRUE(failed.error);
    EXPECT_TRUE(failed.object.isNil());
    EXPECT_EQ(moveFailures.count(again.get()), 1u);
    const ns::Dictionary info = completionInfo(completed, again.get());
    EXPECT_FALSE(info.contains(NetNetworkingTaskDidCompleteAssetPathKey));
    EXPECT_EQ(ns::Error::fromValue(info[NetNetworkingTaskDidCompleteErrorKey]), failed.error);
}

TEST(NetURLSessionManager, ResumesACancelledDownloadFromItsResumeData) {
    test::RangedFile file;
    NotificationLog completed(NetNetworkingTaskDidCompleteNotification);
    auto manager = std::make_shared<NetURLSessionManager>();
    const ns::TemporarySandbox sandbox;
    const std::string destination = sandbox.path() + "/book.epub";

    // Cancelled at its first write, keeping what it has.
    std::mutex mutex;
    std::optional<ns::Data> resumeData;
    std::atomic<bool> cancelling{false}, answered{false};
    manager->setDownloadTaskDidWriteDataBlock([&](ns::URLSession&, ns::URLSessionDownloadTask& task, std::int64_t,
                                                  std::int64_t, std::int64_t) {
        if (cancelling.exchange(true)) return;
        task.cancelByProducingResumeData([&](std::optional<ns::Data> data) {
            ns::lockedStore(mutex, resumeData, std::move(data));
            answered = true;
            ns::RunLoop::main()->wakeUp();
        });
    });
    Reply cancelled;
    auto first = manager->downloadTaskWithRequest(ns::URLRequest(ns::URL::fromString(file.url())), nullptr, nullptr,
                                                  cancelled.handler());
    first->resume();
    // The answer comes on the delegate queue, in no set order with the completion on the main queue.
    ASSERT_TRUE(pollUntil([&] { return answered.load() && completed.count(first.get()) == 1; }));
    ASSERT_TRUE(cancelled.error);
    EXPECT_EQ(cancelled.error->code(), ns::URLErrorCancelled);
    const std::optional<ns::Data> kept = ns::lockedCopy(mutex, resumeData);
    ASSERT_TRUE(kept);

    // Resumed: the delegate's progress and the block start at the offset, and the file is whole.
    manager->setDownloadTaskDidWriteDataBlock(nullptr);
    file.setCutsWholeReplies(false);
    std::vector<std::pair<std::int64_t, std::int64_t>> resumedAt;
    manager->setDownloadTaskDidResumeBlock([&](ns::URLSession&, ns::URLSessionDownloadTask&, std::int64_t offset,
                                               std::int64_t expected) {
        std::lock_guard lock(mutex);
        resumedAt.emplace_back(offset, expected);
    });
    std::shared_ptr<ns::Progress> progress;
    Reply resumed;
    auto second = manager->downloadTaskWithResumeData(
        *kept, &progress,
        [&](const ns::URL&, const std::shared_ptr<ns::URLResponse>&) { return ns::URL::fileURLWithPath(destination, false); },
        resumed.handler());
    ASSERT_TRUE(second);
    ASSERT_TRUE(progress);
    second->resume();
    ASSERT_TRUE(pumpUntil([&] { return completed.count(second.get()) == 1; }));
    EXPECT_FALSE(resumed.error);
    EXPECT_EQ(resumed.calls, 1);
    ASSERT_EQ(ns::lockedCopy(mutex, resumedAt).size(), 1u);
    const auto [offset, expected] = ns::lockedCopy(mutex, resumedAt).front();
    EXPECT_GT(offset, 0);
    EXPECT_EQ(expected, static_cast<std::int64_t>(test::RangedFile::kSize));
    EXPECT_EQ(test::RangedFile::field(file.lastHead(), "Range"), "bytes=" + std::to_string(offset) + "-");
    EXPECT_EQ(progress->totalUnitCount(), static_cast<std::int64_t>(test::RangedFile::kSize));
    EXPECT_EQ(progress->completedUnitCount(), static_cast<std::int64_t>(test::RangedFile::kSize));
    const auto contents = ns::FileManager::defaultManager().contentsAtPath(destination);
    ASSERT_TRUE(contents);
    EXPECT_TRUE(contents->toString() == test::RangedFile::contents());

    // Data that is no resume data makes no task, and its handler is never called.
    Reply never;
    EXPECT_FALSE(manager->downloadTaskWithResumeData(ns::Data(std::string_view("garbage")), nullptr, nullptr,
                                                     never.handler()));
    EXPECT_EQ(never.calls, 0);
}

// Notes each intercepted call with the class of its receiver and how deeply it is nested in another.
class DispatchObserver final : public ns::URLSessionDelegateInterceptor {
public:
    struct Call {
        std::string kind;
        std::string receiver;
        int depth;
    };

    void URLSessionTaskDidSendBodyData(ns::URLSessionTaskDelegate& receiver, ns::URLSession&, ns::URLSessionTask&,
                                       std::int64_t, std::int64_t, std::int64_t,
                                       const std::function<void()>& forward) override {
        note("sent", receiver, forward);
    }
    void URLSessionDataTaskDidReceiveData(ns::URLSessionDataDelegate& receiver, ns::URLSession&, ns::URLSessionDataTask&,
                                          const ns::Data&, const std::function<void()>& forward) override {
        note("data", receiver, forward);
    }
    void URLSessionTaskDidCompleteWithError(ns::URLSessionTaskDelegate& receiver, ns::URLSession&, ns::URLSessionTask&,
                                            const std::optional<ns::Error>&,
                                            const std::function<void()>& forward) override {
        note("complete", receiver, forward);
    }

    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    template <class Receiver>
    void note(const char* kind, Receiver& receiver, const std::function<void()>& forward) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back({kind, std::string(dynamic_cast<ns::Object&>(receiver).className()), depth_ + 1});
        }
        ++depth_;
        forward();
        --depth_;
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::atomic<int> depth_{0};
};

TEST(NetURLSessionManager, ForwardsToTheTaskDelegateThroughTheInterceptableDispatchInsideItsOwnCall) {
    LoopbackServer server;
    server.serveText("/echo", "reply body", "text/plain");
    auto observer = std::make_shared<DispatchObserver>();
    ns::URLSessionDelegateDispatch::addInterceptor(observer);
    const test::OnScopeExit removeObserver([&] { ns::URLSessionDelegateDispatch::removeInterceptor(observer); });
    auto manager = std::make_shared<NetURLSessionManager>();
    manager->setResponseSerializer(nullptr);

    ns::URLRequest request = requestFor(server, "/echo");
    request.setHTTPMethod("POST");
    request.setValue("7", "Content-Length");
    request.setHTTPBodyStream(ns::InputStream::inputStreamWithData(ns::Data("payload")));
    std::shared_ptr<ns::Progress> progress;
    std::vector<std::int64_t> expectedTotals;
    manager->setTaskDidSendBodyDataBlock(
        [&](ns::URLSession&, ns::URLSessionTask&, std::int64_t, std::int64_t, std::int64_t expected) {
            expectedTotals.push_back(expected);
        });
    Reply reply;
    auto task = manager->uploadTaskWithStreamedRequest(request, &progress, reply.handler());
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->totalUnitCount(), 7);
    task->resume();
    ASSERT_TRUE(pumpUntil([&] { return reply.calls == 1; }));
    EXPECT_FALSE(reply.error);
    EXPECT_EQ(server.requests("/echo").at(0).body, "payload");
    EXPECT_EQ(progress->completedUnitCount(), 7);
    ASSERT_FALSE(expectedTotals.empty());
    EXPECT_EQ(expectedTotals.back(), 7);

    // Every call reaches the manager, and from inside it the task delegate, once each.
    std::map<std::string, std::pair<int, int>> perKind;  // kind -> (manager's calls, task delegate's nested calls)
    for (const auto& call : observer->calls()) {
        if (call.receiver == "NetURLSessionManager" && call.depth == 1) ++perKind[call.kind].first;
        else if (call.receiver == "NetURLSessionManagerTaskDelegate" && call.depth == 2) ++perKind[call.kind].second;
        else ADD_FAILURE() << call.kind << " on " << call.receiver << " at depth " << call.depth;
    }
    EXPECT_EQ(perKind["complete"], std::make_pair(1, 1));
    EXPECT_GE(perKind["data"].first, 1);
    EXPECT_EQ(perKind["data"].first, perKind["data"].second);
    EXPECT_GE(perKind["sent"].first, 1);
    EXPECT_EQ(perKind["sent"].first, perKind["sent"].second);
}

TEST(NetURLSessionManager, ArchivingKeepsTheSessionConfiguration) {
    auto configuration = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setTimeoutIntervalForRequest(7);
    configuration->setTimeoutIntervalForResource(90);
    configuration->setRequestCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    configuration->setHTTPAdditionalHeaders(ns::Dictionary{{"authkey", ns::Value("k")}});
    configuration->setHTTPShouldSetCookies(false);
    configuration->setAllowsCellularAccess(false);
    configuration->setHTTPMaximumConnectionsPerHost(2);
    auto original = std::make_shared<NetURLSessionManager>(configuration);

    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(original), &error);
    ASSERT_TRUE(archive) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetURLSessionManager::classObject(), *archive, &error)
                       .asObject<NetURLSessionManager>();
    ASSERT_TRUE(decoded) << error.description();
    for (const auto& kept : {decoded->sessionConfiguration(), decoded->session()->configuration()}) {
        EXPECT_EQ(kept->timeoutIntervalForRequest(), 7);
        EXPECT_EQ(kept->timeoutIntervalForResource(), 90);
        EXPECT_EQ(kept->requestCachePolicy(), ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
        EXPECT_EQ(kept->HTTPAdditionalHeaders(), (ns::Dictionary{{"authkey", ns::Value("k")}}));
        EXPECT_FALSE(kept->HTTPShouldSetCookies());
        EXPECT_FALSE(kept->allowsCellularAccess());
        EXPECT_EQ(kept->HTTPMaximumConnectionsPerHost(), 2);
        EXPECT_FALSE(kept->identifier());
        // Storage of its own comes back as storage of its own, never as the shared one.
        ASSERT_TRUE(kept->HTTPCookieStorage());
        EXPECT_NE(kept->HTTPCookieStorage(), ns::HTTPCookieStorage::sharedHTTPCookieStorage());
        ASSERT_TRUE(kept->URLCache());
        EXPECT_NE(kept->URLCache(), ns::URLCache::sharedURLCache());
    }

    auto background = std::make_shared<NetURLSessionManager>(
        ns::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("com.quillory.sync"));
    const auto backgroundArchive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(background), &error);
    ASSERT_TRUE(backgroundArchive) << error.description();
    auto again = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetURLSessionManager::classObject(), *backgroundArchive, &error)
                     .asObject<NetURLSessionManager>();
    ASSERT_TRUE(again) << error.description();
    EXPECT_EQ(again->sessionConfiguration()->identifier(), "com.quillory.sync");
    EXPECT_EQ(again->sessionConfiguration()->timeoutIntervalForRequest(), 60);
    EXPECT_EQ(again->sessionConfiguration()->HTTPCookieStorage(), ns::HTTPCookieStorage::sharedHTTPCookieStorage());
    EXPECT_EQ(again->sessionConfiguration()->URLCache(), ns::URLCache::sharedURLCache());
}

}  // namespace
}  // namespace ql
