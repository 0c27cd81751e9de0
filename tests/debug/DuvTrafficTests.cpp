#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "debug/DuvDebugTool.h"
#include "debug/DuvHttpDatasource.h"
#include "debug/DuvHttpProtocol.h"
#include "debug/DuvSessionTrafficRecorder.h"
#include "net/NetHTTPRequestOperationManager.h"
#include "net/NetHTTPSessionManager.h"
#include "platform/net/URLConnection.h"
#include "tests/net/NetLoadingTestSupport.h"
#include "tests/support/OnScopeExit.h"

namespace ql {
namespace {

using test::LoopbackServer;
using test::pumpUntil;
using Outcome = test::BlockOutcome<ns::URLSessionDataTask>;

std::shared_ptr<DuvHttpModel> model(std::optional<std::string> requestId) {
    auto made = std::make_shared<DuvHttpModel>();
    made->requestId = std::move(requestId);
    return made;
}

// Counts the store's reload notifications.
class ReloadCounter {
public:
    ReloadCounter()
        : token_(ns::NotificationCenter::defaultCenter().addObserverForName(
              kNotifyKeyReloadHttp, nullptr, nullptr, [this](const ns::Notification&) { ++count_; })) {}
    ~ReloadCounter() { ns::NotificationCenter::defaultCenter().removeObserver(token_.get()); }
    int count() const { return count_; }

private:
    std::atomic<int> count_{0};
    std::shared_ptr<ns::Object> token_;
};

// Nothing listens on port 1 of the loopback address: a load there fails before any reply. (A port freed by a
// server of this test could be taken meanwhile by a test running beside it.)
constexpr const char* kRefusingURL = "http://127.0.0.1:1/nothing";

bool isStamp(const std::optional<std::string>& text) {
    return text && std::regex_match(*text, std::regex(R"(-?\d+\.\d{6}s)"));
}

// The protocol recorder records when its load stops, on the loading system's thread.
bool pollUntilRecorded(std::size_t count) {
    return test::pollUntil([count] { return DuvHttpDatasource::shareInstance().httpArray().size() >= count; });
}

class DuvTraffic : public ::testing::Test {
protected:
    void SetUp() override {
        DuvSessionTrafficRecorder::install();
        DuvHttpDatasource::shareInstance().clear();
        DuvDebugTool::shareInstance()->setArrOnlyHosts(std::nullopt);
    }
    void TearDown() override { DuvDebugTool::shareInstance()->setArrOnlyHosts(std::nullopt); }
};

TEST_F(DuvTraffic, TheStoreKeepsTheNewestFirstAndOnlyRealIds) {
    auto& store = DuvHttpDatasource::shareInstance();
    store.addHttpRequset(model("A"));
    store.addHttpRequset(model(std::nullopt));
    store.addHttpRequset(model(""));
    store.addHttpRequset(model("B"));
    const auto records = store.httpArray();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records.front()->requestId, "B");
    EXPECT_EQ(records.back()->requestId, "A");
    EXPECT_EQ(store.arrRequest(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(store.containsRequestId("A"));
    EXPECT_TRUE(store.containsRequestId("B"));
    EXPECT_FALSE(store.containsRequestId(""));
    EXPECT_FALSE(store.containsRequestId("C"));
    store.clear();
    EXPECT_TRUE(store.httpArray().empty());
    EXPECT_FALSE(store.containsRequestId("A"));
}

TEST_F(DuvTraffic, BodiesBecomeReadableText) {
    const auto pretty = [](std::string_view bytes) {
        return DuvHttpDatasource::prettyJSONStringFromData(ns::Data(bytes));
    };
    const auto object = pretty(R"({"url":"http:\/\/a.example\/b","n":[1,2]})");
    ASSERT_TRUE(object);
    EXPECT_NE(object->find("http://a.example/b"), std::string::npos) << *object;
    EXPECT_EQ(object->find("\\/"), std::string::npos);
    EXPECT_NE(object->find('\n'), std::string::npos);  // one value per line
    // An escaped backslash before a slash stays a backslash.
    const auto backslash = pretty(R"(["a\\/b"])");
    ASSERT_TRUE(backslash);
    EXPECT_NE(backslash->find(R"("a\\/b")"), std::string::npos) << *backslash;
    // Scalars are not parsed; text that is no JSON stays itself; bytes that are no UTF-8 give nothing.
    EXPECT_EQ(pretty("42"), "42");
    EXPECT_EQ(pretty("\"quoted\""), "\"quoted\"");
    EXPECT_EQ(pretty("uid=7&name=%E4%B8%AD"), "uid=7&name=%E4%B8%AD");
    EXPECT_EQ(pretty(std::string_view("\xff\xfe\x00", 3)), std::nullopt);
}

TEST_F(DuvTraffic, SessionTasksThroughTheManagerAreRecordedOnceEach) {
    LoopbackServer server;
    server.serveChunked("/api/login", {R"({"result":1,)", R"("msg":"ok",)", R"("home":"http:\/\/h.example\/"})"},
                        "application/json");
    server.serveText("/api/list", R"([1,2,3])", "application/json");
    auto manager = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/api/")));
    ReloadCounter reloads;

    Outcome post;
    manager->POST("login", ns::Value(ns::Dictionary{{"uid", 7}}), post.success(), post.failure());
    ASSERT_TRUE(pumpUntil([&] { return post.done(); }));
    ASSERT_EQ(post.successes, 1);
    Outcome get;
    manager->GET("list", ns::Value(), get.success(), get.failure());
    ASSERT_TRUE(pumpUntil([&] { return get.done(); }));
    // A task is recorded after its own completion work, which may reach the main thread first.
    ASSERT_TRUE(pollUntilRecorded(2));

    const auto records = DuvHttpDatasource::shareInstance().httpArray();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(test::pollUntil([&] { return reloads.count() == 2; }));
    const auto& list = records[0];
    const auto& login = records[1];
    EXPECT_EQ(login->method, "POST");
    EXPECT_EQ(login->url->absoluteString(), server.url("/api/login"));
    EXPECT_EQ(login->requestBody, "uid=7");
    EXPECT_EQ(login->statusCode, "200");
    EXPECT_EQ(login->mineType, "application/json");
    ASSERT_TRUE(login->responseBody);
    // Three chunks, each once, though two delegates saw each of them.
    EXPECT_NE(login->responseBody->find("\"home\" : \"http://h.example/\""), std::string::npos) << *login->responseBody;
    EXPECT_EQ(login->responseBody->find("\"msg\""), login->responseBody->rfind("\"msg\""));
    EXPECT_TRUE(isStamp(login->startTime));
    EXPECT_TRUE(isStamp(login->totalDuration));
    // A task without a body has an identity too, so the manager's call does not record it a second time.
    EXPECT_EQ(list->method, "GET");
    EXPECT_FALSE(list->requestBody);
    ASSERT_TRUE(list->requestId);
    EXPECT_EQ(list->requestId->size(), 36u);
    EXPECT_NE(list->requestId, login->requestId);
    EXPECT_EQ(DuvHttpDatasource::shareInstance().arrRequest().size(), 2u);
}

TEST_F(DuvTraffic, TheHostFilterIgnoresCaseAndFailedTasksAreRecordedWithoutAResponse) {
    LoopbackServer server;
    server.serveText("/kept/a", "{}", "application/json");
    server.serveText("/other/b", "{}", "application/json");
    DuvDebugTool::shareInstance()->setArrOnlyHosts(std::vector<std::string>{"/KEPT/", "127.0.0.1:1/"});
    auto manager = std::make_shared<NetHTTPSessionManager>(ns::URL::fromString(server.url("/")));
    ReloadCounter reloads;

    Outcome kept, other, failed;
    manager->GET("kept/a", ns::Value(), kept.success(), kept.failure());
    manager->GET("other/b", ns::Value(), other.success(), other.failure());
    manager->GET(kRefusingURL, ns::Value(), failed.success(), failed.failure());
    ASSERT_TRUE(pumpUntil([&] { return kept.done() && other.done() && failed.done(); }));
    EXPECT_EQ(failed.failures, 1);
    ASSERT_TRUE(pollUntilRecorded(2));
    EXPECT_TRUE(test::pollUntil([&] { return reloads.count() == 2; }));

    std::map<std::string, std::shared_ptr<DuvHttpModel>> byPath;
    for (const auto& record : DuvHttpDatasource::shareInstance().httpArray()) byPath[record->url->path()] = record;
    EXPECT_EQ(byPath.size(), 2u);
    EXPECT_FALSE(byPath.contains("/other/b"));
    ASSERT_TRUE(byPath.contains("/kept/a"));
    EXPECT_EQ(byPath["/kept/a"]->statusCode, "200");
    ASSERT_TRUE(byPath.contains("/nothing"));
    EXPECT_EQ(byPath["/nothing"]->statusCode, "0");
    EXPECT_FALSE(byPath["/nothing"]->responseBody);
    EXPECT_FALSE(byPath["/nothing"]->mineType);
}

TEST_F(DuvTraffic, TheProtocolRecorderTakesMarkedlessHTTPLoadsAndRecordsEachOnce) {
    LoopbackServer server;
    server.serveText("/plain", R"({"a":"b"})", "application/json");
    const auto request = [](const std::string& url) { return ns::URLRequest(ns::URL::fromString(url)); };
    EXPECT_TRUE(DuvHttpProtocol::canInitWithRequest(request(server.url("/plain"))));
    EXPECT_FALSE(DuvHttpProtocol::canInitWithRequest(request("ftp://127.0.0.1/file")));
    EXPECT_FALSE(DuvHttpProtocol::canInitWithRequest(DuvHttpProtocol::canonicalRequestForRequest(request(server.url("/plain")))));
    DuvDebugTool::shareInstance()->setArrOnlyHosts(std::vector<std::string>{"elsewhere.example"});
    EXPECT_FALSE(DuvHttpProtocol::canInitWithRequest(request(server.url("/plain"))));
    DuvDebugTool::shareInstance()->setArrOnlyHosts(std::nullopt);

    ASSERT_TRUE(ns::URLProtocol::registerClass<DuvHttpProtocol>());
    const test::OnScopeExit unregister([] { ns::URLProtocol::unregisterClass<DuvHttpProtocol>(); });
    ReloadCounter reloads;
    std::shared_ptr<ns::URLResponse> response;
    const auto body = ns::URLConnection::sendSynchronousRequest(request(server.url("/plain")), &response, nullptr);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->toString(), R"({"a":"b"})");  // relayed unchanged
    ASSERT_TRUE(pollUntilRecorded(1));
    EXPECT_FALSE(ns::URLConnection::sendSynchronousRequest(request(kRefusingURL), nullptr, nullptr));
    ASSERT_TRUE(pollUntilRecorded(2));
    ns::URLProtocol::unregisterClass<DuvHttpProtocol>();

    const auto records = DuvHttpDatasource::shareInstance().httpArray();
    EXPECT_EQ(server.requests("/plain").size(), 1u);  // loaded once, by the recorder's own connection
    EXPECT_FALSE(records[1]->requestId);
    EXPECT_EQ(records[1]->statusCode, "200");
    EXPECT_EQ(records[1]->responseBody, "{\n  \"a\" : \"b\"\n}");
    EXPECT_EQ(records[1]->mineType, "application/json");
    EXPECT_EQ(records[0]->statusCode, "0");
    EXPECT_EQ(records[0]->responseBody, "");
    EXPECT_FALSE(records[0]->mineType);
    EXPECT_TRUE(test::pollUntil([&] { return reloads.count() == 2; }));
}

TEST_F(DuvTraffic, InTheDebugModeTheOperationManagersRequestsAreRecordedOnceEachToo) {
    LoopbackServer server;
    server.serveText("/Mobile/StudentLogin", R"({"result":1,"msg":"ok"})", "application/json");
    ASSERT_TRUE(ns::URLProtocol::registerClass<DuvHttpProtocol>());
    const test::OnScopeExit unregister([] { ns::URLProtocol::unregisterClass<DuvHttpProtocol>(); });
    ReloadCounter reloads;
    test::BlockOutcome<NetHTTPRequestOperation> outcome;
    NetHTTPRequestOperationManager::manager()->POST(server.url("/Mobile/StudentLogin"),
                                                    ns::Value(ns::Dictionary{{"userName", "20160302"}}),
                                                    outcome.success(), outcome.failure());
    ASSERT_TRUE(pumpUntil([&] { return outcome.done(); }));
    EXPECT_EQ(outcome.successes, 1);
    ASSERT_TRUE(pollUntilRecorded(1));
    EXPECT_TRUE(test::pollUntil([&] { return reloads.count() == 1; }));
    ns::URLProtocol::unregisterClass<DuvHttpProtocol>();

    const auto records = DuvHttpDatasource::shareInstance().httpArray();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->method, "POST");
    EXPECT_EQ(records[0]->requestBody, "userName=20160302");
    EXPECT_EQ(records[0]->responseBody, "{\n  \"msg\" : \"ok\",\n  \"result\" : 1\n}");
    EXPECT_EQ(records[0]->statusCode, "200");
    EXPECT_EQ(server.requests("/Mobile/StudentLogin").size(), 1u);
}

}  // namespace
}  // namespace ql
