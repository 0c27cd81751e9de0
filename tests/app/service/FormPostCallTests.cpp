// A service call's time-out on the app's clock: a reply that does not come fails as timed out once the
// clock has moved past the request's time-out, a reply still arriving is not cut, and the caller hears
// exactly one answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/service/BaseNetHTTPManager.h"
#include "app/service/FormPostCall.h"
#include "net/NetHTTPRequestOperationManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"
#include "tests/support/LoopbackServer.h"

using namespace ql;

namespace {

struct Answers {
    int replies = 0;
    int failures = 0;
    std::optional<std::string> message;
};

std::string timedOutMessage(const std::string& url) {
    return ns::urlError(ns::URLErrorTimedOut, ns::URL::fromString(url)).localizedDescription();
}

// The server's thread gives the main loop something to do, so that a test waiting on it looks again.
void wakeMain() {
    ns::DispatchQueue::main()->async([] {});
}

// Runs the main loop until the server has read `count` requests; the handlers wake it.
bool serverSaw(const test::LoopbackServer& server, std::size_t count) {
    return ns::RunLoop::main()->runUntil([&] { return server.requestCount() >= count; }, 10);
}

// Bytes that no server compresses, so each piece leaves as it is written.
constexpr const char* kPlainBytes = "application/octet-stream";

}  // namespace

TEST(FormPostCall, AReplyThatDoesNotComeFailsAsTimedOutWhenTheAppsClockPassesTheTimeOut) {
    ns::ManualClockScope clock;
    test::LoopbackServer server;
    auto gate = server.makeGate();
    server.handle("/Mobile/Slow", [gate](const httplib::Request&, httplib::Response& response) {
        wakeMain();
        gate->wait();
        response.set_content("{}", "application/json");
    });
    Answers answers;
    const std::size_t before = BaseNetHTTPManager::formPostsInFlight();
    const double sent = ns::Clock::now();
    BaseNetHTTPManager::postRequestOperationForHost(
        server.url("/"), "Mobile/Slow", ns::Value(ns::Dictionary{{"uid", ns::Value(0)}}),
        [&](const ns::Value&) { ++answers.replies; },
        [&](const std::string& message) {
            ++answers.failures;
            answers.message = message;
        });
    ASSERT_TRUE(serverSaw(server, 1));
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), before + 1);
    const auto slowCalls = [&] {
        const auto calls = BaseNetHTTPManager::formPostCallsInFlight();
        return std::ranges::count(calls, server.url("/Mobile/Slow"), &FormPostInFlight::url);
    };
    EXPECT_EQ(slowCalls(), 1);

    ns::Clock::advanceTo(sent + BaseNetHTTPManager::kRequestTimeout - 0.5);
    ns::RunLoop::main()->runUntil([] { return false; }, 0);
    EXPECT_EQ(answers.failures + answers.replies, 0);
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), before + 1);

    ns::Clock::advanceTo(sent + BaseNetHTTPManager::kRequestTimeout + 0.5);
    EXPECT_EQ(answers.replies, 0);
    EXPECT_EQ(answers.failures, 1);
    EXPECT_EQ(answers.message, timedOutMessage(server.url("/Mobile/Slow")));
    EXPECT_EQ(BaseNetHTTPManager::formPostsInFlight(), before);
    EXPECT_EQ(slowCalls(), 0);
}

TEST(FormPostCall, AReplyStillArrivingIsNotCutAndTheCallerHearsOnce) {
    ns::ManualClockScope clock;
    test::LoopbackServer server;
    auto headGate = server.makeGate();
    auto restGate = server.makeGate();
    server.handle("/Mobile/Trickle", [headGate, restGate](const httplib::Request&, httplib::Response& response) {
        wakeMain();
        response.set_chunked_content_provider(kPlainBytes, [headGate, restGate](std::size_t offset,
                                                                                 httplib::DataSink& sink) {
            if (offset == 0) {
                headGate->wait();
                sink.write("{\"result\":", 10);
                return true;
            }
            restGate->wait();
            sink.write("1}", 2);
            sink.done();
            return true;
        });
    });

    Answers answers;
    auto call = std::make_shared<FormPostCall>([&](const std::string& message) {
        ++answers.failures;
        answers.message = message;
    });
    const std::string url = server.url("/Mobile/Trickle");
    auto operation = NetHTTPRequestOperationManager::manager()->POST(
        url, ns::Value(ns::Dictionary{}), call->success([&](const auto&, const ns::Value&) { ++answers.replies; }),
        call->failure([&](const auto&, const ns::Error&) { ++answers.failures; }));
    ASSERT_TRUE(operation);
    const double sent = ns::Clock::now();
    call->watch(operation, 60);
    ASSERT_TRUE(serverSaw(server, 1));

    // Half the time-out in silence, then the first piece of the reply.
    ns::Clock::advanceTo(sent + 30);
    headGate->open();
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return operation->totalBytesRead() > 0; }, 10));
    const double heard = ns::Clock::now();
    // The time-out counted from the request has passed, but not from the piece that came.
    ns::Clock::advanceTo(sent + 61);
    EXPECT_EQ(answers.failures + answers.replies, 0);
    ns::Clock::advanceTo(heard + 60.5);
    EXPECT_EQ(answers.failures, 1);
    EXPECT_EQ(answers.message, timedOutMessage(url));

    // Whatever the operation reports later, the caller has had its answer.
    restGate->open();
    call->failure([&](const auto&, const ns::Error&) { ++answers.failures; })(operation, ns::urlError(ns::URLErrorCancelled, std::nullopt));
    call->success([&](const auto&, const ns::Value&) { ++answers.replies; })(operation, ns::Value());
    EXPECT_EQ(answers.failures, 1);
    EXPECT_EQ(answers.replies, 0);
}
