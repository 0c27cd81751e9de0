#include <gtest/gtest.h>

#include <string>

#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetJSONResponseSerializer.h"
#include "net/NetMultipartFormData.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/net/URLError.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::PhotoUpload;
using test::pollUntil;
using test::pumpUntil;

using Outcome = test::BlockOutcome<NetHTTPRequestOperation>;

TEST(NetHTTPRequestOperationManager, AFormPostThroughAManagerLetGoAtOnceDeliversTheParsedJSONOnTheMainQueue) {
    LoopbackServer server;
    server.serveText("/Mobile/StudentLogin", R"({"result":1,"msg":"登录成功","uid":42})", "application/json");
    const ns::Value parameters(ns::Dictionary{
        {"userName", ns::Value("13800000000")}, {"password", ns::Value("p w&=")}, {"authkey", ns::Value("k-123")}});

    Outcome outcome;
    std::weak_ptr<NetHTTPRequestOperationManager> weakManager;
    std::weak_ptr<NetHTTPRequestOperation> weakOperation;
    {
        auto manager = NetHTTPRequestOperationManager::manager();
        manager->setResponseSerializer(NetJSONResponseSerializer::serializer());
        manager->requestSerializer()->setValue(parameters["authkey"].stringValue(), "authkey");
        weakOperation = manager->POST(server.url("/Mobile/StudentLogin"), parameters, outcome.success(), outcome.failure());
        weakManager = manager;
    }
    EXPECT_TRUE(weakManager.expired());
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
    ASSERT_EQ(outcome.successes, 1) << (outcome.error ? outcome.error->description() : "");
    EXPECT_TRUE(outcome.onMainThread);
    EXPECT_EQ(outcome.object["result"].int64Value(), 1);
    EXPECT_EQ(outcome.object["msg"].stringValue(), "登录成功");

    const auto seen = server.requests("/Mobile/StudentLogin");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].header("authkey"), "k-123");
    EXPECT_EQ(seen[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen[0].body, "authkey=k-123&password=p%20w%26%3D&userName=13800000000");

    // Once its blocks have run and been let go, nothing keeps the operation.
    outcome.carrier.reset();
    EXPECT_TRUE(pollUntil([&] { return weakOperation.expired(); }));
}

TEST(NetHTTPRequestOperationManager, ResolvesAgainstItsBaseURLAndReportsRequestsItCannotBuild) {
    EXPECT_EQ(NetHTTPRequestOperationManager(ns::URL::fromString("http://example.com/api")).baseURL()->absoluteString(),
              "http://example.com/api/");
    EXPECT_EQ(NetHTTPRequestOperationManager(ns::URL::fromString("http://example.com/api/")).baseURL()->absoluteString(),
              "http://example.com/api/");
    EXPECT_EQ(NetHTTPRequestOperationManager(ns::URL::fromString("http://example.com")).baseURL()->absoluteString(),
              "http://example.com");
    const auto first = NetHTTPRequestOperationManager::manager();
    const auto second = NetHTTPRequestOperationManager::manager();
    EXPECT_NE(first, second);
    EXPECT_NE(first->operationQueue(), second->operationQueue());
    EXPECT_FALSE(first->baseURL());
    EXPECT_EQ(first->description().rfind("<NetHTTPRequestOperationManager: 0x", 0), 0u);
    EXPECT_NE(first->description().find(", baseURL: (null), operationQueue: <NSOperationQueue: 0x"), std::string::npos);

    LoopbackServer server;
    server.serveText("/api/users", R"([1,2])", "application/json");
    auto manager = std::make_shared<NetHTTPRequestOperationManager>(ns::URL::fromString(server.url("/api")));
    Outcome got;
    manager->GET("users", ns::Value(ns::Dictionary{{"page", ns::Value(2)}}), got.success(), got.failure());
    ASSERT_TRUE(pumpUntil([&] { return got.done(); }));
    EXPECT_EQ(got.successes, 1);
    EXPECT_EQ(got.object.count(), 2u);
    EXPECT_EQ(server.requests("/api/users?page=2").size(), 1u);

    int heads = 0;
    manager->HEAD("users", ns::Value(), [&](const std::shared_ptr<NetHTTPRequestOperation>& operation) {
        EXPECT_TRUE(operation->isFinished());
        ++heads;
    }, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return heads == 1; }));

    Outcome refused;
    EXPECT_EQ(manager->POST("http://bad host/", ns::Value(), refused.success(), refused.failure()), nullptr);
    EXPECT_EQ(manager->operationQueue()->operationCount(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return refused.done(); }));
    test::expectRefusedBeforeSending(refused);
}

TEST(NetHTTPRequestOperationManager, MultipartPostsSendTheAppendedParts) {
    LoopbackServer server;
    PhotoUpload upload(server);
    Outcome outcome;
    NetHTTPRequestOperationManager::manager()->POST(
        upload.url(), PhotoUpload::parameters(), &PhotoUpload::appendPhoto, outcome.success(), outcome.failure());
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
    ASSERT_EQ(outcome.successes, 1) << (outcome.error ? outcome.error->description() : "");
    upload.expectReceived();
}

TEST(NetHTTPRequestOperationManager, ArchivesAndCopiesAndRefusesToSendWithoutSerializers) {
    ns::Error error(std::string(ns::CocoaErrorDomain), 0);
    auto original = std::make_shared<NetHTTPRequestOperationManager>(ns::URL::fromString("http://example.com/api"));
    original->requestSerializer()->setValue("k", "authkey");
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(original), &error);
    ASSERT_TRUE(archive) << error.description();
    auto decoded = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPRequestOperationManager::classObject(), *archive,
                                                                &error)
                       .asObject<NetHTTPRequestOperationManager>();
    ASSERT_TRUE(decoded) << error.description();
    EXPECT_EQ(decoded->baseURL()->absoluteString(), "http://example.com/api/");
    EXPECT_EQ(decoded->requestSerializer()->valueForHTTPHeaderField("authkey"), "k");
    EXPECT_TRUE(std::dynamic_pointer_cast<NetJSONResponseSerializer>(decoded->responseSerializer()));

    auto copy = std::dynamic_pointer_cast<NetHTTPRequestOperationManager>(original->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->baseURL(), original->baseURL());
    EXPECT_NE(copy->requestSerializer(), original->requestSerializer());
    EXPECT_EQ(copy->requestSerializer()->valueForHTTPHeaderField("authkey"), "k");

    original->setRequestSerializer(nullptr);
    original->setResponseSerializer(nullptr);
    const auto bare = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(original), &error);
    ASSERT_TRUE(bare) << error.description();
    auto empty = ns::KeyedUnarchiver::unarchivedObjectOfClass(NetHTTPRequestOperationManager::classObject(), *bare, &error)
                     .asObject<NetHTTPRequestOperationManager>();
    ASSERT_TRUE(empty) << error.description();
    EXPECT_FALSE(empty->requestSerializer());
    EXPECT_FALSE(empty->responseSerializer());
    Outcome refused;
    EXPECT_EQ(empty->GET("users", ns::Value(), refused.success(), refused.failure()), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return refused.done(); }));
    EXPECT_EQ(refused.failures, 1);
    EXPECT_EQ(refused.error->domain(), NetURLRequestSerializationErrorDomain);
    EXPECT_EQ(refused.error->code(), ns::URLErrorBadURL);
    EXPECT_EQ(refused.error->localizedFailureReason(), "No request serializer is set.");

    // Missing only the response serializer, the refusal names that one.
    empty->setRequestSerializer(NetHTTPRequestSerializer::serializer());
    Outcome unparsed;
    EXPECT_EQ(empty->GET("users", ns::Value(), unparsed.success(), unparsed.failure()), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return unparsed.done(); }));
    ASSERT_EQ(unparsed.failures, 1);
    EXPECT_EQ(unparsed.error->domain(), NetURLResponseSerializationErrorDomain);
    EXPECT_EQ(unparsed.error->code(), -1016);
    EXPECT_EQ(unparsed.error->localizedFailureReason(), "No response serializer is set.");
}

}  // namespace
}  // namespace ql
