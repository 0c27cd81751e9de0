#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Stream.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLError.h"
#include "tests/platform/net/Recorders.h"
#include "tests/support/ChildProgram.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/OnScopeExit.h"

using namespace ql;
using namespace ql::ns;
using ql::test::kPatience;
using ql::test::LoopbackServer;
using ql::test::RecordingConnectionDelegate;
using ql::test::ScriptedServer;
using ql::test::waitFor;

namespace {

URLRequest requestFor(const LoopbackServer& server, std::string_view path) {
    return URLRequest(URL::fromString(server.url(path)));
}

std::shared_ptr<RecordingConnectionDelegate> load(const URLRequest& request,
                                                 std::shared_ptr<RecordingConnectionDelegate> delegate =
                                                     std::make_shared<RecordingConnectionDelegate>()) {
    auto connection = URLConnection::connectionWithRequest(request, delegate);
    EXPECT_TRUE(waitFor([&] { return delegate->done.load(); }));
    return delegate;
}

// Pulls its bytes in small slices, as a body produced on demand does.
class SlicedStream final : public InputStream {
public:
    explicit SlicedStream(std::string bytes) : bytes_(std::move(bytes)) {}
    std::int64_t read(std::uint8_t* buffer, std::size_t maxLength) override {
        if (streamStatus() != StreamStatus::Open) return -1;
        const std::size_t count = std::min({maxLength, std::size_t(7), bytes_.size() - offset_});
        std::memcpy(buffer, bytes_.data() + offset_, count);
        offset_ += count;
        return static_cast<std::int64_t>(count);
    }
    bool hasBytesAvailable() const override { return true; }

private:
    std::string bytes_;
    std::size_t offset_ = 0;
};

}  // namespace

// One server for the suite: a server stops only once its kept-alive connections have been idle a while.
class URLConnectionTests : public testing::Test {
protected:
    static void SetUpTestSuite() { shared_ = new LoopbackServer; }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }
    LoopbackServer& server = *shared_;

private:
    static LoopbackServer* shared_;
};

LoopbackServer* URLConnectionTests::shared_ = nullptr;

TEST_F(URLConnectionTests, CallsTheDelegateInOrderOnTheScheduledRunLoop) {
    server.serveText("/hello", "hello, world", "text/plain; charset=UTF-8");
    // Uncompressed, so that the length the server announces is that of the text.
    URLRequest identity = requestFor(server, "/hello");
    identity.setValue("identity", "Accept-Encoding");
    auto delegate = load(identity);
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /hello", "response 200", "data", "finish"}));
    EXPECT_EQ(delegate->body.toString(), "hello, world");
    for (auto thread : delegate->threads) EXPECT_EQ(thread, std::this_thread::get_id());
    EXPECT_EQ(delegate->response->MIMEType(), "text/plain");
    EXPECT_EQ(delegate->response->textEncodingName(), "UTF-8");
    EXPECT_EQ(delegate->response->expectedContentLength(), 12);

    // On a thread of its own, which runs its loop until the transfer is over: the loop returns by itself.
    auto other = std::make_shared<RecordingConnectionDelegate>();
    std::atomic<bool> loopReturned{false};
    std::thread::id loopThread;
    auto thread = Thread::detachNewThread([&] {
        loopThread = std::this_thread::get_id();
        auto connection = URLConnection::create(requestFor(server, "/hello"), other, false);
        connection->scheduleInRunLoop(RunLoop::current(), DefaultRunLoopMode);
        connection->start();
        RunLoop::current()->run();
        loopReturned = true;
        RunLoop::main()->wakeUp();
    });
    ASSERT_TRUE(waitFor([&] { return loopReturned.load(); }));
    EXPECT_EQ(other->journal.entries().back(), "finish");
    for (auto t : other->threads) EXPECT_EQ(t, loopThread);

    // Keep-alive: the connection of the first load served the second one.
    auto seen = server.requests("/hello");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].remotePort, seen[1].remotePort);
}

TEST_F(URLConnectionTests, AThreadThatLoadsOnItsOwnRunsItsTransfersInItsRunLoop) {
    server.serveText("/own", "on its own thread");
    auto gate = server.makeGate();
    server.serveHeld("/own-held", gate);
    auto first = std::make_shared<RecordingConnectionDelegate>();
    auto second = std::make_shared<RecordingConnectionDelegate>();
    auto held = std::make_shared<RecordingConnectionDelegate>();
    std::shared_ptr<URLConnection> heldConnection;
    std::shared_ptr<RunLoop> loop;
    std::thread::id loopThread;
    std::atomic<bool> waiting{false};
    std::atomic<bool> loopReturned{false};
    auto thread = Thread::detachNewThread([&] {
        URLConnection::loadOnCurrentThread();
        loopThread = std::this_thread::get_id();
        loop = RunLoop::current();
        auto a = URLConnection::connectionWithRequest(requestFor(server, "/own"), first);
        RunLoop::current()->runUntil([&] { return first->done.load(); }, kPatience);
        auto b = URLConnection::connectionWithRequest(requestFor(server, "/own"), second);
        RunLoop::current()->runUntil([&] { return second->done.load(); }, kPatience);
        heldConnection = URLConnection::connectionWithRequest(requestFor(server, "/own-held"), held);
        waiting = true;
        RunLoop::current()->run();  // until the held connection is cancelled
        loopReturned = true;
        RunLoop::main()->wakeUp();
    });
    ASSERT_TRUE(waitFor([&] { return waiting.load() && server.requests("/own-held").size() == 1; }));
    // Work given to the loop while it waits on the sockets reaches it.
    std::atomic<bool> performed{false};
    loop->performBlock([&] { performed = std::this_thread::get_id() == loopThread; });
    ASSERT_TRUE(waitFor([&] { return performed.load(); }));
    // So does a cancel from another thread, after which the delegate hears nothing and the loop is done.
    heldConnection->cancel();
    ASSERT_TRUE(waitFor([&] { return loopReturned.load(); }));
    gate->open();

    for (const auto& delegate : {first, second}) {
        EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /own", "response 200", "data", "finish"}));
        EXPECT_EQ(delegate->body.toString(), "on its own thread");
        for (auto t : delegate->threads) EXPECT_EQ(t, loopThread);
    }
    EXPECT_EQ(held->calls(), std::vector<std::string>{"will send /own-held"});
    // Its loads share their kept-alive connections.
    auto seen = server.requests("/own");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].remotePort, seen[1].remotePort);
}

TEST_F(URLConnectionTests, DeliversOnlyInTheModesItIsScheduledFor) {
    server.serveText("/mode", "moded");
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    auto connection = URLConnection::create(requestFor(server, "/mode"), delegate, false);
    connection->scheduleInRunLoop(RunLoop::main(), "QLTestMode");
    connection->start();
    // The default mode never delivers, and the delegate must see the request before it is sent: a load
    // started later in the default mode finishes while this one has not even been asked about its request.
    server.serveText("/default", "plain");
    auto marker = load(requestFor(server, "/default"));
    EXPECT_EQ(marker->calls(), (std::vector<std::string>{"will send /default", "response 200", "data", "finish"}));
    EXPECT_TRUE(delegate->journal.entries().empty());
    EXPECT_TRUE(server.requests("/mode").empty());
    const double deadline = Clock::now() + kPatience;
    while (!delegate->done && Clock::now() < deadline) RunLoop::main()->runMode("QLTestMode", Date::fromTimeIntervalSince1970(deadline));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /mode", "response 200", "data", "finish"}));
}

TEST_F(URLConnectionTests, CancellationSilencesEverythingAfterIt) {
    auto gate = server.makeGate();
    server.serveInTwoParts("/slow", std::string(1000, 'a'), std::string(1000, 'b'), gate);
    server.serveText("/marker", "m");
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    std::atomic<bool> cancelled{false};
    delegate->onData = [&](URLConnection& connection, const Data&) {
        connection.cancel();
        cancelled = true;
        gate->open();
    };
    auto connection = URLConnection::connectionWithRequest(requestFor(server, "/slow"), delegate);
    ASSERT_TRUE(waitFor([&] { return cancelled.load(); }));
    // Whatever the first load would still report has long arrived by the time a second load is done.
    auto marker = load(requestFor(server, "/marker"));
    EXPECT_TRUE(marker->done);
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /slow", "response 200", "data"}));
    EXPECT_FALSE(delegate->done);
}

TEST_F(URLConnectionTests, AServerClosingMidBodyIsAFailure) {
    server.serveTruncated("/short", "partial", 100);
    server.serveTruncated("/short-chunked", "partial", 0, true);
    for (const char* path : {"/short", "/short-chunked"}) {
        auto delegate = load(requestFor(server, path));
        ASSERT_TRUE(delegate->error) << path;
        EXPECT_EQ(delegate->error->domain(), URLErrorDomain);
        EXPECT_EQ(delegate->error->code(), URLErrorNetworkConnectionLost) << path;
        EXPECT_FALSE(delegate->journal.contains("finish")) << path;
        EXPECT_EQ(URL::fromValue(delegate->error->userInfo()[URLErrorFailingURLErrorKey])->absoluteString(),
                  server.url(path));
    }
}

TEST_F(URLConnectionTests, TimesOutWithoutProgress) {
    server.serveHeld("/held", server.makeGate());
    URLRequest request = requestFor(server, "/held");
    request.setTimeoutInterval(0.3);
    // How soon it gives up is the engine's business; a loaded machine may be late by any amount.
    auto delegate = load(request);
    ASSERT_TRUE(delegate->error);
    EXPECT_EQ(delegate->error->code(), URLErrorTimedOut);
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /held", "fail -1001"}));
}

// The app runs on its own clock, and so do a load's time-outs: real time passing ends a wait only while the
// app's clock is real time.
TEST_F(URLConnectionTests, TimeOutsRunOnTheAppsClock) {
    auto gate = server.makeGate();
    server.serveHeld("/held-by-the-clock", gate);
    server.serveText("/probe", "here");
    auto sent = [&](std::size_t count) {
        return RunLoop::main()->runUntil([&] { return server.requests("/held-by-the-clock").size() >= count; }, 10);
    };
    URLRequest held = requestFor(server, "/held-by-the-clock");
    held.setTimeoutInterval(30);
    {
        auto delegate = std::make_shared<RecordingConnectionDelegate>();
        auto connection = URLConnection::connectionWithRequest(held, delegate);
        ASSERT_TRUE(sent(1));
        Clock::shiftRealTimeForTesting(31);
        test::OnScopeExit back([] { Clock::shiftRealTimeForTesting(-31); });
        // Sooner than the 30 s would pass in real time.
        ASSERT_TRUE(waitFor([&] { return delegate->done.load(); }, 20));
        EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /held-by-the-clock", "fail -1001"}));
    }
    ManualClockScope clock;
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    auto connection = URLConnection::connectionWithRequest(held, delegate);
    ASSERT_TRUE(sent(2));
    Clock::shiftRealTimeForTesting(61);
    test::OnScopeExit back([] { Clock::shiftRealTimeForTesting(-61); });
    // Two loads one after the other on the same engine: it has looked at the held one's time-out since.
    for (int probe = 0; probe < 2; ++probe) {
        auto answered = std::make_shared<RecordingConnectionDelegate>();
        auto probing = URLConnection::connectionWithRequest(requestFor(server, "/probe"), answered);
        ASSERT_TRUE(RunLoop::main()->runUntil([&] { return answered->done.load(); }, 10));
        EXPECT_EQ(answered->body.toString(), "here");
    }
    EXPECT_FALSE(delegate->done.load()) << "given up on real time";
    Clock::advance(31);
    ASSERT_TRUE(RunLoop::main()->runUntil([&] { return delegate->done.load(); }, 10));
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"will send /held-by-the-clock", "fail -1001"}));
}

TEST_F(URLConnectionTests, RedirectsFollowTheDelegatesDecision) {
    server.serveRedirect("/old", 302, "/new");
    server.serveText("/new", "new place");
    auto followed = load(requestFor(server, "/old"));
    EXPECT_EQ(followed->calls(),
              (std::vector<std::string>{"will send /old", "redirect /new", "response 200", "data", "finish"}));
    EXPECT_EQ(followed->body.toString(), "new place");
    EXPECT_EQ(followed->response->URL()->path(), "/new");

    // Declined: the redirect reply is the reply.
    auto declining = std::make_shared<RecordingConnectionDelegate>();
    declining->onRedirect = [](const URLRequest&, const std::shared_ptr<URLResponse>&) { return std::nullopt; };
    auto connection = URLConnection::connectionWithRequest(requestFor(server, "/old"), declining);
    ASSERT_TRUE(waitFor([&] { return declining->done.load(); }));
    EXPECT_EQ(declining->calls(),
              (std::vector<std::string>{"will send /old", "redirect /new", "response 302", "data", "finish"}));
    EXPECT_EQ(declining->body.toString(), "moved");

    // A POST redirected with 303 goes on as a GET without its body.
    server.serveRedirect("/form", 303, "/new");
    URLRequest post = requestFor(server, "/form");
    post.setHTTPMethod("POST");
    post.setHTTPBody(Data(std::string_view("a=1")));
    auto posted = load(post);
    EXPECT_EQ(posted->body.toString(), "new place");
    auto seen = server.requests("/new");
    EXPECT_EQ(seen.back().method, "GET");
    EXPECT_EQ(seen.back().body, "");
}

TEST_F(URLConnectionTests, CredentialsGoOnlyToTheOriginTheyWereGivenFor) {
    // The same host on another port is another server: a redirect there does not take the credentials along,
    // nor one to another host; one within the origin does.
    LoopbackServer other;
    other.serveText("/landing", "elsewhere");
    server.serveText("/landing", "here");
    server.serveRedirect("/to-port", 302, other.url("/landing"));
    server.serveRedirect("/to-host", 302, "http://localhost:" + std::to_string(other.port()) + "/landing");
    server.serveRedirect("/within", 302, "/landing");
    for (const char* path : {"/to-port", "/to-host", "/within"}) {
        URLRequest request = requestFor(server, path);
        request.setValue("Basic dXNlcjpzZWNyZXQ=", "Authorization");
        auto delegate = load(request);
        EXPECT_TRUE(delegate->journal.contains("finish")) << path;
    }
    const auto elsewhere = other.requests("/landing");
    ASSERT_EQ(elsewhere.size(), 2u);
    for (const auto& seen : elsewhere) EXPECT_EQ(seen.header("Authorization"), std::nullopt);
    const auto here = server.requests("/landing");
    ASSERT_EQ(here.size(), 1u);
    EXPECT_EQ(here[0].header("Authorization"), "Basic dXNlcjpzZWNyZXQ=");
}

TEST_F(URLConnectionTests, RedirectsAndChallengesAreAnsweredAsSoonAsTheirHeadArrives) {
    // Replies that promise 100 bytes, send 11 and stall: a load that waited for the end of such a body
    // before acting would time out instead.
    auto gate = server.makeGate();
    auto stalled = [gate](httplib::Response& response) {
        response.set_content_provider(100, "text/plain", [gate](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset == 0) return sink.write("redirecting", 11);
            gate->wait();
            return false;
        });
    };
    server.handle("/stalled-redirect", [stalled](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/new");
        stalled(response);
    });
    server.handle("/stalled-private", [stalled](const httplib::Request& request, httplib::Response& response) {
        if (request.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {  // user:secret
            response.set_content("welcome", "text/plain");
            return;
        }
        response.status = 401;
        response.set_header("WWW-Authenticate", "Basic realm=\"quillory\"");
        stalled(response);
    });
    server.serveText("/new", "new place");

    auto followed = load(requestFor(server, "/stalled-redirect"));
    EXPECT_EQ(followed->calls(), (std::vector<std::string>{"will send /stalled-redirect", "redirect /new", "response 200",
                                                          "data", "finish"}));
    EXPECT_EQ(followed->body.toString(), "new place");

    auto answering = std::make_shared<RecordingConnectionDelegate>();
    answering->onChallenge = [](URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
        challenge->sender()->useCredential(
            URLCredential::credentialWithUser("user", "secret", URLCredentialPersistence::None), *challenge);
    };
    load(requestFor(server, "/stalled-private"), answering);
    EXPECT_EQ(answering->calls(), (std::vector<std::string>{"will send /stalled-private",
                                                           "challenge NSURLAuthenticationMethodHTTPBasic", "response 200",
                                                           "data", "finish"}));
    EXPECT_EQ(answering->body.toString(), "welcome");
    gate->open();
}

TEST_F(URLConnectionTests, AsksForCompressedRepliesAndHandsThemOnDecoded) {
    // Compressed by Python's gzip and zlib modules.
    const std::string gzipped("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x56\x2a\x4a\x2d\x2e\xcd\x29\x51\xb2\x32"
                              "\xd4\x51\xca\x2d\x4e\x57\xb2\x52\xca\xcf\x56\xaa\x05\x00\x0b\x7b\xd5\xe8\x17\x00\x00\x00",
                              43);
    const std::string deflated("\x78\x9c\xab\x56\x2a\x4a\x2d\x2e\xcd\x29\x51\xb2\x32\xd4\x51\xca\x2d\x4e\x57\xb2"
                               "\x52\xca\xcf\x56\xaa\x05\x00\x5b\xe1\x07\x56",
                               31);
    server.serveText("/gzip", gzipped, "application/json", 200, {{"Content-Encoding", "gzip"}});
    server.serveText("/deflate", deflated, "application/json", 200, {{"Content-Encoding", "deflate"}});
    for (const char* path : {"/gzip", "/deflate"}) {
        auto delegate = load(requestFor(server, path));
        EXPECT_FALSE(delegate->error) << path;
        EXPECT_EQ(delegate->body.toString(), "{\"result\":1,\"msg\":\"ok\"}") << path;
        const auto accepted = server.requests(path).back().header("Accept-Encoding");
        ASSERT_TRUE(accepted) << path;
        EXPECT_EQ(*accepted, "gzip, deflate");
    }
    // Bytes that do not decode as announced are a bad reply, not a body.
    server.serveText("/broken-gzip", "not compressed at all", "application/json", 200, {{"Content-Encoding", "gzip"}});
    auto broken = load(requestFor(server, "/broken-gzip"));
    ASSERT_TRUE(broken->error);
    EXPECT_EQ(broken->error->code(), URLErrorBadServerResponse);
}

TEST_F(URLConnectionTests, ReadsChunkedAndContentLengthBodies) {
    server.serveChunked("/chunked", {"one ", "two ", "three"});
    server.serveBytes("/sized", 300000);
    auto chunked = load(requestFor(server, "/chunked"));
    EXPECT_EQ(chunked->body.toString(), "one two three");
    EXPECT_EQ(chunked->response->expectedContentLength(), URLResponseUnknownLength);
    auto sized = load(requestFor(server, "/sized"));
    ASSERT_EQ(sized->body.length(), 300000u);
    EXPECT_EQ(sized->response->expectedContentLength(), 300000);
    for (std::size_t i = 0; i < sized->body.length(); i += 9973)
        EXPECT_EQ(static_cast<char>(sized->body.bytes()[i]), LoopbackServer::patternByte(i));
}

// A reply that keeps coming keeps the loading thread reading within one round; its pieces still reach the
// delegate while it is being read, not when it ends (which held the whole body in memory first).
TEST_F(URLConnectionTests, PiecesOfAFastReplyArriveWhileItIsStillBeingRead) {
    constexpr std::size_t kSize = 64 * 1024 * 1024;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    server.serveBytes("/fast-reply", kSize, sent);
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    std::size_t sentAtFirstPiece = 0;
    std::size_t received = 0;
    delegate->onData = [&](URLConnection&, const Data& data) {
        if (received == 0) sentAtFirstPiece = sent->load();
        received += data.length();
    };
    load(requestFor(server, "/fast-reply"), delegate);
    EXPECT_FALSE(delegate->error);
    EXPECT_EQ(received, kSize);
    EXPECT_LT(sentAtFirstPiece, kSize / 2);  // held back at 8 MB waiting, whatever the delegate's pace
}

TEST_F(URLConnectionTests, SendsASmallBodyInMemoryWithTheHeadAndALargeOneWhole) {
    // The scripted server answers once it has read the head: whatever came with it is what one send held.
    std::mutex mutex;
    std::string firstRead;
    ScriptedServer scripted([&](const std::string& head) {
        std::lock_guard lock(mutex);
        firstRead = head;
        return std::string("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    });
    URLRequest small(URL::fromString(scripted.url("/small")));
    small.setHTTPMethod("POST");
    small.setHTTPBody(Data("a=1&b=2"));
    auto delegate = load(small);
    EXPECT_EQ(delegate->body.toString(), "ok");
    EXPECT_EQ(delegate->sent, 7);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(firstRead.ends_with("\r\n\r\na=1&b=2")) << firstRead;
    }

    // Beyond what goes with a head, the body is read out as it is sent, and arrives whole.
    server.serveText("/large", "taken");
    std::string large;
    for (int i = 0; i < 200000; ++i) large += static_cast<char>('a' + i % 26);
    URLRequest big = requestFor(server, "/large");
    big.setHTTPMethod("POST");
    big.setValue("application/octet-stream", "Content-Type");
    big.setHTTPBody(Data(large));
    auto taken = load(big);
    EXPECT_EQ(taken->calls(), (std::vector<std::string>{"will send /large", "response 200", "data", "finish"}));
    EXPECT_EQ(taken->body.toString(), "taken");
    EXPECT_EQ(taken->sent, 200000);
    const auto seen = server.requests("/large");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].body.size(), large.size());
    EXPECT_TRUE(seen[0].body == large);
}

TEST_F(URLConnectionTests, UploadsAPulledStreamByteForByte) {
    server.serveText("/upload", "ok");
    std::string payload;
    for (int i = 0; i < 5000; ++i) payload += static_cast<char>('A' + i % 26);
    URLRequest request = requestFor(server, "/upload");
    request.setHTTPMethod("PUT");
    request.setHTTPBodyStream(std::make_shared<SlicedStream>(payload));
    auto chunked = load(request);
    EXPECT_EQ(chunked->body.toString(), "ok");
    EXPECT_EQ(chunked->sent, 5000);

    request.setHTTPBodyStream(std::make_shared<SlicedStream>(payload));
    request.setValue("5000", "Content-Length");
    auto sized = load(request);
    EXPECT_EQ(sized->body.toString(), "ok");

    auto seen = server.requests("/upload");
    ASSERT_GE(seen.size(), 2u);
    seen.resize(2);
    for (const auto& s : seen) {
        EXPECT_EQ(s.method, "PUT");
        EXPECT_EQ(s.body, payload);
    }
    EXPECT_EQ(seen[0].header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(seen[1].header("Content-Length"), "5000");

    // A stream that ends before its announced length fails the load rather than leave the server waiting.
    request.setHTTPBodyStream(std::make_shared<SlicedStream>(payload.substr(0, 10)));
    auto cut = load(request);
    ASSERT_TRUE(cut->error);
    EXPECT_EQ(cut->error->code(), URLErrorRequestBodyStreamExhausted);
}

TEST_F(URLConnectionTests, ReportsTransportFailuresWithThePlatformsCodes) {
    int closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    auto refused = load(URLRequest(URL::fromString("http://127.0.0.1:" + std::to_string(closedPort) + "/")));
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), URLErrorCannotConnectToHost);
    EXPECT_EQ(refused->calls(), (std::vector<std::string>{"will send /", "fail -1004"}));

    auto noURL = load(URLRequest());
    ASSERT_TRUE(noURL->error);
    EXPECT_EQ(noURL->error->code(), URLErrorBadURL);

    auto unsupported = load(URLRequest(URL::fromString("gopher://127.0.0.1/")));
    ASSERT_TRUE(unsupported->error);
    EXPECT_EQ(unsupported->error->code(), URLErrorUnsupportedURL);

    // A reply that is no HTTP, and a connection closed without any reply.
    ScriptedServer garbage("this is not HTTP\r\n\r\n");
    auto bad = load(URLRequest(URL::fromString(garbage.url("/"))));
    ASSERT_TRUE(bad->error);
    EXPECT_EQ(bad->error->code(), URLErrorBadServerResponse);
    ScriptedServer silent("");
    auto nothing = load(URLRequest(URL::fromString(silent.url("/"))));
    ASSERT_TRUE(nothing->error);
    EXPECT_EQ(nothing->error->code(), URLErrorNetworkConnectionLost);
    EXPECT_FALSE(nothing->journal.contains("finish"));
}

TEST_F(URLConnectionTests, AnswersPasswordChallenges) {
    server.handle("/private", [](const httplib::Request& request, httplib::Response& response) {
        if (request.get_header_value("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {  // user:secret
            response.set_content("welcome", "text/plain");
            return;
        }
        response.status = 401;
        response.set_header("WWW-Authenticate", "Basic realm=\"quillory\"");
        response.set_content("who are you?", "text/plain");
    });
    std::vector<std::int64_t> failures;
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    delegate->onChallenge = [&](URLConnection&, const std::shared_ptr<URLAuthenticationChallenge>& challenge) {
        EXPECT_EQ(challenge->protectionSpace().realm(), "quillory");
        failures.push_back(challenge->previousFailureCount());
        const char* password = failures.size() == 1 ? "wrong" : "secret";
        challenge->sender()->useCredential(
            URLCredential::credentialWithUser("user", password, URLCredentialPersistence::None), *challenge);
    };
    load(requestFor(server, "/private"), delegate);
    EXPECT_EQ(delegate->body.toString(), "welcome");
    EXPECT_EQ(failures, (std::vector<std::int64_t>{0, 1}));

    // Without an answer worth sending, the 401 reply is the reply.
    auto declining = load(requestFor(server, "/private"));
    EXPECT_EQ(declining->calls(), (std::vector<std::string>{"will send /private", "challenge NSURLAuthenticationMethodHTTPBasic",
                                                            "response 401", "data", "finish"}));
    EXPECT_EQ(declining->body.toString(), "who are you?");
}

TEST_F(URLConnectionTests, ReadsRepeatedFoldedAndManyReplyFields) {
    // The head of a reply after an interim one: repeated names (in any case) join the first spelling, folded
    // lines continue the field before them, and a folded line with no field before it counts as a field.
    std::string head = "HTTP/1.1 100 Continue\r\nX-Interim: gone\r\n\r\n"
                       "HTTP/1.1 200 OK\r\n X-Lead: first\r\nSet-Cookie: a=1\r\nX-Long: one\r\n\ttwo\r\n   three\r\n"
                       "set-COOKIE: b=2\r\n: nameless\r\n\tdropped\r\n";
    // Enough fields that they are found through an index, then the same joining and folding among them.
    constexpr int many = 3000;
    for (int i = 0; i < many; ++i) head += "F" + std::to_string(i) + ": v" + std::to_string(i) + "\r\n";
    head += "f7: again\r\nX-LONG: four\r\n\tfive\r\nSET-cookie: c=3\r\nF2999: last\r\n\tfolded\r\n";
    head += "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    ScriptedServer scripted(head);
    std::shared_ptr<URLResponse> response;
    Error error(std::string(), 0);
    auto body = URLConnection::sendSynchronousRequest(URLRequest(URL::fromString(scripted.url("/"))), &response, &error);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->toString(), "ok");
    auto http = std::dynamic_pointer_cast<HTTPURLResponse>(response);
    ASSERT_TRUE(http);
    const HTTPHeaderFields& fields = http->headerFields();
    EXPECT_EQ(fields.fields().size(), 4u + many + 2u);
    EXPECT_FALSE(fields.contains("X-Interim"));
    EXPECT_EQ(fields.fields()[0], HTTPHeaderFields::Field("X-Lead", "first"));
    EXPECT_EQ(fields.fields()[1], HTTPHeaderFields::Field("Set-Cookie", "a=1, b=2, c=3"));
    EXPECT_EQ(fields.fields()[2], HTTPHeaderFields::Field("X-Long", "one two three, four five"));
    EXPECT_EQ(fields.fields()[3], HTTPHeaderFields::Field("", "nameless"));
    EXPECT_EQ(fields.value("f0"), "v0");
    EXPECT_EQ(fields.value("F7"), "v7, again");
    EXPECT_EQ(fields.value("f2998"), "v2998");
    EXPECT_EQ(fields.value("f2999"), "v2999, last folded");
    EXPECT_EQ(fields.fields()[4 + 2999].first, "F2999");
    EXPECT_EQ(fields.value("content-length"), "2");
}

TEST_F(URLConnectionTests, LoadsSynchronously) {
    server.serveText("/sync", "synchronous", "text/plain", 404);
    std::shared_ptr<URLResponse> response;
    Error error(std::string(), 0);
    auto body = URLConnection::sendSynchronousRequest(requestFor(server, "/sync"), &response, &error);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->toString(), "synchronous");
    ASSERT_TRUE(std::dynamic_pointer_cast<HTTPURLResponse>(response));
    EXPECT_EQ(std::dynamic_pointer_cast<HTTPURLResponse>(response)->statusCode(), 404);

    server.serveHeld("/never", server.makeGate());
    URLRequest request = requestFor(server, "/never");
    request.setTimeoutInterval(0.2);
    EXPECT_FALSE(URLConnection::sendSynchronousRequest(request, nullptr, &error));
    EXPECT_EQ(error.code(), URLErrorTimedOut);
}

TEST(URLConnectionAtExit, ASynchronousLoadLeftInFlightOnAJobHoldsTheEndOnceAndNoLonger) {
    // The sandbox's end waits for the job, and the process's end only for what is left of the same allowance:
    // the load, waiting for a reply, is then no work under way, and its thread never runs another round.
    const test::ChildRun child = test::runChild({QL_LOAD_AT_EXIT}, {}, "", 60);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    const std::optional<double> seconds = child.secondsOfItsEnd();
    ASSERT_TRUE(seconds.has_value()) << child.out;
    EXPECT_LE(*seconds, test::kLongestEnd);
}

TEST(URLConnectionAtExit, AThreadThatLoadedSynchronouslyLoadsAgainFromAnExitHandler) {
    // The thread that ends the process keeps its engine past its thread storage, which its exit handlers outlive.
    const test::ChildRun child = test::runChild({QL_LOAD_AT_EXIT, "handler"}, {}, "", 60);
    EXPECT_TRUE(child.succeeded()) << child.describe();
    EXPECT_FALSE(child.hasSanitizerReport()) << child.describe();
    EXPECT_EQ(child.out, "at the end: synchronous\n");
}
