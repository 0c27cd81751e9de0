#include <gtest/gtest.h>

#include <deque>
#include <limits>
#include <regex>

#include "analytics/client/RezOzovaSocialOperation.h"
#include "analytics/client/StatUtils.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Thread.h"
#include "platform/net/URLCache.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using UtilsTest = test::AnalyticsClientTest;

TEST_F(UtilsTest, DictionaryReadersAndQueryStrings) {
    const ns::Value dictionary(ns::Dictionary{{"n", ns::Value(5)},
                                              {"s", ns::Value("text")},
                                              {"bad", ns::Value("12a")},
                                              {"good", ns::Value("12")},
                                              {"null", ns::Value::null()},
                                              {"inner", ns::Value(ns::Dictionary{{"k", ns::Value(1)}})}});
    EXPECT_EQ(StatUtils::getStringFromDictionary(dictionary, "n"), "5");
    EXPECT_EQ(StatUtils::getStringFromDictionary(dictionary, "s"), "text");
    EXPECT_EQ(StatUtils::getStringFromDictionary(dictionary, "absent"), "");
    EXPECT_EQ(StatUtils::getStringFromDictionary(dictionary, "null"), "");
    EXPECT_EQ(StatUtils::getStringFromDictionary(dictionary, ""), "");
    EXPECT_EQ(StatUtils::getStringFromDictionary(ns::Value("not a dictionary"), "n"), "");
    constexpr auto None = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(StatUtils::getIntergerFromDictionary(dictionary, "bad"), None);
    EXPECT_EQ(StatUtils::getIntergerFromDictionary(dictionary, "good"), 12);
    EXPECT_EQ(StatUtils::getIntergerFromDictionary(dictionary, "n"), 5);
    EXPECT_EQ(StatUtils::getIntergerFromDictionary(dictionary, "absent"), None);
    EXPECT_EQ(StatUtils::getDictionaryFromDictionary(dictionary, "inner").size(), 1u);
    EXPECT_EQ(StatUtils::getDictionaryFromDictionary(dictionary, "s").size(), 0u);

    const auto query = StatUtils::dictionaryWithQueryString("a=1&b&c=x%20y&d=%zz&a=2");
    EXPECT_EQ(query.size(), 3u);
    EXPECT_EQ(query["a"].stringValue(), "2");  // later keys win
    EXPECT_EQ(query["c"].stringValue(), "x y");
    EXPECT_EQ(query["d"].stringValue(), "%zz");  // undecodable: as it stands
    EXPECT_FALSE(query.contains("b"));
    EXPECT_EQ(StatUtils::queryStringWithDictionary(ns::Dictionary{{"k", ns::Value("a b&c")}, {"n", ns::Value(3)}}),
              "k=a%20b%26c&n=3");
}

TEST_F(UtilsTest, TextHelpers) {
    EXPECT_EQ(StatUtils::subString("中文字", 4), "中");
    EXPECT_EQ(StatUtils::subString("中文字", 9), "中文字");
    EXPECT_EQ(StatUtils::subString("中文字", 0), "中文字");
    EXPECT_EQ(StatUtils::subString("", 4), std::nullopt);
    EXPECT_EQ(StatUtils::urlEncode("a b!*'\"();:@&=+$,/?%#[]é~"),
              "a%20b%21%2A%27%22%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D%C3%A9~");
    EXPECT_EQ(StatUtils::urlDecode("a%20b%C3%A9"), "a bé");
    EXPECT_EQ(StatUtils::base64Encode("hello"), "aGVsbG8=");
    EXPECT_EQ(StatUtils::base64EncodeData(ns::Data(std::string_view("\xff\x00", 2))), "/wA=");
    EXPECT_EQ(StatUtils::md5Value(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_TRUE(StatUtils::isPureInt("12"));
    EXPECT_TRUE(StatUtils::isPureInt("-7"));
    EXPECT_FALSE(StatUtils::isPureInt("12.5"));
    EXPECT_FALSE(StatUtils::isPureInt("99999999999"));  // not a 32-bit integer
    EXPECT_TRUE(StatUtils::isPureFloat("12.5"));
    EXPECT_FALSE(StatUtils::isPureFloat("12.5x"));
    EXPECT_EQ(StatUtils::JSONFragment(ns::Value("a\"b")), "\"a\\\"b\"");
    EXPECT_EQ(StatUtils::JSONValue("{\"k\": [1, 2]}")["k"].count(), 2u);
    EXPECT_TRUE(StatUtils::JSONValue("[1,").isNil());
    EXPECT_EQ(StatUtils::getBundleRes("x.png", "NoSuchBundle"), std::nullopt);
    EXPECT_EQ(StatUtils::utilsVersion(), "1.2.4");
}

TEST_F(UtilsTest, RandomDrawsWrapInUnsignedArithmetic) {
    std::deque<std::uint32_t> values{7, 0xFFFFFFFFu, 12345};
    StatUtils::setRandomSourceForTesting([&values] {
        const auto next = values.front();
        values.pop_front();
        return next;
    });
    EXPECT_EQ(StatUtils::getRand(10, 12), 11u);                    // 10 + 7 % 3
    EXPECT_EQ(StatUtils::getRand(0, 0xFFFFFFFFu), 0xFFFFFFFFu);    // the whole range
    EXPECT_EQ(StatUtils::getRand(5, 5), 5u);
}

TEST_F(UtilsTest, TheLogPrintsMessagesAsDataWithPrefixAndThread) {
    ns::Log::Capture capture;
    StatUtils::outLog("hidden while closed");
    StatUtils::setOpenLog(true);
    StatUtils::outLog("100% done %s %n %%");
    StatUtils::setPrefix("[reader]");
    StatUtils::outLog("with prefix");
    StatUtils::outLog(std::nullopt);
    StatUtils::setPrefix("");
    StatUtils::setOpenLog(false);
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\[\d\d:\d\d:\d\d\.\d{3}\( *\d+\)\] - 100% done %s %n %% )")))
        << lines[0];
    EXPECT_TRUE(lines[1].ends_with("] - [reader] with prefix ")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with("] - nil")) << lines[2];
}

TEST_F(UtilsTest, ThereIsNoStoreSoTheStoreSheetAnswersFalseAndNeverCallsBack) {
    int calls = 0;
    EXPECT_FALSE(StatUtils::presentStoreProductForApp("123456", nullptr, [&](bool, const ns::Error*) { ++calls; }));
    EXPECT_FALSE(StatUtils::presentStoreProductForApp("123456", nullptr, {}));
    pumpUntil([] { return false; }, 0);
    EXPECT_EQ(calls, 0);
}

TEST_F(UtilsTest, ViewTreesPrintIndented) {
    auto root = std::make_shared<ui::View>();
    auto child = std::make_shared<ui::View>();
    auto grandchild = std::make_shared<ui::View>();
    root->addSubview(child);
    child->addSubview(grandchild);
    ns::Log::Capture capture;
    StatUtils::printViewHierarchy(*root, 0);
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], child->description());
    EXPECT_EQ(lines[1], "|-" + grandchild->description());
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "");
}

std::shared_ptr<ui::Image> filled(cg::Size size, const std::shared_ptr<ui::Color>& color) {
    ui::GraphicsBeginImageContextWithOptions(size, false, 1);
    color->setFill();
    ui::GraphicsGetCurrentContext()->fillRect({{0, 0}, size});
    auto image = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    return image;
}

TEST_F(UtilsTest, ImagesComposeTopOverBottomAtTheScreenScale) {
    const auto top = filled({2, 2}, ui::Color::redColor());
    const auto bottom = filled({4, 3}, ui::Color::blueColor());
    const auto composed = StatUtils::addImage(*top, *bottom);
    ASSERT_TRUE(composed);
    EXPECT_EQ(composed->size(), cg::Size(4, 3));
    const double scale = ui::Screen::mainScreen().scale();
    EXPECT_EQ(composed->scale(), scale);
    const auto& pixels = *composed->CGImage();
    EXPECT_EQ(pixels.pixel(1, 1).r, 255);
    EXPECT_EQ(pixels.pixel(1, 1).b, 0);
    EXPECT_EQ(pixels.pixel(static_cast<int>(3 * scale), static_cast<int>(2 * scale)).b, 255);
    EXPECT_FALSE(ui::GraphicsGetCurrentContext());
}

class Outcome : public RezOzovaSocialOperateDelegate {
public:
    void RezOzovaOperate_Finish(RezOzovaSocialOperation& operation, const std::optional<ns::Data>& replied,
                                const std::optional<ns::Error>& failed) override {
        ++calls;
        status = operation.statusCode();
        data = replied;
        error = failed;
        onMainThread = ns::Thread::isMainThread();
    }
    int calls = 0;
    std::int64_t status = 0;
    std::optional<ns::Data> data;
    std::optional<ns::Error> error;
    bool onMainThread = true;
};

TEST_F(UtilsTest, ShareCountRequestsPostOrGetAndLeaveTheSharedCacheAlone) {
    test::LoopbackServer server;
    server.serveText("/share/api/test-app-key", R"({"count": 4})", "application/json");
    StatEndpoints::setHostsForTesting(StatEndpoints::Hosts{"", "", "", "http://127.0.0.1:" + std::to_string(server.port())});
    const auto cache = ns::URLCache::sharedURLCache();
    const auto memory = cache->memoryCapacity();
    const auto disk = cache->diskCapacity();

    auto queue = std::make_shared<ns::OperationQueue>();
    auto outcome = std::make_shared<Outcome>();
    const std::string url = server.url("/share/api/test-app-key");
    auto get = std::make_shared<RezOzovaSocialOperation>(url, ns::Data(), outcome);
    queue->addOperation(get);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(outcome->calls, 1);
    EXPECT_FALSE(outcome->onMainThread);
    EXPECT_EQ(outcome->status, 200);
    EXPECT_EQ(outcome->data->view(), R"({"count": 4})");
    EXPECT_EQ(get->state(), RezOzovaSocialOperation::StateFinished);

    auto post = std::make_shared<RezOzovaSocialOperation>(url, ns::Data(std::string_view("sns=weibo")), outcome);
    queue->addOperation(post);
    queue->waitUntilAllOperationsAreFinished();
    const auto seen = server.requests("/share/api/test-app-key");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[1].method, "POST");
    EXPECT_EQ(seen[1].body, "sns=weibo");
    EXPECT_EQ(cache->memoryCapacity(), memory);
    EXPECT_EQ(cache->diskCapacity(), disk);

    // Through the share-count analytics, which addresses the endpoint itself.
    auto shared = RezOzovaSocialAnalytics::sharedInstance();
    shared->postShareCount(std::nullopt);
    shared->queue()->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(server.requests("/share/api/test-app-key").size(), 3u);

    // A refused connection reaches the delegate as an error.
    auto refused = std::make_shared<RezOzovaSocialOperation>("http://127.0.0.1:1/share/api/x", std::nullopt, outcome);
    queue->addOperation(refused);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(outcome->calls, 3);
    EXPECT_TRUE(outcome->error);
    EXPECT_FALSE(outcome->data);
    EXPECT_NE(refused->state(), RezOzovaSocialOperation::StateFinished);
}

}  // namespace
}  // namespace ql
