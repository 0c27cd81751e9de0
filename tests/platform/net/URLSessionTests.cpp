#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Stream.h"
#include "platform/net/URLError.h"
#include "platform/net/URLSession.h"
#include "platform/net/URLSessionDelegateDispatch.h"
#include "tests/platform/net/RangedFile.h"
#include "tests/platform/net/Recorders.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"

using namespace ql;
using namespace ql::ns;
using ql::test::Journal;
using ql::test::RangedFile;
using ql::test::kPatience;
using ql::test::LoopbackServer;
using ql::test::OnScopeExit;
using ql::test::RecordingSessionDelegate;
using ql::test::ScriptedServer;
using ql::test::waitFor;

class URLSessionTests : public testing::Test {
protected:
    static void SetUpTestSuite() { shared_ = new LoopbackServer; }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }

    URLRequest requestFor(std::string_view path) const { return URLRequest(URL::fromString(server.url(path))); }
    // A session whose delegate notes everything, and the delegate.
    std::pair<std::shared_ptr<URLSession>, std::shared_ptr<RecordingSessionDelegate>> makeSession() const {
        auto delegate = std::make_shared<RecordingSessionDelegate>();
        auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(),
                                                            delegate, nullptr);
        delegate->expectedQueue = session->delegateQueue();
        return {session, delegate};
    }

    LoopbackServer& server = *shared_;

private:
    static LoopbackServer* shared_;
};

LoopbackServer* URLSessionTests::shared_ = nullptr;

TEST_F(URLSessionTests, CallsTheDelegateInOrderOnItsQueue) {
    server.serveText("/hello", "hello, world", "text/plain", 200, {{"Cache-Control", "max-age=60"}});
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    // Uncompressed, so that the length the server announces is that of the text.
    URLRequest identity = requestFor("/hello");
    identity.setValue("identity", "Accept-Encoding");
    auto task = session->dataTaskWithRequest(identity);
    auto second = session->dataTaskWithRequest(requestFor("/hello"));
    EXPECT_EQ(task->taskIdentifier() + 1, second->taskIdentifier());
    EXPECT_EQ(task->state(), URLSessionTaskState::Suspended);
    std::vector<std::int64_t> states;
    auto observation = task->addObserver("state", KeyValueObservingOptionNew,
                                         [&](const KeyValueChange& change) { states.push_back(change.newValue.int64Value()); });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"response 200", "data", "cache", "complete"}));
    EXPECT_EQ(delegate->offQueueCalls, 0);
    EXPECT_EQ(delegate->body.toString(), "hello, world");
    ASSERT_TRUE(waitFor([&] { return task->state() == URLSessionTaskState::Completed; }));
    EXPECT_EQ(states, (std::vector<std::int64_t>{0, 3}));
    EXPECT_EQ(task->countOfBytesReceived(), 12);
    EXPECT_EQ(task->countOfBytesExpectedToReceive(), 12);
    EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(task->response())->statusCode(), 200);
    EXPECT_FALSE(task->error());
    // A task cancelled before it started still reports its end, later, on the delegate's queue: waited for
    // here, so that it reaches this test's delegate and not whatever the next test has installed.
    second->cancel();
    ASSERT_TRUE(waitFor([&] { return delegate->calls().back() == "complete -999"; }));
}

TEST_F(URLSessionTests, CompletionHandlersRunOnTheDelegateQueue) {
    server.serveText("/handler", "handled");
    auto session = URLSession::sharedSession();
    std::atomic<bool> done{false};
    std::optional<Data> received;
    bool onQueue = false;
    auto task = session->dataTaskWithURL(*URL::fromString(server.url("/handler")),
                                         [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                                             const std::optional<Error>& error) {
                                             received = data;
                                             onQueue = OperationQueue::currentQueue() == session->delegateQueue();
                                             EXPECT_FALSE(error);
                                             done = true;
                                             RunLoop::main()->wakeUp();
                                         });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    ASSERT_TRUE(received);
    EXPECT_EQ(received->toString(), "handled");
    EXPECT_TRUE(onQueue);

    int closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    done = false;
    std::optional<Error> failure;
    session
        ->dataTaskWithURL(*URL::fromString("http://127.0.0.1:" + std::to_string(closedPort) + "/"),
                          [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                              const std::optional<Error>& error) {
                              EXPECT_FALSE(data);
                              failure = error;
                              done = true;
                              RunLoop::main()->wakeUp();
                          })
        ->resume();
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), URLErrorCannotConnectToHost);
}

TEST_F(URLSessionTests, CancellationLeavesOnlyTheCompletion) {
    auto gate = server.makeGate();
    server.serveInTwoParts("/slow", std::string(1000, 'a'), std::string(1000, 'b'), gate);
    server.serveText("/marker", "m");
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    auto task = session->dataTaskWithRequest(requestFor("/slow"));
    delegate->onData = [&](URLSessionDataTask& t, const Data&) {
        t.cancel();
        gate->open();
    };
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    // By the time another load is over, anything the first one still had would have arrived.
    std::shared_ptr<URLSession> markerSession;
    std::shared_ptr<RecordingSessionDelegate> marker;
    std::tie(markerSession, marker) = makeSession();
    markerSession->dataTaskWithRequest(requestFor("/marker"))->resume();
    ASSERT_TRUE(waitFor([&] { return marker->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"response 200", "data", "complete -999"}));
    EXPECT_EQ(task->state(), URLSessionTaskState::Completed);
    EXPECT_EQ(task->error()->code(), URLErrorCancelled);

    // A task cancelled before it ran completes too.
    auto unstarted = session->dataTaskWithRequest(requestFor("/marker"));
    delegate->done = false;
    unstarted->cancel();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls().back(), "complete -999");
}

TEST_F(URLSessionTests, ASuspendedTaskDeliversNothingUntilResumed) {
    auto gate = server.makeGate();
    server.serveInTwoParts("/pausing", "first", "second", gate);
    server.serveText("/pause-marker", "m");
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    auto task = session->dataTaskWithRequest(requestFor("/pausing"));
    std::atomic<bool> suspended{false};
    delegate->onData = [&](URLSessionDataTask& t, const Data&) {
        if (suspended) return;
        t.suspend();
        suspended = true;
        gate->open();
    };
    task->resume();
    ASSERT_TRUE(waitFor([&] { return suspended.load(); }));
    EXPECT_EQ(task->state(), URLSessionTaskState::Suspended);
    std::shared_ptr<URLSession> markerSession;
    std::shared_ptr<RecordingSessionDelegate> marker;
    std::tie(markerSession, marker) = makeSession();
    markerSession->dataTaskWithRequest(requestFor("/pause-marker"))->resume();
    ASSERT_TRUE(waitFor([&] { return marker->done.load(); }));
    EXPECT_EQ(delegate->body.toString(), "first");
    EXPECT_FALSE(delegate->done);
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->body.toString(), "firstsecond");
    EXPECT_FALSE(delegate->error);
}

namespace {

// Notes the calls it wraps, before and after the delegate's own handling.
class NotingInterceptor final : public URLSessionDelegateInterceptor {
public:
    explicit NotingInterceptor(Journal& journal) : journal_(journal) {}
    void URLSessionDataTaskDidReceiveData(URLSessionDataDelegate& receiver, URLSession&, URLSessionDataTask&,
                                          const Data&, const std::function<void()>& forward) override {
        const std::string name(dynamic_cast<Object&>(receiver).className());
        journal_.add("before data " + name);
        forward();
        journal_.add("after data " + name);
    }
    void URLSessionTaskDidCompleteWithError(URLSessionTaskDelegate& receiver, URLSession&, URLSessionTask&,
                                            const std::optional<Error>&, const std::function<void()>& forward) override {
        const std::string name(dynamic_cast<Object&>(receiver).className());
        journal_.add("before complete " + name);
        forward();
        journal_.add("after complete " + name);
    }

private:
    Journal& journal_;
};

class InnerDelegate final : public Object, public URLSessionDataDelegate {
    QL_OBJECT(InnerDelegate, Object)
public:
    Journal* journal = nullptr;
    void URLSessionDataTaskDidReceiveData(URLSession&, URLSessionDataTask&, const Data&) override {
        journal->add("inner data");
    }
    void URLSessionTaskDidCompleteWithError(URLSession&, URLSessionTask&, const std::optional<Error>&) override {
        journal->add("inner complete");
    }
};

// Forwards to a per-task delegate inside its own handling, as a session manager does.
class OuterDelegate final : public Object, public URLSessionDataDelegate {
    QL_OBJECT(OuterDelegate, Object)
public:
    Journal* journal = nullptr;
    std::shared_ptr<InnerDelegate> inner = std::make_shared<InnerDelegate>();
    std::atomic<bool> done{false};
    void URLSessionDataTaskDidReceiveData(URLSession& session, URLSessionDataTask& task, const Data& data) override {
        journal->add("outer data");
        URLSessionDelegateDispatch::URLSessionDataTaskDidReceiveData(*inner, session, task, data);
    }
    void URLSessionTaskDidCompleteWithError(URLSession& session, URLSessionTask& task,
                                            const std::optional<Error>& error) override {
        journal->add("outer complete");
        URLSessionDelegateDispatch::URLSessionTaskDidCompleteWithError(*inner, session, task, error);
        done = true;
        RunLoop::main()->wakeUp();
    }
};

}  // namespace

TEST_F(URLSessionTests, DelegateCallsCanBeObservedAroundAnyDelegate) {
    server.serveText("/observed", "seen");
    Journal journal;
    auto interceptor = std::make_shared<NotingInterceptor>(journal);
    URLSessionDelegateDispatch::addInterceptor(interceptor);
    const OnScopeExit removeInterceptor([&] { URLSessionDelegateDispatch::removeInterceptor(interceptor); });
    auto delegate = std::make_shared<OuterDelegate>();
    delegate->journal = &journal;
    delegate->inner->journal = &journal;
    auto session =
        URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(), delegate, nullptr);
    session->dataTaskWithRequest(requestFor("/observed"))->resume();
    // The interceptor's last note comes after the delegate's own handling.
    ASSERT_TRUE(waitFor([&] { return journal.contains("after complete OuterDelegate"); }));
    EXPECT_EQ(journal.entries(),
              (std::vector<std::string>{"before data OuterDelegate", "outer data", "before data InnerDelegate",
                                        "inner data", "after data InnerDelegate", "after data OuterDelegate",
                                        "before complete OuterDelegate", "outer complete",
                                        "before complete InnerDelegate", "inner complete",
                                        "after complete InnerDelegate", "after complete OuterDelegate"}));
}

TEST_F(URLSessionTests, ResumeAndSuspendRunThroughInstalledHooks) {
    server.serveText("/hooked", "h");
    Journal journal;
    const OnScopeExit removeHooks([] { URLSessionTask::removeAllHooks(); });
    URLSessionTask::installResumeHook([&](URLSessionTask& task, const std::function<void()>& original) {
        const auto before = task.state();
        original();
        // Only a suspended task starts: the second resume may find the task running or, on a busy machine,
        // already completed.
        if (before == URLSessionTaskState::Suspended) journal.add("resumed " + std::to_string(task.taskIdentifier()));
    });
    URLSessionTask::installSuspendHook([&](URLSessionTask& task, const std::function<void()>& original) {
        const auto before = task.state();
        original();
        if (before != URLSessionTaskState::Suspended) journal.add("suspended");
    });
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    auto task = session->dataTaskWithRequest(requestFor("/hooked"));
    task->suspend();  // already suspended: nothing to announce
    task->resume();
    task->resume();  // already running
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(journal.entries(), (std::vector<std::string>{"resumed " + std::to_string(task->taskIdentifier())}));
}

TEST_F(URLSessionTests, UploadsFromDataFilesAndStreams) {
    server.serveText("/put", "stored");
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    URLRequest request = requestFor("/put");
    request.setHTTPMethod("PUT");
    const std::string payload(20000, 'u');

    auto fromData = session->uploadTaskWithRequest(request, Data(std::string_view(payload)));
    EXPECT_EQ(fromData->countOfBytesExpectedToSend(), 20000);
    fromData->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(fromData->countOfBytesSent(), 20000);
    EXPECT_EQ(delegate->calls().front(), "sent");

    TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/body.txt";
    std::ofstream(path) << "from a file";
    delegate->done = false;
    session->uploadTaskWithRequest(request, URL::fileURLWithPath(path, false))->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));

    delegate->done = false;
    session->uploadTaskWithRequest(request, URL::fileURLWithPath(sandbox.path() + "/missing", false))->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), URLErrorFileDoesNotExist);

    auto seen = server.requests("/put");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].body.size(), payload.size());
    EXPECT_TRUE(seen[0].body == payload);
    EXPECT_EQ(seen[1].body, "from a file");
}

namespace {

class StreamSupplier final : public Object, public URLSessionDataDelegate {
    QL_OBJECT(StreamSupplier, Object)
public:
    std::string payload;
    std::atomic<int> supplied{0};
    std::atomic<bool> done{false};
    std::optional<Data> body;
    void URLSessionTaskNeedNewBodyStream(URLSession&, URLSessionTask&,
                                         std::function<void(std::shared_ptr<InputStream>)> handler) override {
        ++supplied;
        handler(InputStream::inputStreamWithData(Data(std::string_view(payload))));
    }
    void URLSessionDataTaskDidReceiveData(URLSession&, URLSessionDataTask&, const Data& data) override {
        if (!body) body = Data();
        body->append(data);
    }
    void URLSessionTaskDidCompleteWithError(URLSession&, URLSessionTask&, const std::optional<Error>&) override {
        done = true;
        RunLoop::main()->wakeUp();
    }
};

}  // namespace

TEST_F(URLSessionTests, AStreamedBodyIsAskedForAgainForARedirect) {
    server.serveRedirect("/stream-old", 307, "/stream-new");
    server.serveText("/stream-new", "arrived");
    auto delegate = std::make_shared<StreamSupplier>();
    delegate->payload = std::string(3000, 's');
    auto session =
        URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(), delegate, nullptr);
    URLRequest request = requestFor("/stream-old");
    request.setHTTPMethod("POST");
    request.setHTTPBodyStream(InputStream::inputStreamWithData(Data(std::string_view(delegate->payload))));
    auto task = session->uploadTaskWithStreamedRequest(request);
    EXPECT_EQ(task->countOfBytesExpectedToSend(), URLSessionTransferSizeUnknown);
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->supplied, 1);
    ASSERT_TRUE(delegate->body);
    EXPECT_EQ(delegate->body->toString(), "arrived");
    auto seen = server.requests("/stream-new");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].body, delegate->payload);
}

TEST_F(URLSessionTests, DownloadsToAFileThatIsRemovedAfterward) {
    server.serveBytes("/file", 100000);
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    session->downloadTaskWithRequest(requestFor("/file"))->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"wrote", "downloaded", "complete"}));
    ASSERT_EQ(delegate->downloaded.size(), 100000u);
    EXPECT_EQ(delegate->downloaded[99999], LoopbackServer::patternByte(99999));
    EXPECT_EQ(delegate->written, 100000);
    EXPECT_FALSE(FileManager::defaultManager().fileExistsAtPath(delegate->downloadedPath));

    std::atomic<bool> handled{false};
    std::string contents;
    session
        ->downloadTaskWithURL(*URL::fromString(server.url("/file")),
                              [&](const std::optional<URL>& location, const std::shared_ptr<URLResponse>&,
                                  const std::optional<Error>& error) {
                                  EXPECT_FALSE(error);
                                  if (auto data = dataWithContentsOfFile(location->path())) contents = data->toString();
                                  handled = true;
                                  RunLoop::main()->wakeUp();
                              })
        ->resume();
    ASSERT_TRUE(waitFor([&] { return handled.load(); }));
    EXPECT_EQ(contents.size(), 100000u);
}

// Several megabytes, so that the body comes in many reads, gathered into pieces of many sizes.
TEST_F(URLSessionTests, LargeRepliesArriveWholeAndTheirProgressAddsUp) {
    constexpr std::size_t kSize = 6 * 1024 * 1024 + 123;
    server.serveBytes("/large-reply", kSize);
    std::string expected(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) expected[i] = LoopbackServer::patternByte(i);

    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    auto dataTask = session->dataTaskWithRequest(requestFor("/large-reply"));
    dataTask->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_FALSE(delegate->error);
    EXPECT_TRUE(delegate->body.view() == expected);
    EXPECT_EQ(dataTask->countOfBytesReceived(), static_cast<std::int64_t>(kSize));

    std::tie(session, delegate) = makeSession();
    session->downloadTaskWithRequest(requestFor("/large-reply"))->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"wrote", "downloaded", "complete"}));
    EXPECT_TRUE(delegate->downloaded == expected);
    EXPECT_EQ(delegate->writtenInReports, static_cast<std::int64_t>(kSize));
    EXPECT_EQ(delegate->written, static_cast<std::int64_t>(kSize));
}

// A reply that keeps coming keeps the loading thread reading within one round; its pieces still reach the
// delegate while it is being read, not when it ends (which held the whole body in memory first).
TEST_F(URLSessionTests, PiecesOfAFastReplyArriveWhileItIsStillBeingRead) {
    constexpr std::size_t kSize = 64 * 1024 * 1024;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    server.serveBytes("/fast-reply", kSize, sent);
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    std::size_t sentAtFirstPiece = 0;
    std::size_t received = 0;
    std::size_t largestPiece = 0;
    delegate->onData = [&](URLSessionDataTask&, const Data& data) {
        if (received == 0) sentAtFirstPiece = sent->load();
        received += data.length();
        largestPiece = std::max(largestPiece, data.length());
    };
    auto task = session->dataTaskWithRequest(requestFor("/fast-reply"));
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(received, kSize);
    EXPECT_EQ(task->countOfBytesReceived(), static_cast<std::int64_t>(kSize));
    EXPECT_LT(sentAtFirstPiece, kSize / 2);  // held back at 8 MB waiting, whatever the delegate's pace
    EXPECT_LE(largestPiece, 512u * 1024);  // one of the loading thread's buffers at most
}

// The most a TCP socket's buffer of the given kind ("rmem", "wmem") may grow to on this machine.
std::size_t largestSocketBuffer(const char* kind) {
    std::ifstream limits(std::string("/proc/sys/net/ipv4/tcp_") + kind);
    std::size_t least = 0, initial = 0, most = 0;
    return limits >> least >> initial >> most ? most : 32 * 1024 * 1024;
}

// A delegate that falls behind holds the reply back at once, even within a round that would go on reading:
// what is read ahead of it stays within the hold-back limit (8 MB) and the sockets' buffers, which the
// kernel may grow to its own limits (32 MB for receiving is common).
TEST_F(URLSessionTests, ADelegateThatFallsBehindHoldsTheReplyBackAtOnce) {
    const std::size_t kFar =
        8 * 1024 * 1024 + largestSocketBuffer("rmem") + largestSocketBuffer("wmem") + 16 * 1024 * 1024;
    const std::size_t kSize = kFar + 32 * 1024 * 1024;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    server.serveBytes("/unread-reply", kSize, sent);
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    std::promise<void> caughtUp;
    std::shared_future<void> caughtUpLater = caughtUp.get_future().share();
    std::atomic<std::size_t> received{0};
    delegate->onData = [&](URLSessionDataTask&, const Data& data) {
        if (received.fetch_add(data.length()) == 0) caughtUpLater.wait();
    };
    session->dataTaskWithRequest(requestFor("/unread-reply"))->resume();
    // The server gets far ahead of the stuck delegate only if nothing holds the reply back; the bound
    // wait is what "never" can be here.
    EXPECT_FALSE(waitFor([&] { return sent->load() >= kFar; }, 0.5));
    caughtUp.set_value();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(received.load(), kSize);
}

TEST_F(URLSessionTests, ADownloadCancelledMidwayLeavesNoFile) {
    TemporarySandbox sandbox;  // a temporary folder no other program downloads into meanwhile
    server.serveBytes("/long-download", 64 * 1024 * 1024);
    const auto downloadFiles = [] {
        std::vector<std::string> found;
        for (const auto& name : FileManager::defaultManager().contentsOfDirectoryAtPath(temporaryDirectory()).value_or(
                 std::vector<std::string>{})) {
            if (isDownloadFilePath(temporaryDirectory() + name)) found.push_back(name);
        }
        return found;
    };
    const auto before = downloadFiles();
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    std::atomic<bool> cancelled{false};
    delegate->onWrite = [&](URLSessionDownloadTask& task) {
        if (!cancelled.exchange(true)) task.cancel();
    };
    auto task = session->downloadTaskWithRequest(requestFor("/long-download"));
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"wrote", "complete -999"}));
    EXPECT_LT(delegate->written, 64 * 1024 * 1024);
    EXPECT_EQ(downloadFiles(), before);
}

// Replies of every framing, one after another on the connections the engine keeps: each task gets its own
// reply, whole, even after one was cancelled halfway through its body.
TEST_F(URLSessionTests, SequentialTasksOnKeptConnectionsGetTheirOwnReplies) {
    auto gate = server.makeGate();
    server.serveInTwoParts("/reuse-cut", std::string(5000, 'c'), std::string(5000, 'd'), gate);
    server.serveText("/reuse-text", "plain text reply");
    server.serveChunked("/reuse-chunked", {"chunked ", "reply"});
    server.serveBytes("/reuse-bytes", 200000);
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    const auto fetch = [&](std::string_view path) {
        std::atomic<bool> done{false};
        std::optional<Data> body;
        session
            ->dataTaskWithRequest(requestFor(path),
                                  [&](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                                      const std::optional<Error>& error) {
                                      EXPECT_FALSE(error);
                                      body = data;
                                      done = true;
                                      RunLoop::main()->wakeUp();
                                  })
            ->resume();
        EXPECT_TRUE(waitFor([&] { return done.load(); }));
        return body ? body->toString() : std::string("(none)");
    };
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = LoopbackServer::patternByte(i);
    const std::size_t seenBefore = server.requests("/reuse-text").size();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(fetch("/reuse-text"), "plain text reply");
        EXPECT_EQ(fetch("/reuse-chunked"), "chunked reply");
        EXPECT_TRUE(fetch("/reuse-bytes") == bytes);
    }
    std::set<int> ports;
    for (const auto& seen : server.requests("/reuse-text")) ports.insert(seen.remotePort);
    EXPECT_EQ(server.requests("/reuse-text").size(), seenBefore + 3);
    EXPECT_LT(ports.size(), 3u);  // connections were kept and used again

    auto cut = session->dataTaskWithRequest(requestFor("/reuse-cut"));
    delegate->onData = [&](URLSessionDataTask& task, const Data&) { task.cancel(); };
    cut->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    gate->open();
    EXPECT_EQ(fetch("/reuse-text"), "plain text reply");
    EXPECT_EQ(fetch("/reuse-chunked"), "chunked reply");
}

TEST_F(URLSessionTests, TasksResumedFromManyThreadsAtOnceEachGetTheirReply) {
    constexpr int kThreads = 6;
    constexpr int kTasksEach = 15;
    for (int i = 0; i < kThreads * kTasksEach; ++i) server.serveText("/many-" + std::to_string(i), "reply " + std::to_string(i));
    auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
    std::mutex mutex;
    std::vector<std::string> bodies(kThreads * kTasksEach);
    std::atomic<int> completed{0};
    std::vector<std::thread> resumers;
    for (int t = 0; t < kThreads; ++t) {
        resumers.emplace_back([&, t] {
            for (int i = t * kTasksEach; i < (t + 1) * kTasksEach; ++i) {
                session
                    ->dataTaskWithRequest(requestFor("/many-" + std::to_string(i)),
                                          [&, i](const std::optional<Data>& data, const std::shared_ptr<URLResponse>&,
                                                 const std::optional<Error>& error) {
                                              EXPECT_FALSE(error);
                                              {
                                                  std::lock_guard lock(mutex);
                                                  bodies[i] = data ? data->toString() : "(none)";
                                              }
                                              ++completed;
                                              RunLoop::main()->wakeUp();
                                          })
                    ->resume();
            }
        });
    }
    for (auto& resumer : resumers) resumer.join();
    ASSERT_TRUE(waitFor([&] { return completed.load() == kThreads * kTasksEach; }));
    for (int i = 0; i < kThreads * kTasksEach; ++i) EXPECT_EQ(bodies[i], "reply " + std::to_string(i));
}

TEST_F(URLSessionTests, RedirectsFollowTheDelegatesAnswer) {
    server.serveRedirect("/session-old", 301, "/session-new");
    server.serveText("/session-new", "new");
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    delegate->onRedirect = [](const URLRequest&, std::function<void(std::optional<URLRequest>)> handler) {
        handler(std::nullopt);
    };
    auto task = session->dataTaskWithRequest(requestFor("/session-old"));
    task->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"redirect 301", "response 301", "data", "complete"}));
    EXPECT_EQ(delegate->body.toString(), "moved");
    EXPECT_TRUE(server.requests("/session-new").empty());

    delegate->onRedirect = nullptr;
    delegate->done = false;
    auto followed = session->dataTaskWithRequest(requestFor("/session-old"));
    followed->resume();
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(followed->currentRequest().URL()->path(), "/session-new");
    EXPECT_EQ(followed->originalRequest().URL()->path(), "/session-old");
}

TEST_F(URLSessionTests, ACancelledDownloadResumesWithTheRestOfItsFile) {
    RangedFile file;
    // Cancels a download of the file at its first write, keeping what it can.
    struct Cancelled {
        std::optional<Data> resumeData;
        std::int64_t written = 0;
        std::optional<Error> error;
        std::vector<std::string> calls;
    };
    const auto downloadAndCancel = [&](const URLRequest& request) {
        std::shared_ptr<URLSession> session;
        std::shared_ptr<RecordingSessionDelegate> delegate;
        std::tie(session, delegate) = makeSession();
        std::atomic<bool> cancelling{false}, answered{false};
        Cancelled cancelled;
        delegate->onWrite = [&](URLSessionDownloadTask& task) {
            if (cancelling.exchange(true)) return;
            task.cancelByProducingResumeData([&](std::optional<Data> data) {
                cancelled.resumeData = std::move(data);
                answered = true;
                RunLoop::main()->wakeUp();
            });
        };
        session->downloadTaskWithRequest(request)->resume();
        EXPECT_TRUE(waitFor([&] { return answered.load() && delegate->done.load(); }));
        cancelled.written = delegate->written;
        cancelled.error = delegate->error;
        cancelled.calls = delegate->calls();
        return cancelled;
    };
    // Resumes a download and answers what its delegate heard and the file it got.
    const auto resume = [&](const Data& resumeData) {
        std::shared_ptr<URLSession> session;
        std::shared_ptr<RecordingSessionDelegate> delegate;
        std::tie(session, delegate) = makeSession();
        auto task = session->downloadTaskWithResumeData(resumeData);
        EXPECT_TRUE(task);
        if (!task) return std::pair<std::vector<std::string>, std::string>();
        task->resume();
        EXPECT_TRUE(waitFor([&] { return delegate->done.load(); }));
        EXPECT_FALSE(delegate->error);
        EXPECT_EQ(task->countOfBytesReceived(), static_cast<std::int64_t>(RangedFile::kSize));
        return std::pair(delegate->calls(), delegate->downloaded);
    };
    const URLRequest request(URL::fromString(file.url()));

    // The data keeps what was written; the cancellation error carries it too.
    const Cancelled first = downloadAndCancel(request);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"wrote", "complete -999"}));
    ASSERT_TRUE(first.resumeData);
    ASSERT_GT(first.written, 0);
    ASSERT_TRUE(first.error);
    ASSERT_TRUE(first.error->userInfo()[URLSessionDownloadTaskResumeData].asData());
    EXPECT_EQ(*first.error->userInfo()[URLSessionDownloadTaskResumeData].asData(), *first.resumeData);

    // The rest only, asked for with the validator, appended to the part kept.
    file.setCutsWholeReplies(false);
    std::vector<std::string> calls;
    std::string contents;
    std::tie(calls, contents) = resume(*first.resumeData);
    EXPECT_EQ(calls, (std::vector<std::string>{"resumed " + std::to_string(first.written) + " of 200000", "wrote",
                                               "downloaded", "complete"}));
    EXPECT_TRUE(contents == RangedFile::contents());
    EXPECT_EQ(RangedFile::field(file.lastHead(), "Range"), "bytes=" + std::to_string(first.written) + "-");
    EXPECT_EQ(RangedFile::field(file.lastHead(), "If-Range"), "\"v1\"");
    EXPECT_EQ(RangedFile::field(file.lastHead(), "Accept-Encoding"), "identity");

    // The file changed meanwhile: the whole of it comes and replaces the part.
    file.setCutsWholeReplies(true);
    const Cancelled second = downloadAndCancel(request);
    ASSERT_TRUE(second.resumeData);
    file.setTag("\"v2\"");
    file.setCutsWholeReplies(false);
    std::tie(calls, contents) = resume(*second.resumeData);
    EXPECT_EQ(calls, (std::vector<std::string>{"resumed 0 of 200000", "wrote", "downloaded", "complete"}));
    EXPECT_TRUE(contents == RangedFile::contents());

    // Data whose part is gone (that download completed) starts over, without asking for a part.
    std::tie(calls, contents) = resume(*first.resumeData);
    EXPECT_EQ(calls, (std::vector<std::string>{"resumed 0 of 200000", "wrote", "downloaded", "complete"}));
    EXPECT_TRUE(contents == RangedFile::contents());
    EXPECT_FALSE(RangedFile::field(file.lastHead(), "Range"));

    // Resume data is untrusted: no task for garbage, nor for data that names a file no download made.
    auto session = makeSession().first;
    EXPECT_FALSE(session->downloadTaskWithResumeData(Data(std::string_view("garbage"))));
    Value forged = PropertyListSerialization::propertyListWithData(*second.resumeData, 0, nullptr, nullptr);
    ASSERT_TRUE(forged.isDictionary());
    forged.mutableDictionaryStorage()->set("NSURLSessionResumeInfoLocalPath", Value("/etc/passwd"));
    auto forgedData = PropertyListSerialization::dataWithPropertyList(forged, PropertyListFormat::XML, nullptr);
    ASSERT_TRUE(forgedData);
    EXPECT_FALSE(session->downloadTaskWithResumeData(*forgedData));

    // A reply without a validator cannot be asked for in part: there is nothing to keep.
    server.serveBytes("/unvalidated", 300000);
    const Cancelled plain = downloadAndCancel(URLRequest(URL::fromString(server.url("/unvalidated"))));
    EXPECT_FALSE(plain.resumeData);
    ASSERT_TRUE(plain.error);
    EXPECT_EQ(plain.error->code(), URLErrorCancelled);
    EXPECT_FALSE(plain.error->userInfo().contains(URLSessionDownloadTaskResumeData));
}

TEST_F(URLSessionTests, ARedirectDeclinedLateStillDeliversItsWholeBody) {
    // A large redirect body, far beyond what a load keeps of a reply that is usually replaced.
    constexpr std::size_t kSize = 1 << 20;
    auto furthest = std::make_shared<std::atomic<std::size_t>>(0);
    server.handle("/large-redirect", [furthest](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/session-new");
        response.set_content_provider(kSize, "application/octet-stream",
                                      [furthest](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          std::string piece(std::min<std::size_t>(16384, kSize - offset), '\0');
                                          for (std::size_t i = 0; i < piece.size(); ++i)
                                              piece[i] = LoopbackServer::patternByte(offset + i);
                                          *furthest = offset + piece.size();
                                          return sink.write(piece.data(), piece.size());
                                      });
    });
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    std::function<void(std::optional<URLRequest>)> decide;
    std::atomic<bool> asked{false};
    delegate->onRedirect = [&](const URLRequest&, std::function<void(std::optional<URLRequest>)> handler) {
        decide = std::move(handler);
        asked = true;
    };
    session->dataTaskWithRequest(requestFor("/large-redirect"))->resume();
    ASSERT_TRUE(waitFor([&] { return asked.load(); }));
    // The decision comes once the server has sent more than the load keeps while it waits for one.
    ASSERT_TRUE(waitFor([&] { return furthest->load() >= 128 * 1024; }));
    decide(std::nullopt);
    ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"redirect 302", "response 302", "data", "complete"}));
    ASSERT_EQ(delegate->body.length(), kSize);
    bool intact = true;
    for (std::size_t i = 0; i < kSize && intact; ++i)
        intact = delegate->body.bytes()[i] == static_cast<std::uint8_t>(LoopbackServer::patternByte(i));
    EXPECT_TRUE(intact);
}

TEST_F(URLSessionTests, InvalidationWaitsForTasksThenReleasesTheDelegate) {
    auto gate = server.makeGate();
    server.serveInTwoParts("/last", "a", "b", gate);
    std::shared_ptr<URLSession> session;
    std::shared_ptr<RecordingSessionDelegate> delegate;
    std::tie(session, delegate) = makeSession();
    std::weak_ptr<RecordingSessionDelegate> weakDelegate = delegate;
    auto running = session->dataTaskWithRequest(requestFor("/last"));
    auto upload = session->uploadTaskWithRequest(requestFor("/last"), Data(std::string_view("x")));
    auto download = session->downloadTaskWithRequest(requestFor("/last"));
    running->resume();

    std::atomic<bool> listed{false};
    session->getTasksWithCompletionHandler([&](auto data, auto uploads, auto downloads) {
        EXPECT_EQ(data.size(), 1u);
        EXPECT_EQ(uploads.size(), 1u);
        EXPECT_EQ(downloads.size(), 1u);
        listed = true;
        RunLoop::main()->wakeUp();
    });
    ASSERT_TRUE(waitFor([&] { return listed.load(); }));
    upload.reset();
    download.reset();

    session->finishTasksAndInvalidate();
    EXPECT_FALSE(session->dataTaskWithRequest(requestFor("/last")));
    gate->open();
    ASSERT_TRUE(waitFor([&] { return delegate->invalidated.load(); }));
    EXPECT_EQ(delegate->calls().back(), "invalid");
    EXPECT_EQ(delegate->body.toString(), "ab");
    delegate.reset();
    ASSERT_TRUE(waitFor([&] { return weakDelegate.expired(); }));

    // invalidateAndCancel ends running tasks first.
    std::shared_ptr<URLSession> other;
    std::shared_ptr<RecordingSessionDelegate> otherDelegate;
    std::tie(other, otherDelegate) = makeSession();
    server.serveHeld("/forever", server.makeGate());
    other->dataTaskWithRequest(requestFor("/forever"))->resume();
    other->invalidateAndCancel();
    ASSERT_TRUE(waitFor([&] { return otherDelegate->invalidated.load(); }));
    EXPECT_EQ(otherDelegate->calls(), (std::vector<std::string>{"complete -999", "invalid"}));
}
