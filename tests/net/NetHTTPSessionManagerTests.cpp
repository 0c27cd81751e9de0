#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/NetHTTPSessionManager.h"
#include "net/NetMultipartFormData.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/URLError.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

// The system's resolver header, which the loopback server pulls in, names an opcode DELETE.
#undef DELETE

namespace ql {
namespace {

using test::LoopbackServer;
using test::PhotoUpload;
using test::pumpUntil;

using Outcome = test::BlockOutcome<ns::URLSessionDataTask>;

TEST(NetHTTPSessionManager, VerbsResolveAgainstTheBaseURLAndDeliverTheParsedJSONOnTheMainQueue) {
    LoopbackServer server;
    server.serveText("/api/items", R"({"result":1,"msg":"好"})", "application/json");
    auto manager = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/api")));
    EXPECT_EQ(manager->baseURL()->absoluteString(), server.url("/api/"));
    const ns::Value parameters(ns::Dictionary{{"page", ns::Value(2)}, {"q", ns::Value("a b&")}});

    using Verb = std::shared_ptr<ns::URLSessionDataTask> (NetHTTPSessionManager::*)(
        std::string_view, const ns::Value&, NetHTTPSessionManager::SuccessBlock, NetHTTPSessionManager::FailureBlock);
    struct Case {
        const char* method;
        Verb verb;
        bool inQuery;
    };
    for (const Case& c : {Case{"GET", &NetHTTPSessionManager::GET, true}, Case{"POST", &NetHTTPSessionManager::POST, false},
                          Case{"PUT", &NetHTTPSessionManager::PUT, false},
                          Case{"PATCH", &NetHTTPSessionManager::PATCH, false},
                          Case{"DELETE", &NetHTTPSessionManager::DELETE, true}}) {
        SCOPED_TRACE(c.method);
        Outcome outcome;
        const auto task = ((*manager).*c.verb)("items", parameters, outcome.success(), outcome.failure());
        ASSERT_TRUE(task);
        EXPECT_NE(task->state(), ns::URLSessionTaskState::Suspended);
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
        ASSERT_EQ(outcome.successes, 1) << (outcome.error ? outcome.error->description() : "");
        EXPECT_TRUE(outcome.onMainThread);
        EXPECT_EQ(outcome.carrier, task);
        EXPECT_EQ(outcome.object["result"].int64Value(), 1);
        EXPECT_EQ(outcome.object["msg"].stringValue(), "好");

        std::vector<test::SeenRequest> seen;
        for (auto& request : server.requests(c.inQuery ? "/api/items?page=2&q=a%20b%26" : "/api/items")) {
            if (request.method == c.method) seen.push_back(std::move(request));
        }
        ASSERT_EQ(seen.size(), 1u);
        if (c.inQuery) continue;
        EXPECT_EQ(seen[0].header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(seen[0].body, "page=2&q=a%20b%26");
    }

    int heads = 0;
    std::shared_ptr<ns::URLSessionDataTask> headTask;
    const auto head = manager->HEAD("items", ns::Value(), [&](const std::shared_ptr<ns::URLSessionDataTask>& task) {
        headTask = task;
        ++heads;
    }, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return heads == 1; }));
    EXPECT_EQ(headTask, head);
}

TEST(NetHTTPSessionManager, RefusedRepliesAndUnbuildableRequestsFailWithTheExactTexts) {
    LoopbackServer server;
    server.serveText("/missing", R"({"msg":"none"})", "application/json", 404);
    server.serveText("/html", "<p>hello</p>", "text/html");
    auto manager = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/")));

    struct Refusal {
        const char* path;
        const char* description;
        std::int64_t code;
        const char* body;
    };
    for (const Refusal& refusal :
         {Refusal{"missing", "Request failed: not found (404)", ns::URLErrorBadServerResponse, R"({"msg":"none"})"},
          Refusal{"html", "Request failed: unacceptable content-type: text/html", NetURLErrorCannotDecodeContentData,
                  "<p>hello</p>"}}) {
        SCOPED_TRACE(refusal.path);
        Outcome outcome;
        const auto task = manager->GET(refusal.path, ns::Value(), outcome.success(), outcome.failure());
        ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
        EXPECT_EQ(outcome.successes, 0);
        ASSERT_EQ(outcome.failures, 1);
        EXPECT_TRUE(outcome.onMainThread);
        EXPECT_EQ(outcome.carrier, task);
        EXPECT_EQ(outcome.error->domain(), NetURLResponseSerializationErrorDomain);
        EXPECT_EQ(outcome.error->code(), refusal.code);
        EXPECT_EQ(outcome.error->localizedDescription(), refusal.description);
        const ns::Data* data = outcome.error->userInfo()[NetNetworkingOperationFailingURLResponseDataErrorKey].asData();
        ASSERT_TRUE(data);
        EXPECT_EQ(data->toString(), refusal.body);
    }

    Outcome unbuildable;
    EXPECT_EQ(manager->POST("http://bad host/", ns::Value(), unbuildable.success(), unbuildable.failure()), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return unbuildable.done(); }));
    test::expectRefusedBeforeSending(unbuildable);
}

TEST(NetHTTPSessionManager, MultipartPostsStreamTheAppendedParts) {
    LoopbackServer server;
    PhotoUpload upload(server);
    Outcome outcome;
    const auto task = NetHTTPSessionManager::manager()->POST(
        upload.url(), PhotoUpload::parameters(), &PhotoUpload::appendPhoto, outcome.success(), outcome.failure());
    EXPECT_TRUE(std::dynamic_pointer_cast<ns::URLSessionUploadTask>(task));
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
    ASSERT_EQ(outcome.successes, 1) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.object["result"].int64Value(), 1);
    upload.expectReceived();
}

TEST(NetHTTPSessionManager, CompressedJSONIsParsedAndUndecodableBodiesFail) {
    LoopbackServer server;
    // Compressed by Python's gzip module.
    const std::string gzipped("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x56\x2a\x4a\x2d\x2e\xcd\x29\x51\xb2\x32"
                              "\xd4\x51\xca\x2d\x4e\x57\xb2\x52\xca\xcf\x56\xaa\x05\x00\x0b\x7b\xd5\xe8\x17\x00\x00\x00",
                              43);
    server.serveText("/api/packed", gzipped, "application/json", 200, {{"Content-Encoding", "gzip"}});
    // Binary bytes announced as JSON with no encoding to undo.
    server.serveText("/api/binary", gzipped, "application/json");
    auto manager = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/api")));

    Outcome packed;
    manager->GET("packed", ns::Value(), packed.success(), packed.failure());
    ASSERT_TRUE(pumpUntil([&] { return packed.done(); }));
    ASSERT_EQ(packed.successes, 1) << (packed.error ? packed.error->description() : "");
    EXPECT_EQ(packed.object["msg"].stringValue(), "ok");

    Outcome binary;
    manager->GET("binary", ns::Value(), binary.success(), binary.failure());
    ASSERT_TRUE(pumpUntil([&] { return binary.done(); }));
    EXPECT_EQ(binary.successes, 0);
    ASSERT_EQ(binary.failures, 1);
    EXPECT_EQ(binary.error->domain(), NetURLResponseSerializationErrorDomain);
    EXPECT_EQ(binary.error->code(), -1016);
}

TEST(NetHTTPSessionManager, ADecodedManagerWithoutSerializersFailsItsVerbsWithoutSending) {
    LoopbackServer server;
    server.serveText("/api/items", "{}", "application/json");
    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    auto original = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/api")));
    original->requestSerializer()->setValue("k", "authkey");
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(original), &error);
    ASSERT_TRUE(archive) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPSessionManager::classObject(), *archive, &error)
                       .asObject<NetHTTPSessionManager>();
    ASSERT_TRUE(decoded) << error.description();
    EXPECT_EQ(decoded->baseURL(), original->baseURL());
    EXPECT_EQ(decoded->requestSerializer()->valueForHTTPHeaderField("authkey"), "k");
    ASSERT_TRUE(decoded->responseSerializer());

    original->setRequestSerializer(nullptr);
    original->setResponseSerializer(nullptr);
    const auto bare = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(original), &error);
    ASSERT_TRUE(bare) << error.description();
    auto empty = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPSessionManager::classObject(), *bare, &error)
                     .asObject<NetHTTPSessionManager>();
    ASSERT_TRUE(empty) << error.description();
    ASSERT_FALSE(empty->requestSerializer());
    ASSERT_FALSE(empty->responseSerializer());

    std::vector<Outcome> outcomes(3);
    EXPECT_EQ(empty->GET("items", ns::Value(), outcomes[0].success(), outcomes[0].failure()), nullptr);
    EXPECT_EQ(empty->POST("items", ns::Value(), outcomes[1].success(), outcomes[1].failure()), nullptr);
    EXPECT_EQ(empty->POST("items", ns::Value(), [](NetMultipartFormData&) {}, outcomes[2].success(), outcomes[2].failure()),
              nullptr);
    ASSERT_TRUE(pumpUntil([&] { return outcomes[0].done() && outcomes[1].done() && outcomes[2].done(); }));
    for (const Outcome& outcome : outcomes) {
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_TRUE(outcome.onMainThread);
        EXPECT_EQ(outcome.carrier, nullptr);
        EXPECT_EQ(outcome.error->domain(), NetURLRequestSerializationErrorDomain);
        EXPECT_EQ(outcome.error->code(), ns::URLErrorBadURL);
        EXPECT_EQ(outcome.error->localizedFailureReason(), "No request serializer is set.");
    }
    // Missing only the response serializer, the refusal names that one.
    empty->setRequestSerializer(NetHTTPRequestSerializer::serializer());
    Outcome unparsed;
    EXPECT_EQ(empty->GET("items", ns::Value(), unparsed.success(), unparsed.failure()), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return unparsed.done(); }));
    ASSERT_EQ(unparsed.failures, 1);
    EXPECT_EQ(unparsed.error->domain(), NetURLResponseSerializationErrorDomain);
    EXPECT_EQ(unparsed.error->code(), -1016);
    EXPECT_EQ(unparsed.error->localizedFailureReason(), "No response serializer is set.");
    EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
}  // namespace ql
