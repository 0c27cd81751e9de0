#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/NetURLConnectionOperation.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLError.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::NotificationLog;
using test::pollUntil;
using test::pumpUntil;

std::shared_ptr<NetURLConnectionOperation> operationFor(const LoopbackServer& server, std::string_view path) {
    return std::make_shared<NetURLConnectionOperation>(ns::URLRequest(ns::URL::fromString(server.url(path))));
}

// A stream that never takes a byte, optionally failing with an error when asked to.
class StuckStream final : public ns::OutputStream {
public:
    explicit StuckStream(bool failsWhenWritten) : failsWhenWritten_(failsWhenWritten) {}
    std::int64_t write(const std::uint8_t*, std::size_t) override {
        fail(ns::Error(std::string(ns::POSIXErrorDomain), 28));
        return -1;
    }
    bool hasSpaceAvailable() const override { return failsWhenWritten_; }

private:
    const bool failsWhenWritten_;
};

TEST(NetURLConnectionOperation, LoadsOnTheNetworkThreadReportsOnTheMainQueueAndAnnounces) {
    LoopbackServer server;
    server.serveText("/text", "hello, world", "text/plain; charset=utf-8");
    NotificationLog started(NetNetworkingOperationDidStartNotification);
    NotificationLog finished(NetNetworkingOperationDidFinishNotification);

    // Uncompressed, so that the length the server announces is that of the text.
    ns::URLRequest identity(ns::URL::fromString(server.url("/text")));
    identity.setValue("identity", "Accept-Encoding");
    auto operation = std::make_shared<NetURLConnectionOperation>(identity);
    std::string callbackThread;
    operation->setRedirectResponseBlock([&](ns::URLConnection&, const ns::URLRequest& request,
                                            const std::shared_ptr<ns::URLResponse>&) {
        callbackThread = ns::Thread::current()->name();
        return std::optional<ns::URLRequest>(request);
    });
    std::vector<std::int64_t> totals;
    bool progressOnMain = true;
    operation->setDownloadProgressBlock([&](std::uint64_t, std::int64_t total, std::int64_t expected) {
        progressOnMain = progressOnMain && ns::Thread::isMainThread();
        totals.push_back(total);
        EXPECT_EQ(expected, 12);
    });
    int completions = 0;
    operation->setCompletionBlock([&] {
        EXPECT_TRUE(ns::Thread::isMainThread());
        ++completions;
    });
    std::make_shared<ns::OperationQueue>()->addOperation(operation);

    ASSERT_TRUE(pumpUntil([&] { return completions == 1 && finished.count(operation.get()) == 1; }));
    EXPECT_EQ(callbackThread, "Networking");
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->error());
    EXPECT_EQ(operation->responseData()->toString(), "hello, world");
    EXPECT_EQ(operation->responseString(), "hello, world");
    EXPECT_EQ(operation->responseStringEncoding(), 4u);
    EXPECT_EQ(started.count(operation.get()), 1u);
    EXPECT_TRUE(progressOnMain);
    ASSERT_FALSE(totals.empty());
    EXPECT_EQ(totals.back(), 12);
    EXPECT_EQ(operation->totalBytesRead(), 12);
    EXPECT_EQ(operation->connection(), nullptr);
    // Run once, then let go right after it ran, on the queue it ran on.
    ASSERT_TRUE(pollUntil([&] { return !operation->completionBlock(); }));
    EXPECT_EQ(completions, 1);
    EXPECT_NE(operation->description().find("state: isFinished, cancelled: NO"), std::string::npos);
}

// What reached the main thread, in order: notifications of the operations watched and the blocks' reports.
class MainThreadJournal {
public:
    MainThreadJournal() {
        for (const std::string_view name : {NetNetworkingOperationDidStartNotification, NetNetworkingOperationDidFinishNotification}) {
            tokens_.push_back(ns::NotificationCenter::defaultCenter().addObserverForName(
                name, nullptr, nullptr, [this](const ns::Notification& notification) {
                    record(notification.name() == NetNetworkingOperationDidStartNotification ? "start" : "finish");
                }));
        }
    }
    ~MainThreadJournal() {
        for (const auto& token : tokens_) ns::NotificationCenter::defaultCenter().removeObserver(token.get());
    }
    MainThreadJournal(const MainThreadJournal&) = delete;
    MainThreadJournal& operator=(const MainThreadJournal&) = delete;

    void record(std::string entry) {
        std::lock_guard lock(mutex_);
        if (!ns::Thread::isMainThread()) entry += " off main";
        // Consecutive progress reports count once: how many come depends on how the bytes travel.
        if (entries_.empty() || entries_.back() != entry || !entry.ends_with("progress")) entries_.push_back(entry);
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    std::vector<std::shared_ptr<ns::Object>> tokens_;
};

TEST(NetURLConnectionOperation, AnnouncementsReachTheMainQueueInOrderBeforeAndApartFromTheCompletionBlock) {
    LoopbackServer server;
    server.serveText("/text", "hello, world");
    auto queue = std::make_shared<ns::OperationQueue>();
    const auto post = [&] {
        ns::URLRequest request(ns::URL::fromString(server.url("/text")));
        request.setHTTPMethod("POST");
        request.setHTTPBody(ns::Data("a=1&b=2"));
        return std::make_shared<NetURLConnectionOperation>(request);
    };

    // Progress reports, the start and the finish come before the completion block that carries them.
    {
        MainThreadJournal journal;
        auto operation = post();
        operation->setUploadProgressBlock([&](std::uint64_t, std::int64_t, std::int64_t) { journal.record("upload progress"); });
        operation->setDownloadProgressBlock([&](std::uint64_t, std::int64_t, std::int64_t) { journal.record("download progress"); });
        bool completed = false;
        operation->setCompletionBlock([&] {
            journal.record("completion");
            EXPECT_EQ(operation->totalBytesRead(), 12);
            completed = true;
        });
        queue->addOperation(operation);
        ASSERT_TRUE(pumpUntil([&] { return completed; }));
        EXPECT_EQ(journal.entries(), (std::vector<std::string>{"start", "upload progress", "download progress", "finish",
                                                               "completion"}));
    }
    // Without a completion block, or with one on a queue of its own, the announcements still reach the main
    // queue, and the bytes read are counted there.
    for (const bool ownQueue : {false, true}) {
        SCOPED_TRACE(ownQueue ? "completion on its own queue" : "no completion block");
        MainThreadJournal journal;
        auto operation = post();
        std::atomic<bool> completed = false;
        if (ownQueue) {
            operation->setCompletionQueue(ns::DispatchQueue::serial("test.completion"));
            operation->setCompletionBlock([&] { completed = true; });
        }
        queue->addOperation(operation);
        ASSERT_TRUE(pumpUntil([&] { return journal.entries().size() == 2 && operation->totalBytesRead() == 12; }));
        EXPECT_EQ(journal.entries(), (std::vector<std::string>{"start", "finish"}));
        if (ownQueue) {
            EXPECT_TRUE(pollUntil([&] { return completed.load(); }));
        }
    }
}

TEST(NetURLConnectionOperation, AStartIsAnnouncedWhileTheReplyIsStillAwaited) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveHeld("/held", gate);
    MainThreadJournal journal;
    auto operation = operationFor(server, "/held");
    bool completed = false;
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(pumpUntil([&] { return !journal.entries().empty(); }));
    EXPECT_EQ(journal.entries(), std::vector<std::string>{"start"});
    EXPECT_FALSE(operation->isFinished());
    gate->open();
    ASSERT_TRUE(pumpUntil([&] { return completed; }));
    EXPECT_EQ(journal.entries(), (std::vector<std::string>{"start", "finish"}));
}

TEST(NetURLConnectionOperation, StateMovesFollowTheTableAndCancellationEndsWithTheCancelledError) {
    LoopbackServer server;
    server.serveText("/text", "body");
    NotificationLog all("");
    NotificationLog finished(NetNetworkingOperationDidFinishNotification);

    // Finishing a ready operation is legal only once it is cancelled.
    auto ready = operationFor(server, "/text");
    ready->setState(NetOperationFinishedState);
    EXPECT_EQ(ready->state(), NetOperationReadyState);
    ready->setState(7);
    EXPECT_EQ(ready->state(), NetOperationReadyState);
    ready->cancel();
    ready->setState(NetOperationFinishedState);
    EXPECT_TRUE(ready->isFinished());
    ready->setState(NetOperationReadyState);
    EXPECT_TRUE(ready->isFinished());

    // Cancelled before it started: starting finishes it at once, announced as started and finished.
    auto cancelled = operationFor(server, "/text");
    cancelled->cancel();
    cancelled->cancel();
    EXPECT_TRUE(cancelled->isCancelled());
    cancelled->start();
    ASSERT_TRUE(pumpUntil([&] { return finished.count(cancelled.get()) == 1; }));
    EXPECT_EQ(all.names(cancelled.get()),
              (std::vector<std::string>{std::string(NetNetworkingOperationDidStartNotification),
                                        std::string(NetNetworkingOperationDidFinishNotification)}));
    ASSERT_TRUE(cancelled->error());
    EXPECT_EQ(cancelled->error()->domain(), ns::URLErrorDomain);
    EXPECT_EQ(cancelled->error()->code(), ns::URLErrorCancelled);
    EXPECT_EQ(ns::URL::fromValue(cancelled->error()->userInfo()[ns::URLErrorFailingURLErrorKey]),
              cancelled->request().URL());
    EXPECT_EQ(server.requestCount(), 0u);
    const auto error = cancelled->error();
    cancelled->cancel();  // finished: nothing changes
    EXPECT_EQ(cancelled->error(), error);

    // Paused before it ran: the network is not touched and a queue does not start it; resuming starts it.
    auto paused = operationFor(server, "/text");
    paused->pause();
    EXPECT_TRUE(paused->isPaused());
    EXPECT_FALSE(paused->isReady());
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->addOperation(paused);
    paused->resume();
    ASSERT_TRUE(pumpUntil([&] { return finished.count(paused.get()) == 1; }));
    EXPECT_EQ(paused->responseData()->toString(), "body");
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST(NetURLConnectionOperation, PausingWhileExecutingAnnouncesFinishWithoutFinishing) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveInTwoParts("/slow", "first", "-rest", gate);
    NotificationLog started(NetNetworkingOperationDidStartNotification);
    NotificationLog finished(NetNetworkingOperationDidFinishNotification);

    auto operation = operationFor(server, "/slow");
    operation->start();
    ASSERT_TRUE(pumpUntil([&] { return operation->totalBytesRead() == 5; }));
    const auto first = operation->connection();
    ASSERT_TRUE(first);
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    // The connection is let go at once: what it may still report before the network thread cancels it is
    // not the operation's.
    EXPECT_FALSE(operation->connection());
    operation->connectionDidReceiveData(*first, ns::Data("-late"));
    operation->connectionDidFinishLoading(*first);
    EXPECT_FALSE(operation->responseData());
    ASSERT_TRUE(pumpUntil([&] { return finished.count(operation.get()) == 1; }));
    EXPECT_FALSE(operation->isFinished());

    gate->open();
    operation->resume();
    ASSERT_TRUE(pumpUntil([&] { return operation->isFinished() && finished.count(operation.get()) == 2; }));
    EXPECT_EQ(started.count(operation.get()), 2u);
    EXPECT_EQ(server.requests("/slow").size(), 2u);
}

TEST(NetURLConnectionOperation, ArchivingAnExecutingOperationPausesItAndStoresItReady) {
    LoopbackServer server;
    auto gate = server.makeGate();
    server.serveInTwoParts("/slow", "first", "-rest", gate);
    NotificationLog finished(NetNetworkingOperationDidFinishNotification);
    auto operation = operationFor(server, "/slow");
    operation->start();
    ASSERT_TRUE(pumpUntil([&] { return operation->totalBytesRead() == 5; }));

    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(operation), &error);
    ASSERT_TRUE(archive) << error.description();
    EXPECT_TRUE(operation->isPaused());
    // The pause announces a finish on the main queue: heard here, not by whatever test runs next.
    ASSERT_TRUE(pumpUntil([&] { return finished.count(operation.get()) == 1; }));

    const ns::Value decoded =
        ns::KeyedUnarchiver::unarchivedObjectOfClass(NetURLConnectionOperation::classObject(), *archive, &error);
    auto copy = decoded.asObject<NetURLConnectionOperation>();
    ASSERT_TRUE(copy) << error.description();
    EXPECT_EQ(copy->state(), NetOperationReadyState);
    EXPECT_EQ(copy->request().URL(), operation->request().URL());
    EXPECT_EQ(copy->totalBytesRead(), 5);
    auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(copy->response());
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 200);
}

TEST(NetURLConnectionOperation, AnOutputStreamThatTakesNothingEndsTheOperationWithAnError) {
    LoopbackServer server;
    server.serveText("/text", "some body");
    NotificationLog finished(NetNetworkingOperationDidFinishNotification);
    for (const bool failsWhenWritten : {false, true}) {
        auto operation = operationFor(server, "/text");
        operation->setOutputStream(std::make_shared<StuckStream>(failsWhenWritten));
        operation->start();
        // Its finish is announced on the main queue after the state moves: heard here, not by the next test.
        ASSERT_TRUE(pumpUntil([&] { return operation->isFinished() && finished.count(operation.get()) == 1; }));
        ASSERT_TRUE(operation->error());
        if (failsWhenWritten) {
            EXPECT_EQ(operation->error()->domain(), ns::POSIXErrorDomain);
        } else {
            EXPECT_EQ(operation->error()->domain(), ns::URLErrorDomain);
            EXPECT_EQ(operation->error()->code(), ns::URLErrorCannotWriteToFile);
        }
    }
}

TEST(NetURLConnectionOperation, BatchesCompleteAfterEveryOperationsOwnCompletion) {
    std::vector<std::shared_ptr<NetURLConnectionOperation>> reported{{}};
    auto none = NetURLConnectionOperation::batchOfRequestOperations({}, nullptr,
                                                                    [&](const auto& operations) { reported = operations; });
    ASSERT_EQ(none.size(), 1u);
    auto queue = std::make_shared<ns::OperationQueue>();
    queue->addOperation(none.front());
    ASSERT_TRUE(pumpUntil([&] { return reported.empty(); }));

    LoopbackServer server;
    server.serveText("/a", "a");
    std::vector<std::shared_ptr<NetURLConnectionOperation>> operations;
    std::vector<std::string> events;
    for (int i = 0; i < 3; ++i) {
        auto operation = operationFor(server, "/a");
        operation->setCompletionBlock([&events] { events.push_back("own"); });
        operations.push_back(operation);
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    bool done = false;
    auto batch = NetURLConnectionOperation::batchOfRequestOperations(
        operations, [&](std::uint64_t finished, std::uint64_t total) { progress.emplace_back(finished, total); },
        [&](const auto& all) {
            EXPECT_EQ(all.size(), 3u);
            events.push_back("batch");
            done = true;
        });
    ASSERT_EQ(batch.size(), 4u);
    queue->addOperations(batch, false);
    ASSERT_TRUE(pumpUntil([&] { return done; }));
    EXPECT_EQ(events, (std::vector<std::string>{"own", "own", "own", "batch"}));
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress.back(), (std::pair<std::uint64_t, std::uint64_t>{3, 3}));
}

}  // namespace
}  // namespace ql
