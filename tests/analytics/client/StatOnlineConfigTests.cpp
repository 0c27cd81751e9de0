#include <gtest/gtest.h>

#include <limits>

#include "analytics/client/OCUtil.h"
#include "analytics/client/StatOnlineConfig.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/analytics/client/ClientTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/PeerProcess.h"

namespace ql {
namespace {

// The JSON a request body holds, keys sorted, as an independent reader sees it. The loopback server has
// already inflated the body, as its "Content-Encoding" "deflate" asks.
std::optional<std::string> requestJSON(const std::string& body) {
    return test::runPeer(test::pythonCommand("import sys,json; print(json.dumps(json.load(sys.stdin), sort_keys=True), end='')"),
                         body);
}

class OnlineConfigTest : public test::AnalyticsClientTest {
protected:
    OnlineConfigTest() {
        StatEndpoints::setHostsForTesting(
            StatEndpoints::Hosts{"", "", "http://127.0.0.1:" + std::to_string(server_.port()), ""});
        observer_ = ns::NotificationCenter::defaultCenter().addObserverForName(
            OnlineConfigDidFinishedNotification, nullptr, nullptr, [this](const ns::Notification& notification) {
                ++posted_;
                lastInfo_ = notification.userInfo();
                fromSingleton_ = notification.sender() == StatOnlineConfig::sharedInstance().get();
            });
    }
    ~OnlineConfigTest() override { ns::NotificationCenter::defaultCenter().removeObserver(observer_.get()); }

    void reply(const std::string& path, std::string json, std::string contentType = "application/json; charset=utf-8") {
        server_.handle(path, [=](const httplib::Request&, httplib::Response& response) {
            response.set_content(json, contentType);
        });
    }

    // One update call, its queue work and the main thread's delivery done; the number of notifications it made.
    int update(std::string_view key = "oc-key") {
        const int before = posted_;
        StatOnlineConfig::updateOnlineConfigWithAppkey(key);
        StatOnlineConfig::sharedInstance()->otherQueue()->waitUntilAllOperationsAreFinished();
        pumpUntil([] { return false; }, 0);
        return posted_ - before;
    }

    test::LoopbackServer server_;
    std::shared_ptr<ns::Object> observer_;
    int posted_ = 0;
    ns::Dictionary lastInfo_;
    bool fromSingleton_ = false;
};

TEST_F(OnlineConfigTest, ChangedParametersAreDownloadedStoredAndAnnouncedOnce) {
    reply("/v2/get_update_time", R"({"last_config_time": 1700000000})");
    reply("/v2/check_config_update",
          R"({"config_update": "Yes", "last_config_time": 1700000000, "online_params": {"level": "hard", "n": 3},)"
          R"( "oc_interval": 20})");
    EXPECT_EQ(update(), 1);
    EXPECT_TRUE(fromSingleton_);
    EXPECT_EQ(lastInfo_["level"].stringValue(), "hard");
    EXPECT_EQ(StatOnlineConfig::getConfigParams("n"), "3");
    EXPECT_EQ(StatOnlineConfig::getConfigParams("missing"), std::nullopt);
    auto& defaults = ns::UserDefaults::standard();
    EXPECT_EQ(defaults.integerForKey("oc_interval"), 20);
    EXPECT_EQ(defaults.integerForKey("last_config_time"), 1700000000);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("last_oc_reqest_ts"), ns::Clock::now());

    const auto check = server_.requests("/v2/get_update_time");
    ASSERT_EQ(check.size(), 1u);
    EXPECT_EQ(check[0].header("Content-Encoding"), "deflate");
    EXPECT_EQ(check[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requestJSON(check[0].body),
              R"({"app_version": ")" + OCUtil::appBundleVersionString() + R"(", "appkey": "oc-key"})");
    const auto download = server_.requests("/v2/check_config_update");
    ASSERT_EQ(download.size(), 1u);
    const auto sent = requestJSON(download[0].body);
    ASSERT_TRUE(sent);
    EXPECT_NE(sent->find(R"("device_id": ")" + OCUtil::openUDIDString() + "\""), std::string::npos);
    EXPECT_NE(sent->find(R"("type": "online_config")"), std::string::npos);
    EXPECT_EQ(sent->find("last_config_time"), std::string::npos);  // none was stored yet
}

TEST_F(OnlineConfigTest, TheIntervalHoldsChecksBackAndAnEqualStampDownloadsNothing) {
    reply("/v2/get_update_time", R"({"last_config_time": 5})");
    reply("/v2/check_config_update", R"({"config_update": "Yes", "last_config_time": 5, "online_params": {}})");
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(server_.requestCount(), 2u);

    ns::Clock::advance(5 * 60);
    EXPECT_EQ(update(), 1);  // at once, without traffic
    EXPECT_EQ(server_.requestCount(), 2u);
    ns::Clock::advance(5 * 60);
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(server_.requests("/v2/get_update_time").size(), 2u);
    EXPECT_EQ(server_.requests("/v2/check_config_update").size(), 1u);  // the stored stamp equals the reply's
}

TEST_F(OnlineConfigTest, IntervalsBeyondSixtyFourBitsOfSecondsHoldChecksBackOrLetThemGo) {
    // The service names the interval in minutes, as any JSON number.
    reply("/v2/get_update_time", R"({"last_config_time": 5})");
    reply("/v2/check_config_update",
          R"({"config_update": "Yes", "last_config_time": 5, "online_params": {}, "oc_interval": 9223372036854775807})");
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(server_.requestCount(), 2u);
    ns::Clock::advance(400 * 86400);
    EXPECT_EQ(update(), 1);  // held back, without traffic
    EXPECT_EQ(server_.requestCount(), 2u);

    OCUtil::setConfigure(ns::Value(std::numeric_limits<std::int64_t>::min()), "oc_interval");
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(server_.requests("/v2/get_update_time").size(), 2u);

    // A stored stamp that is no time at all lets the check go.
    OCUtil::setConfigure(ns::Value(20), "oc_interval");
    OCUtil::setConfigure(ns::Value(std::numeric_limits<double>::quiet_NaN()), "last_oc_reqest_ts");
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(server_.requests("/v2/get_update_time").size(), 3u);
}

TEST_F(OnlineConfigTest, BadRepliesChangeNothingButStillEndTheCheck) {
    reply("/v2/get_update_time", R"({"last_config_time": 9})", "text/html");
    EXPECT_EQ(update(), 1);
    EXPECT_TRUE(ns::UserDefaults::standard().objectForKey("last_oc_reqest_ts").isNil());

    reply("/v2/get_update_time", R"({"last_config_time": 9})");
    reply("/v2/check_config_update", R"({"config_update": "No", "last_config_time": 9, "online_params": {"a": 1}})");
    EXPECT_EQ(update(), 1);
    EXPECT_TRUE(ns::UserDefaults::standard().objectForKey("online_params").isNil());
    EXPECT_TRUE(ns::UserDefaults::standard().objectForKey("last_config_time").isNil());

    // An empty key is ignored altogether.
    const auto requests = server_.requestCount();
    EXPECT_EQ(update(""), 0);
    EXPECT_EQ(server_.requestCount(), requests);
}

TEST_F(OnlineConfigTest, UtilitiesDeflateAndWriteJSON) {
    const ns::Data source(std::string(1000, 'q'));
    const auto deflated = OCUtil::deflatedDataPrefixedWith(ns::Data(std::string_view("PRE")), 9, source);
    ASSERT_TRUE(deflated);
    EXPECT_EQ(deflated->subdata(0, 3).view(), "PRE");
    EXPECT_EQ(test::runPeer(test::pythonCommand("import sys,zlib; sys.stdout.buffer.write(zlib.decompress("
                                                "sys.stdin.buffer.read()))"),
                            deflated->subdata(3, deflated->length() - 3).view()),
              source.toString());
    EXPECT_TRUE(OCUtil::isEmptyString(ns::Value(" \n\t")));
    EXPECT_TRUE(OCUtil::isEmptyString(ns::Value::null()));
    EXPECT_FALSE(OCUtil::isEmptyString(ns::Value(" x ")));
    EXPECT_EQ(OCUtil::JSONFragment(ns::Value(ns::Dictionary{{"a", ns::Value(1)}})), R"({"a":1})");
    EXPECT_EQ(OCUtil::JSONValue("[1,2]").count(), 2u);
    EXPECT_TRUE(OCUtil::JSONValue("{oops").isNil());
}

}  // namespace
}  // namespace ql
