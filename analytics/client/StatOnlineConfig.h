#pragma once
// The online configuration client: at most once per interval asks the service whether the host app's online
// parameters changed, downloads them when they did, keeps them in the user defaults, and posts
// "OnlineConfigDidFinishedNotification" on the main thread when each check is over.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/Value.h"

namespace ql {

inline constexpr std::string_view OnlineConfigDidFinishedNotification = "OnlineConfigDidFinishedNotification";

class StatOnlineConfig : public ns::Object {
    QL_OBJECT(StatOnlineConfig, ns::Object)
public:
    static constexpr std::int64_t DefaultIntervalMinutes = 10;

    static std::shared_ptr<StatOnlineConfig> sharedInstance();

    // Ignored for an empty key.
    static void updateOnlineConfigWithAppkey(std::string_view appKey);
    // The parameter's value as text, or nothing.
    static std::optional<std::string> getConfigParams(std::string_view key);
    static ns::Value getConfigParams();
    static void setLogEnabled(bool enabled);
    // "OCLOG: <message>" while logging is on.
    static void log(std::string_view message);

    void updateOnlineConfig(std::string_view appKey);
    void checkOnlineUpdateTime();
    void fetchOnlineConfig();
    bool downloadOnlineConfigParams(const std::string& url);
    ns::Dictionary configureData() const;
    void parseConfigData(const ns::Data& data);
    void saveConfigure(const ns::Dictionary& reply);
    ns::Value onlineConfig() const;
    std::optional<std::string> onlineConfigWithKey(std::string_view key) const;
    void postOnlineConfigDidFinishedNotification();

    std::string appKey() const;
    const std::shared_ptr<ns::OperationQueue>& otherQueue() const { return otherQueue_; }
    bool logEnabled() const { return logEnabled_.load(); }

    StatOnlineConfig();

private:
    // The body of a good reply: status 200, "application/json" content (parameters aside), not empty. The
    // transport error, when the load itself failed, goes to `transportError`.
    std::optional<ns::Data> post(const std::string& url, const std::string& json,
                                 std::optional<std::string>* transportError);

    mutable std::mutex mutex_;
    std::string appKey_;
    std::shared_ptr<ns::OperationQueue> otherQueue_;
    std::atomic<bool> logEnabled_{false};
};

}  // namespace ql
