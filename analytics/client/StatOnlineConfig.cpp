#include "analytics/client/StatOnlineConfig.h"

#include <cmath>

#include "analytics/client/OCUtil.h"
#include "analytics/client/StatEndpoints.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/URLConnection.h"
#include "platform/net/URLResponse.h"

namespace ql {

namespace {
constexpr std::string_view UpdateTimePath = "/v2/get_update_time";
constexpr std::string_view ConfigUpdatePath = "/v2/check_config_update";
}  // namespace

StatOnlineConfig::StatOnlineConfig() : otherQueue_(std::make_shared<ns::OperationQueue>()) {
    otherQueue_->setMaxConcurrentOperationCount(1);
}

std::shared_ptr<StatOnlineConfig> StatOnlineConfig::sharedInstance() {
    static std::shared_ptr<StatOnlineConfig>* shared = new std::shared_ptr<StatOnlineConfig>(std::make_shared<StatOnlineConfig>());
    return *shared;
}

void StatOnlineConfig::log(std::string_view message) {
    if (sharedInstance()->logEnabled()) ns::Log::write("OCLOG: " + std::string(message));
}

void StatOnlineConfig::setLogEnabled(bool enabled) { sharedInstance()->logEnabled_.store(enabled); }

void StatOnlineConfig::updateOnlineConfigWithAppkey(std::string_view appKey) {
    if (appKey.empty()) return;
    sharedInstance()->updateOnlineConfig(appKey);
}

std::optional<std::string> StatOnlineConfig::getConfigParams(std::string_view key) {
    return sharedInstance()->onlineConfigWithKey(key);
}

ns::Value StatOnlineConfig::getConfigParams() { return sharedInstance()->onlineConfig(); }

std::string StatOnlineConfig::appKey() const { return ns::lockedCopy(mutex_, appKey_); }

void StatOnlineConfig::updateOnlineConfig(std::string_view appKey) {
    ns::lockedStore(mutex_, appKey_, std::string(appKey));
    const ns::Value last = OCUtil::configureWithKey("last_oc_reqest_ts");
    if (!last.isNil()) {
        const ns::Value stored = OCUtil::configureWithKey("oc_interval");
        const std::int64_t interval = stored.isNil() ? DefaultIntervalMinutes : stored.int64Value();
        // Counted as doubles: the interval comes from the service and the stamp from stored settings, so
        // either may lie beyond what 64-bit seconds hold. A stamp that is no number lets the check go.
        const double elapsed = std::trunc(ns::Clock::now() - last.doubleValue());
        if (elapsed < static_cast<double>(interval) * 60) {
            postOnlineConfigDidFinishedNotification();
            return;
        }
    }
    std::weak_ptr<StatOnlineConfig> weak = std::static_pointer_cast<StatOnlineConfig>(shared_from_this());
    otherQueue_->addOperationWithBlock([weak] {
        if (auto self = weak.lock()) self->checkOnlineUpdateTime();
    });
}

std::optional<ns::Data> StatOnlineConfig::post(const std::string& url, const std::string& json,
                                               std::optional<std::string>* transportError) {
    auto location = ns::URL::fromString(url);
    const auto body = OCUtil::deflatedData(ns::Data(json));
    if (!location || !body) return std::nullopt;
    ns::URLRequest request(location);
    request.setHTTPMethod("POST");
    request.setValue("application/json", "Content-Type");
    request.setValue("deflate", "Content-Encoding");
    request.setCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    request.setHTTPBody(*body);
    std::shared_ptr<ns::URLResponse> response;
    ns::Error error("", 0);
    auto reply = ns::URLConnection::sendSynchronousRequest(request, &response, &error);
    if (!reply) {
        if (transportError != nullptr) *transportError = error.localizedDescription();
        return std::nullopt;
    }
    auto http = std::dynamic_pointer_cast<ns::HTTPURLResponse>(response);
    if (reply->empty() || !http || http->statusCode() != 200) return std::nullopt;
    const auto contentType = http->valueForHTTPHeaderField("Content-Type");
    if (!contentType || contentType->substr(0, contentType->find(';')) != "application/json") return std::nullopt;
    return reply;
}

void StatOnlineConfig::checkOnlineUpdateTime() {
    const ns::Dictionary body{{"appkey", ns::Value(appKey())}, {"app_version", ns::Value(OCUtil::appVersionString())}};
    const std::string json = OCUtil::JSONFragment(ns::Value(body));
    log("Request OC for updatetime body=" + json);
    if (auto reply = post(StatEndpoints::hosts().onlineConfig + std::string(UpdateTimePath), json, nullptr)) {
        const ns::Value parsed = OCUtil::JSONValue(reply->view());
        log("OC resp for updatetime: " + parsed.description());
        OCUtil::setConfigure(ns::Value(ns::Clock::now()), "last_oc_reqest_ts");
        const ns::Value* replied = parsed.isDictionary() ? parsed.asDictionary()->find("last_config_time") : nullptr;
        if (replied != nullptr && !replied->isNil() && !replied->isNull()) {
            const ns::Value stored = OCUtil::configureWithKey("last_config_time");
            const bool unchanged = !stored.isNil() && !stored.isString() && stored.int64Value() >= replied->int64Value();
            if (!unchanged) {
                fetchOnlineConfig();
                return;
            }
        }
    }
    postOnlineConfigDidFinishedNotification();
}

void StatOnlineConfig::fetchOnlineConfig() {
    downloadOnlineConfigParams(StatEndpoints::hosts().onlineConfig + std::string(ConfigUpdatePath));
    postOnlineConfigDidFinishedNotification();
}

bool StatOnlineConfig::downloadOnlineConfigParams(const std::string& url) {
    const std::string json = OCUtil::JSONFragment(ns::Value(configureData()));
    log("(Request  OnlineConfig) content=" + json);
    std::optional<std::string> transportError;
    auto reply = post(url, json, &transportError);
    if (!reply) {
        // Reported whether or not logging is on.
        if (transportError) ns::Log::write("(Error   OnlineConfig) " + *transportError);
        return false;
    }
    parseConfigData(*reply);
    return true;
}

ns::Dictionary StatOnlineConfig::configureData() const {
    ns::Dictionary body{{"device_id", ns::Value(OCUtil::openUDIDString())},
                        {"package", ns::Value(OCUtil::appPackageNameString())},
                        {"sdk_version", ns::Value(OCUtil::sdkVersionString())},
                        {"appkey", ns::Value(appKey())},
                        {"sdk_type", ns::Value(OCUtil::sdkTypeString())},
                        {"type", ns::Value("online_config")},
                        {"app_version", ns::Value(OCUtil::appVersionString())}};
    const ns::Value stamp = OCUtil::configureWithKey("last_config_time");
    if (!stamp.isNil()) body.set("last_config_time", stamp);
    return body;
}

void StatOnlineConfig::parseConfigData(const ns::Data& data) {
    const ns::Value reply = OCUtil::JSONValue(data.view());
    log("Response OnlineConfig: " + reply.description());
    if (!reply.isDictionary()) return;
    const ns::Value* update = reply.asDictionary()->find("config_update");
    if (update != nullptr && update->isString() && update->asString() == "Yes") saveConfigure(*reply.asDictionary());
}

void StatOnlineConfig::saveConfigure(const ns::Dictionary& reply) {
    for (std::string_view key : {"last_config_time", "online_params", "oc_interval"})
        if (const ns::Value* value = reply.find(key)) OCUtil::setConfigure(*value, key);
}

ns::Value StatOnlineConfig::onlineConfig() const {
    ns::Value params = OCUtil::configureWithKey("online_params");
    log("(online_params) " + params.description());
    return params;
}

std::optional<std::string> StatOnlineConfig::onlineConfigWithKey(std::string_view key) const {
    const ns::Value params = onlineConfig();
    if (!params.isDictionary()) return std::nullopt;
    const ns::Value* value = params.asDictionary()->find(key);
    if (value == nullptr) return std::nullopt;
    return value->isString() ? std::string(value->asString()) : value->description();
}

void StatOnlineConfig::postOnlineConfigDidFinishedNotification() {
    std::weak_ptr<StatOnlineConfig> weak = std::static_pointer_cast<StatOnlineConfig>(shared_from_this());
    ns::DispatchQueue::main()->async([weak] {
        auto self = weak.lock();
        if (!self) return;
        const ns::Value params = OCUtil::configureWithKey("online_params");
        ns::NotificationCenter::defaultCenter().post(OnlineConfigDidFinishedNotification, self.get(),
                                                     params.isDictionary() ? *params.asDictionary() : ns::Dictionary());
    });
}

}  // namespace ql
