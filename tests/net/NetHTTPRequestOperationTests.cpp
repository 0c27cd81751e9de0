#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "net/NetHTTPRequestOperation.h"
#include "net/NetHTTPResponseSerializer.h"
#include "net/NetJSONResponseSerializer.h"
#include "net/NetMissingSerializerErrors.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLError.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestCertificates.h"

namespace ql {
namespace {

using test::Gate;
using test::LoopbackServer;
using test::pumpUntil;

using Outcome = test::BlockOutcome<NetHTTPRequestOperation>;

std::shared_ptr<NetHTTPRequestOperation> operationFor(const LoopbackServer& server, std::string_view path,
                                                      Outcome& outcome) {
    auto operation =
        std::make_shared<NetHTTPRequestOperation>(ns::URLRequest(ns::URL::fromString(server.url(path))));
    operation->setCompletionBlockWithSuccess(outcome.success(), outcome.failure());
    return operation;
}

class CountingSerializer final : public NetHTTPResponseSerializer {
public:
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override {
        ++calls;
        return NetHTTPResponseSerializer::responseObjectForResponse(response, data, error);
    }
    mutable std::atomic<int> calls{0};
};

// Serves `body` (with an ETag when given): a plain request gets the first `firstPart` bytes at once and the
// rest once the gate opens; a range request gets the rest as partial content, or, from a server that
// ignores ranges, the whole body again.
void serveResumable(LoopbackServer& server, const std::string& path, std::string body, std::size_t firstPart,
                    std::shared_ptr<Gate> gate, bool honoursRanges, std::optional<std::string> etag) {
    server.handle(path, [=](const httplib::Request& request, httplib::Response& response) {
        // The test server must not answer ranges by itself: this handler decides.
        const_cast<httplib::Request&>(request).ranges.clear();
        if (etag) response.set_header("ETag", *etag);
        const std::string range = request.get_header_value("Range");
        if (range.empty()) {
            response.set_content_provider(body.size(), "application/octet-stream",
                                          [=](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                              if (offset < firstPart) return sink.write(body.data(), firstPart);
                                              gate->wait();
                                              return sink.write(body.data() + offset, body.size() - offset);
                                          });
        } else if (honoursRanges) {
            const std::size_t from = std::stoul(range.substr(std::string("bytes=").size()));
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                     std::to_string(body.size() - 1) + "/" + std::to_string(body.size()));
            response.set_content(body.substr(from), "application/octet-stream");
        } else {
            response.set_content(body, "application/octet-stream");
        }
    });
}

TEST(NetHTTPRequestOperation, ParsesOffTheMainThreadAndReportsRefusedRepliesWithTheirData) {
    LoopbackServer server;
    server.serveText("/json", R"({"result":1,"msg":"ok"})", "application/json");
    server.serveText("/html", "<p>hello</p>", "text/html");
    server.serveText("/missing", R"({"msg":"no such thing"})", "application/json", 404);
    server.serveText("/broken", "it broke", "text/plain", 500);
    auto queue = std::make_shared<ns::OperationQueue>();

    Outcome json;
    auto operation = operationFor(server, "/json", json);
    operation->setResponseSerializer(NetJSONResponseSerializer::serializer());
    queue->addOperation(operation);
    ASSERT_TRUE(pumpUntil([&] { return json.done(); }));
    EXPECT_EQ(json.successes, 1);
    EXPECT_TRUE(json.onMainThread);
    EXPECT_EQ(json.object["result"].int64Value(), 1);
    EXPECT_EQ(json.object["msg"].stringValue(), "ok");

    struct Refusal {
        const char* path;
        const char* description;
        std::int64_t code;
        const char* body;
    };
    for (const Refusal& refusal : {Refusal{"/html", "Request failed: unacceptable content-type: text/html",
                                           NetURLErrorCannotDecodeContentData, "<p>hello</p>"},
                                   Refusal{"/missing", "Request failed: not found (404)", ns::URLErrorBadServerResponse,
                                           R"({"msg":"no such thing"})"},
                                   Refusal{"/broken", "Request failed: internal server error (500)",
                                           ns::URLErrorBadServerResponse, "it broke"}}) {
        SCOPED_TRACE(refusal.path);
        Outcome outcome;
        auto refused = operationFor(server, refusal.path, outcome);
        refused->setResponseSerializer(NetJSONResponseSerializer::serializer());
        queue->addOperation(refused);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
        EXPECT_EQ(outcome.successes, 0);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_TRUE(outcome.onMainThread);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain(), NetURLResponseSerializationErrorDomain);
        EXPECT_EQ(outcome.error->code(), refusal.code);
        EXPECT_EQ(outcome.error->localizedDescription(), refusal.description);
        const ns::Data* data = outcome.error->userInfo()[NetNetworkingOperationFailingURLResponseDataErrorKey].asData();
        ASSERT_TRUE(data);
        EXPECT_EQ(data->toString(), refusal.body);
        EXPECT_TRUE(outcome.error->userInfo()[NetNetworkingOperationFailingURLResponseErrorKey].isObject());
        EXPECT_EQ(refused->error(), outcome.error);
    }

    // A new serializer parses the finished reply again.
    json = Outcome();
    auto plain = operationFor(server, "/json", json);
    queue->addOperation(plain);
    ASSERT_TRUE(pumpUntil([&] { return json.done(); }));
    EXPECT_TRUE(json.object.isData());
    plain->setResponseSerializer(NetJSONResponseSerializer::serializer());
    EXPECT_EQ(plain->responseObject()["msg"].stringValue(), "ok");
    // Without any serializer (one set to none is not replaced by the default), the reply is not parsed.
    plain->setResponseSerializer(nullptr);
    EXPECT_EQ(plain->responseSerializer(), nullptr);
    EXPECT_TRUE(plain->responseObject().isNil());
    ASSERT_TRUE(plain->error());
    EXPECT_EQ(plain->error(), NetMissingResponseSerializerError());
}

TEST(NetHTTPRequestOperation, ACancelledOperationFailsWithoutParsing) {
    LoopbackServer server;
    server.serveHeld("/held", server.makeGate());
    Outcome outcome;
    auto operation = operationFor(server, "/held", outcome);
    auto serializer = std::make_shared<CountingSerializer>();
    operation->setResponseSerializer(serializer);
    test::NotificationLog started(NetNetworkingOperationDidStartNotification);
    std::make_shared<ns::OperationQueue>()->addOperation(operation);
    ASSERT_TRUE(pumpUntil([&] { return started.count(operation.get()) == 1; }));
    operation->cancel();
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(outcome.error->code(), ns::URLErrorCancelled);
    EXPECT_EQ(serializer->calls, 0);
    EXPECT_TRUE(operation->responseObject().isNil());
}

TEST(NetHTTPRequestOperation, ResumingAfterAPauseCompletesTheBodyWhetherOrNotTheServerHonoursRanges) {
    const std::string body = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (const bool honours : {true, false}) {
        SCOPED_TRACE(honours ? "206" : "200");
        LoopbackServer server;
        auto gate = server.makeGate();
        const std::optional<std::string> etag = honours ? std::optional<std::string>("\"v1\"") : std::nullopt;
        serveResumable(server, "/file", body, 10, gate, honours, etag);
        Outcome outcome;
        auto operation = operationFor(server, "/file", outcome);
        operation->start();
        ASSERT_TRUE(pumpUntil([&] { return operation->totalBytesRead() == 10; }));

        operation->pause();
        EXPECT_EQ(operation->request().valueForHTTPHeaderField("Range"), "bytes=10-");
        EXPECT_EQ(operation->request().valueForHTTPHeaderField("If-Range"), etag);
        gate->open();
        operation->resume();
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
        ASSERT_EQ(outcome.successes, 1) << (outcome.error ? outcome.error->description() : "");
        EXPECT_EQ(operation->responseData()->toString(), body);
        ASSERT_TRUE(pumpUntil([&] { return operation->totalBytesRead() == static_cast<std::int64_t>(body.size()); }));
    }
}

TEST(NetHTTPRequestOperation, ArchivingKeepsTheRangeRequestAndTheSerializer) {
    LoopbackServer server;
    auto gate = server.makeGate();
    serveResumable(server, "/file", "0123456789-rest", 10, gate, true, "\"tag\"");
    Outcome outcome;
    auto operation = operationFor(server, "/file", outcome);
    operation->setResponseSerializer(NetJSONResponseSerializer::serializer());
    operation->start();
    ASSERT_TRUE(pumpUntil([&] { return operation->totalBytesRead() == 10; }));

    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(operation), &error);
    ASSERT_TRUE(archive) << error.description();
    auto copy = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPRequestOperation::classObject(), *archive, &error)
                    .asObject<NetHTTPRequestOperation>();
    ASSERT_TRUE(copy) << error.description();
    EXPECT_EQ(copy->request().valueForHTTPHeaderField("Range"), "bytes=10-");
    EXPECT_EQ(copy->request().valueForHTTPHeaderField("If-Range"), "\"tag\"");
    EXPECT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(copy->responseSerializer()));

    // The paused original still owes its blocks a call.
    gate->open();
    operation->resume();
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
}

TEST(NetHTTPRequestOperation, ServerTrustIsJudgedByTheSecurityPolicy) {
    const auto& certificates = test::TestCertificates::shared();
    LoopbackServer server(certificates.localhost());
    server.serveText("/secure", "secret");
    auto queue = std::make_shared<ns::OperationQueue>();

    Outcome refused;
    auto untrusted = operationFor(server, "/secure", refused);
    queue->addOperation(untrusted);
    ASSERT_TRUE(pumpUntil([&] { return refused.done(); }));
    EXPECT_EQ(refused.failures, 1);
    EXPECT_EQ(refused.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(server.requestCount(), 0u);

    Outcome accepted;
    auto pinned = operationFor(server, "/secure", accepted);
    auto policy = NetSecurityPolicy::policyWithPinningMode(NetSSLPinningModeCertificate);
    policy->setAllowInvalidCertificates(true);  // the test authority is no system root
    policy->setPinnedCertificates({certificates.localhost().certificateDER});
    pinned->setSecurityPolicy(policy);
    queue->addOperation(pinned);
    ASSERT_TRUE(pumpUntil([&] { return accepted.done(); }));
    ASSERT_EQ(accepted.successes, 1) << (accepted.error ? accepted.error->description() : "");
    EXPECT_EQ(pinned->responseData()->toString(), "secret");
}

}  // namespace
}  // namespace ql
